#include "controls/arc_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace vlt::controls {

int DensityLevel(int ppi) {
  if (ppi <= 110) return 96;
  if (ppi <= 134) return 120;
  if (ppi <= 170) return 144;
  return 192;
}

GaugeRing ComputeGaugeRing(int width, int height, int line_width, int ppi) {
  GaugeRing ring;
  ring.d = std::min(width, height) - 1;
  // 64-bit: a stored width near the integer limit must not wrap before it is cut down.
  const std::int64_t scaled = static_cast<std::int64_t>(line_width) * ppi / 96;
  ring.w = static_cast<int>(std::min<std::int64_t>(scaled, ring.d / 2 + 1));
  ring.h = ring.w / 2;
  ring.x = ring.h;
  ring.y = ring.h;
  ring.size = ring.d - ring.w - 1;
  return ring;
}

std::int64_t ClampProgress(std::int64_t min, std::int64_t max, std::int64_t value) {
  return std::max(min, std::min(max, value));
}

std::optional<float> ArcSweep(std::int64_t min, std::int64_t max, std::int64_t progress) {
  if (progress <= min || max <= min) return std::nullopt;
  // Extended precision holds every 64-bit product exactly, so huge byte counts neither wrap
  // nor lose the arc; measured from min so that a range not starting at 0 fills as it reads.
  const long double done = static_cast<long double>(progress) - static_cast<long double>(min);
  const long double range = static_cast<long double>(max) - static_cast<long double>(min);
  const long double sweep = done * 360.0L / range;
  return static_cast<float>(std::min(sweep, 360.0L));
}

std::vector<ArcPiece> SplitArc(float start, float sweep) {
  // Wine failed up to 0.0005 degree away from a quarter; this keeps a wide berth.
  constexpr double kNear = 0.05, kLongest = 80, kOverlap = 3;
  std::vector<ArcPiece> pieces;
  if (!(sweep >= kNear)) return pieces;  // NaN too
  const double total = std::min<double>(sweep, 360);
  if (std::abs(total - 90 * std::round(total / 90)) >= kNear) {
    pieces.push_back({start, static_cast<float>(total)});
    return pieces;
  }
  const int count = static_cast<int>(std::ceil(total / kLongest));
  const double step = total / count;
  for (int i = 0; i < count; ++i) {
    const double from = start + i * step - (i > 0 ? kOverlap : 0);
    // A full circle also closes over the first piece's flat end.
    const double to =
        i + 1 < count ? start + (i + 1) * step : start + total + (total >= 360 ? kOverlap : 0);
    pieces.push_back({static_cast<float>(from), static_cast<float>(to - from)});
  }
  return pieces;
}

GaugeBoxes ComputeGaugeBoxes(int d, int cx, int cy, std::optional<std::pair<int, int>> glyph,
                             int ppi) {
  GaugeBoxes boxes;
  boxes.text.left = (d - cx) / 2;
  boxes.text.top = (d - cy) / 2;
  boxes.text.right = boxes.text.left + cx;
  boxes.text.bottom = boxes.text.top + cy;
  if (glyph) {
    const auto [gw, gh] = *glyph;
    const int spacing = 4 * DensityLevel(ppi) / 96;
    boxes.glyph.left = (d - gw) / 2;
    boxes.glyph.right = boxes.glyph.left + gw;
    boxes.glyph.top = (d - gh - spacing - cy) / 2;
    boxes.glyph.bottom = boxes.glyph.top + gh;
    const int down = gh / 2 + spacing;
    boxes.text.top += down;
    boxes.text.bottom += down;
  }
  return boxes;
}

void BlendMaskedColor(PixelImage buffer, ConstPixelImage mask, ColorValue color) {
  if (buffer.width != mask.width || buffer.height != mask.height) return;
  const std::size_t bytes = static_cast<std::size_t>(std::max(buffer.width, 0)) *
                            static_cast<std::size_t>(std::max(buffer.height, 0)) * 4;
  if (buffer.pixels.size() < bytes || mask.pixels.size() < bytes) return;
  // Byte order of a pixel: blue, green, red, reserved.
  const int k[3] = {static_cast<int>((color >> 16) & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                    static_cast<int>(color & 0xFF)};
  for (std::size_t i = 0; i < bytes; i += 4) {
    for (std::size_t c = 0; c < 3; ++c) {
      const int b = buffer.pixels[i + c];
      const int m = mask.pixels[i + c];
      buffer.pixels[i + c] = static_cast<std::uint8_t>(((b - k[c]) * m + k[c] * 256) >> 8);
    }
  }
}

}  // namespace vlt::controls
