#pragma once
// Resolving a reference (a redirection's Location) against the URL it came with, the way
// browsers and other HTTP clients do: relative paths, dot segments, query-only references,
// network-path references; fragments are dropped, and blanks, control bytes and 8-bit bytes in
// the path and query are percent-encoded so that they travel as one request target.
#include <optional>
#include <string>
#include <string_view>

namespace vlt::net {

// The absolute URL, or nothing when the reference (or the base) cannot name one: a host holding
// blanks, control bytes or delimiters, or a base without scheme and host.
std::optional<std::string> ResolveReference(std::string_view base, std::string_view reference);

// Removes "." and ".." segments from a path ("/a/b/../c/./d" -> "/a/c/d").
std::string RemoveDotSegments(std::string_view path);

// The scheme of an absolute URL in lower case ("HTTP://x" -> "http"); empty when it has none.
std::string UrlScheme(std::string_view url);

}  // namespace vlt::net
