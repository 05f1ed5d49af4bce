#include "controls/button_style.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <map>
#include <stdexcept>
#include <utility>

#include "controls/arc_control.h"
#include "controls/gdiplus_api.h"
#include "controls/store_changed.h"
#include "platform/exception.h"
#include "platform/win_text.h"
#include "platform/win_window_class.h"

namespace vlt::controls {
namespace {

using platform::Widen;

constexpr wchar_t kProxyClass[] = L"VltFocusControl";

struct ComReleaseTraits {
  using Type = IStream*;
  static Type Invalid() { return nullptr; }
  static void Close(Type s) { s->Release(); }
};

int PenStyleOf(TPenStyle style) {
  switch (style) {
    case TPenStyle::psDash:
      return PS_DASH;
    case TPenStyle::psDot:
      return PS_DOT;
    case TPenStyle::psDashDot:
      return PS_DASHDOT;
    case TPenStyle::psDashDotDot:
      return PS_DASHDOTDOT;
    case TPenStyle::psClear:
      return PS_NULL;
    case TPenStyle::psSolid:
      break;
  }
  return PS_SOLID;
}

}  // namespace

ButtonPictureImage::~ButtonPictureImage() {
  if (dc_ && original_ != nullptr) SelectObject(dc_.Get(), original_);
}

std::shared_ptr<const ButtonPictureImage> ButtonPictureImage::Load(const std::string& resource,
                                                                   int ppi) {
  // One decoded copy per name and density for the whole program: the pictures are the
  // program's own.
  static std::map<std::pair<std::string, int>, std::shared_ptr<const ButtonPictureImage>> cache;
  if (auto it = cache.find({resource, ppi}); it != cache.end()) return it->second;

  const std::string missing = "Resource " + resource + " not found";
  HMODULE module = GetModuleHandleW(nullptr);
  const std::wstring name = Widen(resource);
  HRSRC found = FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = found == nullptr ? nullptr : LoadResource(module, found);
  const void* bytes = loaded == nullptr ? nullptr : LockResource(loaded);
  if (bytes == nullptr) throw Exception(missing);
  const DWORD size = SizeofResource(module, found);

  const GdiplusApi* api = Gdiplus();
  if (api == nullptr) throw Exception("Unable to draw " + resource + ": GDI+ is not available");
  platform::UniqueResource<ComReleaseTraits> stream(
      SHCreateMemStream(static_cast<const BYTE*>(bytes), size));
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (!stream || api->GdipCreateBitmapFromStream(stream.Get(), &bitmap) != Gdiplus::Ok) {
    throw Exception("Unable to decode " + resource);
  }
  UniqueGpImage image(bitmap);
  UINT w = 0, h = 0;
  api->GdipGetImageWidth(image.Get(), &w);
  api->GdipGetImageHeight(image.Get(), &h);
  if (w == 0 || h == 0 || w > 1024 || h > 1024) throw Exception("Unable to decode " + resource);

  void* bits = nullptr;
  const int sw = ScaleToPpi(static_cast<int>(w), ppi), sh = ScaleToPpi(static_cast<int>(h), ppi);
  const auto picture = Make(std::max(sw, 1), std::max(sh, 1), &bits);
  if (picture == nullptr) throw Exception("Unable to decode " + resource);

  if (sw != static_cast<int>(w) || sh != static_cast<int>(h)) {
    // Redrawn at the density's size, filtered, straight into the premultiplied pixels that
    // AlphaBlend wants.
    Gdiplus::GpBitmap* target = nullptr;
    if (api->GdipCreateBitmapFromScan0(picture->width_, picture->height_, picture->width_ * 4,
                                       PixelFormat32bppPARGB, static_cast<BYTE*>(bits),
                                       &target) != Gdiplus::Ok) {
      throw Exception("Unable to decode " + resource);
    }
    UniqueGpImage target_image(target);
    UniqueGpGraphics graphics;
    if (api->GdipGetImageGraphicsContext(target, graphics.Put()) != Gdiplus::Ok) {
      throw Exception("Unable to decode " + resource);
    }
    api->GdipSetInterpolationMode(graphics.Get(), Gdiplus::InterpolationModeHighQualityBicubic);
    api->GdipSetPixelOffsetMode(graphics.Get(), Gdiplus::PixelOffsetModeHighQuality);
    api->GdipDrawImageRectI(graphics.Get(), image.Get(), 0, 0, picture->width_, picture->height_);
    graphics.Reset();
    target_image.Reset();
    cache.emplace(std::pair{resource, ppi}, picture);
    return picture;
  }

  // Premultiplied, as AlphaBlend wants it.
  Gdiplus::GpRect rect(0, 0, picture->width_, picture->height_);
  Gdiplus::BitmapData data{};
  if (api->GdipBitmapLockBits(bitmap, &rect, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB,
                              &data) != Gdiplus::Ok) {
    throw Exception("Unable to decode " + resource);
  }
  for (UINT row = 0; row < h; ++row) {
    std::memcpy(static_cast<BYTE*>(bits) + static_cast<size_t>(row) * w * 4,
                static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(row) * data.Stride,
                static_cast<size_t>(w) * 4);
  }
  api->GdipBitmapUnlockBits(bitmap, &data);
  cache.emplace(std::pair{resource, ppi}, picture);
  return picture;
}

std::shared_ptr<ButtonPictureImage> ButtonPictureImage::Make(int width, int height, void** bits) {
  auto picture = std::shared_ptr<ButtonPictureImage>(new ButtonPictureImage());
  picture->width_ = width;
  picture->height_ = height;
  picture->dc_ = platform::UniqueMemoryDc(CreateCompatibleDC(nullptr));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  picture->bitmap_ = platform::UniqueGdiObject(
      CreateDIBSection(picture->dc_.Get(), &info, DIB_RGB_COLORS, bits, nullptr, 0));
  if (!picture->bitmap_ || *bits == nullptr) return nullptr;
  std::memset(*bits, 0, static_cast<size_t>(width) * height * 4);
  picture->original_ = SelectObject(picture->dc_.Get(), picture->bitmap_.Get());
  return picture;
}

std::shared_ptr<const ButtonPictureImage> ButtonPictureImage::FromImageList(HIMAGELIST list,
                                                                            int index) {
  int w = 0, h = 0;
  if (list == nullptr || index < 0 || index >= ImageList_GetImageCount(list) ||
      !ImageList_GetIconSize(list, &w, &h) || w <= 0 || h <= 0) {
    return nullptr;
  }
  void* bits = nullptr;
  auto picture = Make(w, h, &bits);
  if (picture == nullptr) return nullptr;
  // Drawn over transparent black: a list with an alpha channel leaves premultiplied pixels.
  ImageList_Draw(list, index, picture->dc_.Get(), 0, 0, ILD_TRANSPARENT);
  // A masked list leaves its opaque pixels without alpha: its mask says which they are.
  void* mask_bits = nullptr;
  auto mask = Make(w, h, &mask_bits);
  if (mask == nullptr) return picture;
  RECT all{0, 0, w, h};
  FillRect(mask->dc_.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ImageList_Draw(list, index, mask->dc_.Get(), 0, 0, ILD_MASK);
  GdiFlush();
  auto* p = static_cast<BYTE*>(bits);
  const auto* m = static_cast<const BYTE*>(mask_bits);
  for (size_t i = 0; i < static_cast<size_t>(w) * h * 4; i += 4) {
    if (p[i + 3] == 0 && m[i] == 0) p[i + 3] = 255;
  }
  return picture;
}

void ButtonPictureImage::Draw(HDC dc, int x, int y) const {
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, x, y, width_, height_, dc_.Get(), 0, 0, width_, height_, blend);
}

TFocusControl::TFocusControl(TVltButtonStyle* button) : FGraphicControl(button) {
  assert(button != nullptr &&
         "Não é possível criar um FocusControl com GraphicControl não atribuído.");
  if (button == nullptr) {
    throw std::logic_error(
        "Não é possível criar um FocusControl com GraphicControl não atribuído.");
  }
}

TFocusControl::~TFocusControl() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

void TFocusControl::CreateIn(HWND parent, int id) {
  platform::RegisterWindowClass(kProxyClass, &TFocusControl::WindowProc);
  window_ = CreateWindowExW(0, kProxyClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
}

LRESULT CALLBACK TFocusControl::WindowProc(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  auto* self = reinterpret_cast<TFocusControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return self->Handle(window, message, wparam, lparam);
}

LRESULT TFocusControl::Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  TVltButtonStyle& button = *FGraphicControl;
  switch (message) {
    case WM_GETDLGCODE: {
      // Enter is the button's own key, not the dialog's default-button key.
      const auto* msg = reinterpret_cast<const MSG*>(lparam);
      if (msg != nullptr && msg->wParam == VK_RETURN &&
          (msg->message == WM_KEYDOWN || msg->message == WM_CHAR)) {
        return DLGC_WANTMESSAGE;
      }
      return 0;
    }
    case WM_KEYDOWN:
      if (button.FClickOnEnter && wparam == VK_RETURN) {
        button.FState = TButtonState::bsDown;
        button.Invalidate();
        button.Click();
      } else if (wparam == VK_SPACE && (lparam & 0x40000000) == 0) {
        // Space presses the button as it presses any Windows button: down on the key, the
        // click when it is let go.
        space_down_ = true;
        button.FState = TButtonState::bsDown;
        button.Invalidate();
      }
      break;
    case WM_KEYUP: {
      const bool click = wparam == VK_SPACE && space_down_;
      space_down_ = false;
      button.ReleaseState();
      if (click) button.Click();
      break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      space_down_ = false;  // a Space let go elsewhere clicks nothing
      const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
      button.Repaint();
      return result;
    }
    case WM_SHOWWINDOW:
      if (wparam == FALSE) button.FMouseEnter = false;
      break;
    case BM_CLICK:
      // A programmatic click, as a push button takes it.
      button.Click();
      return 0;
    default:
      break;
  }
  if (message == WM_NCDESTROY) window_ = nullptr;  // gone with its parent
  return DefWindowProcW(window, message, wparam, lparam);
}

TVltButtonStyle::TVltButtonStyle() = default;

TVltButtonStyle::~TVltButtonStyle() {
  if (parent_ != nullptr) {
    RemoveWindowSubclass(parent_, &TVltButtonStyle::ParentSubclass,
                         reinterpret_cast<UINT_PTR>(this));
  }
}

void TVltButtonStyle::SetParent(HWND parent, int id) {
  parent_ = parent;
  FFocusControl.CreateIn(parent, id);
  SetWindowSubclass(parent, &TVltButtonStyle::ParentSubclass, reinterpret_cast<UINT_PTR>(this),
                    reinterpret_cast<DWORD_PTR>(this));
  SetWindowTextW(ProxyHandle(), Widen(Caption()).c_str());
}

void TVltButtonStyle::SetBounds(const RECT& bounds) {
  Invalidate();
  bounds_ = bounds;
  model_.Appearance().width = bounds.right - bounds.left;
  model_.Appearance().height = bounds.bottom - bounds.top;
  // Zero-sized at the button's centre, so that what reads the window from outside finds the
  // button where it is.
  if (ProxyHandle() != nullptr) {
    MoveWindow(ProxyHandle(), (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2, 0,
               0, FALSE);
  }
  Repaint();
}

void TVltButtonStyle::SetDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  PenDesc& pen = model_.Appearance().pen;
  pen.width = MulDiv(pen.width, dpi, dpi_);
  dpi_ = dpi;
  model_.SetPixelsPerInch(dpi);
  fonts_.clear();
  Invalidate();
}

void TVltButtonStyle::Changed() {
  const ButtonAppearance& a = model_.Appearance();
  // A template may size the button.
  if (a.width != bounds_.right - bounds_.left || a.height != bounds_.bottom - bounds_.top) {
    SetBounds(RECT{bounds_.left, bounds_.top, bounds_.left + a.width, bounds_.top + a.height});
  }
  if (ProxyHandle() != nullptr) SetWindowTextW(ProxyHandle(), Widen(a.caption).c_str());
  // A missing picture fails here, out of the setter that named it.
  for (const PictureRef* p : {&a.picture, &a.picture_focused, &a.picture_disabled}) {
    PictureImage(*p);
  }
  Repaint();
}

void TVltButtonStyle::SetTemplateStyle(TTemplateStyle value) {
  model_.SetTemplateStyle(value);
  Changed();
}

void TVltButtonStyle::SetStyle(TVltButtonStyleStyle value) {
  model_.SetStyle(value);
  Changed();
}

void TVltButtonStyle::SetStyleOutline(bool value) {
  model_.SetStyleOutline(value);
  Changed();
}

void TVltButtonStyle::SetCaption(const std::string& caption) {
  model_.Appearance().caption = caption;
  if (ProxyHandle() != nullptr) SetWindowTextW(ProxyHandle(), Widen(caption).c_str());
  Invalidate();
}

void TVltButtonStyle::SetShowCaption(bool value) {
  if (StoreChanged(FShowCaption, value)) Invalidate();
}

void TVltButtonStyle::SetShape(TVltButtonStyleType value) {
  if (StoreChanged(FShape, value)) Invalidate();
}

void TVltButtonStyle::SetPictureLayout(TPictureLayout value) {
  if (StoreChanged(FPictureLayout, value)) Invalidate();
}

void TVltButtonStyle::SetPictureCenter(bool value) {
  if (StoreChanged(FPictureCenter, value)) Invalidate();
}

bool TVltButtonStyle::TabStop() const {
  return ProxyHandle() != nullptr && (GetWindowLongPtrW(ProxyHandle(), GWL_STYLE) & WS_TABSTOP);
}

void TVltButtonStyle::SetTabStop(bool value) {
  if (ProxyHandle() == nullptr) return;
  LONG_PTR style = GetWindowLongPtrW(ProxyHandle(), GWL_STYLE);
  style = value ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
  SetWindowLongPtrW(ProxyHandle(), GWL_STYLE, style);
}

void TVltButtonStyle::SetEnabled(bool enabled) {
  if (ProxyHandle() != nullptr) EnableWindow(ProxyHandle(), enabled ? TRUE : FALSE);
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (!enabled) FMouseEnter = false;
  Invalidate();
}

bool TVltButtonStyle::Visible() const {
  return ProxyHandle() != nullptr && IsWindowVisible(ProxyHandle());
}

bool TVltButtonStyle::Focused() const {
  return ProxyHandle() != nullptr && GetFocus() == ProxyHandle();
}

bool TVltButtonStyle::CanFocus() const {
  return Visible() && IsWindowEnabled(ProxyHandle());
}

void TVltButtonStyle::SetFocus() {
  if (CanFocus()) ::SetFocus(ProxyHandle());
}

void TVltButtonStyle::Click() {
  if (OnClick) {
    OnClick();
    return;
  }
  if (parent_ == nullptr || ProxyHandle() == nullptr) return;
  SendMessageW(parent_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(ProxyHandle()), BN_CLICKED),
               reinterpret_cast<LPARAM>(ProxyHandle()));
}

