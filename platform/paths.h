#pragma once
// Windows path texts ("C:\Progs5\Berfon\"), handled as plain text the way the installer joins
// them. Both '\' and '/' separate.
#include <string>
#include <string_view>

namespace vlt::platform {

bool IsPathSeparator(char c);
// Adds '\' unless the text already ends with a separator (the empty text stays empty).
std::string IncludeTrailingPathDelimiter(std::string_view path);
// Drops one trailing separator.
std::string ExcludeTrailingPathDelimiter(std::string_view path);
// Everything before the last separator (without it); "" when there is none.
std::string ExtractFileDir(std::string_view path);
// Everything after the last separator.
std::string ExtractFileName(std::string_view path);
// "C:" style drive prefix: the upper-cased letter, or 0.
char DriveLetter(std::string_view path);

// Lexical resolution as Windows does it: separators unified to '\', runs collapsed, "." dropped,
// ".." removes the previous component but never climbs above the root or drive. Keeps a
// trailing separator when the text had one.
std::string NormalizePath(std::string_view path);

// Whether Windows opens a device, not a file, for this path component: "NUL", "nul.txt",
// "COM1.log", "AUX .c" (the part before the first dot, without trailing blanks, counts).
bool IsDeviceName(std::string_view part);

}  // namespace vlt::platform
