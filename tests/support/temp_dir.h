#pragma once
// A fresh directory for one test, named by a Windows path text with a trailing backslash,
// removed with everything in it at the end. In the native build it is drive "C:" (the drive
// root is pointed at a new host directory); on Windows it lies in the temporary folder.
#include <string>

namespace vlt::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Windows path text, ends with '\'.
  const std::string& path() const { return path_; }
  // path() + relative
  std::string operator/(const std::string& relative) const { return path_ + relative; }

 private:
  std::string path_;
  std::string host_;  // what to remove at the end
};

// Writes/reads a whole file named by a Windows path text.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Path of a helper program built next to the test executables (".exe" added on Windows).
std::string HelperProgram(const std::string& name);
// Path of another file built next to the test executables.
std::string HelperFile(const std::string& file_name);

}  // namespace vlt::test
