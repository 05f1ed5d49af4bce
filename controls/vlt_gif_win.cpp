#include "controls/vlt_gif_win.h"

#include <functional>
#include <optional>

#include "platform/win_text.h"
#include "platform/win_window_class.h"

namespace vlt {
namespace {

constexpr wchar_t kClassName[] = L"TVltGIF";
constexpr UINT_PTR kTimerId = 1;

// GDI drawing of one model's requests, on the target DC and the control's accumulator.
class GdiCanvas : public TGifCanvas {
 public:
  GdiCanvas(HDC target, platform::UniqueGdiObject& accumulator, SIZE& size,
            std::function<HBITMAP(const TgfFrame&)> bitmap_of)
      : target_(target),
        accumulator_(accumulator),
        size_(size),
        bitmap_of_(std::move(bitmap_of)),
        accum_dc_(CreateCompatibleDC(target)) {}

  void CreateAccumulator(int width, int height) override {
    accumulator_ = platform::UniqueGdiObject(CreateCompatibleBitmap(target_, width, height));
    size_ = {width, height};
  }
  void SaveBackground(int x, int y) override {
    platform::SelectScope select(accum_dc_.Get(), accumulator_.Get());
    BitBlt(accum_dc_.Get(), 0, 0, size_.cx, size_.cy, target_, x, y, SRCCOPY);
  }
  void DrawAccumulator(int x, int y) override {
    platform::SelectScope select(accum_dc_.Get(), accumulator_.Get());
    BitBlt(target_, x, y, size_.cx, size_.cy, accum_dc_.Get(), 0, 0, SRCCOPY);
  }
  void StretchFrame(const TgfFrame& frame, const TGifRect& r, bool to_accumulator) override {
    HBITMAP bitmap = bitmap_of_(frame);
    if (bitmap == nullptr) return;
    std::optional<platform::SelectScope> accum;
    HDC dest = target_;
    if (to_accumulator) {
      accum.emplace(accum_dc_.Get(), accumulator_.Get());
      dest = accum_dc_.Get();
    }
    platform::UniqueMemoryDc source(CreateCompatibleDC(target_));
    platform::SelectScope select(source.Get(), bitmap);
    const int w = r.Right - r.Left, h = r.Bottom - r.Top;
    if (frame.frImage->Transparent) {
      TransparentBlt(dest, r.Left, r.Top, w, h, source.Get(), 0, 0, frame.frImage->Width,
                     frame.frImage->Height, frame.frImage->TransparentColor);
    } else {
      SetStretchBltMode(dest, COLORONCOLOR);
      StretchBlt(dest, r.Left, r.Top, w, h, source.Get(), 0, 0, frame.frImage->Width,
                 frame.frImage->Height, SRCCOPY);
    }
  }

 private:
  HDC target_;
  platform::UniqueGdiObject& accumulator_;
  SIZE& size_;
  std::function<HBITMAP(const TgfFrame&)> bitmap_of_;
  platform::UniqueMemoryDc accum_dc_;
};

}  // namespace

TVltGIFWin::TVltGIFWin() : gif_(*this) {}

TVltGIFWin::~TVltGIFWin() {
  if (window_ != nullptr) {
    KillTimer(window_, kTimerId);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
  }
}

HWND TVltGIFWin::Create(HWND parent, int id) {
  platform::RegisterWindowClass(kClassName, DefWindowProcW);
  window_ = CreateWindowExW(0, kClassName, L"", WS_CHILD, 0, 0, 100, 100, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
  }
  return window_;
}

LRESULT CALLBACK TVltGIFWin::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<TVltGIFWin*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return self->Handle(message, wparam, lparam);
}

LRESULT TVltGIFWin::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers everything
    case WM_PAINT: {
      platform::PaintScope paint(window_);
      RECT client;
      GetClientRect(window_, &client);
      platform::DoubleBuffer buffer(paint.Dc(), client);
      Paint(buffer.Dc(), client);
      return 0;
    }
    case WM_TIMER:
      if (wparam == kTimerId) gif_.TimerStep();
      return 0;
    case WM_SHOWWINDOW:
      if (wparam != FALSE && PlayWhenShown && gif_.GIF().NumFrames() > 0 && !gif_.Active()) {
        // Shown now: the window is visible only after this message, so start on the next
        // turn of the message loop.
        PostMessageW(window_, WM_APP, 0, 0);
      }
      break;
    case WM_APP:
      if (IsWindowVisible(window_) != FALSE && !gif_.Active()) gif_.Start();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

HBITMAP TVltGIFWin::FrameBitmap(const TgfFrame& frame) {
  const std::shared_ptr<const TGifBitmap>& image = frame.frImage;
  if (image == nullptr || image->Dib.size() < 54) return nullptr;
  if (image != bitmap_image_) {
    bitmap_.Reset();
    const auto* info = reinterpret_cast<const BITMAPINFO*>(image->Dib.data() + 14);
    HDC screen = GetDC(nullptr);
    bitmap_ = platform::UniqueGdiObject(CreateDIBitmap(
        screen, &info->bmiHeader, CBM_INIT, image->Dib.data() + 54, info, DIB_RGB_COLORS));
    ReleaseDC(nullptr, screen);
    bitmap_image_ = image;
  }
  return static_cast<HBITMAP>(bitmap_.Get());
}

void TVltGIFWin::Paint(HDC dc, const RECT& area) {
  platform::UniqueGdiObject brush(CreateSolidBrush(Background));
  FillRect(dc, &area, static_cast<HBRUSH>(brush.Get()));
  GdiCanvas canvas(dc, accumulator_, accumulator_size_,
                   [this](const TgfFrame& frame) { return FrameBitmap(frame); });
  // Drawn at (0, 0) of the control's own surface, background taken from that same place.
  gif_.GIF().Draw(canvas, 0, 0, area.right - area.left, area.bottom - area.top, 0, 0);
}

void TVltGIFWin::SetTimer(bool enabled, int interval_ms) {
  if (window_ == nullptr) return;
  if (enabled) {
    ::SetTimer(window_, kTimerId, static_cast<UINT>(interval_ms), nullptr);
  } else {
    KillTimer(window_, kTimerId);
  }
}

void TVltGIFWin::Invalidate() {
  if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
}

bool TVltGIFWin::ParentShowing() const {
  HWND parent = window_ != nullptr ? GetParent(window_) : nullptr;
  return parent != nullptr && IsWindowVisible(parent) != FALSE;
}

bool TVltGIFWin::Visible() const {
  return window_ != nullptr && IsWindowVisible(window_) != FALSE;
}

void TVltGIFWin::SetSize(int width, int height) {
  if (window_ != nullptr) {
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TVltGIFWin::ShowError(const std::string& text) {
  MessageBoxW(window_ != nullptr ? GetParent(window_) : nullptr, platform::Widen(text).c_str(), L"",
              MB_OK | MB_ICONERROR);
}

}  // namespace vlt
