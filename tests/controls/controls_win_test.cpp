// The arc gauge and the styled button on a plain test window under Windows (Wine in CI): the
// GDI+ session, the setters that repaint only on a change, the paint data hook, the templates
// applied at run time with their shipped pictures.
// windows.h first: commctrl.h relies on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "controls/arc_control.h"
#include "controls/button_style.h"
#include "controls/gdiplus_api.h"
#include "platform/exception.h"
#include "tests/controls/test_parent_window.h"

namespace vlt::controls {
namespace {

TEST(GdiplusSessionTest, OneSessionAtATimeAndGoneWithIt) {
  ASSERT_EQ(Gdiplus(), nullptr);
  {
    GdiplusSession session;
    ASSERT_TRUE(session.Started()) << session.ErrorText();
    EXPECT_NE(Gdiplus(), nullptr);
    GdiplusSession second;
    EXPECT_FALSE(second.Started());
    EXPECT_NE(Gdiplus(), nullptr);  // the refused second one leaves the first alone
  }
  EXPECT_EQ(Gdiplus(), nullptr);
  // Without a session the ring and the arc are left out, not an error.
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_FALSE(DrawEllipseOutline(dc, 0xFF000000, 6, 3, 3, 93, 93));
  DeleteDC(dc);
}

struct Rgb {
  int r, g, b;
  bool Near(Rgb o, int tolerance) const {
    return std::abs(r - o.r) <= tolerance && std::abs(g - o.g) <= tolerance &&
           std::abs(b - o.b) <= tolerance;
  }
};

// A white top-level window to hold the controls, and a way to read back what is painted.
class ControlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gdiplus_.Started());
    parent_ = test::CreateTestParent(L"controls");
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  // A pixel of `window` as painted by WM_PRINTCLIENT into a bitmap.
  static Rgb PrintedPixel(HWND window, int x, int y) {
    RECT r{};
    GetClientRect(window, &r);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
  }

  GdiplusSession gdiplus_;
  HWND parent_ = nullptr;
};

TEST_F(ControlWindowTest, GaugeRepaintsAtOnceOnlyWhenAValueChanges) {
  TArcGauge gauge;
  gauge.Create(parent_, 1);
  MoveWindow(gauge.Handle(), 0, 0, 101, 104, FALSE);
  ShowWindow(gauge.Handle(), SW_SHOW);
  Pump();
  struct Step {
    const char* what;
    std::function<void()> set;
    bool repaints;
  };
  const Step steps[] = {
      {"Progress 47 again", [&] { gauge.SetProgress(47); }, false},
      {"Progress 60", [&] { gauge.SetProgress(60); }, true},
      {"Progress 500 stores Max", [&] { gauge.SetProgress(500); }, true},
      {"Progress 100 is Max already", [&] { gauge.SetProgress(100); }, false},
      {"Max 100 again", [&] { gauge.SetMax(100); }, false},
      {"LineWidth 6 again", [&] { gauge.SetIntegerProperty(10, 6); }, false},
      {"BaseBlend 0", [&] { gauge.SetIntegerProperty(12, 0); }, true},
      {"unknown index", [&] { gauge.SetIntegerProperty(99, 1); }, false},
      {"BaseAngle through the base", [&] { gauge.SetIntegerProperty(1, 0); }, true},
      {"ProgressColor", [&] { gauge.SetColorValue(11, RGB(255, 128, 0)); }, true},
      {"ShowText false", [&] { gauge.SetBooleanProperty(0, false); }, true},
      {"ShowText false again", [&] { gauge.SetBooleanProperty(0, false); }, false},
  };
  for (const Step& s : steps) {
    const int before = gauge.PaintCount();
    s.set();
    EXPECT_EQ(gauge.PaintCount() - before, s.repaints ? 1 : 0) << s.what;
  }
  EXPECT_EQ(gauge.Progress(), 100);
  // Min above Max: Progress takes Min; setting Min does not re-clamp what is stored.
  gauge.SetMin(200);
  EXPECT_EQ(gauge.Progress(), 100);
  gauge.SetProgress(150);
  EXPECT_EQ(gauge.Progress(), 200);
}

