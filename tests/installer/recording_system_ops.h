#pragma once
// A SystemOps for the wizard and routine tests: it starts no program and writes no shortcut,
// but records what was asked and answers the process check as the test sets it. Directories
// are the real ones (the tests work in a TempDir), since the routines go on to write into them.
#include <functional>
#include <string>
#include <vector>

#include "installer/system_ops.h"
#include "platform/files.h"

namespace vlt::test {

class RecordingSystemOps : public SystemOps {
 public:
  struct Run {
    std::string program, arguments;
  };
  struct Shortcut {
    std::string target, arguments, working_directory, name;
  };

  std::int64_t ExecutaEAguarda(const std::string& program, const std::string& arguments,
                               const std::function<void()>&) override {
    runs.push_back({program, arguments});
    if (on_run) on_run(runs.back());
    return exit_code;
  }
  void CriaAtalho(const std::string& target, const std::string& arguments,
                  const std::string& working_directory, const std::string& name) override {
    shortcuts.push_back({target, arguments, working_directory, name});
  }
  bool FirebirdAtivo() override {
    ++firebird_checks;
    return firebird_running;
  }
  bool DirectoryExists(const std::string& path) override { return platform::DirectoryExists(path); }
  bool ForceDirectories(const std::string& path) override {
    created.push_back(path);
    return platform::ForceDirectories(path);
  }

  std::vector<Run> runs;
  std::vector<Shortcut> shortcuts;
  std::vector<std::string> created;  // every ForceDirectories, in order
  bool firebird_running = false;
  std::int64_t exit_code = 0;  // what every started program ends with
  int firebird_checks = 0;
  // What the started program would do meanwhile (a stand-in installer, say).
  std::function<void(const Run&)> on_run;
};

}  // namespace vlt::test
