#pragma once
// Starting programs, waiting for them, and the list of running processes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_resource.h"

namespace vlt::platform {

// The system's hold on a started process: a process handle on Windows (closed), a child's
// process id natively (let go; the child is not killed).
struct ProcessOwnerTraits {
  using Type = std::intptr_t;
  static Type Invalid() { return 0; }
  static void Close(Type handle);
};

// A started process; move-only, let go of by its destructor.
class Process {
 public:
  Process() = default;
  explicit Process(std::intptr_t handle) : handle_(handle) {}

  bool Valid() const { return handle_.Valid(); }
  // Waits at most `milliseconds` (-1: no limit); true once the process has ended.
  bool Wait(int milliseconds);
  // The program's exit code once Wait saw it end; -1 while it runs or when the system does not
  // tell (no handle, or a native child that ended on a signal).
  std::int64_t ExitCode() const { return exit_code_; }
  void Close() { handle_.Reset(); }

 private:
  UniqueResource<ProcessOwnerTraits> handle_;
  std::int64_t exit_code_ = -1;
};

struct StartResult {
  Process process;  // not Valid() when the start failed or the shell gave no handle
  bool started = false;
  std::uint32_t error = 0;  // the system's error code when !started
  std::string error_text;   // the system's message text for `error`, untrimmed
};

// Starts `program` with the argument text, as the shell's "open" verb does on Windows
// (owner: the active window, shown normally). Natively the argument text is split like a
// Windows command line.
StartResult ShellStart(std::string_view program, std::string_view arguments);

// The directory holding the running program (no trailing separator).
std::string ExecutableDirectory();

// Executable names of the running processes, in the order the system lists them.
std::vector<std::string> ProcessNames();

}  // namespace vlt::platform