TEST_F(ControlWindowTest, GaugeBlendAndPaintDataDecideTheRing) {
  TArcGauge gauge;
  gauge.Create(parent_, 1);
  MoveWindow(gauge.Handle(), 0, 0, 101, 104, FALSE);
  ShowWindow(gauge.Handle(), SW_SHOW);
  gauge.SetBooleanProperty(0, false);
  gauge.SetProgress(0);
  gauge.SetColorValue(10, RGB(0, 0, 0));
  // The top of the ring (x 49, y 3) and a point inside it.
  struct Case {
    int base_blend;
    Rgb ring;
  };
  const Case cases[] = {{0, {0, 0, 0}}, {222, {221, 221, 221}}, {255, {254, 254, 254}}};
  for (const Case& c : cases) {
    gauge.SetIntegerProperty(12, c.base_blend);
    const Rgb got = PrintedPixel(gauge.Handle(), 49, 3);
    EXPECT_TRUE(got.Near(c.ring, 3))
        << c.base_blend << ": " << got.r << "," << got.g << "," << got.b;
  }
  // The hook may change what is painted: a red base and no ring width at all.
  gauge.SetIntegerProperty(12, 0);
  int calls = 0;
  gauge.OnGetPaintData = [&](TArcGauge& sender, TGaugePaintData& data) {
    EXPECT_EQ(&sender, &gauge);
    EXPECT_EQ(data.ALineWidth, 6);
    EXPECT_EQ(data.AText, "0");
    ++calls;
    data.ABaseColor = RGB(255, 0, 0);
  };
  EXPECT_TRUE(PrintedPixel(gauge.Handle(), 49, 3).Near({255, 0, 0}, 3));
  gauge.OnGetPaintData = [&](TArcGauge&, TGaugePaintData& data) { data.ALineWidth = 0; };
  EXPECT_TRUE(PrintedPixel(gauge.Handle(), 49, 3).Near({255, 255, 255}, 1));
  EXPECT_GE(calls, 1);
}

TEST_F(ControlWindowTest, GaugeTextShowsTheProgressValue) {
  TArcGauge gauge;
  gauge.Create(parent_, 1);
  MoveWindow(gauge.Handle(), 0, 0, 101, 104, FALSE);
  ShowWindow(gauge.Handle(), SW_SHOW);
  // The default: ShowText and ShowTextValue with Progress 47, black text in the middle.
  auto dark_in_middle = [&] {
    int dark = 0;
    for (int y = 40; y < 60; ++y) {
      for (int x = 35; x < 65; ++x) dark += PrintedPixel(gauge.Handle(), x, y).r < 128;
    }
    return dark;
  };
  EXPECT_GT(dark_in_middle(), 5);
  gauge.SetBooleanProperty(0, false);
  EXPECT_EQ(dark_in_middle(), 0);
}

TEST_F(ControlWindowTest, TemplateAtRunTimePaintsItsColoursAndPictures) {
  TVltButtonStyle button;
  button.SetParent(parent_, 7);
  button.SetBounds(RECT{10, 10, 110, 60});
  button.SetTemplateStyle(TTemplateStyle::tsSave);
  EXPECT_EQ(button.Bounds().right - button.Bounds().left, 90);
  EXPECT_EQ(button.Bounds().bottom - button.Bounds().top, 32);
  EXPECT_EQ(button.Caption(), "Save");

  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 300, 200);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, 300, 200};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  button.Paint(dc);
  const COLORREF fill = GetPixel(dc, 12, 40);
  // Left-aligned: the white save picture at the margin, vertically centred.
  int white = 0;
  for (int y = 14; y < 38; ++y) {
    for (int x = 13; x < 37; ++x) white += GetPixel(dc, x, y) == RGB(255, 255, 255);
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(fill, 4565545u);
  EXPECT_GT(white, 50);
}

// A 300 x 200 bitmap filled with a colour no button uses, for a button to paint into.
class Canvas {
 public:
  static constexpr COLORREF kUntouched = RGB(1, 2, 3);
  Canvas() {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, 300, 200);
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_);
    HBRUSH fill = CreateSolidBrush(kUntouched);
    RECT all{0, 0, 300, 200};
    FillRect(dc_, &all, fill);
    DeleteObject(fill);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }
  // Pixels of `colour` within `r`, or (outside = true) everywhere but `r`.
  int Count(COLORREF colour, const RECT& r, bool outside = false) const {
    int n = 0;
    for (int y = 0; y < 200; ++y) {
      for (int x = 0; x < 300; ++x) {
        const bool in = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        if (in != outside && GetPixel(dc_, x, y) == colour) ++n;
      }
    }
    return n;
  }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

