#include "controls/gif.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/controls/allocation_meter.h"
#include "tests/controls/gif_builder.h"

namespace vlt {
namespace {

using test::EncodeIndices;
using test::FullTableCodes;
using test::GifBuilder;
using test::GifImageSpec;
using test::PackCodes;

// A 2 x 2 image of indices 0..3 with a 4-entry global table.
std::string SmallGif() {
  return GifBuilder(2, 2, 2)
      .Image({.width = 2, .height = 2, .data = EncodeIndices({0, 1, 2, 3}, 2)})
      .Trailer();
}

std::string ErrorOf(const std::string& bytes, const TGifLimits& limits = {}) {
  try {
    TGif gif(limits);
    gif.LoadFromStream(bytes);
  } catch (const Exception& e) {
    return e.what();
  }
  return "(loaded)";
}

TEST(GifDecoder, RefusesDamagedFiles) {
  const std::string image = EncodeIndices({0, 1, 2, 3}, 2);
  const GifImageSpec img{.width = 2, .height = 2, .data = image};
  const std::string good = SmallGif();
  struct Case {
    const char* name;
    std::string bytes;
    const char* error;
  };
  const Case cases[] = {
      {"signature GIF90a", "GIF90a" + good.substr(6), "TGif: Invalid GIF Signature Code"},
      {"shorter than a signature", "GIF8", "TGif: No GIF Terminator Found"},
      {"no trailer", GifBuilder(2, 2, 2).Image(img).Bytes(), "TGif: No GIF Terminator Found"},
      {"cut inside the colour table", good.substr(0, 20), "TGif: No GIF Terminator Found"},
      {"cut inside the image data", good.substr(0, good.size() - 4),
       "TGif: No GIF Terminator Found"},
      {"cut inside a comment",
       GifBuilder(2, 2, 2)
           .Raw("!\xFE\x05"
                "ab")
           .Bytes(),
       "TGif: No GIF Terminator Found"},
      {"only extensions", GifBuilder(2, 2, 2).GraphicControl(0, 5, 0, false).Trailer(),
       "TGif: No Image Description"},
      {"no colour table", GifBuilder(2, 2, 0).Image(img).Trailer(),
       "TGif: No Local or Global Color Table for Image"},
      {"unknown block", GifBuilder(2, 2, 2).Raw("B").Image(img).Trailer(),
       "TGif: Unknown Graphics Operation Code"},
      {"graphic control of size 5", GifBuilder(2, 2, 2).Raw("!\xF9\x05").Trailer(),
       "TGif: Invalid Extension Block Size"},
      {"plain text of size 11", GifBuilder(2, 2, 2).Raw("!\x01\x0B").Trailer(),
       "TGif: Invalid Extension Block Size"},
      {"application of size 10", GifBuilder(2, 2, 2).Raw("!\xFF\x0A").Trailer(),
       "TGif: Invalid Extension Block Size"},
      {"graphic control without terminator",
       GifBuilder(2, 2, 2).Raw(std::string("!\xF9\x04\x00\x00\x00\x00\x01", 8)).Trailer(),
       "TGif: Invalid Extension Block Terminator"},
      {"unknown extension", GifBuilder(2, 2, 2).Raw("!\xAB").Trailer(),
       "TGif: unknown extension: 00AB"},
      {"end code after a clear code",
       GifBuilder(2, 2, 2)
           .Image({.width = 2, .height = 2, .data = PackCodes({{4, 3}, {5, 3}})})
           .Trailer(),
       "TGif: Invalid LZW Data Format"},
      {"code beyond the next slot",
       GifBuilder(2, 2, 2)
           .Image({.width = 2, .height = 2, .data = PackCodes({{4, 3}, {1, 3}, {7, 3}, {5, 3}})})
           .Trailer(),
       "TGif: Invalid LZW Data Format"},
      {"minimum code size 9",
       GifBuilder(2, 2, 2).Image({.width = 2, .height = 2, .lzw = 9, .data = "\x01"}).Trailer(),
       "TGif: Invalid LZW Code Size"},
      {"image larger than the limit",
       GifBuilder(2, 2, 2).Image({.width = 4000, .height = 4000, .data = image}).Trailer(),
       "Out of memory"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf(c.bytes, TGifLimits{.max_image_pixels = 1 << 20}), c.error) << c.name;
  }
  EXPECT_EQ(ErrorOf(good), "(loaded)");
}

TEST(GifDecoder, ReadsScreenImageAndExtensions) {
  const std::string lower = "gif89a" + SmallGif().substr(6);
  // A zero byte between blocks, a comment, a plain text block and a foreign application
  // block are all read past.
  const std::string bytes =
      GifBuilder(2, 2, 2, "gif89a")
          .Raw(std::string("\0!\xFE\x02hi\0", 7))
          .Raw(std::string("!\x01\x0C"
                           "0123456789AB\x01x\0",
                           18))
          .Raw(std::string("!\xFF\x0BXMP DataXMP\x02"
                           "ab\0",
                           18))
          .Netscape(std::string("\x01\x05\x00", 3))
          .GraphicControl(4, 0, 3, true)
          .Image({.left = 1,
                  .top = 2,
                  .width = 2,
                  .height = 2,
                  .local_table_bits = 3,
                  .data = EncodeIndices({0, 1, 2, 3}, 2)})
          .GraphicControl(6, 7, 1, false)
          .Image({.width = 2, .height = 2, .data = EncodeIndices({3, 2, 1, 0}, 2)})
          .Image({.width = 2, .height = 2, .data = EncodeIndices({3, 2, 1, 0}, 2)})
          .Trailer();
  TGif gif;
  gif.LoadFromStream(bytes);
  EXPECT_EQ(gif.Signature(), "gif89a");
  EXPECT_EQ(gif.Width(), 2);
  EXPECT_EQ(gif.ImageCount(), 3);
  EXPECT_EQ(gif.ColorTableCount(), 2);
  EXPECT_EQ(gif.LoopCount(), 5);
  EXPECT_EQ(gif.GetImageLeft(0), 1);
  EXPECT_EQ(gif.GetImageTop(0), 2);
  EXPECT_EQ(gif.GetImageDepth(0), 8);  // its local table
  EXPECT_EQ(gif.GetImageDepth(1), 4);  // the global one
  // Delay 0 reports 1, disposal 4 reports 0, 6 reports 2; no graphic control: 1 and 0.
  EXPECT_EQ(gif.GetImageDelay(0), 1);
  EXPECT_EQ(gif.GetImageDisposal(0), 0);
  EXPECT_EQ(gif.GetTransparentIndex(0), 3);
  EXPECT_EQ(gif.GetImageDelay(1), 7);
  EXPECT_EQ(gif.GetImageDisposal(1), 2);
  EXPECT_EQ(gif.GetTransparentIndex(1), -1);
  EXPECT_EQ(gif.GetImageDelay(2), 1);
  EXPECT_EQ(gif.GetImageDisposal(2), 0);
  EXPECT_TRUE(gif.Transparent());
  EXPECT_EQ(gif.TransparentColor(), 3u * 0x030201);
  EXPECT_EQ(gif.GetImageDescriptor(1).rPixelList, (std::vector<std::uint8_t>{3, 2, 1, 0}));
  EXPECT_EQ(gif.GetImageDescriptor(0).rExtensionList.size(), 5u);
  EXPECT_THROW(gif.GetImageDescriptor(3), EInvalidGraphicOperation);
  EXPECT_THROW(gif.GetColorTable(-1), EInvalidGraphicOperation);

  gif.FreeImage();
  EXPECT_EQ(gif.Signature(), "------");
  EXPECT_EQ(gif.LoopCount(), -1);
  EXPECT_THROW(gif.TransparentColor(), EInvalidGraphicOperation);
  gif.LoadFromStream(lower);
  EXPECT_EQ(gif.LoopCount(), -1);
  EXPECT_FALSE(gif.Transparent());
}

TEST(GifDecoder, LoopCountNeedsAThreeByteNetscapeBlock) {
  for (const auto& [sub_block, expected] :
       std::vector<std::pair<std::string, int>>{{std::string("\x01\x05\x00", 3), 5},
                                                {std::string("\x01\x00\x01", 3), 256},
                                                {std::string("\x01\x05\x00\x00", 4), -1}}) {
    TGif gif;
    gif.LoadFromStream(GifBuilder(2, 2, 2).Netscape(sub_block).Raw(SmallGif().substr(25)).Bytes());
    EXPECT_EQ(gif.LoopCount(), expected);
  }
}

std::vector<std::uint8_t> Column(int height) {
  std::vector<std::uint8_t> v;
  for (int i = 0; i < height; ++i) v.push_back(static_cast<std::uint8_t>(i));
  return v;
}

TEST(GifDecoder, InterlacedRowsComeInPassOrder) {
  struct Case {
    int height;
    std::vector<std::uint8_t> rows;  // the data position that lands in each row
  };
  const Case cases[] = {
      // Rows 0, 8, 4, 12, 2, 6, 10, 14, 1, 3, ... in data order.
      {16, {0, 8, 4, 9, 2, 10, 5, 11, 1, 12, 6, 13, 3, 14, 7, 15}},
      // Passes with no row inside a short image take no pixels.
      {3, {0, 2, 1}},
      {2, {0, 1}},
      {5, {0, 3, 2, 4, 1}},
  };
  for (const Case& c : cases) {
    TGif gif;
    gif.LoadFromStream(GifBuilder(1, c.height, 4)
                           .Image({.height = c.height,
                                   .interlaced = true,
                                   .lzw = 4,
                                   .data = EncodeIndices(Column(c.height), 4)})
                           .Trailer());
    EXPECT_EQ(gif.GetImageDescriptor(0).rPixelList, c.rows) << "height " << c.height;
  }
  // Pixels beyond the last are dropped, not wrapped round to the first pass again.
  TGif gif;
  gif.LoadFromStream(
      GifBuilder(1, 2, 4)
          .Image(
              {.height = 2, .interlaced = true, .lzw = 4, .data = EncodeIndices({5, 6, 7, 8}, 4)})
          .Trailer());
  EXPECT_EQ(gif.GetImageDescriptor(0).rPixelList, (std::vector<std::uint8_t>{5, 6}));
}

TEST(GifDecoder, CodeStreamEdges) {
  struct Case {
    const char* name;
    std::string data;
    std::vector<std::uint8_t> pixels;  // a 2 x 2 image, lzw 2
  };
  const Case cases[] = {
      {"short data leaves 0", PackCodes({{4, 3}, {3, 3}, {5, 3}}), {3, 0, 0, 0}},
      // The last code ends in the last byte, without an end code: it is still drawn.
      {"last code in the last byte", PackCodes({{4, 3}, {1, 3}, {2, 3}}), {1, 2, 0, 0}},
      {"no clear code first", PackCodes({{1, 3}, {2, 3}, {5, 3}}), {1, 2, 0, 0}},
      // Code 6 is defined by the code that reads it: 1 then 1 1.
      {"code of the slot being defined", PackCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}}), {1, 1, 1, 0}},
      {"repeated clear codes", PackCodes({{4, 3}, {4, 3}, {4, 3}, {2, 3}, {5, 3}}), {2, 0, 0, 0}},
      {"pixels beyond the image dropped", EncodeIndices({1, 1, 1, 1, 2, 2, 2}, 2), {1, 1, 1, 1}},
      {"empty data", "", {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    TGif gif;
    gif.LoadFromStream(
        GifBuilder(2, 2, 2).Image({.width = 2, .height = 2, .data = c.data}).Trailer());
    EXPECT_EQ(gif.GetImageDescriptor(0).rPixelList, c.pixels) << c.name;
  }
}

TEST(GifDecoder, FullTableDecodesWithoutNewEntries) {
  // lzw 2: after the clear code every code but the first adds an entry, until slot 4096.
  std::vector<std::pair<int, int>> codes{{4, 3}};
  std::vector<std::uint8_t> expected;
  int slot = 6, width = 3;
  auto emit = [&](int code, std::vector<std::uint8_t> string, bool adds) {
    codes.emplace_back(code, width);
    expected.insert(expected.end(), string.begin(), string.end());
    if (adds && slot < 4096) ++slot;
    if (slot >= (1 << width) && width < 12) ++width;
  };
  emit(1, {1}, false);
  while (slot < 4096) emit(2, {2}, true);
  // Full: a root, and code 6 (1 2, defined first), at 12 bits, then a 4095 (the last entry:
  // 2 2); nothing new is defined, so 4095 still means what it meant.
  emit(3, {3}, true);
  emit(6, {1, 2}, true);
  emit(4095, {2, 2}, true);
  codes.emplace_back(5, 12);
  TGif gif;
  const int w = static_cast<int>(expected.size());
  gif.LoadFromStream(GifBuilder(w, 1, 2).Image({.width = w, .data = PackCodes(codes)}).Trailer());
  EXPECT_EQ(gif.GetImageDescriptor(0).rPixelList, expected);
}

// Once an image's pixels are written the codes after them cost nothing: the work (codes read
// plus pixels expanded) stays within twice the pixels and one string of the full table.
TEST(GifDecoder, WorkStaysInProportionToThePixels) {
  std::vector<std::uint8_t> ordinary(200 * 100);
  for (size_t i = 0; i < ordinary.size(); ++i) ordinary[i] = static_cast<std::uint8_t>(i * 7);
  struct Case {
    const char* name;
    int width, height;
    bool interlaced;
    bool ordinary;  // else 12 KB of long strings of index 1
  };
  const Case cases[] = {
      {"1 x 1", 1, 1, false, false},
      {"1 x 1 interlaced", 1, 1, true, false},
      {"64 x 64 interlaced", 64, 64, true, false},
      {"no pixels at all", 0, 5, false, false},
      {"an ordinary picture", 200, 100, false, true},
  };
  for (const Case& c : cases) {
    const GifImageSpec image{
        .width = c.width,
        .height = c.height,
        .interlaced = c.interlaced,
        .lzw = 8,
        .data = c.ordinary ? EncodeIndices(ordinary, 8) : FullTableCodes(12000)};
    const std::vector<std::uint8_t> pixels =
        c.ordinary ? ordinary
                   : std::vector<std::uint8_t>(static_cast<size_t>(c.width * c.height), 1);
    // Twice: the second image is decoded after the first has filled the table.
    TGif gif;
    gif.LoadFromStream(GifBuilder(200, 100, 8).Image(image).Image(image).Trailer());
    const auto count = static_cast<std::int64_t>(pixels.size());
    EXPECT_LE(gif.LzwWork(), 2 * (2 * count + 4096)) << c.name;
    EXPECT_EQ(gif.GetImageDescriptor(1).rPixelList, pixels) << c.name;
  }
}

// Colour tables and extension records take memory in proportion to their bytes in the file,
// however many tiny ones it holds.
TEST(GifDecoder, TinyTablesAndBlocksCostMemoryInProportionToTheFile) {
  const GifImageSpec pixel{.data = EncodeIndices({1}, 2)};
  GifImageSpec local = pixel;
  local.local_table_bits = 1;
  GifBuilder comments(1, 1, 1), frames(1, 1, 1), sub_blocks(1, 1, 1);
  for (int i = 0; i < 20000; ++i) comments.Raw(std::string("!\xFE\0", 3));
  for (int i = 0; i < 3000; ++i) frames.Image(local);
  for (int i = 0; i < 300; ++i) {
    sub_blocks.Raw("!\xFE");
    for (int j = 0; j < 100; ++j) sub_blocks.Raw(std::string("\x01x", 2));
    sub_blocks.Raw(std::string("\0", 1));
  }
  const std::pair<const char*, std::string> files[] = {
      {"20,000 empty comments", comments.Image(pixel).Trailer()},
      {"3,000 frames with local tables", frames.Trailer()},
      {"300 comments of 100 one-byte sub-blocks", sub_blocks.Image(pixel).Trailer()},
  };
  for (const auto& [name, bytes] : files) {
    TGif gif;
    const test::AllocationMeter meter;
    gif.LoadFromStream(bytes);
    EXPECT_LE(meter.PeakBytes(), 16 * bytes.size()) << name;
  }
  // The records are all there to read back.
  TGif gif;
  gif.LoadFromStream(files[2].second);
  ASSERT_EQ(gif.GetImageDescriptor(0).rExtensionList.size(), 300u);
  const GifExtensionRecord last = gif.GetImageDescriptor(0).rExtensionList[299];
  EXPECT_EQ(last.label, 0xFE);
  EXPECT_EQ(last.data, std::vector<ByteString>(100, "x"));
}

std::uint32_t DibPixel(const TGifBitmap& b, int x, int y) {
  const size_t stride = (static_cast<size_t>(b.Width) * 3 + 3) & ~size_t{3};
  const size_t at =
      54 + static_cast<size_t>(b.Height - 1 - y) * stride + static_cast<size_t>(x) * 3;
  auto byte = [&](size_t i) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b.Dib[i]));
  };
  return byte(at + 2) | byte(at + 1) << 8 | byte(at) << 16;
}

