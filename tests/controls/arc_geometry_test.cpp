// The arc gauge's geometry, sweep, clamping and ring blend.
#include "controls/arc_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace vlt::controls {
namespace {

TEST(GaugeRingTest, SizesAndDensities) {
  struct Case {
    int width, height, line_width, ppi;
    GaugeRing expected;
  };
  const Case cases[] = {
      // The wizard's gauge at 96 and 144 pixels per inch.
      {101, 104, 6, 96, {100, 6, 3, 3, 3, 93}},
      {101, 104, 6, 144, {100, 9, 4, 4, 4, 90}},
      {101, 104, 6, 120, {100, 7, 3, 3, 3, 92}},
      // A huge width is cut to half the drawing area plus one.
      {101, 104, 1000, 96, {100, 51, 25, 25, 25, 48}},
      {101, 104, std::numeric_limits<int>::max(), 192, {100, 51, 25, 25, 25, 48}},
      // The default size; width 0 draws nothing.
      {82, 82, 0, 96, {81, 0, 0, 0, 0, 80}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComputeGaugeRing(c.width, c.height, c.line_width, c.ppi), c.expected)
        << c.width << "x" << c.height << " lw " << c.line_width << " ppi " << c.ppi;
  }
}

TEST(GaugeRingTest, DensityLevelBoundaries) {
  const std::pair<int, int> cases[] = {{72, 96},   {110, 96},  {111, 120}, {134, 120},
                                       {135, 144}, {170, 144}, {171, 192}, {288, 192}};
  for (auto [ppi, level] : cases) EXPECT_EQ(DensityLevel(ppi), level) << ppi;
}

TEST(GaugeSweepTest, ArcOrNot) {
  struct Case {
    std::int64_t min, max, progress;
    std::optional<float> sweep;
  };
  constexpr std::int64_t kBig = std::numeric_limits<std::int64_t>::max();
  const Case cases[] = {
      {0, 200, 50, 90.0f},
      {0, 200, 200, 360.0f},
      {0, 100, 80, 288.0f},
      {0, 100, 0, std::nullopt},  // no progress: ring only
      {0, 100, -5, std::nullopt},
      {0, 0, 0, std::nullopt},    // empty range: no division
      {10, 5, 10, std::nullopt},  // upside down
      // Byte counts far beyond 32 bits, and a product that would not fit in 64 bits.
      {0, 8'000'000'000, 2'000'000'000, 90.0f},
      {0, kBig, kBig / 2, 180.0f},
      // A range not starting at 0 is measured from its start.
      {100, 300, 200, 180.0f},
      {-100, 100, 0, 180.0f},
  };
  for (const Case& c : cases) {
    const std::optional<float> got = ArcSweep(c.min, c.max, c.progress);
    ASSERT_EQ(got.has_value(), c.sweep.has_value()) << c.min << ".." << c.max << " @" << c.progress;
    if (got) {
      EXPECT_FLOAT_EQ(*got, *c.sweep) << c.min << ".." << c.max << " @" << c.progress;
    }
  }
}

// No drawing call may sweep (nearly) a multiple of 90 degrees, and together the calls must
// cover exactly the arc asked for.
TEST(SplitArcTest, PiecesCoverTheArcAndAvoidQuarterSweeps) {
  std::vector<std::pair<float, float>> arcs;  // start, sweep
  for (float start : {-90.0f, 0.0f, -255.0f, 45.5f}) {
    for (int percent = 1; percent <= 100; ++percent) {
      arcs.emplace_back(start, *ArcSweep(0, 100, percent));
    }
    // Within a byte of the quarters of a large download, and its early bytes.
    constexpr std::int64_t kMax = 10'000'000;
    for (std::int64_t at : {kMax / 4, kMax / 2, kMax * 3 / 4, kMax}) {
      for (std::int64_t d : {-2, -1, 0, 1}) {
        arcs.emplace_back(start, *ArcSweep(0, kMax, std::min(at + d, kMax)));
      }
    }
    for (std::int64_t at : {3000, 1400}) arcs.emplace_back(start, *ArcSweep(0, kMax, at));
  }
  for (auto [start, sweep] : arcs) {
    SCOPED_TRACE(testing::Message() << "start " << start << " sweep " << sweep);
    const std::vector<ArcPiece> pieces = SplitArc(start, sweep);
    ASSERT_FALSE(pieces.empty());
    EXPECT_FLOAT_EQ(pieces.front().start, start);
    const float end = pieces.back().start + pieces.back().sweep;
    EXPECT_NEAR(end, start + sweep + (sweep >= 360 ? 3 : 0), 1e-3);
    float reached = start;
    for (const ArcPiece& p : pieces) {
      EXPECT_LE(p.start, reached + 1e-3f);  // no gap
      reached = p.start + p.sweep;
      EXPECT_GE(std::abs(p.sweep - 90.0f * std::round(p.sweep / 90.0f)), 0.05f) << p.sweep;
      if (pieces.size() > 1) {
        EXPECT_LE(p.sweep, 83.0f);
      }
    }
  }
  // Any other arc is the one call asked for.
  EXPECT_EQ(SplitArc(-90, 104.4f), (std::vector<ArcPiece>{{-90, 104.4f}}));
  EXPECT_EQ(SplitArc(-90, 270).size(), 4u);
  // Too short to colour a pixel (the first bytes of a large download): nothing to draw.
  for (float sweep : {0.0f, 0.049f, *ArcSweep(0, 10'000'000, 1), -5.0f,
                      std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_TRUE(SplitArc(-90, sweep).empty()) << sweep;
  }
}

TEST(GaugeSweepTest, ClampingKeepsProgressInRange) {
  EXPECT_EQ(ClampProgress(0, 100, 500), 100);
  EXPECT_EQ(ClampProgress(0, 100, -5), 0);
  EXPECT_EQ(ClampProgress(0, 100, 47), 47);
  EXPECT_EQ(ClampProgress(50, 10, 30), 50);  // upside down: Min wins
}

TEST(GaugeBoxesTest, TextCentredAndGlyphAboveIt) {
  // "47" of 14 x 16 in the square of side 100.
  GaugeBoxes b = ComputeGaugeBoxes(100, 14, 16, std::nullopt, 96);
  EXPECT_EQ(b.text, (Box{43, 42, 57, 58}));
  EXPECT_EQ(b.glyph.Width(), 0);
  // No text at all: an empty box.
  EXPECT_EQ(ComputeGaugeBoxes(100, 0, 0, std::nullopt, 96).text.Width(), 0);
  // A 16 x 16 glyph: spacing 4 at 96 PPI, 6 at 144.
  b = ComputeGaugeBoxes(100, 14, 16, std::pair{16, 16}, 96);
  EXPECT_EQ(b.glyph, (Box{42, 32, 58, 48}));
  EXPECT_EQ(b.text, (Box{43, 54, 57, 70}));
  b = ComputeGaugeBoxes(100, 14, 16, std::pair{16, 16}, 144);
  EXPECT_EQ(b.glyph.top, 31);
  EXPECT_EQ(b.text.top, 56);
}

// 32-bit pixels (blue, green, red, reserved) from 0xRRGGBB values; the reserved byte is a
// marker the blend must leave alone.
std::vector<std::uint8_t> Pixels(std::initializer_list<std::uint32_t> rgb) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t v : rgb) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 16) & 0xFF));
    out.push_back(0x7F);
  }
  return out;
}

