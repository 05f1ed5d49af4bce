// Windows build.
#include <windows.h>

#include "platform/file_attributes.h"
#include "platform/file_error.h"
#include "platform/files.h"
#include "platform/win_handle.h"
#include "platform/win_text.h"

namespace vlt::platform {

bool SetFileAttributesDos(std::string_view path, std::uint32_t attributes) {
  DWORD value = attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
  if (value == 0) value = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesW(Widen(path).c_str(), value) != FALSE;
}

std::optional<std::uint32_t> FileAttributesDos(std::string_view path) {
  const DWORD value = GetFileAttributesW(Widen(path).c_str());
  if (value == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return value;
}

namespace {

// The stamp as a file time, or false.
bool FileTimeOf(const LocalDateTime& t, FILETIME& stamp) {
  if (!IsValidDateTime(t)) return false;
  // Archives repeat the same few stamps; the conversion reads the zone rules every time.
  thread_local LocalDateTime last_in;
  thread_local FILETIME last_out{};
  thread_local bool have_last = false;
  if (!have_last || !(last_in == t)) {
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(t.year);
    local.wMonth = static_cast<WORD>(t.month);
    local.wDay = static_cast<WORD>(t.day);
    local.wHour = static_cast<WORD>(t.hour);
    local.wMinute = static_cast<WORD>(t.minute);
    local.wSecond = static_cast<WORD>(t.second);
    SYSTEMTIME utc{};
    // The zone rules of that date, so a summer stamp stays a summer stamp.
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !SystemTimeToFileTime(&utc, &last_out)) {
      have_last = false;
      return false;
    }
    last_in = t;
    have_last = true;
  }
  stamp = last_out;
  return true;
}

}  // namespace

bool SetFileTimesLocal(std::string_view path, const LocalDateTime& t) {
  FILETIME stamp{};
  if (!FileTimeOf(t, stamp)) return false;
  UniqueFileHandle file(CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file && SetFileTime(file.Get(), &stamp, nullptr, &stamp) != FALSE;
}

bool SetFileTimesLocal(const File& file, const LocalDateTime& t) {
  FILETIME stamp{};
  if (!FileTimeOf(t, stamp) || !file.IsOpen()) return false;
  return SetFileTime(reinterpret_cast<HANDLE>(file.NativeHandle()), &stamp, nullptr, &stamp) !=
         FALSE;
}

std::optional<LocalDateTime> FileLastWriteLocal(std::string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  SYSTEMTIME utc{}, local{};
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return std::nullopt;
  }
  return LocalDateTime{local.wYear, local.wMonth,  local.wDay,
                       local.wHour, local.wMinute, local.wSecond};
}

bool CopyFileOverwrite(std::string_view from, std::string_view to) {
  const std::wstring target = Widen(to);
  // As File::Open: Windows refuses a read-only target, Wine running as root would not.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetLastFileError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (CopyFileW(Widen(from).c_str(), target.c_str(), FALSE)) return true;
  SetLastFileError(GetLastError());
  return false;
}

}  // namespace vlt::platform
