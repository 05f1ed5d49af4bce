#include "net/document_stream.h"

#include <algorithm>
#include <stdexcept>

namespace vlt::net {

void TDocumentStream::SetPosition(std::int64_t position) {
  position_ = std::clamp<std::int64_t>(position, 0, Size());
}

std::string_view TDocumentStream::Bytes() const {
  if (base_ != 0) throw std::logic_error("document: bytes already released");
  return held_;
}

void TDocumentStream::Write(std::string_view bytes) {
  if (bytes.empty()) return;
  if (position_ < base_) throw std::logic_error("document: write into released bytes");
  const auto at = static_cast<size_t>(position_ - base_);
  const size_t overlap = std::min(bytes.size(), held_.size() - at);
  held_.replace(at, overlap, bytes);
  position_ += static_cast<std::int64_t>(bytes.size());
}

void TDocumentStream::Append(ByteString&& bytes) {
  if (held_.empty())
    held_ = std::move(bytes);
  else
    held_ += bytes;
  position_ = Size();
}

ByteString TDocumentStream::Read(std::int64_t count) {
  if (count <= 0 || position_ >= Size()) return {};
  if (position_ < base_) throw std::logic_error("document: read of released bytes");
  const auto at = static_cast<size_t>(position_ - base_);
  ByteString out = held_.substr(at, static_cast<size_t>(count));
  position_ += static_cast<std::int64_t>(out.size());
  return out;
}

void TDocumentStream::Release(std::int64_t offset) {
  offset = std::min(offset, Size());
  if (offset <= base_) return;
  const auto n = static_cast<size_t>(offset - base_);
  if (n == held_.size())
    held_.clear();  // the usual case: everything held was written out
  else
    held_.erase(0, n);
  base_ = offset;
}

void TDocumentStream::Clear() {
  base_ = 0;
  position_ = 0;
  held_.clear();
}

}  // namespace vlt::net
