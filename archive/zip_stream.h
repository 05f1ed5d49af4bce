#pragma once
// The archive file as the entry decompressors read it, and the decompressors themselves.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace vlt {

// The open archive file with a read buffer: the directory and the local headers are read in
// small pieces, entry data in large ones (which bypass the buffer).
class TZipInput {
 public:
  // On failure returns false and keeps the system's text in ErrorText().
  bool Open(std::string_view path);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& ErrorText() const { return file_.ErrorText(); }
  std::int64_t Size() const { return size_; }
  std::int64_t Position() const { return pos_; }
  void Seek(std::int64_t position) { pos_ = position; }
  // Reads up to `count` bytes from the current position; fewer only at the end of the file or
  // on a read error.
  size_t Read(void* buffer, size_t count);
  // Reads exactly `count` bytes or returns false.
  bool ReadExact(void* buffer, size_t count) { return Read(buffer, count) == count; }

 private:
  bool Fill();
  size_t ReadAt(std::int64_t position, void* buffer, size_t count);

  static constexpr size_t kBufferSize = 64 * 1024;
  platform::File file_;
  std::int64_t size_ = 0;
  std::int64_t pos_ = 0;        // logical position
  std::int64_t file_pos_ = -1;  // where the system's file pointer is; -1 unknown
  std::int64_t buffer_start_ = 0;
  size_t buffer_length_ = 0;
  std::vector<char> buffer_;
};

// Delivers an entry's uncompressed bytes, reading the archive from its current position.
class TZipDecompressor {
 public:
  virtual ~TZipDecompressor() = default;
  // Fills up to `count` bytes; 0 once the entry's data has ended (or the archive has).
  virtual size_t Read(char* buffer, size_t count) = 0;
};

// Both decompressors read no further than the entry's compressed size from the directory:
// data that ends early is reported as such instead of running into the next structure.

// Method 0: the archive's bytes unchanged.
class TStoredStream final : public TZipDecompressor {
 public:
  TStoredStream(TZipInput& input, std::uint64_t compressed_size)
      : input_(input), remaining_(compressed_size) {}
  size_t Read(char* buffer, size_t count) override;

 private:
  TZipInput& input_;
  std::uint64_t remaining_;
};

// Method 8: raw deflate (no zlib header or checksum), streamed through a fixed buffer.
// Damaged data raises zlib's own error text.
class TInflateStream final : public TZipDecompressor {
 public:
  TInflateStream(TZipInput& input, std::uint64_t compressed_size);
  ~TInflateStream() override;
  TInflateStream(const TInflateStream&) = delete;
  TInflateStream& operator=(const TInflateStream&) = delete;
  size_t Read(char* buffer, size_t count) override;

 private:
  static constexpr size_t kMaxInput = 256 * 1024;
  struct State;
  TZipInput& input_;
  std::unique_ptr<State> state_;
};

}  // namespace vlt
