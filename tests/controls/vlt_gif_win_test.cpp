// The animated picture as a real child window (Wine in CI): it sizes itself, draws the current
// frame with its transparent pixels left to the background, animates on its own timer and
// stops when hidden; a file it cannot load gives the error box.
#include "controls/vlt_gif_win.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/controls/gif_builder.h"
#include "tests/support/box_dismisser.h"

namespace vlt {
namespace {

using test::EncodeIndices;
using test::GifBuilder;

// Two 8 x 8 frames of delay 0 (10 ms): index 1 everywhere, then index 2 with a transparent
// top row (index 3).
std::string TwoFrames() {
  std::vector<std::uint8_t> second(64, 2);
  for (int x = 0; x < 8; ++x) second[static_cast<size_t>(x)] = 3;
  return GifBuilder(8, 8, 2)
      .GraphicControl(1, 0, 0, false)
      .Image({.width = 8, .height = 8, .data = EncodeIndices(std::vector<std::uint8_t>(64, 1), 2)})
      .GraphicControl(1, 0, 3, true)
      .Image({.width = 8, .height = 8, .data = EncodeIndices(second, 2)})
      .Trailer();
}

COLORREF Colour(int index) {
  return RGB(index, index * 2, index * 3);  // the builder's table
}

class TopWindow {
 public:
  TopWindow() {
    window_ = CreateWindowExW(0, L"STATIC", L"gif", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                              200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~TopWindow() { DestroyWindow(window_); }
  HWND Get() const { return window_; }

 private:
  HWND window_;
};

// Runs the message loop until `done` or about five seconds of the system's clock.
template <typename Done>
bool PumpUntil(Done done) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (!done() && GetTickCount() - start < 5000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  return done();
}

COLORREF PixelOf(HWND window, int x, int y) {
  UpdateWindow(window);
  HDC dc = GetDC(window);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}

TEST(GifControlWin, PlaysOnItsTimerAndDrawsTheFrames) {
  TopWindow top;
  TVltGIFWin picture;
  HWND child = picture.Create(top.Get(), 7);
  ASSERT_NE(child, nullptr);
  picture.Background = RGB(255, 255, 255);
  picture.Gif().LoadFromStream(TwoFrames());
  RECT r;
  GetClientRect(child, &r);
  EXPECT_EQ(r.right, 8);  // AutoSize
  ShowWindow(child, SW_SHOW);
  int changes = 0;
  picture.Gif().OnChangeFrame = [&](TVltGIF&) { ++changes; };
  picture.Gif().SetActive(true);
  ASSERT_TRUE(PumpUntil([&] { return picture.Gif().CurrentFrame() == 2; }));
  InvalidateRect(child, nullptr, FALSE);
  // The second frame is drawn over the first (disposal 1 keeps it): its transparent row
  // shows the first frame, the rest is its own colour.
  EXPECT_EQ(PixelOf(child, 3, 0), Colour(1));
  EXPECT_EQ(PixelOf(child, 3, 5), Colour(2));
  ASSERT_TRUE(PumpUntil([&] { return changes >= 3; }));

  ShowWindow(child, SW_HIDE);
  EXPECT_TRUE(PumpUntil([&] { return !picture.Gif().Active(); }));
}

// GDI objects this process holds. GetGuiResources answers 0 under Wine; there a GDI handle
// whose high word is 0 names its table slot whatever the slot's generation, so probing every
// slot counts what is alive.
int GdiObjectCount() {
  if (const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); n != 0) {
    return static_cast<int>(n);
  }
  int count = 0;
  for (std::uintptr_t slot = 1; slot < 0x10000; ++slot) {
    count += GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0;
  }
  return count;
}

TEST(GifControlWin, HoldsOneBitmapHoweverManyFramesItShows) {
  // 2,000 frames of 2 x 2, each shown once: the control must not keep a bitmap for each (at
  // 10,000 a process has no GDI handles left).
  GifBuilder builder(2, 2, 2);
  for (int i = 0; i < 2000; ++i) {
    builder.Image({.width = 2, .height = 2, .data = EncodeIndices({1, 2, 3, 1}, 2)});
  }
  TopWindow top;
  TVltGIFWin picture;
  HWND child = picture.Create(top.Get(), 7);
  picture.Gif().LoadFromStream(builder.Trailer());
  ShowWindow(child, SW_SHOW);
  UpdateWindow(child);
  const int before = GdiObjectCount();
  for (int frame = 2; frame <= 2000; ++frame) {
    picture.Gif().SetCurrentFrame(frame);
    UpdateWindow(child);
  }
  EXPECT_EQ(picture.Gif().CurrentFrame(), 2000);
  EXPECT_EQ(PixelOf(child, 1, 0), Colour(2));  // the last frame is on screen
  EXPECT_LE(GdiObjectCount() - before, 4);
}

TEST(GifControlWin, MissingFileGivesTheErrorBox) {
  TopWindow top;
  TVltGIFWin picture;
  picture.Create(top.Get(), 7);
  test::BoxDismisser boxes;
  picture.Gif().SetFilename("C:\\nao\\existe.gif");
  EXPECT_EQ(boxes.Dismissed(), 1);
  EXPECT_EQ(picture.Gif().Filename(), "");
}

}  // namespace
}  // namespace vlt
