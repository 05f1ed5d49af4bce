#include "controls/gif.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/text.h"

namespace vlt {
namespace {

enum GifError {
  geNoError,
  geSignature,
  geNoColorTable,
  geUnknownExtensionType,
  geUnknownOperation,
  geExtensionSize,
  geSpecial,
  geExtensionTerminator,
  geIntegerSize,
  geNoTerminator,
  geExtensionOrder,
  geImageIndex,
  geCodeSize,
  geLzwData,
  geLzwOverflow,
  geRange,
  geNil,
  geColorTableSize,
  geNoImage,
  geBitmapImage,
  geColorIndex,
  geInterlacePass,
  geBitmap,
  geTooManyColors,
  geNextMessage,
};

constexpr const char* kMessages[] = {
    "no error",
    "Invalid GIF Signature Code",
    "No Local or Global Color Table for Image",
    "Unknown Graphics Extension Type",
    "Unknown Graphics Operation Code",
    "Invalid Extension Block Size",
    "[special message]",
    "Invalid Extension Block Terminator",
    "Invalid Integer Size",
    "No GIF Terminator Found",
    "Extension Block Out-Of-Order With Image Data",
    "Invalid Image Descriptor Index",
    "Invalid LZW Code Size",
    "Invalid LZW Data Format",
    "LZW Code Overflow",
    "Value Out Of Range",
    "NIL Pointer assigned",
    "Invalid Color Table Size",
    "No Image Description",
    "Invalid Bitmap Image",
    "Invalid Color Table Index",
    "Invalid Interlace Pass",
    "Invalid Bitmap",
    "Too Many Colors In Bitmap",
    "next message",
};

[[noreturn]] void Fail(GifError error) {
  throw EInvalidGraphicOperation(std::string("TGif: ") + kMessages[error]);
}

[[noreturn]] void FailText(const std::string& text) {
  throw EInvalidGraphicOperation("TGif: " + text);
}

[[noreturn]] void OutOfMemory() {
  throw Exception("Out of memory");
}

}  // namespace

// The whole input; a read past its end means the file was cut inside a block, which ends the
// parse as a missing trailer would.
class GifReader {
 public:
  explicit GifReader(std::string_view data) : data_(data) {}
  bool AtEnd() const { return pos_ >= data_.size(); }
  std::uint8_t Byte() {
    if (pos_ >= data_.size()) Fail(geNoTerminator);
    return static_cast<std::uint8_t>(data_[pos_++]);
  }
  int Integer(int width) {
    if (width == 1) return Byte();
    if (width != 2) Fail(geIntegerSize);
    const int low = Byte();
    return low | Byte() << 8;
  }
  std::string_view Bytes(size_t count) {
    if (data_.size() - pos_ < count) Fail(geNoTerminator);
    const std::string_view result = data_.substr(pos_, count);
    pos_ += count;
    return result;
  }
  size_t Position() const { return pos_; }
  // What was read from `from` on.
  std::string_view Since(size_t from) const { return data_.substr(from, pos_ - from); }

 private:
  std::string_view data_;
  size_t pos_ = 0;
};

namespace {

// Sub-blocks: a length byte, that many bytes, until a length of 0.
std::vector<ByteString> ReadSubBlocks(GifReader& in) {
  std::vector<ByteString> blocks;
  for (int length = in.Byte(); length != 0; length = in.Byte()) {
    blocks.emplace_back(in.Bytes(static_cast<size_t>(length)));
  }
  return blocks;
}

// One extension block from its label on.
GifExtensionRecord ParseExtension(GifReader& in) {
  GifExtensionRecord record;
  record.label = in.Byte();
  switch (record.label) {
    case 0xF9: {
      if (in.Byte() != 4) Fail(geExtensionSize);
      const int packed = in.Byte();
      record.disposal = (packed >> 2) & 7;
      record.user_input = (packed & 2) != 0;
      record.transparent = (packed & 1) != 0;
      record.delay = in.Integer(2);
      record.transparent_index = in.Byte();
      if (in.Byte() != 0) Fail(geExtensionTerminator);
      break;
    }
    case 0xFE:
      record.data = ReadSubBlocks(in);
      break;
    case 0x01: {
      if (in.Byte() != 12) Fail(geExtensionSize);
      record.text_left = in.Integer(2);
      record.text_top = in.Integer(2);
      record.text_width = in.Integer(2);
      record.text_height = in.Integer(2);
      record.cell_width = in.Byte();
      record.cell_height = in.Byte();
      record.foreground_index = in.Byte();
      record.background_index = in.Byte();
      record.data = ReadSubBlocks(in);
      break;
    }
    case 0xFF: {
      if (in.Byte() != 11) Fail(geExtensionSize);
      record.identifier.assign(in.Bytes(8));
      record.authentication.assign(in.Bytes(3));
      record.data = ReadSubBlocks(in);
      break;
    }
    default: {
      char text[32];
      std::snprintf(text, sizeof text, "unknown extension: %04X", record.label);
      FailText(text);
    }
  }
  return record;
}

}  // namespace

// Variable-length LZW read straight from an image's data sub-blocks, writing palette indices
// into its pixel list. One decoder serves every image of a file: its tables are set up once.
class LzwDecoder {
 public:
  // LZW codes read plus pixels expanded from them, over every image decoded.
  std::int64_t Work() const { return work_; }

