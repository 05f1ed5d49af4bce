#pragma once
// Starting programs, waiting for them, and the list of running processes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vlt::platform {

// A started process; move-only, the handle is closed by the destructor.
class Process {
 public:
  Process() = default;
  explicit Process(std::intptr_t handle) : handle_(handle) {}
  ~Process();
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool Valid() const { return handle_ != kNone; }
  // Waits at most `milliseconds`; true once the process has ended.
  bool Wait(int milliseconds);
  void Close();

 private:
  static constexpr std::intptr_t kNone = 0;
  std::intptr_t handle_ = kNone;
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
