#include "net/url_reference.h"

#include "platform/numbers.h"
#include "platform/text.h"

namespace vlt::net {

namespace p = vlt::platform;

namespace {

struct Components {
  std::string scheme;  // without ':'; empty when none
  bool has_authority = false;
  std::string authority;
  std::string path;
  bool has_query = false;
  std::string query;
};

bool IsSchemeChar(char c, bool first) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  return !first && (p::IsAsciiDigit(c) || c == '+' || c == '-' || c == '.');
}

// scheme ":" ["//" authority] path ["?" query] ["#" fragment]; the fragment is dropped.
Components Parse(std::string_view s) {
  Components c;
  if (const size_t hash = s.find('#'); hash != std::string_view::npos) s = s.substr(0, hash);
  size_t i = 0;
  while (i < s.size() && IsSchemeChar(s[i], i == 0)) ++i;
  if (i > 0 && i < s.size() && s[i] == ':') {
    c.scheme = p::AsciiLower(s.substr(0, i));
    s = s.substr(i + 1);
  }
  if (s.starts_with("//")) {
    s = s.substr(2);
    const size_t end = s.find_first_of("/?");
    c.has_authority = true;
    c.authority.assign(s.substr(0, end));
    s = end == std::string_view::npos ? std::string_view() : s.substr(end);
  }
  const size_t q = s.find('?');
  c.path.assign(s.substr(0, q));
  if (q != std::string_view::npos) {
    c.has_query = true;
    c.query.assign(s.substr(q + 1));
  }
  return c;
}

// Built by appending: GCC 12 warns (-Wrestrict) on the equivalent insert at the front.
std::string Prefixed(char first, std::string_view rest) {
  std::string out;
  out.reserve(rest.size() + 1);
  out += first;
  out += rest;
  return out;
}

// The path of the base up to its last "/", then the reference's path.
std::string Merge(const Components& base, const std::string& ref_path) {
  if (base.has_authority && base.path.empty()) return Prefixed('/', ref_path);
  const size_t slash = base.path.rfind('/');
  if (slash == std::string::npos) return ref_path;
  return base.path.substr(0, slash + 1) + ref_path;
}

// Blanks, control bytes, 8-bit bytes and a stray '%' do not travel in a request target as
// they are.
std::string EncodeUnsafe(std::string_view s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const bool escape_ok = b == '%' && i + 2 < s.size() && p::IsAsciiHexDigit(s[i + 1]) &&
                           p::IsAsciiHexDigit(s[i + 2]);
    if (b <= 0x20 || b >= 0x7F || b == '"' || b == '<' || b == '>' || b == '\\' || b == '^' ||
        b == '`' || b == '{' || b == '|' || b == '}' || (b == '%' && !escape_ok)) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

// A host (with its user and port) that can be written into a request: no blanks, no control
// or 8-bit bytes, no delimiters that would end it elsewhere.
bool AuthorityUsable(std::string_view a) {
  if (a.empty()) return false;
  for (char ch : a) {
    const auto b = static_cast<unsigned char>(ch);
    if (b <= 0x20 || b >= 0x7F || b == '\\' || b == '"' || b == '<' || b == '>' || b == '^' ||
        b == '`' || b == '{' || b == '|' || b == '}')
      return false;
  }
  return true;
}

}  // namespace

// "/a/b/c/./../../g" -> "/a/g"; "mid/content=5/../6" -> "mid/6"; "/.." -> "/".
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  // A final "/." or "/.." leaves a "/" to be read: `pending_slash` stands for it.
  bool pending_slash = false;
  while (!in.empty() || pending_slash) {
    if (pending_slash) {
      pending_slash = false;
      if (in.empty()) {
        out += '/';
        continue;
      }
    }
    if (in.starts_with("../")) {
      in.remove_prefix(3);
    } else if (in.starts_with("./")) {
      in.remove_prefix(2);
    } else if (in.starts_with("/./")) {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = {};
      pending_slash = true;
    } else if (in.starts_with("/../") || in == "/..") {
      if (in == "/..") {
        in = {};
        pending_slash = true;
      } else {
        in.remove_prefix(3);
      }
      const size_t slash = out.rfind('/');
      out.erase(slash == std::string::npos ? 0 : slash);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const size_t next = in.find('/', in.front() == '/' ? 1 : 0);
      const size_t n = next == std::string_view::npos ? in.size() : next;
      out.append(in.substr(0, n));
      in.remove_prefix(n);
    }
  }
  return out;
}

std::string UrlScheme(std::string_view url) {
  return Parse(url).scheme;
}

std::optional<std::string> ResolveReference(std::string_view base_text,
                                            std::string_view reference) {
  // Blanks around a header value are not part of the reference.
  while (!reference.empty() && (reference.front() == ' ' || reference.front() == '\t'))
    reference.remove_prefix(1);
  while (!reference.empty() && (reference.back() == ' ' || reference.back() == '\t'))
    reference.remove_suffix(1);
  const Components base = Parse(base_text);
  if (base.scheme.empty() || !base.has_authority) return std::nullopt;
  const Components ref = Parse(reference);
  Components t;
  if (!ref.scheme.empty()) {
    t = ref;
    t.path = RemoveDotSegments(ref.path);
  } else {
    t.scheme = base.scheme;
    if (ref.has_authority) {
      t.has_authority = true;
      t.authority = ref.authority;
      t.path = RemoveDotSegments(ref.path);
      t.has_query = ref.has_query;
      t.query = ref.query;
    } else {
      t.has_authority = base.has_authority;
      t.authority = base.authority;
      if (ref.path.empty()) {
        t.path = base.path;
        t.has_query = ref.has_query || base.has_query;
        t.query = ref.has_query ? ref.query : base.query;
      } else {
        t.path = RemoveDotSegments(ref.path.front() == '/' ? ref.path : Merge(base, ref.path));
        t.has_query = ref.has_query;
        t.query = ref.query;
      }
    }
  }
  if (!t.has_authority || !AuthorityUsable(t.authority)) return std::nullopt;
  if (t.path.empty() || t.path.front() != '/') t.path = Prefixed('/', t.path);
  std::string out = t.scheme + "://" + t.authority + EncodeUnsafe(t.path);
  if (t.has_query) {
    out += '?';
    out += EncodeUnsafe(t.query);
  }
  return out;
}

}  // namespace vlt::net
