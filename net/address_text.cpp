#include "net/address_text.h"

#include <cstdio>

#include "net/text_functions.h"
#include "platform/numbers.h"

namespace vlt::net {
namespace {

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (!platform::IsAsciiDigit(c)) return false;
  return true;
}

// A hexadecimal number from 0 to FFFF (leading zeros allowed).
bool ParseHexWord(std::string_view s, unsigned& value) {
  const auto v = platform::ParseUnsigned<std::uint16_t>(s, 16);
  if (!v) return false;
  value = *v;
  return true;
}

int NumberValue(std::string_view s) {
  return static_cast<int>(platform::ParseUnsigned<std::uint32_t>(s).value_or(0));
}

}  // namespace

bool IsOctetText(std::string_view s) {
  if (s.empty() || !AllDigits(s)) return false;
  unsigned v = 0;
  for (char c : s) {
    v = v * 10 + static_cast<unsigned>(c - '0');
    if (v > 255) return false;
  }
  return true;
}

bool IsIPv4Text(std::string_view s) {
  std::string rest(s);
  for (int i = 0; i < 3; ++i)
    if (!IsOctetText(FetchPart(rest, "."))) return false;
  return IsOctetText(rest);
}

bool IsIPv6Text(std::string_view s) {
  if (s == "::") return true;
  std::string rest(s);
  int n = 0, z = 0;
  bool first = true, last_ok = false;
  while (!rest.empty()) {
    std::string part = FetchPart(rest, ":");
    const bool is_last = rest.empty();
    if (part.empty()) {
      if (!first && ++z > 1) return false;
    }
    first = false;
    if (++n > 8) return false;
    if (is_last) {
      // A zone suffix is allowed on the last group: "fe80::1%3".
      unsigned zone;
      const size_t pct = part.find('%');
      if (!ParseHexWord(pct == std::string::npos ? part : part.substr(pct + 1), zone)) return false;
      if (pct != std::string::npos) part.resize(pct);
    }
    unsigned v;
    if (!part.empty() && !ParseHexWord(part, v)) return false;
    if (is_last) last_ok = true;
  }
  return last_ok && (n > 1 || z > 0);
}

ByteString IPv4ToBytes(std::string_view s) {
  std::string rest(s);
  ByteString out;
  for (int i = 0; i < 4; ++i) out += static_cast<char>(NumberValue(FetchPart(rest, ".")) & 0xFF);
  return out;
}

std::string ExpandIPv6Text(std::string_view s) {
  if (s.empty()) return {};
  const int c = CountChar(s, ':');
  if (c > 7) return {};
  std::string t(s);
  if (t.front() == ':') t = "0" + t;
  if (t.back() == ':') t += '0';
  std::string fill = ":";
  for (int i = 0; i < 8 - c; ++i) fill += "0:";
  return ReplaceText(t, "::", fill);
}

ByteString IPv6ToBytes(std::string_view s) {
  ByteString out(16, '\0');
  std::string rest = ExpandIPv6Text(s);
  int group = 0;
  while (!rest.empty()) {
    if (group >= 8) return ByteString(16, '\0');
    const std::string part = FetchPart(rest, ":");
    unsigned v = 0;
    if (!part.empty() && !ParseHexWord(part, v)) return ByteString(16, '\0');
    out[group * 2] = static_cast<char>(v >> 8);
    out[group * 2 + 1] = static_cast<char>(v & 0xFF);
    ++group;
  }
  return out;
}

std::string BytesToIPv6Text(std::string_view bytes) {
  unsigned groups[8] = {};
  for (int i = 0; i < 8; ++i) {
    const auto at = [&](size_t k) {
      return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0u;
    };
    groups[i] = at(i * 2) * 256 + at(i * 2 + 1);
  }
  int best_start = -1, best_len = 0;
  for (int i = 0; i < 8;) {
    if (groups[i] != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > best_len) {
      best_start = i;
      best_len = j - i;
    }
    i = j;
  }
  if (best_len == 8) return "::0";
  auto hex = [](unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%x", v);
    return std::string(buf);
  };
  std::string out;
  for (int i = 0; i < 8; ++i) {
    if (i == best_start) {
      out += "::";
      i += best_len - 1;
      continue;
    }
    if (!out.empty() && out.back() != ':') out += ':';
    out += hex(groups[i]);
  }
  return out;
}

}  // namespace vlt::net
