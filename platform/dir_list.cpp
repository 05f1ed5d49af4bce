#include "platform/dir_list.h"

#include "platform/numbers.h"

namespace vlt::platform {
namespace {

// Plain '*' and '?' matching with backtracking to the last star: linear in practice.
bool Match(std::string_view name, std::string_view pattern) {
  size_t n = 0, p = 0;
  size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
      ++n, ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
  if (Match(name, pattern)) return true;
  if (name.find('.') != std::string_view::npos) return false;
  // A name without a dot is treated as ending in an empty extension.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
    return Match(name, pattern.substr(0, pattern.size() - 2));
  }
  if (!pattern.empty() && pattern.back() == '.') {
    return Match(name, pattern.substr(0, pattern.size() - 1));
  }
  return false;
}

}  // namespace vlt::platform
