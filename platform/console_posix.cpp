#include <fcntl.h>
#include <unistd.h>

#include "platform/console.h"

namespace vlt::platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool StderrIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

bool StderrAttached() {
  return fcntl(STDERR_FILENO, F_GETFD) != -1;
}

void WriteStderr(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = write(STDERR_FILENO, text.data(), text.size());
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace vlt::platform
