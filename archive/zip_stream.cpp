#include "archive/zip_stream.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "platform/exception.h"

namespace vlt {

bool TZipInput::Open(std::string_view path) {
  Close();
  if (!file_.Open(path, platform::FileAccess::Read, platform::FileShare::DenyWrite,
                  platform::FileCreate::OpenExisting)) {
    return false;
  }
  size_ = file_.Size();
  if (size_ < 0) size_ = 0;
  return true;
}

void TZipInput::Close() {
  file_.Close();
  size_ = pos_ = buffer_start_ = 0;
  buffer_length_ = 0;
  file_pos_ = -1;
}

size_t TZipInput::ReadAt(std::int64_t position, void* buffer, size_t count) {
  if (position != file_pos_ && file_.Seek(position) != position) {
    file_pos_ = -1;
    return 0;
  }
  const std::ptrdiff_t got = file_.Read(buffer, count);
  if (got < 0) {
    file_pos_ = -1;
    return 0;
  }
  file_pos_ = position + got;
  return static_cast<size_t>(got);
}

size_t TZipInput::Read(void* buffer, size_t count) {
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const std::int64_t offset = pos_ - buffer_start_;
    if (offset >= 0 && offset < static_cast<std::int64_t>(buffer_length_)) {
      const size_t n = std::min(count - done, buffer_length_ - static_cast<size_t>(offset));
      std::memcpy(out + done, buffer_.data() + offset, n);
      done += n;
      pos_ += static_cast<std::int64_t>(n);
      continue;
    }
    if (count - done >= kBufferSize) {
      // Entry data: straight into the caller's buffer.
      const size_t got = ReadAt(pos_, out + done, count - done);
      done += got;
      pos_ += static_cast<std::int64_t>(got);
      break;
    }
    if (buffer_.empty()) buffer_.resize(kBufferSize);
    buffer_start_ = pos_;
    buffer_length_ = ReadAt(pos_, buffer_.data(), kBufferSize);
    if (buffer_length_ == 0) break;
  }
  return done;
}

size_t TStoredStream::Read(char* buffer, size_t count) {
  const size_t got =
      input_.Read(buffer, static_cast<size_t>(std::min<std::uint64_t>(count, remaining_)));
  remaining_ -= got;
  return got;
}

struct TInflateStream::State {
  z_stream zs{};
  std::unique_ptr<unsigned char[]> input;
  size_t input_size = 0;
  std::uint64_t remaining = 0;  // compressed bytes of the entry still unread
  bool ended = false;           // the deflate stream's last block has been decoded
  bool exhausted = false;       // the archive has no more bytes
};

TInflateStream::TInflateStream(TZipInput& input, std::uint64_t compressed_size)
    : input_(input), state_(new State) {
  // Window bits -15: raw deflate, no zlib header or checksum.
  const int rc = inflateInit2(&state_->zs, -15);
  if (rc != Z_OK) throw Exception(zError(rc));
  state_->remaining = compressed_size;
  // Small entries take a small buffer: most archives hold many of them.
  state_->input_size =
      static_cast<size_t>(std::clamp<std::uint64_t>(compressed_size, 4096, kMaxInput));
  state_->input.reset(new unsigned char[state_->input_size]);
}

TInflateStream::~TInflateStream() {
  inflateEnd(&state_->zs);
}

size_t TInflateStream::Read(char* buffer, size_t count) {
  State& s = *state_;
  z_stream& zs = s.zs;
  zs.next_out = reinterpret_cast<Bytef*>(buffer);
  zs.avail_out = static_cast<uInt>(count);
  while (zs.avail_out > 0 && !s.ended) {
    if (zs.avail_in == 0) {
      if (s.exhausted) break;
      const auto want = static_cast<size_t>(std::min<std::uint64_t>(s.remaining, s.input_size));
      const size_t got = want == 0 ? 0 : input_.Read(s.input.get(), want);
      s.remaining -= got;
      if (got == 0) {
        s.exhausted = true;
        break;
      }
      zs.next_in = s.input.get();
      zs.avail_in = static_cast<uInt>(got);
    }
    const int rc = inflate(&zs, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      s.ended = true;
    } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      throw Exception(zError(rc == Z_NEED_DICT ? Z_DATA_ERROR : rc));
    }
  }
  return count - zs.avail_out;
}

}  // namespace vlt
