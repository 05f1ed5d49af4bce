#pragma once
// Reading ZIP archives (little-endian, ZIP64 included) and extracting them into a directory.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/zip_stream.h"
#include "platform/exception.h"

namespace vlt {

enum TZipMode { zmClosed, zmRead, zmReadWrite, zmWrite };

// One central directory header, fields in their order in the file. A local header fills the
// fields it shares with it and leaves the others 0. The sizes and the offset are 64-bit: a
// central header's ZIP64 extra field (id 0x0001) replaces those stored as 0xFFFFFFFF.
struct TZipHeader {
  std::uint16_t MadeByVersion = 0;
  std::uint16_t RequiredVersion = 0;
  std::uint16_t Flag = 0;
  std::uint16_t CompressionMethod = 0;
  std::uint32_t ModifiedDateTime = 0;  // DOS time in the low 16 bits, DOS date in the high
  std::uint32_t CRC32 = 0;
  std::uint64_t CompressedSize = 0;
  std::uint64_t UncompressedSize = 0;
  std::uint16_t FileNameLength = 0;
  std::uint16_t ExtraFieldLength = 0;
  std::uint16_t FileCommentLength = 0;
  std::uint16_t DiskNumberStart = 0;
  std::uint16_t InternalAttributes = 0;
  std::uint32_t ExternalAttributes = 0;
  std::uint64_t LocalHeaderOffset = 0;
  ByteString FileName;
  ByteString ExtraField;
  ByteString FileComment;
};

// Builds the decompressor of one entry over the archive, positioned at the entry's data.
using TDecompressorConstructor =
    std::function<std::unique_ptr<TZipDecompressor>(TZipInput& archive, const TZipHeader& entry)>;

// Where an extraction stands: told after every block written and after every entry.
struct TZipProgress {
  size_t entries_done = 0, entries_total = 0;
  std::uint64_t bytes_done = 0, bytes_total = 0;  // uncompressed
};

class TZipFile {
 public:
  TZipFile() = default;
  ~TZipFile() { Close(); }
  TZipFile(const TZipFile&) = delete;
  TZipFile& operator=(const TZipFile&) = delete;

  // Adds (or replaces) the decompressor of a compression method in the process-wide table.
  // Stored (0) and deflate (8) are registered at program start.
  static void RegisterCompressionHandler(std::uint16_t method, TDecompressorConstructor create);

  // Opens the archive and reads its directory. Only zmRead is supported: this reader does
  // not write archives.
  void Open(std::string_view file_name, TZipMode mode);
  void Close();
  // Every entry, in directory order, into `directory`, creating subdirectories.
  void ExtractAll(std::string_view directory);
  // One entry into `directory`, creating subdirectories.
  void Extract(size_t index, std::string_view directory);

  // Called on the extracting thread, so a window can repaint and show the progress; an
  // exception thrown from it stops the extraction (the entry being written is removed).
  std::function<void(const TZipProgress&)> OnProgress;
  // Called with the path of each file once it is written whole (directories are not told).
  std::function<void(const std::string& path)> OnFileExtracted;

  TZipMode Mode() const { return mode_; }
  const ByteString& Comment() const { return comment_; }
  size_t FileCount() const { return headers_.size(); }
  const TZipHeader& FileInfo(size_t index) const { return headers_.at(index); }

 private:
  struct DirectoryLocation {
    std::uint64_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
  };
  void ReadCentralDirectory();
  DirectoryLocation FindEndOfCentralDirectory();
  void ReadZip64End(std::int64_t end_record, DirectoryLocation& where);
  void RefuseOverlaps();
  TZipHeader ReadLocalHeader(const TZipHeader& central);
  std::string EntryPath(const TZipHeader& central, const TZipHeader& local,
                        std::string_view directory) const;
  void WriteEntry(const std::string& path, const TZipHeader& central, const TZipHeader& local,
                  TZipDecompressor& source);
  void ExtractOne(size_t index, std::string_view directory);
  void EnsureDirectory(const std::string& dir);

  TZipMode mode_ = zmClosed;
  TZipInput input_;
  std::int64_t start_offset_ = 0;
  ByteString comment_;
  std::vector<TZipHeader> headers_;
  std::vector<std::uint64_t> entry_starts_;  // local header offsets, ascending
  std::vector<char> copy_buffer_;
  std::string last_directory_;  // created during this extraction; saves a lookup per entry
  TZipProgress progress_;
};

}  // namespace vlt
