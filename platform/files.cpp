// The portable half of the file layer.
#include "platform/files.h"

#include <utility>

#include "platform/exception.h"
#include "platform/paths.h"

namespace vlt::platform {

bool ForceDirectories(std::string_view path) {
  if (path.empty()) throw Exception("Unable to create directory");
  const std::string dir = ExcludeTrailingPathDelimiter(path);
  if (dir.empty() || DirectoryExists(dir)) return true;
  const std::string parent = ExtractFileDir(dir);
  // A drive root ("C:") or a single short name is created directly.
  if (dir.size() < 3 || parent.empty() || parent == dir) return CreateDir(dir);
  return ForceDirectories(parent) && CreateDir(dir);
}

// Ownership of the open file is the same on both systems.
File::~File() {
  Close();
}
File::File(File&& other) noexcept : handle_(other.handle_), error_(std::move(other.error_)) {
  other.handle_ = kInvalid;
}
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    error_ = std::move(other.error_);
    other.handle_ = kInvalid;
  }
  return *this;
}

}  // namespace vlt::platform