TEST(GifDecoder, BuildsBottomUpBitmapsWithTheKeyColour) {
  TGif gif;
  gif.LoadFromStream(
      GifBuilder(3, 2, 2)
          .GraphicControl(0, 1, 2, true)
          .Image({.width = 3, .height = 2, .data = EncodeIndices({0, 1, 2, 3, 2, 1}, 2)})
          .Image({.width = 3, .height = 2, .data = EncodeIndices({2, 2, 2, 3, 3, 3}, 2)})
          .Trailer());
  const TGifBitmap& first = gif.GetBitmap(0);
  ASSERT_EQ(first.Dib.size(), 54u + 2 * 12);  // rows of 9 bytes padded to 12
  EXPECT_EQ(first.Dib.substr(0, 2), "BM");
  EXPECT_EQ(static_cast<std::uint8_t>(first.Dib[2]), 54 + 24);
  EXPECT_EQ(static_cast<std::uint8_t>(first.Dib[10]), 54);
  EXPECT_EQ(static_cast<std::uint8_t>(first.Dib[14]), 40);
  EXPECT_EQ(static_cast<std::uint8_t>(first.Dib[18]), 3);
  EXPECT_EQ(static_cast<std::uint8_t>(first.Dib[22]), 2);
  EXPECT_EQ(static_cast<std::uint8_t>(first.Dib[28]), 24);
  // Bottom-up: the last row in the file is the image's top row (0, 1, key).
  EXPECT_EQ(first.Dib.substr(54 + 12, 9), std::string("\0\0\0\x03\x02\x01", 6) + "\x17\x07\x25");
  EXPECT_TRUE(first.Transparent);
  EXPECT_EQ(first.TransparentColor, kGifKeyColor);
  EXPECT_EQ(DibPixel(first, 0, 1), 3u * 0x030201);
  // The second image shares the table but is opaque: index 2 keeps the file's colour.
  const TGifBitmap& second = gif.GetBitmap(1);
  EXPECT_FALSE(second.Transparent);
  EXPECT_EQ(DibPixel(second, 0, 0), 2u * 0x030201);

  const TGifBitmap strip = gif.StripBitmap();
  EXPECT_EQ(strip.Width, 6);
  EXPECT_EQ(strip.Height, 2);
  EXPECT_TRUE(strip.Transparent);
  EXPECT_EQ(DibPixel(strip, 2, 0), kGifKeyColor);
  EXPECT_EQ(DibPixel(strip, 3, 0), 2u * 0x030201);  // the second image is opaque
  EXPECT_EQ(DibPixel(strip, 5, 1), 3u * 0x030201);
}

}  // namespace
}  // namespace vlt
