#include "archive/zip_file.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "archive/zip_crc32.h"
#include "archive/zip_names.h"
#include "platform/codepage.h"
#include "platform/file_attributes.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace vlt {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kCentralFixed = 42;  // after the signature
constexpr size_t kLocalFixed = 26;
constexpr size_t kEndFixed = 18;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::int64_t kZip64LocatorSize = 20;
constexpr std::int64_t kZip64EndFixed = 56;  // up to its extensible data
constexpr std::uint32_t kZip64Sentinel = 0xFFFFFFFF;
// The shortest central header and local header, signatures included.
constexpr std::uint64_t kCentralMinimum = 4 + kCentralFixed;
constexpr std::uint64_t kLocalMinimum = 4 + kLocalFixed;
// A name in an error message is cut after this many bytes.
constexpr size_t kShownNameLength = 120;
constexpr size_t kCopyBufferSize = 128 << 10;

std::map<std::uint16_t, TDecompressorConstructor>& Handlers() {
  static std::map<std::uint16_t, TDecompressorConstructor> table;
  return table;
}

// The two methods the packages use, registered before main() runs.
const bool kStandardHandlers = [] {
  TZipFile::RegisterCompressionHandler(0, [](TZipInput& archive, const TZipHeader& entry) {
    return std::make_unique<TStoredStream>(archive, entry.CompressedSize);
  });
  TZipFile::RegisterCompressionHandler(8, [](TZipInput& archive, const TZipHeader& entry) {
    return std::make_unique<TInflateStream>(archive, entry.CompressedSize);
  });
  return true;
}();

// Little-endian fields in file order.
class FieldReader {
 public:
  explicit FieldReader(const unsigned char* p) : p_(p) {}
  std::uint16_t U16() {
    const std::uint16_t v = static_cast<std::uint16_t>(p_[0] | p_[1] << 8);
    p_ += 2;
    return v;
  }
  std::uint32_t U32() {
    const std::uint32_t v = static_cast<std::uint32_t>(p_[0]) | p_[1] << 8 | p_[2] << 16 |
                            static_cast<std::uint32_t>(p_[3]) << 24;
    p_ += 4;
    return v;
  }
  std::uint64_t U64() {
    const std::uint64_t low = U32();
    return low | static_cast<std::uint64_t>(U32()) << 32;
  }

 private:
  const unsigned char* p_;
};

[[noreturn]] void ReadError() {
  throw Exception("Error reading zip file");
}

// More or fewer headers than the end record counts: extracting what the count says would drop
// entries silently (70,000 entries counted in 16 bits come out as 4,464).
[[noreturn]] void DirectoryMismatch() {
  throw Exception("Zip central directory does not match its entry count");
}

// Texts shown to the operator stay short and valid UTF-8, whatever the archive holds.
std::string Shortened(std::string_view text) {
  if (text.size() <= kShownNameLength) return std::string(text);
  size_t cut = kShownNameLength;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

// The stored name for a message, before the checks that extraction makes on it.
std::string ShownName(const TZipHeader& h) {
  const bool utf8 = (h.Flag & 0x0800) != 0 && platform::IsValidUtf8(h.FileName);
  return Shortened(utf8 ? h.FileName : Cp437ToText(h.FileName));
}

// Entries that share bytes let a small archive write without bound (ten entries over one
// deflated block); no writer makes them, and unzip refuses them as well.
[[noreturn]] void OverlapError(const TZipHeader& h) {
  throw Exception("Zip entry \"" + ShownName(h) +
                  "\" overlaps another entry's data (possible zip bomb)");
}

// offset + a + b, saturated: the sizes come from the file.
std::uint64_t SpanEnd(std::uint64_t offset, std::uint64_t a, std::uint64_t b) {
  const std::uint64_t max = ~std::uint64_t{0};
  if (a > max - offset) return max;
  offset += a;
  return b > max - offset ? max : offset + b;
}

// A central header keeps 0xFFFFFFFF in each size or offset it moved into its ZIP64 extra field
// (id 0x0001). The field holds just the moved ones, as 64-bit values, in this order:
// uncompressed size, compressed size, local header offset. A value the field lacks stays as
// stored.
void ApplyZip64Extra(TZipHeader& h) {
  std::uint64_t* wanted[3];
  size_t count = 0;
  if (h.UncompressedSize == kZip64Sentinel) wanted[count++] = &h.UncompressedSize;
  if (h.CompressedSize == kZip64Sentinel) wanted[count++] = &h.CompressedSize;
  if (h.LocalHeaderOffset == kZip64Sentinel) wanted[count++] = &h.LocalHeaderOffset;
  if (count == 0) return;
  const auto* x = reinterpret_cast<const unsigned char*>(h.ExtraField.data());
  const size_t size = h.ExtraField.size();
  for (size_t p = 0; p + 4 <= size;) {
    FieldReader block(x + p);
    const std::uint16_t id = block.U16();
    const std::uint16_t length = block.U16();
    p += 4;
    if (length > size - p) return;
    if (id == 0x0001) {
      FieldReader values(x + p);
      for (size_t i = 0; i < count && (i + 1) * 8 <= length; ++i) *wanted[i] = values.U64();
      return;
    }
    p += length;
  }
}

bool ReadBytes(TZipInput& input, ByteString& out, size_t count) {
  out.resize(count);
  return input.ReadExact(out.data(), count);
}

std::uint32_t ReadSignature(TZipInput& input) {
  unsigned char b[4];
  if (!input.ReadExact(b, 4)) ReadError();
  return FieldReader(b).U32();
}

platform::LocalDateTime DecodeDosDateTime(std::uint32_t v) {
  return {static_cast<int>(v >> 25) + 1980, static_cast<int>(v >> 21 & 0x0F),
          static_cast<int>(v >> 16 & 0x1F), static_cast<int>(v >> 11 & 0x1F),
          static_cast<int>(v >> 5 & 0x3F),  static_cast<int>(v & 0x1F) * 2};
}

}  // namespace

