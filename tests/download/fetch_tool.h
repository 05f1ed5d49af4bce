#pragma once
// Runs the native veltra-fetch as a person would, from a directory of the test (native build).
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "platform/process.h"

namespace vlt::test {

// veltra-fetch ARGS run in `dir`: its exit status and what it wrote on stderr.
inline std::pair<int, std::string> RunFetchTool(const std::filesystem::path& dir,
                                                const std::string& args) {
  const std::string tool = platform::ExecutableDirectory() + "/../tools/veltra-fetch";
  const std::string cmd = "cd '" + dir.string() + "' && '" + tool + "' " + args + " 2>err.txt";
  const int status = std::system(cmd.c_str());
  std::ifstream err(dir / "err.txt");
  return {WEXITSTATUS(status), std::string(std::istreambuf_iterator<char>(err), {})};
}

}  // namespace vlt::test
