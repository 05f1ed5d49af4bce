#pragma once
// TGif: reads a GIF87a/GIF89a image, decodes every image in it into palette indices and turns
// the images into 24-bit bitmaps on request. It draws nothing and does not compose frames.
#include <array>
#include <cstdint>
#include <memory>
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
  std::array<std::uint32_t, 256> rColors{};  // entries from rSize on stay 0 (black)
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
  std::vector<GifExtensionRecord> rExtensionList;  // the extensions that preceded the image
  std::vector<std::uint8_t> rPixelList;            // rWidth x rHeight indices, rows top down
  std::int64_t rPixelCount = 0;
  std::unique_ptr<TGifBitmap> rBitmap;  // once built
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

 private:
  void ReadColorTableInto(class GifReader& in, int size, int& index);
  void ReadImage(GifReader& in);
  void ReadExtension(GifReader& in);
  void DecodeImage(TGifImageDescriptor& image, const std::vector<std::uint8_t>& data);
  const GifExtensionRecord* GraphicControl(int index) const;

  TGifLimits limits_;
  std::string signature_ = "------";
  TGifScreenDescriptor screen_;
  std::vector<TGifImageDescriptor> images_;
  std::vector<TGifColorTable> tables_;
  std::vector<GifExtensionRecord> pending_;
  int loop_count_ = -1;
  std::int64_t total_pixels_ = 0;
};

// The DIB of a w x h picture whose pixels are colours (red | green << 8 | blue << 16) from
// `colours`, one per index of `pixels` (w x h, rows top down).
ByteString MakeGifDib(int width, int height, const std::uint8_t* pixels,
                      const std::array<std::uint32_t, 256>& colours);

}  // namespace vlt
