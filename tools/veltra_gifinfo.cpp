// veltra-gifinfo FILE
//
// Reads FILE with the installer's GIF decoder and prints, tab-separated:
//   screen  width height global-table-entries loop-count image-count
//   image   index left top width height interlaced local-table-entries delay disposal
//           transparent-index sha256-of-indices
// one "image" line per image. The hash covers the palette indices, one byte per pixel, rows
// top to bottom in display order. On failure the decoder's message goes to stderr.
// Exit status: 0 when the file was read, 1 when the decoder refused it, 2 on bad usage.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <limits>
#include <string>

#include "controls/gif.h"
#include "net/sha256.h"
#include "platform/files.h"

namespace {}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: veltra-gifinfo FILE\n", stderr);
    return 2;
  }
  std::string data, error;
  // A host path as given: a leading '/' keeps it out of the drive mapping.
  if (!vlt::platform::ReadWholeFile(argv[1], std::numeric_limits<std::int64_t>::max(), data,
                                    error)) {
    std::fprintf(stderr, "veltra-gifinfo: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  try {
    vlt::TGif gif;
    gif.LoadFromStream(data);
    const vlt::TGifScreenDescriptor& screen = gif.ScreenDescriptor();
    std::printf("screen\t%d\t%d\t%d\t%d\t%d\n", screen.rWidth, screen.rHeight,
                screen.rGlobalColorValid ? screen.rGlobalColorSize : 0, gif.LoopCount(),
                gif.ImageCount());
    for (int i = 0; i < gif.ImageCount(); ++i) {
      const vlt::TGifImageDescriptor& image = gif.GetImageDescriptor(i);
      std::printf("image\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%s\n", i, image.rLeft, image.rTop,
                  image.rWidth, image.rHeight, image.rInterlaced ? 1 : 0,
                  image.rLocalColorValid ? image.rLocalColorSize : 0, gif.GetImageDelay(i),
                  gif.GetImageDisposal(i), gif.GetTransparentIndex(i),
                  vlt::net::Sha256Hex(
                      std::string_view(reinterpret_cast<const char*>(image.rPixelList.data()),
                                       image.rPixelList.size()))
                      .c_str());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
