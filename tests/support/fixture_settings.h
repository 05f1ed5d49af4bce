#pragma once
// The "key=value" lines a ctest fixture wrote (ports of the servers it started), from the file
// an environment variable names; empty when the variable is not set.
#include <map>
#include <string>

namespace vlt::test {

std::map<std::string, std::string> FixtureSettings(const char* variable);
// The same, from the file itself (a test that names its fixture's file at build time).
std::map<std::string, std::string> FixtureSettingsAt(const std::string& path);

}  // namespace vlt::test
