#include "controls/arc_control.h"

#include <shellscalingapi.h>

#include <algorithm>
#include <string>

#include "controls/gdiplus_api.h"
#include "controls/store_changed.h"
#include "platform/win_text.h"
#include "platform/win_window_class.h"

namespace vlt::controls {
namespace {

constexpr wchar_t kClassName[] = L"VltArcControl";
// DrawTextW writes at most this many characters.
constexpr size_t kMaxDrawnText = 5460;

Gdiplus::ARGB Opaque(ColorValue rgb) {
  const ColorValue c = ColorToRGB(rgb);
  return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

}  // namespace

ColorValue ColorToRGB(ColorValue color) {
  if ((color & 0x80000000u) != 0) return GetSysColor(static_cast<int>(color & 0xFF));
  return color;
}

BackBuffer::~BackBuffer() {
  // The bitmap goes only once it is no longer selected.
  if (dc_ && original_ != nullptr) SelectObject(dc_.Get(), original_);
}

void BackBuffer::Resize(HDC reference, int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (dc_ && width == width_ && height == height_) return;
  if (!dc_) dc_ = platform::UniqueMemoryDc(CreateCompatibleDC(reference));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  platform::UniqueGdiObject bitmap(
      CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return;
  HGDIOBJ old = SelectObject(dc_.Get(), bitmap.Get());
  if (original_ == nullptr) original_ = old;
  bitmap_ = std::move(bitmap);
  bits_ = bits;
  width_ = width;
  height_ = height;
}

PixelImage BackBuffer::Pixels() {
  GdiFlush();  // GDI may still be writing into the bitmap
  const size_t bytes = bits_ == nullptr ? 0 : static_cast<size_t>(width_) * height_ * 4;
  return {{static_cast<std::uint8_t*>(bits_), bytes}, bits_ == nullptr ? 0 : width_, height_};
}

TArcControl::TArcControl() = default;

TArcControl::~TArcControl() {
  destroying_ = true;
  if (window_ != nullptr) {
    if (GetCapture() == window_) ReleaseCapture();
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

void TArcControl::Create(HWND parent, int id) {
  platform::RegisterWindowClass(kClassName, &TArcControl::WindowProc);
  window_ = CreateWindowExW(0, kClassName, L"", WS_CHILD, 0, 0, 82, 82, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ == nullptr) return;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  font_ = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
}

int TArcControl::Width() const {
  RECT r{};
  if (window_ != nullptr) GetClientRect(window_, &r);
  return r.right;
}

int TArcControl::Height() const {
  RECT r{};
  if (window_ != nullptr) GetClientRect(window_, &r);
  return r.bottom;
}

void TArcControl::Repaint() {
  if (window_ == nullptr || destroying_) return;
  InvalidateRect(window_, nullptr, FALSE);
  UpdateWindow(window_);
}

void TArcControl::SetImages(HIMAGELIST images) {
  if (StoreChanged(FImages, images)) Repaint();
}

std::string TArcControl::Text() const {
  if (window_ == nullptr) return {};
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window_)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window_, text.data(), static_cast<int>(text.size()))));
  return platform::Narrow(text);
}

void TArcControl::SetText(const std::string& text) {
  if (window_ != nullptr) SetWindowTextW(window_, platform::Widen(text).c_str());
}

void TArcControl::SetIntegerProperty(int index, int value) {
  int* field = index == 0   ? &FGlyphIndex
               : index == 1 ? &FBaseAngle
               : index == 2 ? &FGlyphBlend
                            : nullptr;
  if (field != nullptr && StoreChanged(*field, value)) Repaint();
}

void TArcControl::SetBooleanProperty(int index, bool value) {
  bool* fields[] = {&FShowText, &FGlyphReflected, &FGlyphGrayed, &FUseEllipsis, &FTransparent};
  if (index >= 0 && index < 5 && StoreChanged(*fields[index], value)) Repaint();
}

int TArcControl::PixelsPerInch() const {
  HWND main = window_ == nullptr ? nullptr : GetAncestor(window_, GA_ROOT);
  if (main == nullptr) {
    HDC screen = GetDC(nullptr);
    const int ppi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return ppi;
  }
  RECT r{};
  GetWindowRect(main, &r);
  const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  HMONITOR monitor = MonitorFromPoint(centre, MONITOR_DEFAULTTONULL);
  UINT x = 0, y = 0;
  if (monitor == nullptr || FAILED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y)) ||
      y == 0) {
    return 96;
  }
  return static_cast<int>(y);
}

