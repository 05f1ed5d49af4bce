#include "tests/support/fixture_settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vlt::test {

std::map<std::string, std::string> FixtureSettings(const char* variable) {
  const char* path = std::getenv(variable);
  if (path == nullptr) return {};
  return FixtureSettingsAt(path);
}

std::map<std::string, std::string> FixtureSettingsAt(const std::string& path) {
  std::map<std::string, std::string> settings;
  // The fixture's own directory, for tests that add files to what it serves.
  settings["dir"] = std::filesystem::path(path).parent_path().string();
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) settings[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return settings;
}

}  // namespace vlt::test