  // Decodes the image's data sub-blocks from `in` and leaves `in` after their terminator.
  void Decode(TGifImageDescriptor& image, GifReader& in) {
    const int lzw = image.rLZWSize;
    // Indices are bytes: a root code above 255 cannot be stored, and a first width above 12
    // bits is no GIF code.
    if (lzw > 8) Fail(geCodeSize);
    in_ = &in;
    block_ = {};
    at_ = 0;
    ended_ = false;
    bit_string_ = 0;
    bits_ = 0;
    complete_ = true;
    lzw_ = lzw;
    clear_ = 1 << lzw;
    end_ = clear_ + 1;
    high_ = clear_ - 1;
    Reset();
    old_ = 0;
    sp_ = 0;
    out_ = image.rPixelList.data();
    width_ = image.rWidth;
    height_ = image.rHeight;
    total_ = image.rPixelList.size();
    count_ = 0;
    interlaced_ = image.rInterlaced;
    x_ = 0;
    y_ = 0;
    pass_ = 1;
    for (int root = 0; root < clear_; ++root) length_[root] = 1;

    Run();
    // Whatever the codes did not need is passed over, sub-block by sub-block.
    while (!ended_) {
      const int length = in.Byte();
      if (length == 0) {
        ended_ = true;
      } else {
        in.Bytes(static_cast<size_t>(length));
      }
    }
  }

 private:
  static constexpr int kTableSize = 4096;

  void Run() {
    // Once every pixel is written the rest of the code stream is not looked at: a tiny image
    // may carry megabytes of codes that each stand for thousands of pixels.
    if (total_ == 0) return;
    int code = NextCode();
    if (code != clear_ && code != end_ && complete_) {
      // A stream that does not open with a clear code starts as if it had one.
      if (code >= cur_slot_) code = 0;
      Emit(code);
      old_ = code;
      code = NextCode();
    }
    while (code != end_ && complete_ && count_ < total_) {
      if (code == clear_) {
        Reset();
        do {
          code = NextCode();
        } while (code == clear_ && complete_);
        if (!complete_) break;
        if (code == end_) Fail(geLzwData);
        if (code >= cur_slot_) code = 0;
        Emit(code);
        old_ = code;
      } else if (code < cur_slot_) {
        const int root = Emit(code);
        if (cur_slot_ <= top_slot_ && cur_slot_ < kTableSize) Add(old_, root);
        old_ = code;
        CheckSlot();
      } else if (code == cur_slot_) {
        int root = old_;
        while (root > high_) root = prefix_[root];
        if (cur_slot_ <= top_slot_ && cur_slot_ < kTableSize) Add(old_, root);
        CheckSlot();
        Emit(code);
        old_ = code;
      } else {
        Fail(geLzwData);
      }
      code = NextCode();
    }
  }

  void Reset() {
    cur_size_ = lzw_ + 1;
    cur_slot_ = end_ + 1;
    top_slot_ = 1 << cur_size_;
  }

  // The next code, lowest bits first. `complete_` turns false once a code needed bits beyond
  // the data: such a code is padding, not data, and ends the decoding.
  int NextCode() {
    ++work_;
    while (bits_ < cur_size_) {
      if (at_ == block_.size() && !ended_) NextBlock();
      if (at_ < block_.size()) {
        bit_string_ |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(block_[at_++]))
                       << bits_;
      } else {
        complete_ = false;
      }
      bits_ += 8;
    }
    const int code = static_cast<int>(bit_string_ & ((1u << cur_size_) - 1));
    bit_string_ >>= cur_size_;
    bits_ -= cur_size_;
    return code;
  }

