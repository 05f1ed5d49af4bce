#pragma once
// TDocumentStream: the body of an HTTP request or reply, held in memory as a stream of bytes.
//
// Invariant: every position (Size, Position, any offset a reader keeps) counts bytes from the
// first byte written since the last Clear. Release(n) lets go of the bytes before offset n (the
// download engine releases what it has already written to disk) and changes no position;
// Size() == Released() + Held().size() always holds. Reading or overwriting a released byte is
// a programming fault and throws std::logic_error.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/exception.h"

namespace vlt::net {

class TDocumentStream {
 public:
  std::int64_t Size() const { return base_ + static_cast<std::int64_t>(held_.size()); }
  bool Empty() const { return Size() == 0; }
  std::int64_t Position() const { return position_; }
  // Clamped to 0..Size(); a released position is a valid place to stand, not to read.
  void SetPosition(std::int64_t position);
  void SeekEnd() { position_ = Size(); }

  // Offset of the first byte still held, and the held bytes themselves.
  std::int64_t Released() const { return base_; }
  std::string_view Held() const { return held_; }
  // The whole document; only while nothing has been released.
  std::string_view Bytes() const;

  // At Position, overwriting and extending; Position moves past the bytes.
  void Write(std::string_view bytes);
  // At the end, Position moves there. Takes the buffer over when nothing is held, so a
  // received packet reaches the document without a copy.
  void Append(ByteString&& bytes);
  // Up to `count` bytes from Position, which moves past them.
  ByteString Read(std::int64_t count);
  // Lets go of the bytes before `offset` (at most Size()).
  void Release(std::int64_t offset);
  void Clear();

 private:
  std::int64_t base_ = 0;
  std::int64_t position_ = 0;
  ByteString held_;
};

}  // namespace vlt::net
