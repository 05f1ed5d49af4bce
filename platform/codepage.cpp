#include "platform/codepage.h"

namespace vlt::platform {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// One well-formed sequence at `pos`: the shortest form of a scalar value (no overlong forms
// such as C0 AF for "/", no surrogates, nothing above U+10FFFF). Advances `pos` past it.
static bool DecodeUtf8(std::string_view s, size_t& pos, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  int extra = 0;
  char32_t min = 0;
  if (b0 < 0x80) {
    cp = b0;
    ++pos;
    return true;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (pos + extra >= s.size()) return false;
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  pos += extra + 1;
  return true;
}

char32_t NextUtf8(std::string_view s, size_t& pos) {
  char32_t cp = 0;
  if (DecodeUtf8(s, pos, cp)) return cp;
  ++pos;
  return 0xFFFD;
}

bool IsValidUtf8(std::string_view text) {
  char32_t cp = 0;
  for (size_t pos = 0; pos < text.size();) {
    if (!DecodeUtf8(text, pos, cp)) return false;
  }
  return true;
}

}  // namespace vlt::platform