void TZipFile::RegisterCompressionHandler(std::uint16_t method, TDecompressorConstructor create) {
  Handlers()[method] = std::move(create);
}

void TZipFile::Open(std::string_view file_name, TZipMode mode) {
  Close();
  if (mode != zmRead) throw Exception("Zip archives can only be opened for reading");
  if (!input_.Open(file_name)) {
    throw Exception("Cannot open file \"" + std::string(file_name) + "\". " + input_.ErrorText());
  }
  try {
    if (input_.Size() == 0) throw Exception("Stream read error");
    start_offset_ = 0;
    ReadCentralDirectory();
  } catch (...) {
    Close();
    throw;
  }
  mode_ = zmRead;
}

void TZipFile::Close() {
  input_.Close();
  headers_.clear();
  entry_starts_.clear();
  comment_.clear();
  mode_ = zmClosed;
}

TZipFile::DirectoryLocation TZipFile::FindEndOfCentralDirectory() {
  const std::int64_t size = input_.Size();
  const std::int64_t limit = size <= 65534 ? size : 65535;
  unsigned char window[1027];
  for (std::int64_t back = 4; back < limit;) {
    back = back + 1023 > limit ? limit : back + 1023;
    const size_t length = static_cast<size_t>(std::min<std::int64_t>(1027, back));
    input_.Seek(size - back);
    if (!input_.ReadExact(window, length)) ReadError();
    // Search windows overlap by 4 bytes; the record nearest to the end wins.
    for (size_t i = length - 4 + 1; i-- > 0;) {
      if (FieldReader(window + i).U32() != kEndSignature) continue;
      const std::int64_t at = size - back + static_cast<std::int64_t>(i);
      unsigned char record[kEndFixed];
      input_.Seek(at + 4);
      if (!input_.ReadExact(record, kEndFixed)) ReadError();
      FieldReader f(record);
      f.U16();  // this disk
      f.U16();  // disk where the directory starts
      f.U16();  // entries on this disk
      DirectoryLocation where;
      where.entries = f.U16();
      where.size = f.U32();
      where.offset = f.U32();
      const std::uint16_t comment_length = f.U16();
      if (comment_length > 0 && !ReadBytes(input_, comment_, comment_length)) ReadError();
      ReadZip64End(at, where);
      return where;
    }
  }
  ReadError();
}

// A ZIP64 archive has a locator just before the end record, pointing at the ZIP64 end record,
// whose 64-bit count, size and offset stand for the end record's (which says 0xFFFF and
// 0xFFFFFFFF, or the count cut to 16 bits).
void TZipFile::ReadZip64End(std::int64_t end_record, DirectoryLocation& where) {
  if (end_record < kZip64LocatorSize) return;
  unsigned char locator[kZip64LocatorSize];
  input_.Seek(end_record - kZip64LocatorSize);
  if (!input_.ReadExact(locator, sizeof locator)) ReadError();
  FieldReader l(locator);
  if (l.U32() != kZip64LocatorSignature) return;
  l.U32();  // disk of the ZIP64 end record
  const std::uint64_t record_offset = l.U64();
  // The record lies before its locator.
  const std::int64_t last = end_record - kZip64LocatorSize - kZip64EndFixed - start_offset_;
  if (last < 0 || record_offset > static_cast<std::uint64_t>(last)) ReadError();
  unsigned char record[kZip64EndFixed];
  input_.Seek(start_offset_ + static_cast<std::int64_t>(record_offset));
  if (!input_.ReadExact(record, sizeof record)) ReadError();
  FieldReader r(record);
  if (r.U32() != kZip64EndSignature) ReadError();
  r.U64();  // size of the rest of the record
  r.U16();  // made by
  r.U16();  // version needed
  r.U32();  // this disk
  r.U32();  // disk where the directory starts
  r.U64();  // entries on this disk
  where.entries = r.U64();
  where.size = r.U64();
  where.offset = r.U64();
}

