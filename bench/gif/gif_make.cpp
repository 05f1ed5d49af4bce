// gif_make still|anim FILE: writes the benchmark's pictures with giflib's encoder (the peer's
// own encoder, so that the files are ordinary): "still" is one 4000 x 3000 picture, "anim" 200
// frames of 640 x 480 with a loop extension and 4/100 s delays. 256 colours of smooth shapes
// with some noise, so that the LZW table fills and clears as in photographs reduced to 256
// colours.
#include <gif_lib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(int rc, const char* what) {
  if (rc != GIF_OK) {
    std::fprintf(stderr, "gif_make: %s failed\n", what);
    std::exit(1);
  }
}

void Frame(GifFileType* gif, int w, int h, int seed) {
  std::vector<GifByteType> row(static_cast<size_t>(w));
  std::uint32_t state = 12345u + static_cast<std::uint32_t>(seed) * 7919u;
  Check(EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr), "EGifPutImageDesc");
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      state = state * 1103515245u + 12345u;
      const double v = std::sin((x + seed * 9) * 0.011) * 50 +
                       std::cos((y - seed * 5) * 0.017) * 50 + std::sin((x + y) * 0.004) * 20;
      // Noise on about one pixel in eight: runs as in drawings, breaks as in photographs.
      const int noise = (state >> 24) < 32 ? static_cast<int>(state >> 29) : 0;
      row[static_cast<size_t>(x)] =
          static_cast<GifByteType>((static_cast<int>(v + 128) + noise) & 0xFF);
    }
    Check(EGifPutLine(gif, row.data(), w), "EGifPutLine");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "still") != 0 && std::strcmp(argv[1], "anim") != 0)) {
    std::fputs("usage: gif_make still|anim FILE\n", stderr);
    return 2;
  }
  const bool anim = std::strcmp(argv[1], "anim") == 0;
  int error = 0;
  GifFileType* gif = EGifOpenFileName(argv[2], false, &error);
  if (gif == nullptr) return 1;
  EGifSetGifVersion(gif, true);
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i) {
    colours[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i),
                  static_cast<GifByteType>((i * 7) & 0xFF)};
  }
  ColorMapObject* map = GifMakeMapObject(256, colours);
  const int w = anim ? 640 : 4000, h = anim ? 480 : 3000;
  Check(EGifPutScreenDesc(gif, w, h, 8, 0, map), "EGifPutScreenDesc");
  if (anim) {
    Check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), "loop extension");
    Check(EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0"), "loop extension");
    const GifByteType loop[3] = {1, 0, 0};
    Check(EGifPutExtensionBlock(gif, 3, loop), "loop extension");
    Check(EGifPutExtensionTrailer(gif), "loop extension");
  }
  for (int n = 0; n < (anim ? 200 : 1); ++n) {
    if (anim) {
      const GifByteType gce[4] = {0x04, 4, 0, 0};  // disposal 1, 4/100 s
      Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce), "graphic control");
    }
    Frame(gif, w, h, n);
  }
  GifFreeMapObject(map);
  Check(EGifCloseFile(gif, &error), "EGifCloseFile");
  return 0;
}
