#include "archive/zip_file.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "archive/zip_crc32.h"
#include "archive/zip_names.h"
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

 private:
  const unsigned char* p_;
};

[[noreturn]] void ReadError() {
  throw Exception("Error reading zip file");
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
  comment_.clear();
  mode_ = zmClosed;
}

void TZipFile::FindEndOfCentralDirectory(std::uint16_t& total_entries,
                                         std::uint32_t& directory_offset) {
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
      unsigned char record[kEndFixed];
      input_.Seek(size - back + static_cast<std::int64_t>(i) + 4);
      if (!input_.ReadExact(record, kEndFixed)) ReadError();
      FieldReader f(record);
      f.U16();  // this disk
      f.U16();  // disk where the directory starts
      f.U16();  // entries on this disk
      total_entries = f.U16();
      f.U32();  // directory size
      directory_offset = f.U32();
      const std::uint16_t comment_length = f.U16();
      if (comment_length > 0 && !ReadBytes(input_, comment_, comment_length)) ReadError();
      return;
    }
  }
  ReadError();
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
  std::uint16_t total = 0;
  std::uint32_t offset = 0;
  FindEndOfCentralDirectory(total, offset);
  input_.Seek(start_offset_ + offset);
  // Every header takes at least 46 bytes of the file: no reservation beyond what it can hold.
  headers_.reserve(static_cast<size_t>(std::min<std::int64_t>(total, input_.Size() / 46)));
  for (unsigned n = 0; n < total; ++n) {
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
    headers_.push_back(std::move(h));
  }
}

TZipHeader TZipFile::ReadLocalHeader(const TZipHeader& central) {
  input_.Seek(start_offset_ + central.LocalHeaderOffset);
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
  return h;
}

void TZipFile::ExtractAll(std::string_view directory) {
  if (mode_ != zmRead && mode_ != zmReadWrite) throw Exception("File must be open for reading");
  last_directory_.clear();
  for (size_t i = 0; i < headers_.size(); ++i) Extract(i, directory);
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
  const TZipHeader local = ReadLocalHeader(central);
  const auto handler = Handlers().find(central.CompressionMethod);
  if (handler == Handlers().end()) throw Exception("Item not found");
  const std::unique_ptr<TZipDecompressor> source = handler->second(input_, central);

  const std::string name =
      EntryName(central.Flag, central.FileName, local.ExtraField, local.FileName);
  const std::string path = CombineEntryPath(directory, name);
  EnsureDirectory(platform::ExtractFileDir(path));
  if (!path.empty() && platform::IsPathSeparator(path.back())) return;  // a directory entry

  WriteEntry(path, central, *source);
  if (!platform::FileExists(path)) return;
  // An invalid stamp (month 0, say) leaves the times the file got when written.
  platform::SetFileTimesLocal(path, DecodeDosDateTime(local.ModifiedDateTime));
  if ((central.MadeByVersion >> 8) == 0) {
    platform::SetFileAttributesDos(path, central.ExternalAttributes & 0xFF);
  }
}

void TZipFile::WriteEntry(const std::string& path, const TZipHeader& central,
                          TZipDecompressor& source) {
  platform::File out;
  if (!out.Open(path, platform::FileAccess::Write, platform::FileShare::Exclusive,
                platform::FileCreate::CreateAlways)) {
    throw Exception("Cannot create file \"" + path + "\". " + out.ErrorText());
  }
  try {
    if (copy_buffer_.empty()) copy_buffer_.resize(kCopyBufferSize);
    std::uint32_t remaining = central.UncompressedSize;
    std::uint32_t crc = 0;
    while (remaining > 0) {
      const size_t want = std::min<size_t>(remaining, copy_buffer_.size());
      const size_t got = source.Read(copy_buffer_.data(), want);
      if (got == 0) throw Exception("Stream read error");
      crc = ZipCrc32(crc, copy_buffer_.data(), got);
      if (!out.Write(copy_buffer_.data(), got)) {
        throw Exception("Cannot write file \"" + path + "\". " + out.ErrorText());
      }
      remaining -= static_cast<std::uint32_t>(got);
    }
    // A damaged or cut download must not install silently.
    if (crc != central.CRC32) {
      char text[64];
      std::snprintf(text, sizeof(text), "%08X, found %08X", static_cast<unsigned>(central.CRC32),
                    static_cast<unsigned>(crc));
      throw Exception("CRC-32 error in zip entry \"" + path + "\": expected " + text);
    }
  } catch (...) {
    // No half-written file stays under the entry's name.
    out.Close();
    platform::RemoveFile(path);
    throw;
  }
}

}  // namespace vlt
