// The arc gauge on a real window, driven through every step of a download at the sizes the
// wizard shows it: every sweep must draw (Wine's GDI+ once died on a quarter-circle multiple)
// and the arc on screen must be whole, without a gap between its pieces or colour beyond its
// end.
// windows.h first: commctrl.h relies on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "controls/arc_control.h"
#include "controls/gdiplus_api.h"
#include "tests/controls/test_parent_window.h"

namespace vlt::controls {
namespace {

class ArcGaugeStepsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gdiplus_.Started()) << gdiplus_.ErrorText();
    parent_ = test::CreateTestParent(L"gauge");
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }

  GdiplusSession gdiplus_;
  HWND parent_ = nullptr;
};

// What the gauge paints, read back through WM_PRINTCLIENT into a 32-bit top-down bitmap.
class Printed {
 public:
  Printed(HWND window, int width, int height) : width_(width) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(p, p + static_cast<size_t>(width) * height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  // Distance of the pixel at (x, y) from the colour value `rgb`, the largest channel's.
  int Distance(int x, int y, ColorValue rgb) const {
    const std::uint32_t p = pixels_[static_cast<size_t>(y) * width_ + x];  // 0x00RRGGBB
    const int dr = std::abs(static_cast<int>((p >> 16) & 0xFF) - static_cast<int>(rgb & 0xFF));
    const int dg =
        std::abs(static_cast<int>((p >> 8) & 0xFF) - static_cast<int>((rgb >> 8) & 0xFF));
    const int db = std::abs(static_cast<int>(p & 0xFF) - static_cast<int>((rgb >> 16) & 0xFF));
    return std::max({dr, dg, db});
  }

 private:
  int width_;
  std::vector<std::uint32_t> pixels_;
};

TEST_F(ArcGaugeStepsTest, EveryStepDrawsTheWholeArcAndNothingBeyondIt) {
  struct Geometry {
    int width, height, line_width;
  };
  // Rings of 80, 93 (the wizard's gauge) and 100 pixels; line width 9 at 96 pixels per inch
  // draws what 6 draws at 144, on the wizard's gauge as it is and scaled to that density.
  const Geometry geometries[] = {
      {88, 88, 6}, {101, 104, 6}, {108, 108, 6}, {101, 104, 9}, {152, 156, 9}};
  // The download sizes: percent steps, and a large one at its first bytes and within a byte
  // or two of every quarter.
  constexpr std::int64_t kLarge = 10'000'000;
  std::vector<std::pair<std::int64_t, std::int64_t>> steps;  // max, progress
  for (std::int64_t percent = 0; percent <= 100; ++percent) steps.emplace_back(100, percent);
  for (std::int64_t at : {std::int64_t{1}, std::int64_t{3}, std::int64_t{1400}}) {
    steps.emplace_back(kLarge, at);
  }
  for (std::int64_t quarter = 1; quarter <= 4; ++quarter) {
    for (std::int64_t d : {-2, -1, 0, 1}) steps.emplace_back(kLarge, kLarge * quarter / 4 + d);
  }

  for (const Geometry& g : geometries) {
    // Starts at which Wine's GDI+ also failed quarter sweeps, on the wizard's gauge, through
    // the large download's steps.
    const std::vector<int> starts = g.width == 101 && g.line_width == 6
                                        ? std::vector<int>{-90, 0, -240, -255}
                                        : std::vector<int>{-90};
    for (int start : starts) {
      TArcGauge gauge;
      gauge.Create(parent_, 1);
      MoveWindow(gauge.Handle(), 0, 0, g.width, g.height, FALSE);
      ShowWindow(gauge.Handle(), SW_SHOW);
      gauge.SetBooleanProperty(0, false);  // no text, as in the wizard
      gauge.SetIntegerProperty(10, g.line_width);
      gauge.SetIntegerProperty(1, start);
      const GaugeRing ring =
          ComputeGaugeRing(g.width, g.height, g.line_width, gauge.PixelsPerInch());
      const double centre = ring.x + ring.size / 2.0, radius = ring.size / 2.0;
      // Three degrees from either end of the arc keeps clear of its flat ends, which Wine
      // places only to about a pixel.
      constexpr double kMargin = 3;

      for (auto [max, progress] : steps) {
        if (start != -90 && max != kLarge) continue;
        SCOPED_TRACE(testing::Message() << g.width << "x" << g.height << " line " << g.line_width
                                        << " start " << start << ": " << progress << " of " << max);
        gauge.SetMax(max);
        gauge.SetProgress(progress);  // paints at once, on the window
        const Printed printed(gauge.Handle(), g.width, g.height);
        const double sweep = ArcSweep(0, max, progress).value_or(0);
        int gaps = 0, spills = 0;
        for (double a = 0; a < 360; a += 1) {
          const double rad = (start + a) * std::numbers::pi / 180;
          const int x = static_cast<int>(std::lround(centre + radius * std::cos(rad)));
          const int y = static_cast<int>(std::lround(centre + radius * std::sin(rad)));
          const int distance = printed.Distance(x, y, gauge.ProgressColor());
          if (a > kMargin && a < sweep - kMargin && distance > 2) ++gaps;
          if (a > sweep + kMargin && a < 360 - kMargin && distance < 40) ++spills;
        }
        EXPECT_EQ(gaps, 0);
        EXPECT_EQ(spills, 0);
      }
    }
  }
}

}  // namespace
}  // namespace vlt::controls