TEST(BlendMaskedColorTest, MaskWeighsColourAgainstBackground) {
  // Pixels: white, black, mid grey, a colour; mask per pixel grey levels.
  struct Case {
    std::uint8_t mask;
    ColorValue color;
    std::vector<std::uint8_t> expected;  // after blending over the four background pixels
  };
  const ColorValue kOrange = 0x0080FF;  // a colour value: red 255, green 128, blue 0
  const std::vector<std::uint8_t> background = Pixels({0xFFFFFF, 0x000000, 0x808080, 0x204060});
  const Case cases[] = {
      // White mask: the background stays, within 1/256.
      {255, kOrange, Pixels({0xFFFEFE, 0x000000, 0x80807F, 0x20405F})},
      // Black mask (BaseBlend 0): the colour solid.
      {0, kOrange, Pixels({0xFF8000, 0xFF8000, 0xFF8000, 0xFF8000})},
      // BaseBlend 222 on white with black: a faint grey.
      {222, 0x000000, Pixels({0xDDDDDD, 0x000000, 0x6F6F6F, 0x1B3753})},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> buffer = background;
    const std::vector<std::uint8_t> mask =
        Pixels({0x010101u * c.mask, 0x010101u * c.mask, 0x010101u * c.mask, 0x010101u * c.mask});
    BlendMaskedColor({buffer, 2, 2}, {mask, 2, 2}, c.color);
    EXPECT_EQ(buffer, c.expected) << "mask " << int(c.mask);
  }
}

TEST(BlendMaskedColorTest, ChannelsBlendSeparatelyAndSizesMustMatch) {
  std::vector<std::uint8_t> buffer = Pixels({0xFFFFFF});
  // A mask white in red only: green and blue take the colour (black), red keeps the white.
  const std::vector<std::uint8_t> mask = Pixels({0xFF0000});
  BlendMaskedColor({buffer, 1, 1}, {mask, 1, 1}, 0x000000);
  EXPECT_EQ(buffer, Pixels({0xFE0000}));

  std::vector<std::uint8_t> other = Pixels({0xFFFFFF, 0xFFFFFF});
  const std::vector<std::uint8_t> small = Pixels({0});
  BlendMaskedColor({other, 2, 1}, {small, 1, 1}, 0);
  EXPECT_EQ(other, Pixels({0xFFFFFF, 0xFFFFFF}));
}

}  // namespace
}  // namespace vlt::controls