void TArcControl::FillParentBackground() {
  HWND parent = GetParent(window_);
  if (parent == nullptr) return;
  HDC dc = buffer_.Dc();
  // A parent that paints its background in WM_PAINT only still names its fill for child
  // controls; take that first, then let the parent erase into the buffer if it does.
  const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
      parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window_)));
  RECT all{0, 0, buffer_.Width(), buffer_.Height()};
  FillRect(dc, &all, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
  SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
}

void TArcControl::PaintControl(HDC dc) {
  if (window_ == nullptr || destroying_) return;
  const int width = Width(), height = Height();
  const int s0 = std::min(width, height);
  Center = POINT{s0 / 2, s0 / 2};
  buffer_.Resize(dc, width, height);
  if (buffer_.Dc() == nullptr) return;
  const int saved = SaveDC(buffer_.Dc());
  FillParentBackground();
  PaintContent(buffer_);
  RestoreDC(buffer_.Dc(), saved);
  BitBlt(dc, 0, 0, width, height, buffer_.Dc(), 0, 0, SRCCOPY);
  ++paint_count_;
}

LRESULT CALLBACK TArcControl::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<TArcControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return self->Handle(window, message, wparam, lparam);
}

LRESULT TArcControl::Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (LRESULT result = 0; HandleMessage(message, wparam, lparam, result)) return result;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // every pixel comes from the back buffer
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      if (destroying_) break;
      if (wparam != 0) {
        PaintControl(reinterpret_cast<HDC>(wparam));
        if (message == WM_PAINT) ValidateRect(window_, nullptr);
        return 0;
      }
      platform::PaintScope paint(window_);
      const int saved = SaveDC(paint.Dc());
      PaintControl(paint.Dc());
      RestoreDC(paint.Dc(), saved);
      return 0;
    }
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wparam);
      if (LOWORD(lparam) != 0) Repaint();
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
      Repaint();
      return result;
    }
    case WM_NCHITTEST:
      return HTTRANSPARENT;  // never takes the mouse or the focus
    case WM_SIZE:
      Repaint();
      break;
    default:
      break;
  }
  if (message == WM_NCDESTROY) window_ = nullptr;  // gone with its parent
  return DefWindowProcW(window, message, wparam, lparam);
}

void TArcGauge::SetRangeValue(int index, std::int64_t value) {
  std::int64_t* field = nullptr;
  switch (index) {
    case 10:
      field = &FMin;
      break;
    case 11:
      field = &FMax;
      break;
    case 12:
      field = &FProgress;
      value = ClampProgress(FMin, FMax, value);
      break;
    default:
      return;
  }
  if (StoreChanged(*field, value)) Repaint();
}

bool TArcGauge::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case PBM_GETPOS:
      result = static_cast<LRESULT>(FProgress);
      return true;
    case PBM_GETRANGE:
      if (auto* range = reinterpret_cast<PBRANGE*>(lparam)) {
        range->iLow = static_cast<int>(FMin);
        range->iHigh = static_cast<int>(FMax);
      }
      result = static_cast<LRESULT>(wparam != 0 ? FMin : FMax);
      return true;
    default:
      return false;
  }
}

void TArcGauge::SetIntegerProperty(int index, int value) {
  int* field = index == 10 ? &FLineWidth : index == 12 ? &FBaseBlend : nullptr;
  if (field == nullptr) {
    TArcControl::SetIntegerProperty(index, value);
    return;
  }
  if (StoreChanged(*field, value)) Repaint();
}

