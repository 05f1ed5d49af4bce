#include <unistd.h>

#include "platform/console.h"

namespace vlt::platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool StderrIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

}  // namespace vlt::platform
