// Native build: readdir over the mapped directory, filtered by the Windows pattern.
#include <dirent.h>
#include <sys/stat.h>

#include "platform/dir_list.h"
#include "platform/files.h"
#include "platform/posix_handle.h"

namespace vlt::platform {

std::vector<DirEntry> ListDirectory(std::string_view directory, std::string_view pattern) {
  std::vector<DirEntry> entries;
  const std::string mapped = HostPath(directory);
  const std::string host = mapped.empty() ? std::string(1, '.') : mapped;
  const UniqueDirStream dir(opendir(host.c_str()));
  if (!dir) return entries;
  while (const dirent* e = readdir(dir.Get())) {
    if (!MatchesWildcard(e->d_name, pattern)) continue;
    bool is_dir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st {};
      is_dir = stat((host + "/" + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back({e->d_name, is_dir});
  }
  return entries;
}

}  // namespace vlt::platform