ButtonLook TVltButtonStyle::CurrentLook() const {
  ButtonState s;
  s.enabled = enabled_;
  s.down = FState == TButtonState::bsDown;
  s.hot = FMouseEnter || Focused();
  return SelectLook(s);
}

void TVltButtonStyle::PressState() {
  FState = TButtonState::bsDown;
  Invalidate();
}

void TVltButtonStyle::ReleaseState() {
  FState = TButtonState::bsUp;
  Invalidate();
}

void TVltButtonStyle::Invalidate() const {
  if (parent_ != nullptr) InvalidateRect(parent_, &bounds_, FALSE);
}

void TVltButtonStyle::Repaint() const {
  Invalidate();
  if (parent_ != nullptr) UpdateWindow(parent_);
}

std::shared_ptr<const ButtonPictureImage> TVltButtonStyle::PictureImage(
    const PictureRef& ref) const {
  if (ref.Empty()) return nullptr;
  // An image list's pictures are at the size its owner made them for the display.
  if (auto it = list_pictures_.find(ref.resource); it != list_pictures_.end()) return it->second;
  return ButtonPictureImage::Load(ref.resource, dpi_);
}

void TVltButtonStyle::SetImageList(HIMAGELIST list) {
  FImageList = list;
}

int TVltButtonStyle::ImageIndexPicture(ButtonPicture which) const {
  return image_index_[static_cast<int>(which)];
}