TEST_F(ControlWindowTest, ButtonPaintsNothingBeyondItsBounds) {
  TVltButtonStyle button;
  button.SetParent(parent_, 7);
  const RECT bounds{100, 60, 160, 90};
  button.SetBounds(bounds);
  button.Model().Appearance().brush.color = RGB(200, 0, 0);
  button.SetCaption("Instalar o sistema completo agora");  // far wider than 60 pixels
  Canvas canvas;
  button.Paint(canvas.Dc());
  EXPECT_EQ(canvas.Count(Canvas::kUntouched, bounds, true), 300 * 200 - 60 * 30);
  EXPECT_GT(canvas.Count(RGB(0, 0, 0), bounds), 20);  // the caption, cut at the edges
}

TEST_F(ControlWindowTest, TemplateButtonsGrowWithTheDensity) {
  // The white save picture and the white caption of a template button, at 96 and 144 pixels
  // per inch: the button, its picture and its font all grow by half, so the caption still
  // fits beside the picture.
  int picture_pixels[2] = {0, 0};
  int index = 0;
  for (int dpi : {96, 144}) {
    TVltButtonStyle button;
    button.SetParent(parent_, 7);
    button.SetDpi(dpi);
    button.SetBounds(RECT{10, 10, 110, 60});
    button.SetTemplateStyle(TTemplateStyle::tsSave);
    const RECT& b = button.Bounds();
    EXPECT_EQ(b.right - b.left, dpi == 96 ? 90 : 135);
    EXPECT_EQ(b.bottom - b.top, dpi == 96 ? 32 : 48);
    Canvas canvas;
    button.Paint(canvas.Dc());
    const int side = dpi == 96 ? 24 : 36;
    const int top = b.top + (b.bottom - b.top - side) / 2;
    const RECT picture{b.left + 3, top, b.left + 3 + side, top + side};
    picture_pixels[index++] = canvas.Count(RGB(255, 255, 255), picture);
    // The caption's white ends well before the button's right edge.
    const RECT right_edge{b.right - 6, b.top, b.right, b.bottom};
    EXPECT_EQ(canvas.Count(RGB(255, 255, 255), right_edge), 0) << dpi;
    const RECT caption{picture.right, b.top, b.right - 6, b.bottom};
    EXPECT_GT(canvas.Count(RGB(255, 255, 255), caption), 20) << dpi;
  }
  // Two and a quarter times the area, give or take the filtered edges.
  EXPECT_GT(picture_pixels[1], picture_pixels[0] * 3 / 2) << picture_pixels[0];
}

TEST_F(ControlWindowTest, EveryTemplatePictureIsShippedAndAMissingOneIsReported) {
  for (std::string_view name : TemplatePictureNames()) {
    std::shared_ptr<const ButtonPictureImage> picture;
    ASSERT_NO_THROW(picture = ButtonPictureImage::Load(std::string(name))) << name;
    EXPECT_EQ(picture->Width(), 24) << name;
    EXPECT_EQ(picture->Height(), 24) << name;
  }
  TVltButtonStyle button;
  button.SetParent(parent_, 7);
  button.Model().Appearance().picture = {"PICTURE_NOT_SHIPPED"};
  EXPECT_THROW(button.Changed(), Exception);
}