  // The next data sub-block; at the terminator the data has ended.
  void NextBlock() {
    const int length = in_->Byte();
    if (length == 0) {
      ended_ = true;
      block_ = {};
    } else {
      block_ = in_->Bytes(static_cast<size_t>(length));
    }
    at_ = 0;
  }

  // Writes the string of `code` at the current position and returns its first character. A
  // progressive image's position is the pixel count, so a string that fits is written in
  // place from its last character back, without the stack.
  int Emit(int code) {
    if (!interlaced_) {
      const size_t length = length_[code];
      if (count_ <= total_ && length <= total_ - count_) {
        std::uint8_t* p = out_ + count_ + length - 1;
        while (code > high_) {
          *p-- = suffix_[code];
          code = prefix_[code];
        }
        *p = static_cast<std::uint8_t>(code);
        count_ += length;
        work_ += static_cast<std::int64_t>(length);
        return code;
      }
    }
    const int root = Expand(code);
    Flush();
    return root;
  }

  // Pushes the string of `code` (last character first) and returns its first character.
  int Expand(int code) {
    while (code > high_) {
      stack_[sp_++] = suffix_[code];
      code = prefix_[code];
    }
    stack_[sp_++] = static_cast<std::uint8_t>(code);
    work_ += static_cast<std::int64_t>(sp_);
    return code;
  }

  void Add(int prefix, int root) {
    prefix_[cur_slot_] = static_cast<std::uint16_t>(prefix);
    suffix_[cur_slot_] = static_cast<std::uint8_t>(root);
    length_[cur_slot_] = static_cast<std::uint16_t>(length_[prefix] + 1);
    ++cur_slot_;
  }

  void CheckSlot() {
    if (cur_slot_ >= top_slot_ && cur_size_ < 12) {
      top_slot_ <<= 1;
      ++cur_size_;
    }
  }

  // Writes the stacked string in order at the current pixel position; pixels beyond the
  // image's last are dropped.
  void Flush() {
    const size_t n = count_ < total_ ? std::min(sp_, total_ - count_) : 0;
    if (!interlaced_) {
      std::uint8_t* out = out_ + count_;
      for (size_t i = 0; i < n; ++i) out[i] = stack_[sp_ - 1 - i];
    } else {
      for (size_t i = 0; i < n; ++i) {
        const std::uint8_t index = stack_[sp_ - 1 - i];
        if (y_ < height_ && x_ < width_) out_[static_cast<size_t>(y_) * width_ + x_] = index;
        NextPixel();
      }
    }
    count_ += sp_;
    sp_ = 0;
  }

  // Interlaced rows: pass 1 every 8th row from 0, pass 2 every 8th from 4, pass 3 every 4th
  // from 2, pass 4 every 2nd from 1, then pass 1 again. A pass with no row inside the image
  // is skipped without taking pixels.
  void NextPixel() {
    if (++x_ < width_) return;
    x_ = 0;
    static constexpr int kStep[] = {0, 8, 8, 4, 2};
    static constexpr int kStart[] = {0, 0, 4, 2, 1};
    y_ += kStep[pass_];
    if (height_ <= 0) return;
    while (y_ >= height_) {
      pass_ = pass_ == 4 ? 1 : pass_ + 1;
      y_ = kStart[pass_];
    }
  }

  std::int64_t work_ = 0;
  GifReader* in_ = nullptr;
  std::string_view block_;  // the current sub-block
  size_t at_ = 0;           // the next byte in it
  bool ended_ = false;      // the terminator is read
  std::uint32_t bit_string_ = 0;
  int bits_ = 0;
  bool complete_ = true;
  int lzw_ = 0;
  int clear_ = 0, end_ = 0, high_ = 0;
  int cur_size_ = 0, cur_slot_ = 0, top_slot_ = 0;
  int old_ = 0;
  std::uint16_t prefix_[kTableSize] = {};
  std::uint8_t suffix_[kTableSize] = {};
  std::uint16_t length_[kTableSize] = {};
  std::uint8_t stack_[kTableSize + 1] = {};
  size_t sp_ = 0;
  std::uint8_t* out_ = nullptr;
  size_t total_ = 0;
  size_t count_ = 0;
  bool interlaced_ = false;
  int width_ = 0, height_ = 0;
  int x_ = 0, y_ = 0, pass_ = 1;
};