void TVltButtonStyle::SetImageIndexPicture(ButtonPicture which, int index) {
  int& stored = image_index_[static_cast<int>(which)];
  if (stored == index) return;
  stored = index;
  if (FImageList == nullptr) return;
  ButtonAppearance& a = model_.Appearance();
  PictureRef& picture = a.PictureOf(which);
  picture = {};
  if (auto image = ButtonPictureImage::FromImageList(FImageList, index)) {
    // A name no resource has: the copy lives with the button.
    picture.resource = "*image list " + std::to_string(++list_picture_serial_);
    list_pictures_[picture.resource] = std::move(image);
  }
  Invalidate();
}

std::shared_ptr<const ButtonPictureImage> TVltButtonStyle::PaintedImage(
    const PictureRef& ref) const {
  // A picture that cannot be drawn leaves its place empty; the setter that named it has
  // already reported it.
  try {
    return PictureImage(ref);
  } catch (const std::exception&) {
    return nullptr;
  }
}

HFONT TVltButtonStyle::FontFor(const FontDesc& font) const {
  const std::string key = font.name + "|" + std::to_string(font.size) + (font.bold ? "b" : "");
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    platform::UniqueGdiObject made(
        CreateFontW(-MulDiv(font.size, dpi_, 72), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                    FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, Widen(font.name).c_str()));
    it = fonts_.emplace(key, std::move(made)).first;
  }
  return static_cast<HFONT>(it->second.Get());
}

