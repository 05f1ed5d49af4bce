#pragma once
// Files and directories named by Windows path texts. On Windows the texts go to the "W" file
// APIs as they are; in the native build they are mapped (see SetNativeDriveRoot).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/unique_resource.h"

namespace vlt::platform {

// Native build only: drive "X:" maps to <root>/X (default: the current directory's "drives"
// subdirectory). Paths without a drive are relative to the current directory; a rooted path
// without a drive ("\dir") is taken on drive C; a path starting with '/' is a host path.
// Has no effect on Windows.
void SetNativeDriveRoot(const std::string& root);
// The host path a Windows path text names (identity on Windows).
std::string HostPath(std::string_view path);

bool FileExists(std::string_view path);       // a file, not a directory
bool DirectoryExists(std::string_view path);  // symbolic links and junctions followed
bool CreateDir(std::string_view path);        // one level
// Creates the directory and every missing parent. The empty path raises
// vlt::Exception("Unable to create directory"), and so does a relative path of more than one
// short name, whose parents run out at the empty text; any other failure returns false.
bool ForceDirectories(std::string_view path);
bool RemoveFile(std::string_view path);
bool RemoveDir(std::string_view path);  // an empty directory
// Rename within the file system; fails when the target exists.
bool RenameFile(std::string_view from, std::string_view to);
// The user's folder for temporary files (%TEMP% on Windows, $TMPDIR or /tmp natively), without
// a trailing separator.
std::string TemporaryFolder();
// The last file-system error of this thread, as the system words it.
std::string LastFileErrorText();

// Renames `from` over `to`, replacing a file there in one step. Fails, as on Windows, when `to`
// is a directory, read-only or in use.
bool RenameFileReplacing(std::string_view from, std::string_view to);
// False when `path` is longer than the system's file functions accept (MAX_PATH on Windows,
// PATH_MAX for the mapped host path natively): such a path can be neither created nor opened.
bool PathWithinLimit(std::string_view path);

enum class FileAccess { Read, Write, ReadWrite };
// What other openers may do meanwhile (Windows share modes; advisory only natively).
enum class FileShare { Exclusive, DenyWrite, DenyNone };
enum class FileCreate { OpenExisting, CreateAlways, OpenAlways };

// The system's file handle (a HANDLE on Windows, a descriptor natively); closed by the half of
// the system that opened it.
struct FileHandleOwnerTraits {
  using Type = std::intptr_t;
  static Type Invalid() { return -1; }
  static void Close(Type handle);
};

// An open file; move-only, closed by its destructor.
class File {
 public:
  // On failure returns false and keeps the system's text in ErrorText().
  bool Open(std::string_view path, FileAccess access, FileShare share, FileCreate create);
  bool IsOpen() const { return handle_.Valid(); }
  void Close() { handle_.Reset(); }

  // Short reads only at the end of the file; -1 on error.
  std::ptrdiff_t Read(void* buffer, size_t count);
  // Writes all or returns false.
  bool Write(const void* buffer, size_t count);
  // Absolute position; returns the new position or -1.
  std::int64_t Seek(std::int64_t offset);
  std::int64_t SeekEnd();
  std::int64_t Size() const;
  bool Truncate();  // at the current position
  bool Flush();     // writes are unbuffered: true while open
  const std::string& ErrorText() const { return error_; }
  std::intptr_t NativeHandle() const { return handle_.Get(); }

 private:
  UniqueResource<FileHandleOwnerTraits> handle_;
  std::string error_;
};

// Reads a whole file of at most `limit` bytes into `data`; on failure (cannot open or read, or
// larger than the limit) returns false with the reason in `error`.
bool ReadWholeFile(std::string_view path, std::int64_t limit, std::string& data,
                   std::string& error);

}  // namespace vlt::platform
