// libFuzzer target: arbitrary bytes as a GIF, loaded and turned into bitmaps. Crashes, hangs,
// sanitizer reports and allocations beyond the limits are findings; refusing the input is not.
#include <cstdint>
#include <string_view>

#include "controls/gif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  // Small limits keep every run within the fuzzer's memory budget.
  vlt::TGif gif(vlt::TGifLimits{
      .max_image_pixels = 1 << 22, .max_total_pixels = 1 << 24, .max_bitmap_pixels = 1 << 22});
  try {
    gif.LoadFromStream(std::string_view(reinterpret_cast<const char*>(data), size));
    gif.BuildBitmaps();
    gif.StripBitmap();
    (void)gif.TransparentColor();
  } catch (const vlt::Exception&) {
    // Refusing a damaged file is the expected outcome for most inputs.
  }
  return 0;
}
