#include "platform/paths.h"

#include <vector>

#include "platform/numbers.h"
#include "platform/text.h"

namespace vlt::platform {

bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  std::string out(path);
  if (!out.empty() && !IsPathSeparator(out.back())) out += '\\';
  return out;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
  std::string out(path);
  if (!out.empty() && IsPathSeparator(out.back())) out.pop_back();
  return out;
}

static size_t LastSeparator(std::string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsPathSeparator(path[i - 1]) || (i == 2 && path[1] == ':')) return i - 1;
  }
  return std::string_view::npos;
}

std::string ExtractFileDir(std::string_view path) {
  const size_t pos = LastSeparator(path);
  if (pos == std::string_view::npos) return {};
  if (path[pos] == ':') return std::string(path.substr(0, pos + 1));
  // Keep the separator of a root ("C:\" or "\").
  if (pos == 0 || (pos == 2 && path[1] == ':')) return std::string(path.substr(0, pos + 1));
  return std::string(path.substr(0, pos));
}

std::string ExtractFileName(std::string_view path) {
  const size_t pos = LastSeparator(path);
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

char DriveLetter(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') {
    if (IsAsciiAlpha(path[0])) return AsciiUpper(path[0]);
  }
  return 0;
}

std::string NormalizePath(std::string_view path) {
  std::string prefix;
  size_t i = 0;
  if (DriveLetter(path) != 0) {
    prefix = std::string(1, DriveLetter(path)) + ":";
    i = 2;
  }
  const bool rooted = i < path.size() && IsPathSeparator(path[i]);
  if (rooted) prefix += '\\';
  const bool trailing = !path.empty() && IsPathSeparator(path.back()) && path.size() > i + 1;

  std::vector<std::string_view> parts;
  while (i < path.size()) {
    while (i < path.size() && IsPathSeparator(path[i])) ++i;
    const size_t start = i;
    while (i < path.size() && !IsPathSeparator(path[i])) ++i;
    const std::string_view part = path.substr(start, i - start);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (!rooted) {
        parts.push_back(part);  // a relative path may climb above its start
      }
      continue;
    }
    parts.push_back(part);
  }
  std::string out = prefix;
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) out += '\\';
    out += parts[k];
  }
  if (trailing && !parts.empty()) out += '\\';
  return out;
}

// Windows opens the device, not a file, for these names whatever the extension and the
// directory: "NUL", "nul.txt", "sub\COM1.log", "AUX .c". What counts is the part before the
// first dot, without trailing blanks.
bool IsDeviceName(std::string_view part) {
  std::string_view base = part.substr(0, part.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (EqualsNoCase(base, device)) return true;
  }
  if (base.size() < 4 ||
      !(EqualsNoCase(base.substr(0, 3), "COM") || EqualsNoCase(base.substr(0, 3), "LPT"))) {
    return false;
  }
  const std::string_view number = base.substr(3);
  // A digit, or the superscripts 1, 2 and 3 that Windows takes as digits here.
  return (number.size() == 1 && IsAsciiDigit(number[0])) || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace vlt::platform
