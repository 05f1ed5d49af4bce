// The wizard's gauges and styled buttons in the real window under Windows (Wine + Xvfb in CI):
// what they paint, read back from the screen and kept as screenshots, and how the buttons
// answer the mouse and the keyboard.
// windows.h first: commctrl.h relies on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <commctrl.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "controls/gdiplus_api.h"
#include "platform/shell.h"

namespace vlt::app {
namespace {

// GDI+ for the whole program, as at its start.
class GdiplusEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { session_ = std::make_unique<controls::GdiplusSession>(); }
  void TearDown() override { session_.reset(); }

 private:
  std::unique_ptr<controls::GdiplusSession> session_;
};
const auto* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

struct Rgb {
  int r, g, b;
};

// The window's client area as it is on screen.
class Capture {
 public:
  explicit Capture(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const unsigned char*>(bits);
    pixels_.assign(p, p + static_cast<size_t>(width_) * height_ * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
  }
  Rgb At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * width_ + x) * 4;
    return {pixels_[i + 2], pixels_[i + 1], pixels_[i]};
  }
  // Kept as test output: build/windows/screenshots/controls/<name>.png.
  void Save(const std::string& name) const {
    const std::filesystem::path dir = std::filesystem::path("screenshots") / "controls";
    std::filesystem::create_directories(dir);
    std::string raw;
    for (int y = 0; y < height_; ++y) {
      raw.push_back('\0');
      for (int x = 0; x < width_; ++x) {
        const Rgb c = At(x, y);
        raw.push_back(static_cast<char>(c.r));
        raw.push_back(static_cast<char>(c.g));
        raw.push_back(static_cast<char>(c.b));
      }
    }
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packed_size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packed_size,
             reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(packed_size);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    auto be32 = [&png](uint32_t v) {
      for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<char>(v >> shift));
    };
    auto chunk = [&](const char* kind, const std::string& data) {
      be32(static_cast<uint32_t>(data.size()));
      const size_t start = png.size();
      png.append(kind, 4);
      png.append(data);
      be32(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(png.data() + start),
                                       static_cast<uInt>(png.size() - start))));
    };
    std::string header;
    for (uint32_t v : {static_cast<uint32_t>(width_), static_cast<uint32_t>(height_)}) {
      for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<char>(v >> shift));
    }
    header.append("\x08\x02\0\0\0", 5);  // 8-bit RGB
    chunk("IHDR", header);
    chunk("IDAT", packed);
    chunk("IEND", std::string());
    FILE* f = std::fopen((dir / (name + ".png")).string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
  }

 private:
  int width_ = 0, height_ = 0;
  std::vector<unsigned char> pixels_;
};

bool Near(Rgb c, Rgb want, int tolerance = 12) {
  return std::abs(c.r - want.r) <= tolerance && std::abs(c.g - want.g) <= tolerance &&
         std::abs(c.b - want.b) <= tolerance;
}
std::string Show(Rgb c) {
  char text[32];
  std::snprintf(text, sizeof text, "(%d,%d,%d)", c.r, c.g, c.b);
  return text;
}

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kOrange{255, 128, 0};
constexpr Rgb kPurple{111, 66, 193};
constexpr Rgb kPurpleDark{81, 45, 146};
constexpr Rgb kPurpleLight{205, 193, 230};

class ControlsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.Create();
    window.Show();
    SetForegroundWindow(window.Handle());
    // The pointer rests where no button is, so that no look is a hover look by chance.
    POINT corner{2, 2};
    ClientToScreen(window.Handle(), &corner);
    SetCursorPos(corner.x, corner.y);
    window.PumpEvents();
  }
  // The control's rectangle in client pixels.
  RECT Area(Control id) const {
    const ControlLayout& c = LayoutOf(id);
    const UINT dpi = GetDpiForWindow(window.Handle());
    auto s = [&](int v) { return MulDiv(v, static_cast<int>(dpi), 96); };
    return RECT{s(c.x), s(c.y), s(c.x + c.width), s(c.y + c.height)};
  }
  Capture Screen() {
    window.PumpEvents();
    UpdateWindow(window.Handle());
    return Capture(window.Handle());
  }
  // Counts pixels in `r` near `colour`.
  static int Count(const Capture& shot, RECT r, Rgb colour, int tolerance = 40) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) n += Near(shot.At(x, y), colour, tolerance);
    }
    return n;
  }
  // The fill of a button, away from its picture and caption.
  Rgb Fill(const Capture& shot, Control id) const {
    const RECT r = Area(id);
    return shot.At(r.left + 12, r.bottom - 10);  // clear of the outline and the focus ring
  }

  platform::ComSession com;
  MainWindow window;
};

