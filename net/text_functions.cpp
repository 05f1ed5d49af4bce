#include "net/text_functions.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/clock.h"
#include "platform/text.h"

namespace vlt::net {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

namespace {
// An empty delimiter occurs nowhere: it fetches the whole value, so loops that fetch until the
// value is empty end.
size_t FindDelimiter(std::string_view value, std::string_view delimiter) {
  return delimiter.empty() ? std::string_view::npos : value.find(delimiter);
}
}  // namespace

std::string TextBefore(std::string_view value, std::string_view delimiter) {
  const size_t p = FindDelimiter(value, delimiter);
  return std::string(p == std::string_view::npos ? value : value.substr(0, p));
}

std::string TextAfter(std::string_view value, std::string_view delimiter) {
  const size_t p = FindDelimiter(value, delimiter);
  return std::string(p == std::string_view::npos ? value : value.substr(p + delimiter.size()));
}

std::string FetchText(std::string& value, std::string_view delimiter) {
  const size_t p = FindDelimiter(value, delimiter);
  if (p == std::string::npos) return std::exchange(value, std::string());
  std::string part = value.substr(0, p);
  value.erase(0, p + delimiter.size());
  return part;
}

std::string FetchPart(std::string& value, std::string_view delimiter) {
  std::string part = TrimSpaces(FetchText(value, delimiter));
  value = TrimSpaces(value);
  return part;
}

std::string TrimSpacesLeft(std::string_view value) {
  const size_t b = value.find_first_not_of(' ');
  return b == std::string_view::npos ? std::string() : std::string(value.substr(b));
}

std::string TrimSpacesRight(std::string_view value) {
  const size_t e = value.find_last_not_of(' ');
  return e == std::string_view::npos ? std::string() : std::string(value.substr(0, e + 1));
}

std::string TrimSpaces(std::string_view value) {
  return TrimSpacesLeft(TrimSpacesRight(value));
}

int LastPosFrom(std::string_view sub, std::string_view value, int from) {
  const int len = static_cast<int>(sub.size());
  for (int start = from - len + 1; start >= 1; --start) {
    if (start + len - 1 <= static_cast<int>(value.size()) &&
        value.compare(start - 1, sub.size(), sub) == 0)
      return start;
  }
  return 0;
}

int LastPos(std::string_view sub, std::string_view value) {
  return LastPosFrom(sub, value, static_cast<int>(value.size()));
}

int CountChar(std::string_view value, char c) {
  return static_cast<int>(std::count(value.begin(), value.end(), c));
}

ByteString ReplaceText(std::string_view value, std::string_view search, std::string_view replace) {
  if (value.empty()) return {};
  if (search.empty()) return ByteString(value);
  ByteString out;
  size_t pos = 0;
  for (size_t hit; (hit = value.find(search, pos)) != std::string_view::npos;
       pos = hit + search.size()) {
    out.append(value.substr(pos, hit - pos));
    out.append(replace);
  }
  out.append(value.substr(pos));
  return out;
}

std::string SplitUrl(std::string_view url, std::string& prot, std::string& user, std::string& pass,
                     std::string& host, std::string& port, std::string& path, std::string& para) {
  prot = "http";
  user.clear();
  pass.clear();
  port = "80";
  para.clear();

  std::string rest(url);
  if (const size_t p = rest.find("://"); p != std::string::npos) {
    prot = rest.substr(0, p);
    rest.erase(0, p + 3);
  }
  if (platform::EqualsNoCase(prot, "HTTPS")) port = "443";
  if (platform::EqualsNoCase(prot, "FTP")) port = "21";

  const size_t at = rest.find('@');
  const size_t slash = rest.find('/');
  if (at != std::string::npos && (slash == std::string::npos || at < slash)) {
    const std::string cred = rest.substr(0, at);
    rest.erase(0, at + 1);
    if (const size_t c = cred.find(':'); c == std::string::npos) {
      user = cred;
    } else {
      user = cred.substr(0, c);
      pass = cred.substr(c + 1);
    }
  }

  std::string host_part = rest, path_part;
  if (const size_t s = rest.find('/'); s != std::string::npos) {
    host_part = rest.substr(0, s);
    path_part = rest.substr(s + 1);
  }

  if (!host_part.empty() && host_part[0] == '[') {
    const std::string inner = host_part.substr(1);
    host = TextBefore(inner, "]");
    if (const size_t close = inner.find(']'); close != std::string::npos) {
      const std::string after = inner.substr(close + 1);
      if (!after.empty() && after[0] == ':') port = after.substr(1);
    }
  } else if (const size_t c = host_part.find(':'); c != std::string::npos) {
    host = host_part.substr(0, c);
    port = host_part.substr(c + 1);
  } else {
    host = host_part;
  }

  std::string target = "/" + path_part;
  if (const size_t q = path_part.find('?'); q != std::string::npos) {
    path = std::string(1, '/').append(path_part, 0, q);
    para = path_part.substr(q + 1);
  } else {
    path = "/" + path_part;
  }
  if (host.empty()) host = "localhost";
  return target;
}

std::string SplitUrl(std::string_view url, UrlParts& p) {
  return SplitUrl(url, p.Prot, p.User, p.Pass, p.Host, p.Port, p.Path, p.Para);
}

ByteString DecodeEscapes(std::string_view value, char escape) {
  ByteString out;
  out.reserve(value.size());
  size_t i = 0;
  while (i < value.size()) {
    const char c = value[i];
    if (c != escape) {
      out += c;
      ++i;
      continue;
    }
    if (value.size() - i < 3) break;  // an escape needs two bytes after it
    const char a = value[i + 1], b = value[i + 2];
    if (a == '\r' || a == '\n') {
      // Soft line break: "=\r\n", "=\n\r", "=\r", "=\n".
      i += 2;
      if ((b == '\r' || b == '\n') && b != a) ++i;
      continue;
    }
    const int hi = HexValue(a), lo = HexValue(b);
    if (hi >= 0 && lo >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 3;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

ByteString PercentDecode(std::string_view value) {
  return DecodeEscapes(value, '%');
}

std::string UnfoldHeaderLine(const std::vector<std::string>& lines, int& index) {
  std::string result = index >= 0 && index < static_cast<int>(lines.size()) ? lines[index] : "";
  ++index;
  if (!result.empty()) {
    while (index < static_cast<int>(lines.size()) - 1) {
      std::string candidate = lines[index];
      if (candidate.empty()) break;
      std::replace(candidate.begin(), candidate.end(), '\t', ' ');
      const char first = candidate[0];
      if (first != ' ' && first != '"' && first != ':' && first != '=') break;
      result += ' ';
      result += platform::Trim(candidate);
      ++index;
    }
  }
  return platform::TrimRight(result);
}

int FindLineEnd(std::string_view value, ByteString& terminator) {
  terminator.clear();
  const size_t p = value.find_first_of("\r\n");
  if (p == std::string_view::npos) return -1;
  terminator = value[p];
  if (p + 1 < value.size()) {
    const char next = value[p + 1];
    if ((next == '\r' || next == '\n') && next != value[p]) terminator += next;
  }
  return static_cast<int>(p) + 1;
}

ByteString EncodeWithTable(std::string_view value, std::string_view table) {
  ByteString out;
  out.reserve((value.size() + 2) / 3 * 4);
  auto at = [&](unsigned index) { return index < table.size() ? table[index] : '\0'; };
  for (size_t i = 0; i < value.size(); i += 3) {
    const size_t n = std::min<size_t>(3, value.size() - i);
    const unsigned b0 = static_cast<unsigned char>(value[i]);
    const unsigned b1 = n > 1 ? static_cast<unsigned char>(value[i + 1]) : 0;
    const unsigned b2 = n > 2 ? static_cast<unsigned char>(value[i + 2]) : 0;
    out += at(b0 >> 2);
    out += at((b0 & 3) * 16 + (b1 >> 4));
    out += at(n > 1 ? (b1 & 15) * 4 + (b2 >> 6) : 64);
    out += at(n > 2 ? (b2 & 63) : 64);
  }
  return out;
}

ByteString ToBase64(std::string_view value) {
  static constexpr std::string_view kTable =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
  return EncodeWithTable(value, kTable);
}

ByteString WordToBytes(std::uint16_t value) {
  return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::uint16_t BytesToWord(std::string_view value, int position) {
  if (position < 1 || position + 1 > static_cast<int>(value.size())) return 0;
  return static_cast<std::uint16_t>(static_cast<unsigned char>(value[position - 1]) * 256 +
                                    static_cast<unsigned char>(value[position]));
}

ByteString LongToBytes(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>((value >> 16) & 0xFF),
          static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
}

std::uint32_t SwapBytes32(std::uint32_t value) {
  const ByteString b = LongToBytes(value);
  std::uint32_t r = 0;
  for (int i = 3; i >= 0; --i) r = (r << 8) | static_cast<unsigned char>(b[i]);
  return r;
}

ByteString StreamReadBytes(std::istream& stream, std::size_t count) {
  ByteString out(count, '\0');
  stream.read(out.data(), static_cast<std::streamsize>(count));
  out.resize(static_cast<size_t>(stream.gcount()));
  // A short read at the end is a result, not a failure: keep the stream usable.
  if (stream.eof()) stream.clear(stream.rdstate() & ~(std::ios::eofbit | std::ios::failbit));
  return out;
}

void StreamWriteBytes(std::ostream& stream, std::string_view value) {
  stream.write(value.data(), static_cast<std::streamsize>(value.size()));
}

std::uint32_t TickMilliseconds() {
  return platform::TickMs();
}

std::uint32_t TickDifference(std::uint32_t old_tick, std::uint32_t new_tick) {
  if (old_tick == new_tick) return 0;
  if (new_tick >= old_tick) return new_tick - old_tick;
  const std::uint32_t o = old_tick + 0x80000000u, n = new_tick + 0x80000000u;
  std::uint32_t r = n - o;
  if (o > n) r = 0u - r;
  return r;
}

std::string PathWithSeparator(std::string_view value) {
  std::string r = platform::Trim(value);
  if (!r.empty() && r.back() != '\\') r += '\\';
  return r;
}

}  // namespace vlt::net