// The fields central and local headers share, in the same order in both.
static void ReadSharedFields(FieldReader& f, TZipHeader& h) {
  h.RequiredVersion = f.U16();
  h.Flag = f.U16();
  h.CompressionMethod = f.U16();
  h.ModifiedDateTime = f.U32();
  h.CRC32 = f.U32();
  h.CompressedSize = f.U32();
  h.UncompressedSize = f.U32();
  h.FileNameLength = f.U16();
  h.ExtraFieldLength = f.U16();
}

void TZipFile::ReadCentralDirectory() {
  const DirectoryLocation where = FindEndOfCentralDirectory();
  const auto available = static_cast<std::uint64_t>(input_.Size() - start_offset_);
  if (where.offset > available || where.size > available - where.offset) ReadError();
  // The count drives the loop and the reservation: it must fit in the directory's size.
  if (where.entries > where.size / kCentralMinimum) DirectoryMismatch();
  const std::int64_t start = start_offset_ + static_cast<std::int64_t>(where.offset);
  input_.Seek(start);
  headers_.reserve(static_cast<size_t>(where.entries));
  for (std::uint64_t n = 0; n < where.entries; ++n) {
    if (ReadSignature(input_) != kCentralSignature) {
      throw Exception("Invalid Zip Central Header signature");
    }
    unsigned char fixed[kCentralFixed];
    if (!input_.ReadExact(fixed, kCentralFixed)) ReadError();
    FieldReader f(fixed);
    TZipHeader h;
    h.MadeByVersion = f.U16();
    ReadSharedFields(f, h);
    h.FileCommentLength = f.U16();
    h.DiskNumberStart = f.U16();
    h.InternalAttributes = f.U16();
    h.ExternalAttributes = f.U32();
    h.LocalHeaderOffset = f.U32();
    if (!ReadBytes(input_, h.FileName, h.FileNameLength) ||
        !ReadBytes(input_, h.ExtraField, h.ExtraFieldLength) ||
        !ReadBytes(input_, h.FileComment, h.FileCommentLength)) {
      ReadError();
    }
    ApplyZip64Extra(h);
    headers_.push_back(std::move(h));
  }
  if (static_cast<std::uint64_t>(input_.Position() - start) != where.size) DirectoryMismatch();
  RefuseOverlaps();
}

// Each entry covers at least its local header's fixed part and its compressed data; the exact
// end, which the local name and extra field push further, is checked as the entry is extracted.
void TZipFile::RefuseOverlaps() {
  std::vector<size_t> order(headers_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [this](size_t a, size_t b) {
    return headers_[a].LocalHeaderOffset < headers_[b].LocalHeaderOffset;
  });
  entry_starts_.clear();
  entry_starts_.reserve(order.size());
  std::uint64_t covered = 0;  // end of the spans so far
  for (size_t i : order) {
    const TZipHeader& h = headers_[i];
    if (!entry_starts_.empty() && h.LocalHeaderOffset < covered) OverlapError(h);
    covered = SpanEnd(h.LocalHeaderOffset, kLocalMinimum, h.CompressedSize);
    entry_starts_.push_back(h.LocalHeaderOffset);
  }
}

TZipHeader TZipFile::ReadLocalHeader(const TZipHeader& central) {
  if (central.LocalHeaderOffset > static_cast<std::uint64_t>(input_.Size())) ReadError();
  input_.Seek(start_offset_ + static_cast<std::int64_t>(central.LocalHeaderOffset));
  if (ReadSignature(input_) != kLocalSignature) {
    throw Exception("Invalid Zip Local Header signature");
  }
  unsigned char fixed[kLocalFixed];
  if (!input_.ReadExact(fixed, kLocalFixed)) ReadError();
  FieldReader f(fixed);
  TZipHeader h;
  ReadSharedFields(f, h);
  if (!ReadBytes(input_, h.FileName, h.FileNameLength) ||
      !ReadBytes(input_, h.ExtraField, h.ExtraFieldLength)) {
    ReadError();
  }
  // The data now follows; it must end before the next entry's local header.
  const auto data = static_cast<std::uint64_t>(input_.Position() - start_offset_);
  const auto next =
      std::upper_bound(entry_starts_.begin(), entry_starts_.end(), central.LocalHeaderOffset);
  if (next != entry_starts_.end() && SpanEnd(data, 0, central.CompressedSize) > *next) {
    OverlapError(central);
  }
  return h;
}

