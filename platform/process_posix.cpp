// Native build: programs started with posix_spawn, the process list read from /proc.
#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <utility>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/posix_handle.h"
#include "platform/process.h"

extern char** environ;

namespace vlt::platform {
namespace {

// Splits an argument text as a Windows command line is split: blanks separate, double quotes
// group, a backslash before a quote makes it literal.
std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> args;
  std::string current;
  bool in_quotes = false, have = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
      current += '"';
      have = true;
      ++i;
    } else if (c == '"') {
      in_quotes = !in_quotes;
      have = true;
    } else if ((c == ' ' || c == '\t') && !in_quotes) {
      if (have) args.push_back(std::move(current));
      current.clear();
      have = false;
    } else {
      current += c;
      have = true;
    }
  }
  if (have) args.push_back(std::move(current));
  return args;
}

}  // namespace

// The child is not killed: like a Windows process handle, closing only lets go of it.
void ProcessOwnerTraits::Close(std::intptr_t) {}

bool Process::Wait(int milliseconds) {
  if (!Valid()) return true;
  const auto pid = static_cast<pid_t>(handle_.Get());
  // There is no timed waitpid: the system side of the wait polls in short real pauses.
  std::int64_t& exit_code = exit_code_;
  const bool ended = CurrentClock().WaitFor(
      [pid, &exit_code](int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
          int status = 0;
          const pid_t r = waitpid(pid, &status, WNOHANG);
          if (r == pid && WIFEXITED(status)) exit_code = WEXITSTATUS(status);
          if (r == pid || (r < 0 && errno != EINTR)) return true;
          if (ms >= 0 && std::chrono::steady_clock::now() >= deadline) return false;
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
      },
      milliseconds);
  // Reaped (or not our child any more): the process id is no longer ours to hold.
  if (ended) handle_.Release();
  return ended;
}

StartResult ShellStart(std::string_view program, std::string_view arguments) {
  const std::string path = HostPath(program);
  std::vector<std::string> args = SplitCommandLine(arguments);
  args.insert(args.begin(), path);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  StartResult result;
  const int rc = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc == 0) {
    result.started = true;
    result.process = Process(pid);
  } else {
    result.error = static_cast<std::uint32_t>(rc);
    result.error_text = std::strerror(rc);
  }
  return result;
}

std::string ExecutableDirectory() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

std::vector<std::string> ProcessNames() {
  std::vector<std::string> names;
  const UniqueDirStream proc(opendir("/proc"));
  if (!proc) return names;
  while (const dirent* e = readdir(proc.Get())) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    std::ifstream comm(std::string("/proc/") + e->d_name + "/comm");
    std::string name;
    if (std::getline(comm, name)) names.push_back(name);
  }
  return names;
}

}  // namespace vlt::platform
