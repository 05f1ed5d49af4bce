#pragma once
// Directory listing with Windows wildcard patterns.
#include <string>
#include <string_view>
#include <vector>

namespace vlt::platform {

struct DirEntry {
  std::string name;  // as the file system spells it
  bool directory = false;
};

// The entries of `directory` (with or without a trailing separator) whose names match
// `pattern`, in the order the file system gives them. Hidden, system and read-only entries are
// listed; "." and ".." are listed when the pattern matches them, as Windows does. A missing or
// unreadable directory gives an empty list.
std::vector<DirEntry> ListDirectory(std::string_view directory, std::string_view pattern);

// Windows wildcard rules, ASCII letters compared without case: '*' matches any run, '?' any
// one character, a pattern ending in ".*" also matches names without a dot ("*.*" matches
// every name) and one ending in "." matches names without a dot.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

}  // namespace vlt::platform
