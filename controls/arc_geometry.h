#pragma once
// What the arc gauge draws, computed without a window: the ring's size and place, the arc's
// sweep, the text and glyph boxes, and the blend that lays the ring over the background.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vlt::controls {

// A colour value: red + green * 256 + blue * 65536.
using ColorValue = std::uint32_t;

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Box&) const = default;
};

// The ring of a gauge of width x height pixels. `line_width` is at 96 pixels per inch.
struct GaugeRing {
  int d = 0;                   // side of the square drawing area, minus one
  int w = 0;                   // line width in device pixels; 0 draws neither ring nor arc
  int h = 0;                   // half of it: the ring's inset
  int x = 0, y = 0, size = 0;  // the ellipse's box
  bool operator==(const GaugeRing&) const = default;
};
GaugeRing ComputeGaugeRing(int width, int height, int line_width, int ppi);

// The density level nearest to `ppi`: 96, 120, 144 or 192.
int DensityLevel(int ppi);

// Progress as stored: within [min, max], min winning when the range is upside down.
std::int64_t ClampProgress(std::int64_t min, std::int64_t max, std::int64_t value);

// The arc's sweep in degrees (clockwise, at most 360), or nothing when no arc is drawn: no
// progress beyond `min`, or an empty or upside-down range.
std::optional<float> ArcSweep(std::int64_t min, std::int64_t max, std::int64_t progress);

// One drawing call's share of an arc: degrees, clockwise from the positive x axis.
struct ArcPiece {
  float start = 0, sweep = 0;
  bool operator==(const ArcPiece&) const = default;
};

// The calls that draw the arc from `start` over `sweep` degrees (at most 360). Wine's GDI+
// overflows its stack on an arc whose sweep lies within a hair of a multiple of 90 degrees,
// 0 included (the gauge at exactly three quarters is 270 from -90), depending on the start.
// Such an arc is drawn in pieces of 40 to 80 degrees that overlap by 3 degrees: the pen is
// opaque, and Wine's flat ends stray by about a pixel, which a bare join would show as a
// hole. Any other arc is one call as asked; one too short to colour a pixel (below 0.05
// degree) gives no call at all.
std::vector<ArcPiece> SplitArc(float start, float sweep);

// The text box (text of cx x cy centred in the square of side d) and, when the gauge has a
// glyph of gw x gh, the glyph box above the text, which then moves down.
struct GaugeBoxes {
  Box text, glyph;
};
GaugeBoxes ComputeGaugeBoxes(int d, int cx, int cy, std::optional<std::pair<int, int>> glyph,
                             int ppi);

// Lays `color` over `buffer` through `mask`, channel by channel (blue, green, red of 32-bit
// pixels; the fourth byte is left alone): white mask keeps the background, darker mask shows
// more of the colour. Does nothing when the two images differ in size.
struct PixelImage {
  std::span<std::uint8_t> pixels;  // width * height * 4 bytes
  int width = 0, height = 0;
};
struct ConstPixelImage {
  std::span<const std::uint8_t> pixels;
  int width = 0, height = 0;
};
void BlendMaskedColor(PixelImage buffer, ConstPixelImage mask, ColorValue color);

}  // namespace vlt::controls