TEST_F(ControlsWindowTest, GaugeRingAndArcFollowTheProgress) {
  window.ShowPage(Page::tsZadoveve);
  window.SetVisible(Control::pnDiretorio, false);
  window.SetVisible(Control::Gauger1, true);
  window.SetGaugeMax(Control::Gauger1, 1000);
  const RECT g = Area(Control::Gauger1);
  const int side = std::min(g.right - g.left, g.bottom - g.top) - 1;
  const int w = MulDiv(6, static_cast<int>(GetDpiForWindow(window.Handle())), 96);
  // The middle of the ring's line at an angle clockwise from twelve o'clock.
  const double centre = (w / 2) + (side - w - 1) / 2.0, radius = (side - w - 1) / 2.0;
  auto on_ring = [&](const Capture& shot, double degrees) {
    const double a = degrees * 3.14159265358979 / 180;
    return shot.At(g.left + static_cast<int>(std::lround(centre + radius * std::sin(a))),
                   g.top + static_cast<int>(std::lround(centre - radius * std::cos(a))));
  };
  // BaseBlend 222 over the white page: black shows with weight 34/256, a light grey.
  const Rgb ring{221, 221, 221};
  struct Case {
    int percent;
    std::vector<double> orange, grey;  // angles
  };
  const Case cases[] = {
      {0, {}, {0, 45, 90, 180, 270, 315}},
      {25, {10, 45, 80}, {100, 180, 270, 350}},
      {50, {10, 90, 170}, {190, 270, 350}},
      {100, {0, 90, 180, 270, 350}, {}},
  };
  for (const Case& c : cases) {
    window.SetGaugeProgress(Control::Gauger1, c.percent * 10);
    const Capture shot = Screen();
    shot.Save("gauge-" + std::to_string(c.percent));
    for (double a : c.orange) {
      EXPECT_TRUE(Near(on_ring(shot, a), kOrange, 40))
          << c.percent << "% at " << a << ": " << Show(on_ring(shot, a));
    }
    for (double a : c.grey) {
      EXPECT_TRUE(Near(on_ring(shot, a), ring, 16))
          << c.percent << "% at " << a << ": " << Show(on_ring(shot, a));
    }
    // Inside the ring the page shows (the blend keeps it within 1/256); no text is drawn.
    EXPECT_TRUE(Near(shot.At(g.left + side / 2, g.top + side / 2), kWhite, 1));
    int inside = 0, page = 0;
    for (int y = 0; y <= side; ++y) {
      for (int x = 0; x <= side; ++x) {
        if (std::hypot(x - centre, y - centre) > radius - w) continue;
        ++inside;
        page += Near(shot.At(g.left + x, g.top + y), kWhite, 1);
      }
    }
    EXPECT_EQ(page, inside) << c.percent;
  }
}