void TVltButtonStyle::Paint(HDC dc) const {
  const ButtonAppearance& a = model_.Appearance();
  ButtonState s;
  s.enabled = enabled_;
  s.down = FState == TButtonState::bsDown;
  s.hot = FMouseEnter || Focused();
  const auto picture = PaintedImage(a.picture);
  const auto picture_focused = PaintedImage(a.picture_focused);
  const auto picture_disabled = PaintedImage(a.picture_disabled);
  s.has_picture = picture != nullptr;
  s.has_picture_focused = picture_focused != nullptr;
  s.has_picture_disabled = picture_disabled != nullptr;
  const ButtonLook look = SelectLook(s);
  const PenDesc& pen = a.PenOf(look);
  const BrushDesc& brush = a.BrushOf(look);
  const FontDesc& font = a.FontOf(look);

  const int saved = SaveDC(dc);
  // Nothing of the button, a long caption least of all, paints over its neighbours.
  IntersectClipRect(dc, bounds_.left, bounds_.top, bounds_.right, bounds_.bottom);
  SelectObject(dc, FontFor(font));
  const std::wstring caption = Widen(a.caption);
  SIZE extent{0, 0};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
  if (caption.empty()) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    extent.cy = tm.tmHeight;
  }

  ButtonLayoutInput in;
  in.width = bounds_.right - bounds_.left;
  in.height = bounds_.bottom - bounds_.top;
  in.shape = FShape;
  in.pen_width = pen.width;
  for (const auto& p : {picture, picture_focused, picture_disabled}) {
    if (p == nullptr) continue;
    in.max_picture_width = std::max(in.max_picture_width, p->Width());
    in.max_picture_height = std::max(in.max_picture_height, p->Height());
    in.any_picture = true;
  }
  in.centre_with_picture = s.has_picture || (s.has_picture_focused && s.hot);
  in.picture_center = FPictureCenter;
  in.caption_empty = a.caption.empty();
  in.text_width = extent.cx;
  in.text_height = extent.cy;
  in.layout = FPictureLayout;
  in.alignment = a.alignment;
  in.picture_margin_left = a.picture_margin_left;
  in.spacing = a.spacing;
  const ButtonLayout out = ComputeButtonLayout(in);
  const int ox = bounds_.left, oy = bounds_.top;

  platform::UniqueGdiObject gdi_pen(
      pen.style == TPenStyle::psClear
          ? nullptr
          : CreatePen(PenStyleOf(pen.style), out.pen_width, ColorToRGB(pen.color)));
  platform::UniqueGdiObject gdi_brush(brush.clear ? nullptr
                                                  : CreateSolidBrush(ColorToRGB(brush.color)));
  SelectObject(dc, gdi_pen ? gdi_pen.Get() : GetStockObject(NULL_PEN));
  SelectObject(dc, gdi_brush ? gdi_brush.Get() : GetStockObject(NULL_BRUSH));
  // With no outline the fill covers the box to its right and bottom edges.
  const int extra = gdi_pen ? 0 : 1;
  if (FShape == TVltButtonStyleType::stRoundRect) {
    RoundRect(dc, ox + out.box.left, oy + out.box.top, ox + out.box.right + extra,
              oy + out.box.bottom + extra, a.radius, a.radius);
  } else {
    Rectangle(dc, ox + out.box.left, oy + out.box.top, ox + out.box.right + extra,
              oy + out.box.bottom + extra);
  }

  const ButtonPicture which = SelectPicture(s);
  const auto& drawn = which == ButtonPicture::PictureDisabled  ? picture_disabled
                      : which == ButtonPicture::PictureFocused ? picture_focused
                                                               : picture;
  if (drawn != nullptr) drawn->Draw(dc, ox + out.picture_x, oy + out.picture_y);

  if (CaptionDrawn(FShowCaption, a.caption)) {
    SetTextColor(dc, ColorToRGB(font.color));
    if (brush.clear) {
      SetBkMode(dc, TRANSPARENT);
    } else {
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, ColorToRGB(brush.color));
    }
    TextOutW(dc, ox + out.caption_x, oy + out.caption_y, caption.c_str(),
             static_cast<int>(caption.size()));
  }
  // The keyboard focus is a ring of its own in the caption's colour (the colour the button is
  // sure to set off), not only the hot shade: seen at a glance, also in high contrast.
  if (enabled_ && Focused() && out.focus.Width() > 0) {
    const int thickness = std::max(1, MulDiv(2, static_cast<int>(dpi_), 96));
    platform::UniqueGdiObject ring(CreatePen(PS_SOLID, thickness, ColorToRGB(font.color)));
    SelectObject(dc, ring.Get());
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int r = std::max(0, a.radius - 2 * (out.focus.left - out.box.left));
    RoundRect(dc, ox + out.focus.left, oy + out.focus.top, ox + out.focus.right,
              oy + out.focus.bottom, r, r);
    SelectObject(dc, GetStockObject(NULL_PEN));
  }
  RestoreDC(dc, saved);
}

