// Native build: Windows path texts mapped onto the host file system.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/file_error.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace vlt::platform {
namespace {

std::string& DriveRoot() {
  static std::string root = (std::filesystem::current_path() / "drives").string();
  return root;
}

thread_local int last_errno = 0;

int Native(const File& file) {
  return static_cast<int>(file.NativeHandle());
}

}  // namespace

void SetNativeDriveRoot(const std::string& root) {
  DriveRoot() = root;
}

std::string HostPath(std::string_view path) {
  // A host path ("/tmp/x") stays one; Windows paths never start with '/'.
  if (!path.empty() && path[0] == '/') {
    std::string host(path);
    for (char& c : host) {
      if (c == '\\') c = '/';
    }
    return host;
  }
  std::string normal = NormalizePath(path);
  std::string prefix;
  size_t skip = 0;
  if (const char drive = DriveLetter(normal); drive != 0) {
    prefix = DriveRoot() + "/" + drive;
    skip = 2;
  } else if (!normal.empty() && normal[0] == '\\') {
    prefix = DriveRoot() + "/C";
  }
  std::string rest = normal.substr(skip);
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  if (prefix.empty()) return rest;
  if (!rest.empty() && rest[0] != '/') rest.insert(rest.begin(), '/');
  return prefix + rest;
}

bool FileExists(std::string_view path) {
  struct stat st {};
  return !path.empty() && stat(HostPath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
  struct stat st {};
  return !path.empty() && stat(HostPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static bool Check(bool ok) {
  last_errno = ok ? 0 : errno;
  return ok;
}

bool CreateDir(std::string_view path) {
  if (DriveLetter(path) != 0 && NormalizePath(path).size() <= 3) {
    // A drive root: the mapped directory itself.
    return Check(mkdir(HostPath(path).c_str(), 0777) == 0 || errno == EEXIST);
  }
  return Check(mkdir(HostPath(path).c_str(), 0777) == 0);
}

bool RemoveFile(std::string_view path) {
  if (DirectoryExists(path)) {
    last_errno = EISDIR;
    return false;
  }
  return Check(unlink(HostPath(path).c_str()) == 0);
}

bool RemoveDir(std::string_view path) {
  return Check(rmdir(HostPath(path).c_str()) == 0);
}

bool RenameFile(std::string_view from, std::string_view to) {
  const std::string target = HostPath(to);
  struct stat st {};
  if (lstat(target.c_str(), &st) == 0) {
    last_errno = EEXIST;
    return false;
  }
  return Check(rename(HostPath(from).c_str(), target.c_str()) == 0);
}

std::string TemporaryFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string path = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string LastFileErrorText() {
  return std::strerror(last_errno);
}

bool File::Open(std::string_view path, FileAccess access, FileShare share, FileCreate create) {
  Close();
  int flags = O_CLOEXEC;
  flags |= access == FileAccess::Read ? O_RDONLY : access == FileAccess::Write ? O_WRONLY : O_RDWR;
  if (create == FileCreate::CreateAlways) flags |= O_CREAT | O_TRUNC;
  if (create == FileCreate::OpenAlways) flags |= O_CREAT;
  const std::string host = HostPath(path);
  struct stat st {};
  if (stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    error_ = std::strerror(EISDIR);
    return false;
  }
  // A file without write permission is read-only, as the attribute makes it on Windows, even
  // for root.
  if (access != FileAccess::Read && st.st_mode != 0 &&
      (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    error_ = std::strerror(EACCES);
    return false;
  }
  UniqueResource<FileHandleOwnerTraits> fd(::open(host.c_str(), flags, 0666));
  if (!fd) {
    error_ = std::strerror(errno);
    return false;
  }
  // Share modes have no POSIX counterpart; an advisory lock keeps our own openers honest.
  if (share == FileShare::Exclusive && flock(static_cast<int>(fd.Get()), LOCK_EX | LOCK_NB) != 0) {
    error_ = std::strerror(errno);
    return false;
  }
  handle_ = std::move(fd);
  error_.clear();
  return true;
}

void FileHandleOwnerTraits::Close(std::intptr_t handle) {
  ::close(static_cast<int>(handle));
}

std::ptrdiff_t File::Read(void* buffer, size_t count) {
  auto* p = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(Native(*this), p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = std::strerror(errno);
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<std::ptrdiff_t>(done);
}

bool File::Write(const void* buffer, size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  while (count > 0) {
    const ssize_t n = ::write(Native(*this), p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = std::strerror(errno);
      return false;
    }
    p += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

std::int64_t File::Seek(std::int64_t offset) {
  return ::lseek(Native(*this), offset, SEEK_SET);
}

std::int64_t File::SeekEnd() {
  return ::lseek(Native(*this), 0, SEEK_END);
}

std::int64_t File::Size() const {
  struct stat st {};
  return fstat(Native(*this), &st) == 0 ? st.st_size : -1;
}

bool File::Truncate() {
  const off_t pos = ::lseek(Native(*this), 0, SEEK_CUR);
  return pos >= 0 && ftruncate(Native(*this), pos) == 0;
}

// Writes go straight to the system; there is no buffer of ours to flush.
bool File::Flush() {
  return IsOpen();
}

}  // namespace vlt::platform

namespace vlt::platform {

void SetLastFileError(unsigned long code) {
  last_errno = static_cast<int>(code);
}

bool RenameFileReplacing(std::string_view from, std::string_view to) {
  const std::string target = HostPath(to);
  struct stat st {};
  // Windows refuses to replace a directory or a read-only file; root here would not.
  if (stat(target.c_str(), &st) == 0 &&
      (S_ISDIR(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
    last_errno = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
    return false;
  }
  return Check(rename(HostPath(from).c_str(), target.c_str()) == 0);
}

bool PathWithinLimit(std::string_view path) {
  return HostPath(path).size() < PATH_MAX;
}

}  // namespace vlt::platform