void TArcGauge::SetColorValue(int index, ColorValue value) {
  ColorValue* field = index == 10 ? &FBaseColor : index == 11 ? &FProgressColor : nullptr;
  if (field != nullptr && StoreChanged(*field, value)) Repaint();
}

void TArcGauge::SetShowTextValue(bool value) {
  if (StoreChanged(FShowTextValue, value)) Repaint();
}

void TArcGauge::SetFontColor(ColorValue value) {
  if (StoreChanged(font_color_, value)) Repaint();
}

void TArcGauge::PaintContent(BackBuffer& buffer) {
  HDC dc = buffer.Dc();
  if (Font() != nullptr) SelectObject(dc, Font());
  TGaugePaintData data{FBaseColor, font_color_, FProgressColor, FLineWidth,
                       FShowTextValue ? std::to_string(FProgress) : Text()};
  const int d = std::min(Width(), Height()) - 1;
  if (OnGetPaintData) OnGetPaintData(*this, data);
  const int ppi = PixelsPerInch();
  const GaugeRing ring = ComputeGaugeRing(Width(), Height(), data.ALineWidth, ppi);

  if (ring.w > 0) {
    const auto x = static_cast<float>(ring.x), y = static_cast<float>(ring.y),
               size = static_cast<float>(ring.size), w = static_cast<float>(ring.w);
    // The ring: drawn grey on white, then used as the mask that lays the base colour over the
    // background, so BaseBlend decides how much of the page shows through.
    BackBuffer mask;
    mask.Resize(dc, buffer.Width(), buffer.Height());
    if (mask.Dc() != nullptr) {
      RECT all{0, 0, mask.Width(), mask.Height()};
      FillRect(mask.Dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      const auto grey = static_cast<ColorValue>(std::clamp(FBaseBlend, 0, 255));
      if (DrawEllipseOutline(mask.Dc(), Opaque(grey | (grey << 8) | (grey << 16)), w, x, y, size,
                             size)) {
        const PixelImage m = mask.Pixels();
        BlendMaskedColor(buffer.Pixels(), {m.pixels, m.width, m.height},
                         ColorToRGB(data.ABaseColor));
      }
    }
    if (const std::optional<float> sweep = ArcSweep(FMin, FMax, FProgress)) {
      DrawArcOutline(dc, Opaque(data.AProgressColor), w, x, y, size, size,
                     static_cast<float>(FBaseAngle), *sweep);
    }
  }

  const std::wstring text = platform::Widen(data.AText).substr(0, kMaxDrawnText);
  SIZE extent{0, 0};
  if (FShowText) GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  std::optional<std::pair<int, int>> glyph;
  const int index = CurrentGlyphIndex();
  if (FImages != nullptr && index >= 0 && index < ImageList_GetImageCount(FImages)) {
    int gw = 0, gh = 0;
    ImageList_GetIconSize(FImages, &gw, &gh);
    glyph = std::pair{gw, gh};
  }
  const GaugeBoxes boxes = ComputeGaugeBoxes(d, extent.cx, extent.cy, glyph, ppi);

  SetTextColor(dc, ColorToRGB(data.AFontColor));
  if (boxes.text.Width() > 0) {
    SetBkMode(dc, TRANSPARENT);
    RECT r{boxes.text.left, boxes.text.top, boxes.text.right, boxes.text.bottom};
    UINT flags = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOCLIP;
    if (FUseEllipsis) flags |= DT_PATH_ELLIPSIS | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
  }
  if (boxes.glyph.Width() > 0) {
    // Blend, greying and reflection belong to a skin's image service; plain drawing here.
    ImageList_Draw(FImages, index, dc, boxes.glyph.left, boxes.glyph.top, ILD_TRANSPARENT);
  }
}

}  // namespace vlt::controls
