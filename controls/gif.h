#pragma once
// TGif: reads a GIF87a/GIF89a image, decodes every image in it into palette indices and turns
// the images into 24-bit bitmaps on request. It draws nothing and does not compose frames.
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exception.h"

namespace vlt {

// The invalid-graphic-operation error: "TGif: <message>".
class EInvalidGraphicOperation : public Exception {
 public:
  using Exception::Exception;
};

// Colour values are red | green << 8 | blue << 16.
inline constexpr std::uint32_t kGifKeyColor = 1509157;  // red 37, green 7, blue 23

struct TGifScreenDescriptor {
  int rWidth = 0;
  int rHeight = 0;
  bool rGlobalColorValid = false;
  int rColorResolution = 0;  // 1..8
  bool rSorted = false;
  int rGlobalColorSize = 0;
  int rBackgroundIndex = 0;
  int rAspectRatio = 0;
  int rGlobalColorTable = -1;  // into the colour table list; -1 without a global table
};

struct TGifColorTable {
  int rSize = 0;
  std::vector<std::uint32_t> rColors;  // the rSize entries the file gives
  // Entry `index`; one the file did not fill is black.
  std::uint32_t Color(int index) const {
    return index >= 0 && index < static_cast<int>(rColors.size())
               ? rColors[static_cast<size_t>(index)]
               : 0;
  }
  // All 256 entries, those the file did not fill black.
  std::array<std::uint32_t, 256> Colors() const;
};

struct GifExtensionRecord {
  std::uint8_t label = 0;
  // 0xF9 graphic control
  int disposal = 0;  // 0..7 as stored
  bool user_input = false;
  bool transparent = false;
  int delay = 0;  // hundredths of a second
  int transparent_index = 0;
  // 0x01 plain text
  int text_left = 0, text_top = 0, text_width = 0, text_height = 0;
  int cell_width = 0, cell_height = 0, foreground_index = 0, background_index = 0;
  // 0xFF application
  std::string identifier;        // 8 characters
  std::string authentication;    // 3 bytes
  std::vector<ByteString> data;  // sub-blocks (comment, plain text, application)
};

// The extension blocks read before an image, kept as the file has them (label first, through
// the block's terminator) in one buffer and made into records on request: millions of tiny
// blocks then cost memory in proportion to their bytes, not a record apiece.
class GifExtensionList {
 public:
  size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }
  GifExtensionRecord operator[](size_t index) const;
  // A block already read and found sound.
  void Add(std::string_view block);
  void clear();

 private:
  ByteString bytes_;
  std::vector<std::uint32_t> starts_;
};

// What an image's first graphic control extension says.
struct GifGraphicControl {
  int disposal = 0;  // 0..7 as stored
  bool user_input = false;
  bool transparent = false;
  int delay = 0;  // hundredths of a second
  int transparent_index = 0;
};

// A 24-bit bottom-up device-independent bitmap as a whole .bmp file in memory.
struct TGifBitmap {
  int Width = 0;
  int Height = 0;
  ByteString Dib;  // "BM" file header, 40-byte information header, rows
  bool Transparent = false;
  std::uint32_t TransparentColor = 0;
};

struct TGifImageDescriptor {
  int rLeft = 0, rTop = 0, rWidth = 0, rHeight = 0;
  bool rLocalColorValid = false;
  bool rInterlaced = false;
  bool rSorted = false;
  int rLocalColorSize = 0;
  int rLocalColorTable = -1;  // the table the image uses: its local one, else the global one
  int rLZWSize = 0;
  GifExtensionList rExtensionList;                   // the extensions that preceded the image
  std::optional<GifGraphicControl> rGraphicControl;  // the first graphic control among them
  std::vector<std::uint8_t> rPixelList;              // rWidth x rHeight indices, rows top down
  std::int64_t rPixelCount = 0;
  std::shared_ptr<const TGifBitmap> rBitmap;  // once built; frames made from it share it
};

// Caps on what a file may make the decoder allocate; a file beyond them is refused with
// "Out of memory" before anything of that size is allocated.
struct TGifLimits {
  std::int64_t max_image_pixels = std::int64_t{1} << 27;   // one image
  std::int64_t max_total_pixels = std::int64_t{1} << 28;   // all images of a file together
  std::int64_t max_bitmap_pixels = std::int64_t{1} << 27;  // the strip bitmap
};

class TGif {
 public:
  TGif() = default;
  explicit TGif(const TGifLimits& limits) : limits_(limits) {}

  // Discards any previous content and parses the whole of `data`.
  void LoadFromStream(std::string_view data);
  // Back to the empty state.
  void FreeImage();

  const std::string& Signature() const { return signature_; }
  const TGifScreenDescriptor& ScreenDescriptor() const { return screen_; }
  int ImageCount() const { return static_cast<int>(images_.size()); }
  int ColorTableCount() const { return static_cast<int>(tables_.size()); }
  int Width() const { return screen_.rWidth; }
  int Height() const { return screen_.rHeight; }
  int LoopCount() const { return loop_count_; }
  // The first image's graphic control transparency flag.
  bool Transparent() const;
  // The entry of the first image's colour table at its transparent index field.
  std::uint32_t TransparentColor() const;

  const TGifImageDescriptor& GetImageDescriptor(int index) const;
  const TGifColorTable& GetColorTable(int index) const;
  // Builds every image's bitmap on the first call.
  const TGifBitmap& GetBitmap(int index);
  void BuildBitmaps();
  int GetImageLeft(int index) const { return GetImageDescriptor(index).rLeft; }
  int GetImageTop(int index) const { return GetImageDescriptor(index).rTop; }
  int GetImageWidth(int index) const { return GetImageDescriptor(index).rWidth; }
  int GetImageHeight(int index) const { return GetImageDescriptor(index).rHeight; }
  int GetImageDepth(int index) const;
  int GetImageDelay(int index) const;     // hundredths of a second, at least 1
  int GetImageDisposal(int index) const;  // 0..3
  int GetTransparentIndex(int index) const;
  // All images side by side, each at the top left of a Width x Height cell.
  TGifBitmap StripBitmap();
  // LZW codes read plus pixels expanded from them while loading: the decoding work, which
  // stays in proportion to the pixels whatever follows them in the code stream.
  std::int64_t LzwWork() const { return lzw_work_; }

 private:
  void ReadColorTableInto(class GifReader& in, int size, int& index);
  void ReadImage(GifReader& in, class LzwDecoder& lzw);
  void ReadExtension(GifReader& in);
  const GifGraphicControl* GraphicControl(int index) const;

  TGifLimits limits_;
  std::string signature_ = "------";
  TGifScreenDescriptor screen_;
  // Deques: a file of many tiny images or tables grows them without a copy of them all.
  std::deque<TGifImageDescriptor> images_;
  std::deque<TGifColorTable> tables_;
  GifExtensionList pending_;
  std::optional<GifGraphicControl> pending_graphic_control_;
  int loop_count_ = -1;
  std::int64_t total_pixels_ = 0;
  std::int64_t lzw_work_ = 0;
};

// The DIB of a w x h picture whose pixels are colours (red | green << 8 | blue << 16) from
// `colours`, one per index of `pixels` (w x h, rows top down).
ByteString MakeGifDib(int width, int height, const std::uint8_t* pixels,
                      const std::array<std::uint32_t, 256>& colours);

}  // namespace vlt
