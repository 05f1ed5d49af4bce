#pragma once
// The small text operations every layer needs, in one place so that they agree. They work on
// bytes: case changes touch the ASCII letters only, so a header name, a scheme or a device name
// compares the same whatever the system's 8-bit code page, and accented bytes and UTF-8
// sequences pass through unchanged.
#include <string>
#include <string_view>

#include "platform/numbers.h"

namespace vlt::platform {

// Bytes of code 32 or below (blanks, TABs, line ends, other control bytes) off both ends, or
// off the end only.
std::string Trim(std::string_view s);
std::string TrimRight(std::string_view s);

std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

constexpr bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// What follows the last "\", "/" or ":" of a path or URL path: a bare name, never a folder or a
// drive ("C:a.zip", "/dir/a.zip" and "dir\a.zip" all give "a.zip"; "/dir/" gives "").
std::string LastComponent(std::string_view path);

}  // namespace vlt::platform
