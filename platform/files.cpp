// The portable half of the file layer.
#include "platform/files.h"

#include "platform/exception.h"
#include "platform/paths.h"

namespace vlt::platform {

bool ForceDirectories(std::string_view path) {
  if (path.empty()) throw Exception("Unable to create directory");
  const std::string dir = ExcludeTrailingPathDelimiter(path);
  // "\" alone: the root of the current drive.
  if (dir.empty() || DirectoryExists(dir)) return true;
  const std::string parent = ExtractFileDir(dir);
  // A drive root ("C:") or a name of one or two characters is created directly. Anything else
  // needs its parent first, so a relative path ("pasta\sub") climbs to the empty parent and
  // raises rather than creating folders wherever the program happens to run.
  if (dir.size() < 3 || parent == dir) return CreateDir(dir);
  return ForceDirectories(parent) && CreateDir(dir);
}

}  // namespace vlt::platform
