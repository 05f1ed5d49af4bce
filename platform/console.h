#pragma once
// What a command-line tool needs of its console: its arguments as UTF-8 texts and whether
// standard error is a terminal (progress lines only make sense on one).
#include <string>
#include <string_view>
#include <vector>

namespace vlt::platform {

// The arguments after the program name. On Windows they are read from the UTF-16 command line,
// whatever the 8-bit code page; natively they are `argv` as given.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
bool StderrIsTerminal();
// Whether standard error leads anywhere (a console, a file, a pipe). A windowed program started
// from the desktop or a shortcut has none, and says what it must in a box instead.
bool StderrAttached();
// Writes UTF-8 text to standard error (as wide text on a console).
void WriteStderr(std::string_view text);

}  // namespace vlt::platform