std::array<std::uint32_t, 256> TGifColorTable::Colors() const {
  std::array<std::uint32_t, 256> colours{};
  std::copy_n(rColors.begin(), std::min<size_t>(rColors.size(), colours.size()), colours.begin());
  return colours;
}

GifExtensionRecord GifExtensionList::operator[](size_t index) const {
  const size_t from = starts_.at(index);
  const size_t to = index + 1 < starts_.size() ? starts_[index + 1] : bytes_.size();
  GifReader in(std::string_view(bytes_).substr(from, to - from));
  return ParseExtension(in);
}

void GifExtensionList::Add(std::string_view block) {
  // Offsets are 32-bit: no picture file comes near 4 GiB of extensions.
  if (bytes_.size() + block.size() > UINT32_MAX) OutOfMemory();
  starts_.push_back(static_cast<std::uint32_t>(bytes_.size()));
  bytes_.append(block);
}

void GifExtensionList::clear() {
  bytes_.clear();
  starts_.clear();
}

void TGif::FreeImage() {
  signature_ = "------";
  screen_ = {};
  images_.clear();
  tables_.clear();
  pending_.clear();
  pending_graphic_control_.reset();
  loop_count_ = -1;
  total_pixels_ = 0;
  lzw_work_ = 0;
}

void TGif::LoadFromStream(std::string_view data) {
  FreeImage();
  GifReader in(data);
  signature_.assign(in.Bytes(6));
  if (!platform::EqualsNoCase(signature_, "GIF87a") &&
      !platform::EqualsNoCase(signature_, "GIF89a"))
    Fail(geSignature);

  screen_.rWidth = in.Integer(2);
  screen_.rHeight = in.Integer(2);
  const int packed = in.Integer(1);
  screen_.rGlobalColorValid = (packed & 0x80) != 0;
  screen_.rColorResolution = ((packed >> 4) & 7) + 1;
  screen_.rSorted = (packed & 0x08) != 0;
  screen_.rGlobalColorSize = 2 << (packed & 7);
  screen_.rBackgroundIndex = in.Integer(1);
  screen_.rAspectRatio = in.Integer(1);
  if (screen_.rGlobalColorValid) {
    ReadColorTableInto(in, screen_.rGlobalColorSize, screen_.rGlobalColorTable);
  }

  // The tables and the stack are 12 KiB: on the heap, not on a caller's stack.
  auto lzw = std::make_unique<LzwDecoder>();
  for (;;) {
    if (in.AtEnd()) Fail(geNoTerminator);
    const std::uint8_t op = in.Byte();
    if (op == 0) continue;
    if (op == ';') break;
    if (op == ',') {
      ReadImage(in, *lzw);
      lzw_work_ = lzw->Work();
    } else if (op == '!') {
      ReadExtension(in);
    } else {
      Fail(geUnknownOperation);
    }
  }
  if (images_.empty()) Fail(geNoImage);
  pending_.clear();
  pending_graphic_control_.reset();
}

void TGif::ReadColorTableInto(GifReader& in, int size, int& index) {
  index = -1;
  if (size <= 0) return;
  TGifColorTable& table = tables_.emplace_back();
  index = static_cast<int>(tables_.size()) - 1;
  table.rSize = size;
  const std::string_view rgb = in.Bytes(static_cast<size_t>(size) * 3);
  table.rColors.resize(static_cast<size_t>(size));
  for (int i = 0; i < size; ++i) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(rgb.data()) + i * 3;
    table.rColors[static_cast<size_t>(i)] =
        p[0] | p[1] << 8 | static_cast<std::uint32_t>(p[2]) << 16;
  }
}

