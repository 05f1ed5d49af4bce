#pragma once
// The one checked parser for numbers read from the wire or from files (ports, status codes,
// chunk sizes, listing fields), and byte classification that is safe for bytes >= 0x80
// (the <cctype> functions are undefined for a negative plain char).
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vlt::platform {

constexpr bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}
constexpr bool IsAsciiHexDigit(char c) {
  return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
constexpr bool IsAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}
constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

// The whole of `digits` as an unsigned number in `base` (10 or 16): no sign, no blanks, no
// prefix, at least one digit; nothing when it is not a number or does not fit in T.
template <typename T = std::uint64_t>
std::optional<T> ParseUnsigned(std::string_view digits, int base = 10) {
  if (digits.empty()) return std::nullopt;
  for (char c : digits)
    if (base == 16 ? !IsAsciiHexDigit(c) : !IsAsciiDigit(c)) return std::nullopt;
  T value{};
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

// The run of leading digits of `text` (after nothing else): its value and its length. Length 0
// when `text` does not start with a digit; nothing when the run overflows T.
template <typename T = std::uint64_t>
struct LeadingNumber {
  T value{};
  std::size_t length = 0;
};
template <typename T = std::uint64_t>
std::optional<LeadingNumber<T>> ParseLeadingUnsigned(std::string_view text, int base = 10) {
  std::size_t n = 0;
  while (n < text.size() && (base == 16 ? IsAsciiHexDigit(text[n]) : IsAsciiDigit(text[n]))) ++n;
  if (n == 0) return LeadingNumber<T>{};
  const auto v = ParseUnsigned<T>(text.substr(0, n), base);
  if (!v) return std::nullopt;
  return LeadingNumber<T>{*v, n};
}

}  // namespace vlt::platform
