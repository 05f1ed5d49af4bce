#include "platform/text.h"

namespace vlt::platform {

namespace {

constexpr bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlankOrControl(s[b])) ++b;
  while (e > b && IsBlankOrControl(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

std::string TrimRight(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && IsBlankOrControl(s[e - 1])) --e;
  return std::string(s.substr(0, e));
}

std::string AsciiUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::string LastComponent(std::string_view path) {
  const std::size_t cut = path.find_last_of("\\/:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

}  // namespace vlt::platform