void TGif::ReadImage(GifReader& in, LzwDecoder& lzw) {
  TGifImageDescriptor& image = images_.emplace_back();
  image.rExtensionList = std::move(pending_);
  pending_.clear();
  image.rGraphicControl = pending_graphic_control_;
  pending_graphic_control_.reset();
  image.rLeft = in.Integer(2);
  image.rTop = in.Integer(2);
  image.rWidth = in.Integer(2);
  image.rHeight = in.Integer(2);
  const int packed = in.Integer(1);
  image.rLocalColorValid = (packed & 0x80) != 0;
  image.rInterlaced = (packed & 0x40) != 0;
  image.rSorted = (packed & 0x20) != 0;
  image.rLocalColorSize = 2 << (packed & 7);
  if (image.rLocalColorValid) {
    ReadColorTableInto(in, image.rLocalColorSize, image.rLocalColorTable);
  } else {
    image.rLocalColorTable = screen_.rGlobalColorTable;
  }
  if (image.rLocalColorTable < 0) Fail(geNoColorTable);
  image.rLZWSize = in.Integer(1);

  const std::int64_t pixels = std::int64_t{image.rWidth} * image.rHeight;
  if (pixels > limits_.max_image_pixels || total_pixels_ + pixels > limits_.max_total_pixels) {
    OutOfMemory();
  }
  total_pixels_ += pixels;
  image.rPixelCount = pixels;
  image.rPixelList.assign(static_cast<size_t>(pixels), 0);
  lzw.Decode(image, in);
}

void TGif::ReadExtension(GifReader& in) {
  const size_t start = in.Position();
  const GifExtensionRecord record = ParseExtension(in);
  if (record.label == 0xFF && record.identifier == "NETSCAPE" && !record.data.empty() &&
      record.data.front().size() == 3) {
    const ByteString& b = record.data.front();
    loop_count_ = static_cast<std::uint8_t>(b[1]) | static_cast<std::uint8_t>(b[2]) << 8;
  }
  if (record.label == 0xF9 && !pending_graphic_control_) {
    pending_graphic_control_ =
        GifGraphicControl{record.disposal, record.user_input, record.transparent, record.delay,
                          record.transparent_index};
  }
  pending_.Add(in.Since(start));
}

const TGifImageDescriptor& TGif::GetImageDescriptor(int index) const {
  if (index < 0 || index >= ImageCount()) Fail(geRange);
  return images_[static_cast<size_t>(index)];
}

const TGifColorTable& TGif::GetColorTable(int index) const {
  if (index < 0 || index >= ColorTableCount()) Fail(geRange);
  return tables_[static_cast<size_t>(index)];
}

const GifGraphicControl* TGif::GraphicControl(int index) const {
  const std::optional<GifGraphicControl>& gce = GetImageDescriptor(index).rGraphicControl;
  return gce ? &*gce : nullptr;
}

bool TGif::Transparent() const {
  if (images_.empty()) return false;
  const GifGraphicControl* gce = GraphicControl(0);
  return gce != nullptr && gce->transparent;
}

std::uint32_t TGif::TransparentColor() const {
  if (images_.empty()) Fail(geRange);
  const GifGraphicControl* gce = GraphicControl(0);
  const int index = gce != nullptr ? gce->transparent_index : 0;
  return GetColorTable(images_.front().rLocalColorTable).Color(index);
}

int TGif::GetImageDepth(int index) const {
  return GetColorTable(GetImageDescriptor(index).rLocalColorTable).rSize;
}

int TGif::GetImageDelay(int index) const {
  const GifGraphicControl* gce = GraphicControl(index);
  return gce != nullptr && gce->delay >= 1 ? gce->delay : 1;
}

int TGif::GetImageDisposal(int index) const {
  const GifGraphicControl* gce = GraphicControl(index);
  return gce != nullptr ? gce->disposal & 3 : 0;
}

int TGif::GetTransparentIndex(int index) const {
  const GifGraphicControl* gce = GraphicControl(index);
  return gce != nullptr && gce->transparent ? gce->transparent_index : -1;
}

namespace {

// File header, information header and zeroed rows of a w x h 24-bit bottom-up DIB; `stride`
// receives the row length (a multiple of 4 bytes).
ByteString DibFrame(size_t w, size_t h, size_t& stride) {
  stride = (w * 3 + 3) & ~size_t{3};
  const size_t total = 54 + stride * h;
  ByteString dib(total, '\0');
  auto put32 = [&dib](size_t at, std::uint32_t v) {
    for (size_t i = 0; i < 4; ++i) dib[at + i] = static_cast<char>(v >> (8 * i));
  };
  dib[0] = 'B';
  dib[1] = 'M';
  put32(2, static_cast<std::uint32_t>(total));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(w));
  put32(22, static_cast<std::uint32_t>(h));
  dib[26] = 1;   // planes
  dib[28] = 24;  // bits per pixel
  return dib;
}

}  // namespace

