// Files written by a real encoder (ImageMagick) read back pixel for pixel, and veltra-gifinfo
// on the command line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "controls/gif.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/controls/gif_builder.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A picture of at most 216 colours (so that the encoder keeps them exact), with runs and
// noise so that the LZW table fills and clears.
std::string Picture(int w, int h, int seed, std::string& rgb) {
  rgb.clear();
  std::uint32_t state = static_cast<std::uint32_t>(seed) * 2654435761u + 1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      state = state * 1103515245u + 12345u;
      const int noise = (y % 40 < 20) ? static_cast<int>(state >> 16) % 6 : (x / 7 + seed) % 6;
      rgb += static_cast<char>(noise * 51);
      rgb += static_cast<char>((y * 6 / h) * 51);
      rgb += static_cast<char>((x * 6 / w) * 51);
    }
  }
  return "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n" + rgb;
}

TEST(GifInterop, ReadsWhatARealEncoderWrote) {
  test::TempDir tmp;
  const fs::path host = platform::HostPath(tmp / "");
  const int w = 301, h = 203;
  for (const bool interlaced : {false, true}) {
    std::string rgb;
    std::ofstream(host / "in.ppm", std::ios::binary) << Picture(w, h, interlaced, rgb);
    const std::string cmd = "/usr/bin/convert '" + (host / "in.ppm").string() + "' " +
                            (interlaced ? "-interlace GIF " : "") + "'" +
                            (host / "out.gif").string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    TGif gif;
    gif.LoadFromStream(Slurp(host / "out.gif"));
    const TGifImageDescriptor& image = gif.GetImageDescriptor(0);
    ASSERT_EQ(image.rWidth, w);
    ASSERT_EQ(image.rInterlaced, interlaced);
    const TGifColorTable& table = gif.GetColorTable(image.rLocalColorTable);
    int wrong = 0;
    for (size_t i = 0; i < image.rPixelList.size(); ++i) {
      const std::uint32_t c = table.Color(image.rPixelList[i]);
      const auto* p = reinterpret_cast<const std::uint8_t*>(rgb.data()) + i * 3;
      wrong += c != (p[0] | p[1] << 8 | static_cast<std::uint32_t>(p[2]) << 16);
    }
    EXPECT_EQ(wrong, 0) << (interlaced ? "interlaced" : "progressive");
  }
}

TEST(GifInterop, GifInfoPrintsTheDecodersView) {
  test::TempDir tmp;
  const fs::path host = platform::HostPath(tmp / "");
  const std::string tool = platform::ExecutableDirectory() + "/../tools/veltra-gifinfo";
  test::WriteFile(tmp / "ok.gif", test::GifBuilder(4, 3, 2)
                                      .Netscape(std::string("\x01\x00\x00", 3))
                                      .GraphicControl(2, 9, 1, true)
                                      .Image({.left = 1,
                                              .top = 1,
                                              .width = 2,
                                              .height = 2,
                                              .interlaced = true,
                                              .local_table_bits = 3,
                                              .data = test::EncodeIndices({0, 1, 2, 3}, 2)})
                                      .Trailer());
  test::WriteFile(tmp / "bad.gif", "GIF89a");
  const auto run = [&](const std::string& file) {
    const std::string cmd = "'" + tool + "' '" + (host / file).string() + "' >'" +
                            (host / "out.txt").string() + "' 2>'" + (host / "err.txt").string() +
                            "'";
    const int rc = std::system(cmd.c_str());
    return std::make_pair(rc, Slurp(host / "out.txt") + Slurp(host / "err.txt"));
  };
  // Two interlaced rows come in order (the passes between have no row): hash of 00 01 02 03.
  EXPECT_EQ(run("ok.gif"),
            std::make_pair(0, std::string("screen\t4\t3\t4\t0\t1\n"
                                          "image\t0\t1\t1\t2\t2\t1\t8\t9\t2\t1\t"
                                          "054edec1d0211f624fed0cbca9d4f9400b0e491c43742af2c"
                                          "5b0abebf0c990d8\n")));
  const auto [rc, text] = run("bad.gif");
  EXPECT_NE(rc, 0);
  EXPECT_EQ(text, "TGif: No GIF Terminator Found\n");
}

}  // namespace
}  // namespace vlt