TEST_F(ControlsWindowTest, GaugeSettersStoreOnlyChangesAndClamp) {
  HWND gauge = window.ControlHandle(Control::Gauge1Terminal);
  EXPECT_EQ(SendMessageW(gauge, PBM_GETPOS, 0, 0), 80);        // the stored setting
  window.SetGaugeMax(Control::Gauge1Terminal, 6'000'000'000);  // beyond 32 bits
  window.SetGaugeProgress(Control::Gauge1Terminal, 7'000'000'000);
  EXPECT_EQ(SendMessageW(gauge, PBM_GETPOS, 0, 0), 6'000'000'000);
  window.SetGaugeProgress(Control::Gauge1Terminal, -5);
  EXPECT_EQ(SendMessageW(gauge, PBM_GETPOS, 0, 0), 0);
}

TEST_F(ControlsWindowTest, HomeButtonsArePurpleWithPictureAboveWhiteCaption) {
  const Capture shot = Screen();
  shot.Save("home");
  // The focus starts on the first button, which shows the focused look.
  for (Control id : {Control::btnZadoveve, Control::btnPDV}) {
    const RECT r = Area(id);
    const Rgb fill = id == Control::btnZadoveve ? kPurpleDark : kPurple;
    EXPECT_TRUE(Near(Fill(shot, id), fill, 2)) << Show(Fill(shot, id));
    // Rounded corners: the corner pixel is the card's, not the button's.
    EXPECT_FALSE(Near(shot.At(r.left, r.top), kPurple, 20)) << Show(shot.At(r.left, r.top));
    // White picture in the upper part, centred; white caption below it.
    const int mid = (r.left + r.right) / 2;
    const int h = r.bottom - r.top;
    EXPECT_GT(Count(shot, RECT{mid - 12, r.top + 2, mid + 12, r.top + h / 2 - 2}, kWhite), 30);
    EXPECT_GT(Count(shot, RECT{r.left + 4, r.top + h / 2 + 2, r.right - 4, r.bottom - 2}, kWhite),
              30);
    // The picture is centred: nothing white at the far left of its band (inside the focus ring).
    EXPECT_EQ(Count(shot, RECT{r.left + 10, r.top + 10, mid - 20, r.top + h / 2 - 4}, kWhite), 0);
  }
}

TEST_F(ControlsWindowTest, PageButtonsAreSquareAndShowDisabledAndFocusedLooks) {
  window.ShowPage(Page::tsTipoInstall);
  Capture shot = Screen();
  shot.Save("tipo");
  const RECT back = Area(Control::VltButtonStyle2);
  EXPECT_EQ(back.right - back.left,
            MulDiv(127, static_cast<int>(GetDpiForWindow(window.Handle())), 96));
  EXPECT_TRUE(Near(shot.At(back.left, back.top), kPurple, 2));  // radius 0
  EXPECT_TRUE(Near(Fill(shot, Control::VltButtonStyle3), kPurple, 2));

  window.SetEnabled(Control::VltButtonStyle3, false);
  window.Focus(Control::VltButtonStyle2);
  shot = Screen();
  shot.Save("tipo-disabled-focused");
  EXPECT_TRUE(Near(Fill(shot, Control::VltButtonStyle3), kPurpleLight, 2))
      << Show(Fill(shot, Control::VltButtonStyle3));
  EXPECT_TRUE(Near(Fill(shot, Control::VltButtonStyle2), kPurpleDark, 2))
      << Show(Fill(shot, Control::VltButtonStyle2));
  // The keyboard focus is a ring in the caption's colour along the focused button's edge, not
  // only a darker shade; the other button has none.
  const auto edge = [](const RECT& r) {
    return RECT{r.left + 2, r.top + 8, r.left + 9, r.bottom - 8};
  };
  EXPECT_GT(Count(shot, edge(Area(Control::VltButtonStyle2)), kWhite), 10);
  EXPECT_EQ(Count(shot, edge(Area(Control::VltButtonStyle3)), kWhite), 0);

  // A disabled button ignores the mouse and keeps its look.
  const RECT c = Area(Control::VltButtonStyle3);
  const LPARAM at = MAKELPARAM((c.left + c.right) / 2, (c.top + c.bottom) / 2);
  SendMessageW(window.Handle(), WM_MOUSEMOVE, 0, at);
  SendMessageW(window.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(window.Handle(), WM_LBUTTONUP, 0, at);
  EXPECT_EQ(window.CurrentPage(), Page::tsTipoInstall);
  EXPECT_TRUE(Near(Fill(Screen(), Control::VltButtonStyle3), kPurpleLight, 2));
}

TEST_F(ControlsWindowTest, EnterOnTheFocusedButtonClicksIt) {
  HWND proxy = window.ControlHandle(Control::btnPDV);
  window.Focus(Control::btnPDV);
  ASSERT_EQ(GetFocus(), proxy);
  // Through the event loop's dialog handling, as a key from the keyboard goes.
  PostMessageW(proxy, WM_KEYDOWN, VK_RETURN, 1);
  window.PumpEvents();
  EXPECT_EQ(window.CurrentPage(), Page::tsTipoInstall);
  EXPECT_EQ(window.Form().Settings().SistemaSelecionado, "PDV NFCe");
  // Held down it looks pressed; the key's release lets it go.
  window.ShowPage(Page::tsHome);
  EXPECT_TRUE(Near(Fill(Screen(), Control::btnPDV), kPurpleDark, 2));
  PostMessageW(proxy, WM_KEYUP, VK_RETURN, 0xC0000001);
  window.PumpEvents();
  EXPECT_TRUE(Near(Fill(Screen(), Control::btnPDV), kPurple, 2));

  // Other keys do not click.
  window.Focus(Control::btnZadoveve);
  for (WPARAM key : {WPARAM{VK_SPACE}, WPARAM{'A'}}) {
    PostMessageW(window.ControlHandle(Control::btnZadoveve), WM_KEYDOWN, key, 1);
    window.PumpEvents();
  }
  EXPECT_EQ(window.CurrentPage(), Page::tsHome);
}

TEST_F(ControlsWindowTest, MouseHoverPressAndReleaseOverTheButton) {
  const RECT r = Area(Control::btnZadoveve);
  const POINT inside{r.left + 10, r.top + 10}, outside{5, 5};
  // The pointer itself goes there too, so that what the system reports of it agrees.
  auto send = [&](UINT message, WPARAM keys, POINT p) {
    POINT screen = p;
    ClientToScreen(window.Handle(), &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageW(window.Handle(), message, keys, MAKELPARAM(p.x, p.y));
  };
  window.Focus(Control::btnPDV);  // the other button: only the mouse decides this one's look
  send(WM_MOUSEMOVE, 0, outside);
  EXPECT_TRUE(Near(Fill(Screen(), Control::btnZadoveve), kPurple, 2));
  send(WM_MOUSEMOVE, 0, inside);
  EXPECT_TRUE(Near(Fill(Screen(), Control::btnZadoveve), kPurpleDark, 2));  // hover look
  // Pressed there and released elsewhere: no click.
  send(WM_LBUTTONDOWN, MK_LBUTTON, inside);
  send(WM_LBUTTONUP, 0, outside);
  send(WM_MOUSEMOVE, 0, outside);
  EXPECT_EQ(window.CurrentPage(), Page::tsHome);
  EXPECT_TRUE(Near(Fill(Screen(), Control::btnZadoveve), kPurple, 2));
  // Pressed and released over it: one click.
  send(WM_LBUTTONDOWN, MK_LBUTTON, inside);
  send(WM_LBUTTONUP, 0, inside);
  EXPECT_EQ(window.CurrentPage(), Page::tsTipoInstall);
  EXPECT_EQ(window.Form().Settings().SistemaSelecionado, "Quenda");
}

}  // namespace
}  // namespace vlt::app