ByteString MakeGifDib(int width, int height, const std::uint8_t* pixels,
                      const std::array<std::uint32_t, 256>& colours) {
  const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
  size_t stride = 0;
  ByteString dib = DibFrame(w, h, stride);
  // Blue, green, red per index, so that a pixel is one lookup and one copy.
  std::uint8_t bgr[256][3];
  for (size_t i = 0; i < 256; ++i) {
    bgr[i][0] = static_cast<std::uint8_t>(colours[i] >> 16);
    bgr[i][1] = static_cast<std::uint8_t>(colours[i] >> 8);
    bgr[i][2] = static_cast<std::uint8_t>(colours[i]);
  }
  auto* rows = reinterpret_cast<std::uint8_t*>(dib.data()) + 54;
  for (size_t y = 0; y < h; ++y) {
    const std::uint8_t* src = pixels + y * w;
    std::uint8_t* dst = rows + (h - 1 - y) * stride;  // bottom-up: the top row is stored last
    for (size_t x = 0; x < w; ++x) std::memcpy(dst + x * 3, bgr[src[x]], 3);
  }
  return dib;
}

void TGif::BuildBitmaps() {
  for (int i = 0; i < ImageCount(); ++i) {
    TGifImageDescriptor& image = images_[static_cast<size_t>(i)];
    if (image.rBitmap) continue;
    const TGifColorTable& table = GetColorTable(image.rLocalColorTable);
    // The key colour goes into this image's copy of the table only: images sharing the table
    // without transparency keep the file's colour.
    std::array<std::uint32_t, 256> colours = table.Colors();
    const int t = GetTransparentIndex(i);
    const bool keyed = t >= 0 && t < table.rSize;
    if (keyed) colours[static_cast<size_t>(t)] = kGifKeyColor;
    auto bitmap = std::make_shared<TGifBitmap>();
    bitmap->Width = image.rWidth;
    bitmap->Height = image.rHeight;
    bitmap->Dib = MakeGifDib(image.rWidth, image.rHeight, image.rPixelList.data(), colours);
    bitmap->Transparent = keyed;
    bitmap->TransparentColor = keyed ? kGifKeyColor : 0;
    image.rBitmap = std::move(bitmap);
  }
}

const TGifBitmap& TGif::GetBitmap(int index) {
  // Only a missing bitmap sends it over the whole list: asked for image by image, a file of
  // many frames would otherwise be walked once per frame.
  if (!GetImageDescriptor(index).rBitmap) BuildBitmaps();
  return *images_[static_cast<size_t>(index)].rBitmap;
}

TGifBitmap TGif::StripBitmap() {
  const int count = ImageCount();
  const std::int64_t strip_width = std::int64_t{Width()} * count;
  if (strip_width * Height() > limits_.max_bitmap_pixels) OutOfMemory();
  const size_t sw = static_cast<size_t>(strip_width), sh = static_cast<size_t>(Height());
  TGifBitmap strip;
  strip.Width = static_cast<int>(sw);
  strip.Height = static_cast<int>(sh);
  size_t stride = 0;
  strip.Dib = DibFrame(sw, sh, stride);
  auto* rows = reinterpret_cast<std::uint8_t*>(strip.Dib.data()) + 54;
  for (int n = 0; n < count; ++n) {
    const TGifImageDescriptor& image = images_[static_cast<size_t>(n)];
    const TGifColorTable& table = GetColorTable(image.rLocalColorTable);
    const std::array<std::uint32_t, 256> colours = table.Colors();
    const int t = GetTransparentIndex(n);
    const size_t w = static_cast<size_t>(std::min(image.rWidth, Width()));
    const size_t h = static_cast<size_t>(std::min(image.rHeight, Height()));
    const size_t cell = static_cast<size_t>(n) * static_cast<size_t>(Width());
    for (size_t y = 0; y < h; ++y) {
      const std::uint8_t* src = image.rPixelList.data() + y * static_cast<size_t>(image.rWidth);
      std::uint8_t* dst = rows + (sh - 1 - y) * stride + cell * 3;
      for (size_t x = 0; x < w; ++x) {
        const std::uint32_t c = src[x] == t && t < table.rSize ? kGifKeyColor : colours[src[x]];
        dst[x * 3] = static_cast<std::uint8_t>(c >> 16);
        dst[x * 3 + 1] = static_cast<std::uint8_t>(c >> 8);
        dst[x * 3 + 2] = static_cast<std::uint8_t>(c);
      }
    }
  }
  strip.Transparent = Transparent();
  strip.TransparentColor = strip.Transparent ? kGifKeyColor : 0;
  return strip;
}

}  // namespace vlt
