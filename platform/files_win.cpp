// Windows build: the "W" file APIs, paths passed as they are.
#include <windows.h>

#include <algorithm>

#include "platform/file_error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/win_handle.h"
#include "platform/win_text.h"

namespace vlt::platform {
namespace {

thread_local DWORD last_error = 0;

bool Check(BOOL ok) {
  last_error = ok ? 0 : GetLastError();
  return ok != FALSE;
}

std::string TrimmedMessage(DWORD code) {
  return TrimRight(SystemErrorMessage(code));
}

HANDLE Native(const File& file) {
  return reinterpret_cast<HANDLE>(file.NativeHandle());
}

}  // namespace

void SetNativeDriveRoot(const std::string&) {}
std::string HostPath(std::string_view path) {
  return std::string(path);
}

bool FileExists(std::string_view path) {
  const DWORD attr = GetFileAttributesW(Widen(path).c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(std::string_view path) {
  // GetFileAttributesW follows symbolic links and junctions for the final component only when
  // opened; a dangling link still reports its own attributes, so confirm by opening it.
  const std::wstring w = Widen(path);
  const DWORD attr = GetFileAttributesW(w.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  if ((attr & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
  const UniqueFileHandle target(
      CreateFileW(w.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return target.Valid();
}

bool CreateDir(std::string_view path) {
  return Check(CreateDirectoryW(Widen(path).c_str(), nullptr));
}

bool RemoveFile(std::string_view path) {
  return Check(DeleteFileW(Widen(path).c_str()));
}

bool RemoveDir(std::string_view path) {
  return Check(RemoveDirectoryW(Widen(path).c_str()));
}

bool RenameFile(std::string_view from, std::string_view to) {
  return Check(MoveFileW(Widen(from).c_str(), Widen(to).c_str()));
}

std::string TemporaryFolder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
  std::string path = n == 0 || n > MAX_PATH + 1 ? std::string("C:\\Windows\\Temp")
                                                : Narrow(std::wstring_view(buffer, n));
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string LastFileErrorText() {
  return TrimmedMessage(last_error);
}

bool File::Open(std::string_view path, FileAccess access, FileShare share, FileCreate create) {
  Close();
  const DWORD desired = access == FileAccess::Read    ? GENERIC_READ
                        : access == FileAccess::Write ? GENERIC_WRITE
                                                      : GENERIC_READ | GENERIC_WRITE;
  const DWORD share_mode = share == FileShare::Exclusive   ? 0
                           : share == FileShare::DenyWrite ? FILE_SHARE_READ
                                                           : FILE_SHARE_READ | FILE_SHARE_WRITE;
  const DWORD disposition = create == FileCreate::OpenExisting   ? OPEN_EXISTING
                            : create == FileCreate::CreateAlways ? CREATE_ALWAYS
                                                                 : OPEN_ALWAYS;
  const std::wstring wide = Widen(path);
  HANDLE h = INVALID_HANDLE_VALUE;
  if (disposition == CREATE_ALWAYS) {
    // Most files written anew do not exist yet (an extraction): one lookup of the name instead
    // of two, which under Wine each cost a scan of the folder.
    h = CreateFileW(wide.c_str(), desired, share_mode, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_.Reset(reinterpret_cast<std::intptr_t>(h));
      error_.clear();
      return true;
    }
    // Otherwise (it exists, or cannot be made) the full way below gives the answer.
  }
  // Windows refuses to write a read-only file; Wine running as root would not, so ask first.
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (access != FileAccess::Read && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_READONLY) != 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error_ = TrimmedMessage(ERROR_ACCESS_DENIED);
    return false;
  }
  h = CreateFileW(wide.c_str(), desired, share_mode, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                  nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error_ = TrimmedMessage(GetLastError());
    return false;
  }
  handle_.Reset(reinterpret_cast<std::intptr_t>(h));
  error_.clear();
  return true;
}

void FileHandleOwnerTraits::Close(std::intptr_t handle) {
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}

std::ptrdiff_t File::Read(void* buffer, size_t count) {
  auto* p = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(Native(*this), p + done, chunk, &got, nullptr)) {
      error_ = TrimmedMessage(GetLastError());
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<std::ptrdiff_t>(done);
}

bool File::Write(const void* buffer, size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  while (count > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(Native(*this), p, chunk, &put, nullptr) || put == 0) {
      error_ = TrimmedMessage(GetLastError());
      return false;
    }
    p += put;
    count -= put;
  }
  return true;
}

std::int64_t File::Seek(std::int64_t offset) {
  LARGE_INTEGER to{}, now{};
  to.QuadPart = offset;
  if (!SetFilePointerEx(Native(*this), to, &now, FILE_BEGIN)) return -1;
  return now.QuadPart;
}

std::int64_t File::SeekEnd() {
  LARGE_INTEGER to{}, now{};
  if (!SetFilePointerEx(Native(*this), to, &now, FILE_END)) return -1;
  return now.QuadPart;
}

std::int64_t File::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Native(*this), &size)) return -1;
  return size.QuadPart;
}

bool File::Truncate() {
  return SetEndOfFile(Native(*this)) != FALSE;
}

bool File::Flush() {
  return IsOpen();
}

}  // namespace vlt::platform

namespace vlt::platform {

void SetLastFileError(unsigned long code) {
  last_error = code;
}

bool RenameFileReplacing(std::string_view from, std::string_view to) {
  const std::wstring target = Widen(to);
  // As File::Open: Windows refuses a read-only target, Wine running as root would not.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    last_error = ERROR_ACCESS_DENIED;
    return false;
  }
  return Check(MoveFileExW(Widen(from).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
}

bool PathWithinLimit(std::string_view path) {
  // Without the "\\?\" prefix the "W" file functions stop at MAX_PATH, terminator included.
  const std::wstring wide = Widen(path);
  const size_t limit = wide.rfind(L"\\\\?\\", 0) == 0 ? 32767 : MAX_PATH - 1;
  return wide.size() <= limit;
}

}  // namespace vlt::platform
