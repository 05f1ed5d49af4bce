#pragma once
// File attributes, file times and copying, for files named by Windows path texts.
#include <cstdint>
#include <optional>
#include <string_view>

namespace vlt::platform {

// The MS-DOS attribute bits, as Windows keeps them.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;
constexpr std::uint32_t kAttrSystem = 0x04;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;

// Sets read-only, hidden, system and archive from `attributes` (other bits are ignored; none
// set means a normal file). Natively only read-only is kept, as a file without write
// permission; hidden, system and archive have no counterpart there and are dropped.
bool SetFileAttributesDos(std::string_view path, std::uint32_t attributes);
// The attribute bits of a file or directory, nullopt when it cannot be read. Natively:
// read-only (no write permission) and directory only.
std::optional<std::uint32_t> FileAttributesDos(std::string_view path);

// A calendar date and wall-clock time in the machine's local time zone.
struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const LocalDateTime&) const = default;
};
// True for a real date (leap years included) and a time of day.
bool IsValidDateTime(const LocalDateTime& t);
// Sets the creation and last-write times. Natively there is no creation time: the last-write
// (modification) time is set and the access time is left alone.
bool SetFileTimesLocal(std::string_view path, const LocalDateTime& t);
class File;
// The same on a file open for writing, after its last write: no second open by name.
bool SetFileTimesLocal(const File& file, const LocalDateTime& t);
std::optional<LocalDateTime> FileLastWriteLocal(std::string_view path);

// Copies a file over the target, replacing it (contents, attributes and last-write time, as
// Windows copies). Fails, as on Windows, when the target is read-only.
bool CopyFileOverwrite(std::string_view from, std::string_view to);

}  // namespace vlt::platform
