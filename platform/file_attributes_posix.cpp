// Native build: read-only is the absence of write permission; times through utimensat.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/file_attributes.h"
#include "platform/file_error.h"
#include "platform/files.h"

namespace vlt::platform {

bool SetFileAttributesDos(std::string_view path, std::uint32_t attributes) {
  const std::string host = HostPath(path);
  struct stat st {};
  if (stat(host.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if (attributes & kAttrReadOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return mode == (st.st_mode & 07777) || chmod(host.c_str(), mode) == 0;
}

std::optional<std::uint32_t> FileAttributesDos(std::string_view path) {
  struct stat st {};
  if (stat(HostPath(path).c_str(), &st) != 0) return std::nullopt;
  std::uint32_t attributes = 0;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= kAttrReadOnly;
  if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
  return attributes;
}

namespace {

// The stamp as the system's time, or -1.
time_t SystemTimeOf(const LocalDateTime& t) {
  if (!IsValidDateTime(t)) return -1;
  // Archives repeat the same few stamps; mktime reads the zone rules on every call.
  thread_local LocalDateTime last_in;
  thread_local time_t last_out = -1;
  if (last_out == -1 || !(last_in == t)) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    const time_t when = mktime(&tm);
    if (when == -1) return -1;
    last_in = t;
    last_out = when;
  }
  return last_out;
}

}  // namespace

bool SetFileTimesLocal(std::string_view path, const LocalDateTime& t) {
  const time_t when = SystemTimeOf(t);
  if (when == -1) return false;
  const timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
  return utimensat(AT_FDCWD, HostPath(path).c_str(), times, 0) == 0;
}

bool SetFileTimesLocal(const File& file, const LocalDateTime& t) {
  const time_t when = SystemTimeOf(t);
  if (when == -1 || !file.IsOpen()) return false;
  const timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
  return futimens(static_cast<int>(file.NativeHandle()), times) == 0;
}

std::optional<LocalDateTime> FileLastWriteLocal(std::string_view path) {
  struct stat st {};
  if (stat(HostPath(path).c_str(), &st) != 0) return std::nullopt;
  std::tm tm{};
  if (localtime_r(&st.st_mtime, &tm) == nullptr) return std::nullopt;
  return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                       tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

// Keeps errno for LastFileErrorText().
static bool CopyFailed(int code) {
  SetLastFileError(static_cast<unsigned long>(code));
  return false;
}

bool CopyFileOverwrite(std::string_view from, std::string_view to) {
  const std::string source = HostPath(from);
  const std::string target = HostPath(to);
  struct stat src {};
  if (stat(source.c_str(), &src) != 0) return CopyFailed(errno);
  if (S_ISDIR(src.st_mode)) return CopyFailed(EISDIR);
  struct stat dst {};
  // Root may write anything; a read-only target must still refuse, as it does on Windows.
  if (stat(target.c_str(), &dst) == 0 &&
      (S_ISDIR(dst.st_mode) || (dst.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
    return CopyFailed(EACCES);
  }
  File in, out;
  if (!in.Open(from, FileAccess::Read, FileShare::DenyWrite, FileCreate::OpenExisting) ||
      !out.Open(to, FileAccess::Write, FileShare::Exclusive, FileCreate::CreateAlways)) {
    return CopyFailed(errno);
  }
  static constexpr size_t kChunk = 1 << 20;
  std::string buffer(kChunk, '\0');
  for (;;) {
    const std::ptrdiff_t got = in.Read(buffer.data(), kChunk);
    if (got < 0) return CopyFailed(errno);
    if (got == 0) break;
    if (!out.Write(buffer.data(), static_cast<size_t>(got))) return CopyFailed(errno);
  }
  const int fd = static_cast<int>(out.NativeHandle());
  const timespec times[2] = {{0, UTIME_OMIT}, src.st_mtim};
  if (fchmod(fd, src.st_mode & 07777) != 0 || futimens(fd, times) != 0) return CopyFailed(errno);
  return true;
}

}  // namespace vlt::platform