void TZipFile::ExtractAll(std::string_view directory) {
  if (mode_ != zmRead && mode_ != zmReadWrite) throw Exception("File must be open for reading");
  last_directory_.clear();
  progress_ = TZipProgress{0, headers_.size(), 0, 0};
  for (const TZipHeader& h : headers_) {
    // Saturating: a directory of absurd sizes fails on its entries, not here.
    progress_.bytes_total += std::min(h.UncompressedSize, UINT64_MAX - progress_.bytes_total);
  }
  for (size_t i = 0; i < headers_.size(); ++i) ExtractOne(i, directory);
}

void TZipFile::EnsureDirectory(const std::string& dir) {
  if (dir.empty() || dir == last_directory_) return;
  // A failure shows up as the file's creation error just after.
  if (platform::ForceDirectories(dir)) {
    last_directory_ = dir;
  } else {
    last_directory_.clear();
  }
}

void TZipFile::Extract(size_t index, std::string_view directory) {
  if (mode_ != zmRead && mode_ != zmReadWrite) throw Exception("File must be open for reading");
  const TZipHeader& central = headers_.at(index);
  progress_ = TZipProgress{0, 1, 0, central.UncompressedSize};
  ExtractOne(index, directory);
}

void TZipFile::ExtractOne(size_t index, std::string_view directory) {
  const TZipHeader& central = headers_.at(index);
  const TZipHeader local = ReadLocalHeader(central);
  const auto handler = Handlers().find(central.CompressionMethod);
  if (handler == Handlers().end()) throw Exception("Item not found");
  const std::unique_ptr<TZipDecompressor> source = handler->second(input_, central);

  const std::string name =
      EntryName(central.Flag, central.FileName, local.ExtraField, local.FileName);
  const std::string path = CombineEntryPath(directory, name);
  // Refused before any directory is made: a deep name would cost a lookup per level first.
  if (!platform::PathWithinLimit(path)) {
    throw Exception("Path of zip entry is too long (" + std::to_string(path.size()) +
                    " bytes): \"" + Shortened(path) + "\"");
  }
  EnsureDirectory(platform::ExtractFileDir(path));
  if (!path.empty() && platform::IsPathSeparator(path.back())) {  // a directory entry
    ++progress_.entries_done;
    if (OnProgress) OnProgress(progress_);
    return;
  }

  WriteEntry(path, central, local, *source);
  // A file written anew already has the archive attribute alone: only other bits cost a call
  // (a no-op for a file that vanished meanwhile).
  if ((central.MadeByVersion >> 8) == 0) {
    const std::uint32_t attributes = central.ExternalAttributes & 0xFF;
    if (attributes != platform::kAttrArchive) platform::SetFileAttributesDos(path, attributes);
  }
  if (OnFileExtracted) OnFileExtracted(path);
  ++progress_.entries_done;
  if (OnProgress) OnProgress(progress_);
}

void TZipFile::WriteEntry(const std::string& path, const TZipHeader& central,
                          const TZipHeader& local, TZipDecompressor& source) {
  platform::File out;
  if (!out.Open(path, platform::FileAccess::Write, platform::FileShare::Exclusive,
                platform::FileCreate::CreateAlways)) {
    throw Exception("Cannot create file \"" + path + "\". " + out.ErrorText());
  }
  try {
    if (copy_buffer_.empty()) copy_buffer_.resize(kCopyBufferSize);
    std::uint64_t remaining = central.UncompressedSize;
    std::uint32_t crc = 0;
    while (remaining > 0) {
      const size_t want = std::min<size_t>(remaining, copy_buffer_.size());
      const size_t got = source.Read(copy_buffer_.data(), want);
      if (got == 0) throw Exception("Stream read error");
      crc = ZipCrc32(crc, copy_buffer_.data(), got);
      if (!out.Write(copy_buffer_.data(), got)) {
        throw Exception("Cannot write file \"" + path + "\". " + out.ErrorText());
      }
      remaining -= got;
      progress_.bytes_done += got;
      // Large entries report as they go; a small one only once it is whole (below).
      if (OnProgress && remaining > 0) OnProgress(progress_);
    }
    // A damaged or cut download must not install silently.
    if (crc != central.CRC32) {
      char text[64];
      std::snprintf(text, sizeof(text), "%08X, found %08X", static_cast<unsigned>(central.CRC32),
                    static_cast<unsigned>(crc));
      throw Exception("CRC-32 error in zip entry \"" + path + "\": expected " + text);
    }
    // Through the open file: no second open by name. An invalid stamp (month 0, say) leaves
    // the times the file got when written.
    platform::SetFileTimesLocal(out, DecodeDosDateTime(local.ModifiedDateTime));
  } catch (...) {
    // No half-written file stays under the entry's name.
    out.Close();
    platform::RemoveFile(path);
    throw;
  }
}

}  // namespace vlt
