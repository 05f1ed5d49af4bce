// The portable half of the file layer.
#include "platform/files.h"

#include <string>
#include <vector>

#include "platform/exception.h"
#include "platform/paths.h"

namespace vlt::platform {

bool ForceDirectories(std::string_view path) {
  if (path.empty()) throw Exception("Unable to create directory");
  const std::string dir = ExcludeTrailingPathDelimiter(path);
  // "\" alone: the root of the current drive.
  if (dir.empty()) return true;
  // A path the system cannot take would only cost a lookup per level before failing.
  if (!PathWithinLimit(dir)) return false;
  // Every level is a prefix of `dir`: walk up to the first one that exists, keeping only the
  // lengths, then create downwards. Without recursion a deep name costs no stack, and only a
  // length is kept per level.
  std::vector<size_t> missing;
  for (size_t length = dir.size();;) {
    const std::string_view level(dir.data(), length);
    if (DirectoryExists(level)) break;
    missing.push_back(length);
    // A drive root ("C:") or a name of one or two characters is created directly.
    if (length < 3) break;
    // Anything longer needs its parent first, so a relative path ("pasta\sub") climbs to the
    // empty parent and raises rather than creating folders wherever the program happens to
    // run. Nothing has been created yet.
    const std::string above = ExtractFileDir(level);
    if (above.empty()) throw Exception("Unable to create directory");
    const size_t parent = ExcludeTrailingPathDelimiter(above).size();
    // The current drive's root ("\") exists; a drive root is its own parent.
    if (parent == 0 || parent == length) break;
    length = parent;
  }
  for (size_t i = missing.size(); i-- > 0;) {
    if (!CreateDir(std::string_view(dir.data(), missing[i]))) return false;
  }
  return true;
}

bool ReadWholeFile(std::string_view path, std::int64_t limit, std::string& data,
                   std::string& error) {
  File file;
  if (!file.Open(path, FileAccess::Read, FileShare::DenyWrite, FileCreate::OpenExisting)) {
    error = file.ErrorText();
    return false;
  }
  const std::int64_t size = file.Size();
  if (size < 0) {
    error = file.ErrorText();
    return false;
  }
  // Checked before anything is allocated.
  if (size > limit) {
    error = "file larger than " + std::to_string(limit) + " bytes";
    return false;
  }
  data.resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < data.size()) {
    const std::ptrdiff_t n = file.Read(data.data() + done, data.size() - done);
    if (n < 0) {
      error = file.ErrorText();
      return false;
    }
    if (n == 0) break;  // shortened meanwhile
    done += static_cast<size_t>(n);
  }
  data.resize(done);
  return true;
}

}  // namespace vlt::platform
