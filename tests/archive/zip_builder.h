#pragma once
// Builds ZIP archives byte by byte, so that every field, flag and fault can be chosen.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vlt::test {

// DOS date and time as a ZIP header stores them (date in the high 16 bits).
constexpr std::uint32_t DosDateTime(int year, int month, int day, int hour, int minute,
                                    int second) {
  return static_cast<std::uint32_t>((year - 1980) << 25 | month << 21 | day << 16 | hour << 11 |
                                    minute << 5 | second / 2);
}

struct ZipEntry {
  std::string name;  // bytes as stored in both headers
  std::string data;  // uncompressed contents
  std::uint16_t method = 8;
  std::uint16_t flag = 0;
  std::uint16_t made_by = 0x031E;  // Unix; 0x00xx is MS-DOS
  std::uint32_t external = 0;
  std::uint32_t modified = DosDateTime(2019, 7, 14, 13, 45, 30);
  std::string local_extra;
  std::string central_extra;
  std::optional<std::string> local_name;         // a different name in the local header
  std::optional<std::uint32_t> crc;              // a wrong CRC-32 in both headers
  std::optional<std::string> payload;            // bytes written as the entry's data
  std::optional<std::uint32_t> compressed_size;  // a wrong compressed size in both headers
  // The central header stores 0xFFFFFFFF for both sizes and the offset and puts them into a
  // ZIP64 extra field (after `central_extra`).
  bool zip64 = false;
  // No local header or data of its own: the central header points at the previous entry's.
  bool shares_previous = false;
};

struct ZipLayout {
  // The end record's entry counts (both), when not the real count.
  std::optional<std::uint16_t> end_count;
  // A ZIP64 end record and locator before the end record, which then says 0xFFFF and
  // 0xFFFFFFFF; the ZIP64 record's offset may be made wrong.
  bool zip64_end = false;
  std::optional<std::uint64_t> zip64_end_offset;
};

struct ZipImage {
  std::string bytes;
  std::vector<size_t> local_offsets;
  size_t central_offset = 0;
  size_t end_offset = 0;
};

// Local headers and data, the central directory, the end record and the comment; nothing
// else.
ZipImage BuildZip(const std::vector<ZipEntry>& entries, const std::string& comment = "",
                  const ZipLayout& layout = {});

// Raw deflate (no zlib header), as method 8 stores it.
std::string Deflate(const std::string& data);
std::uint32_t Crc32(const std::string& data);

// Writes an archive for a test; with VLT_ZIP_SEED_DIR set, also keeps a copy there as a
// seed for the fuzz run.
void WriteArchive(const std::string& path, const std::string& bytes);

}  // namespace vlt::test
