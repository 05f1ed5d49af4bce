// Windows build: FindFirstFileExW applies the wildcard itself.
#include <windows.h>

#include "platform/dir_list.h"
#include "platform/paths.h"
#include "platform/win_handle.h"
#include "platform/win_text.h"

namespace vlt::platform {

std::vector<DirEntry> ListDirectory(std::string_view directory, std::string_view pattern) {
  std::vector<DirEntry> entries;
  const std::wstring query = Widen(IncludeTrailingPathDelimiter(directory) + std::string(pattern));
  WIN32_FIND_DATAW data{};
  const UniqueFindHandle find(FindFirstFileExW(query.c_str(), FindExInfoBasic, &data,
                                               FindExSearchNameMatch, nullptr,
                                               FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return entries;
  do {
    entries.push_back(
        {Narrow(data.cFileName), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(find.Get(), &data));
  return entries;
}

}  // namespace vlt::platform
