#pragma once
// The operating-system operations the wizard and the installation routines use. A seam, so
// that the routines can be exercised with a recording stand-in.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vlt {

class SystemOps {
 public:
  virtual ~SystemOps() = default;
  // Starts the program and waits for it, calling `while_waiting` between slices of the wait so
  // that a window stays alive. Returns the program's exit code (-1 when the system does not
  // tell); throws, naming the program and the system's reason, when it cannot be started.
  virtual std::int64_t ExecutaEAguarda(const std::string& program, const std::string& arguments,
                                       const std::function<void()>& while_waiting) = 0;
  // Puts a shortcut called `name` on the operator's desktop, replacing an older one. Throws
  // when the system names no desktop folder or the shortcut cannot be saved.
  virtual void CriaAtalho(const std::string& target, const std::string& arguments,
                          const std::string& working_directory, const std::string& name) = 0;
  // True while a process whose executable name contains "fbserver" runs.
  virtual bool FirebirdAtivo() = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Throws "Unable to create directory" for the empty path; other failures return false.
  virtual bool ForceDirectories(const std::string& path) = 0;
};

// The real operations, through platform/.
class PlatformSystemOps final : public SystemOps {
 public:
  std::int64_t ExecutaEAguarda(const std::string& program, const std::string& arguments,
                               const std::function<void()>& while_waiting) override;
  void CriaAtalho(const std::string& target, const std::string& arguments,
                  const std::string& working_directory, const std::string& name) override;
  bool FirebirdAtivo() override;
  bool DirectoryExists(const std::string& path) override;
  bool ForceDirectories(const std::string& path) override;

  // How long one wait for a started program lasts before events are pumped again.
  static constexpr int kWaitSliceMs = 50;
};

// The system's message text as the information box shows it: trailing characters of code 32
// or below and trailing periods removed.
std::string TrimSystemMessage(std::string text);
// The reason a program could not be started, as the operator reads it: the system's text
// trimmed, with its "%1" inserts filled with the program's file name.
std::string SystemReasonFor(const std::string& text, const std::string& program);
// The executable names joined, each followed by CR, searched case-sensitively for "fbserver".
bool ListHasFirebirdServer(const std::vector<std::string>& executable_names);

}  // namespace vlt