TEST_F(ControlWindowTest, FocusProxyClicksOnEnterOnlyWhenAsked) {
  TVltButtonStyle button;
  button.SetParent(parent_, 7);
  button.SetBounds(RECT{10, 10, 110, 60});
  int clicks = 0;
  button.OnClick = [&] { ++clicks; };
  EXPECT_FALSE(button.TabStop());  // a tab stop only when the form says so
  HWND proxy = button.ProxyHandle();
  RECT r{};
  GetWindowRect(proxy, &r);
  EXPECT_EQ(r.right - r.left, 0);
  EXPECT_EQ(r.bottom - r.top, 0);

  SendMessageW(proxy, WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(button.State(), TButtonState::bsDown);
  SendMessageW(proxy, WM_KEYDOWN, VK_RETURN, 0x40000001);  // held: clicks again
  EXPECT_EQ(clicks, 2);
  SendMessageW(proxy, WM_KEYUP, VK_RETURN, 0xC0000001);
  EXPECT_EQ(button.State(), TButtonState::bsUp);
  button.SetClickOnEnter(false);
  SendMessageW(proxy, WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(button.State(), TButtonState::bsUp);
  // Space, as on any Windows button: pressed while held, one click when let go.
  SendMessageW(proxy, WM_KEYDOWN, VK_SPACE, 1);
  SendMessageW(proxy, WM_KEYDOWN, VK_SPACE, 0x40000001);
  EXPECT_EQ(button.State(), TButtonState::bsDown);
  EXPECT_EQ(clicks, 2);
  SendMessageW(proxy, WM_KEYUP, VK_SPACE, 0xC0000001);
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(button.State(), TButtonState::bsUp);
  SendMessageW(proxy, WM_KEYUP, VK_SPACE, 0xC0000001);  // no press before it
  EXPECT_EQ(clicks, 3);
}

TEST_F(ControlWindowTest, ImageListPicturesAreCopiesTakenWhenTheIndexIsSet) {
  // A list of two 24 x 24 pictures: opaque red, and a half-transparent blue square in a clear
  // border.
  HIMAGELIST list = ImageList_Create(24, 24, ILC_COLOR32, 2, 0);
  ASSERT_NE(list, nullptr);
  for (DWORD colour : {0xFFFF0000u, 0x80000080u}) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 24, -24, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* p = static_cast<DWORD*>(bits);
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) {
        const bool border = colour != 0xFFFF0000u && (x < 4 || y < 4 || x >= 20 || y >= 20);
        p[y * 24 + x] = border ? 0 : colour;
      }
    }
    ImageList_Add(list, bitmap, nullptr);
    DeleteObject(bitmap);
  }
  TVltButtonStyle button;
  button.SetParent(parent_, 7);
  button.SetBounds(RECT{0, 0, 100, 50});
  // Without a list the index is stored and changes no picture.
  button.SetImageIndexPicture(ButtonPicture::Picture, 0);
  EXPECT_EQ(button.ImageIndexPicture(ButtonPicture::Picture), 0);
  EXPECT_TRUE(button.Model().Appearance().picture.Empty());
  button.SetImageList(list);
  EXPECT_TRUE(button.Model().Appearance().picture.Empty());  // a new list fetches nothing
  button.SetImageIndexPicture(ButtonPicture::Picture, 1);
  EXPECT_FALSE(button.Model().Appearance().picture.Empty());

  auto paint = [&](int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 50);
    HGDIOBJ old = SelectObject(dc, bitmap);
    button.Paint(dc);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return Rgb{GetRValue(c), GetGValue(c), GetBValue(c)};
  };
  // Centred layout: the picture at the left margin (3), centred vertically (13); the brush is
  // white, so the half-transparent blue (128) shows half over it and the clear border shows
  // the brush.
  const Rgb got = paint(3 + 12, 13 + 12), border = paint(3 + 1, 13 + 1);
  EXPECT_TRUE(got.Near({127, 127, 191}, 8)) << got.r << "," << got.g << "," << got.b;
  EXPECT_TRUE(border.Near({255, 255, 255}, 0)) << border.r << "," << border.g << "," << border.b;
  // The copy outlives the list's later changes; an index the list lacks empties the picture.
  ImageList_Destroy(list);
  EXPECT_TRUE(paint(3 + 12, 13 + 12).Near({127, 127, 191}, 8));
  HIMAGELIST red = ImageList_Create(24, 24, ILC_COLOR32, 1, 0);
  button.SetImageList(red);
  button.SetImageIndexPicture(ButtonPicture::Picture, 5);
  EXPECT_TRUE(button.Model().Appearance().picture.Empty());
  ImageList_Destroy(red);
}

}  // namespace
}  // namespace vlt::controls
