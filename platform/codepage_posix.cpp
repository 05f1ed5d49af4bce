// Native build: the system's 8-bit code page is Windows-1252.
#include <array>

#include "platform/codepage.h"

namespace vlt::platform {
namespace {

// 0x80..0x9F of Windows-1252; 0 marks the five undefined positions (kept as C1 controls).
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t ToUnicode(unsigned char b) {
  if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != 0) return kHigh[b - 0x80];
  return b;
}

}  // namespace

std::string AnsiToText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) AppendUtf8(out, ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

ByteString TextToAnsi(std::string_view text) {
  ByteString out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const char32_t cp = NextUtf8(text, pos);
    char mapped = '?';
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      mapped = static_cast<char>(cp);
    } else {
      for (unsigned i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == cp || (kHigh[i] == 0 && cp == 0x80 + i)) {
          mapped = static_cast<char>(0x80 + i);
          break;
        }
      }
    }
    out += mapped;
  }
  return out;
}

}  // namespace vlt::platform