void TVltButtonStyle::OnParentMouse(UINT message, LPARAM lparam) {
  const POINT p{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  const bool inside = Visible() && PtInRect(&bounds_, p);
  switch (message) {
    case WM_MOUSEMOVE:
      if (!enabled_) return;
      if (inside != FMouseEnter) {
        FMouseEnter = inside;
        Invalidate();
      }
      if (inside) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, parent_, 0};
        TrackMouseEvent(&track);
      }
      return;
    case WM_MOUSELEAVE:
      if (FMouseEnter) {
        FMouseEnter = false;
        Invalidate();
      }
      return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (!inside || !enabled_) return;
      PressState();
      pressed_with_mouse_ = message == WM_LBUTTONDOWN;
      SetCapture(parent_);
      return;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      if (FState != TButtonState::bsDown || GetCapture() != parent_) return;
      const bool click = message == WM_LBUTTONUP && pressed_with_mouse_ && inside && enabled_;
      pressed_with_mouse_ = false;
      ReleaseCapture();
      ReleaseState();
      if (click) Click();
      return;
    }
    default:
      return;
  }
}

LRESULT CALLBACK TVltButtonStyle::ParentSubclass(HWND window, UINT message, WPARAM wparam,
                                                 LPARAM lparam, UINT_PTR id, DWORD_PTR data) {
  auto* self = reinterpret_cast<TVltButtonStyle*>(data);
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      self->OnParentMouse(message, lparam);
      break;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && self->Visible()) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window, &p);
        if (PtInRect(&self->bounds_, p)) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, &TVltButtonStyle::ParentSubclass, id);
      self->parent_ = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace vlt::controls
