#include "app/wizard_controls.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>

#include "app/glyphs.h"
#include "controls/arc_control.h"
#include "controls/button_style.h"
#include "controls/vlt_gif_win.h"
#include "platform/win_text.h"
#include "platform/win_window_class.h"

namespace vlt::app {
namespace {

using platform::Narrow;
using platform::UniqueGdiObject;
using platform::Widen;

UniqueGdiObject MakeFont(int height, int weight) {
  return UniqueGdiObject(CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                     DEFAULT_PITCH | FF_SWISS, L"Segoe UI"));
}

// The page buttons' stored looks.
constexpr COLORREF kButtonFill = RGB(111, 66, 193);
constexpr COLORREF kButtonFillDark = RGB(81, 45, 146);
constexpr COLORREF kButtonFillDisabled = RGB(205, 193, 230);
constexpr COLORREF kButtonText = RGB(255, 255, 255);
constexpr COLORREF kButtonDisabledText = RGB(248, 246, 252);
constexpr COLORREF kButtonDefaultBorder = RGB(45, 22, 92);

bool Centred(const ControlLayout& c) {
  return c.align == TextAlign::Center;
}

// Static text; the kinds of label differ in font and colour.
class TextLabel : public WizardControl {
 public:
  using WizardControl::WizardControl;
  void Create(HWND parent, int id) override {
    const DWORD align = Centred(Layout()) ? SS_CENTER : SS_LEFT;
    // A path keeps its drive and its file name when it is too long: the middle gives way.
    const DWORD ellipsis =
        Layout().kind == ControlKind::PathLabel ? SS_PATHELLIPSIS : SS_ENDELLIPSIS;
    CreateChild(parent, id, L"STATIC", WS_CHILD | SS_NOPREFIX | ellipsis | align, 0,
                std::string(Layout().text));
  }
};

// The large title of a page.
class TitleLabel : public TextLabel {
 public:
  using TextLabel::TextLabel;
  COLORREF TextColour() const override { return kTitleText; }

 protected:
  HFONT FontOf(const Theme& theme) const override { return theme.TitleFont(); }
};

// The bold name inside a card or a header.
class CaptionLabel : public TextLabel {
 public:
  using TextLabel::TextLabel;
  COLORREF TextColour() const override { return kTitleText; }

 protected:
  HFONT FontOf(const Theme& theme) const override { return theme.CaptionFont(); }
};

// A card holding other controls.
class Card : public WizardControl {
 public:
  using WizardControl::WizardControl;
  void Create(HWND, int) override {}
  void Paint(HDC dc, const RECT& area, const Theme& theme) const override {
    DrawCard(dc, area, kCardColour, kCardBorder, theme.Scale(10));
  }
  std::optional<Surface> ChildSurface(const Theme& theme) const override {
    return Surface{kCardColour, theme.CardBrush(), std::nullopt};
  }
};

// The coloured band at the top of a product page; its texts are white.
class HeaderBand : public WizardControl {
 public:
  using WizardControl::WizardControl;
  void Create(HWND, int) override {}
  void Paint(HDC dc, const RECT& area, const Theme& theme) const override {
    DrawHeader(dc, area, kHeaderColour, kAccent, theme.Scale(3));
  }
  std::optional<Surface> ChildSurface(const Theme& theme) const override {
    return Surface{kHeaderColour, theme.HeaderBrush(), kHeaderText};
  }
};

class ProductPicture : public WizardControl {
 public:
  using WizardControl::WizardControl;
  void Create(HWND, int) override {}
  void Paint(HDC dc, const RECT& area, const Theme&) const override {
    DrawGlyph(dc, area, Layout().glyph, kAccent);
  }
};

// The folder picture next to a directory edit; a click on it, or Enter or Space while it has
// the focus, chooses a folder. A window of its own so that it takes the focus and the Tab key
// like a button does.
class FolderIcon : public WizardControl {
 public:
  using WizardControl::WizardControl;
  void Create(HWND parent, int id) override {
    platform::RegisterWindowClass(kClass, &Proc, IDC_HAND);
    CreateChild(parent, id, kClass, WS_CHILD | WS_TABSTOP, 0, "");
    // The tooltip says what the picture does; the tooltip window belongs to the wizard window.
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    if (tip == nullptr) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = parent;
    tool.uId = reinterpret_cast<UINT_PTR>(Handle());
    std::wstring text = Widen(kFolderIconTip);
    tool.lpszText = text.data();
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  bool Activates(int notification) const override { return notification == BN_CLICKED; }

 private:
  static constexpr wchar_t kClass[] = L"VeltraFolderIcon";

  static void Clicked(HWND window) {
    SendMessageW(GetParent(window), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(window), static_cast<WORD>(BN_CLICKED)),
                 reinterpret_cast<LPARAM>(window));
  }

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
      case WM_GETDLGCODE:
        // Enter presses it (through the dialog keys of the wizard window); Space comes here.
        return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        InvalidateRect(window, nullptr, TRUE);
        return 0;
      case WM_LBUTTONDOWN:
        SetFocus(window);
        SetCapture(window);
        return 0;
      case WM_LBUTTONUP: {
        if (GetCapture() != window) return 0;
        ReleaseCapture();
        RECT r{};
        GetClientRect(window, &r);
        const POINT p{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
        if (PtInRect(&r, p)) Clicked(window);
        return 0;
      }
      case WM_KEYUP:
        if (wparam == VK_SPACE) Clicked(window);
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT: {
        platform::PaintScope paint(window);
        RECT r{};
        GetClientRect(window, &r);
        platform::DoubleBuffer buffer(paint.Dc(), r);
        // It sits on a card.
        platform::UniqueGdiObject card(CreateSolidBrush(kCardColour));
        FillRect(buffer.Dc(), &r, static_cast<HBRUSH>(card.Get()));
        DrawFolder(buffer.Dc(), r);
        if (GetFocus() == window) DrawFocusRect(buffer.Dc(), &r);
        return 0;
      }
      default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
  }
};

// A styled page button with the wizard's stored looks: white text on purple, a darker purple
// when pressed or focused, a light fill when disabled, the picture above the caption. The
// template named with each button is recorded, not applied: the looks are these.
class StyledButton : public WizardControl {
 public:
  using WizardControl::WizardControl;
  void Create(HWND parent, int id) override {
    button_.SetParent(parent, id);
    Adopt(button_.ProxyHandle());
    const bool home = Layout().id == Control::btnZadoveve || Layout().id == Control::btnPDV;
    controls::ButtonStyleModel& model = button_.Model();
    model.SetReading(true);
    controls::ButtonAppearance& a = model.Appearance();
    a.font = {"Tahoma", 10, true, kButtonText};
    a.font_focused = a.font;
    a.font_down = a.font;
    a.font_disabled = {"Tahoma", 10, true, kButtonDisabledText};
    a.brush.color = kButtonFill;
    a.brush_focused.color = kButtonFillDark;
    a.brush_down.color = kButtonFillDark;
    a.brush_disabled.color = kButtonFillDisabled;
    for (controls::PenDesc* pen : {&a.pen, &a.pen_focused, &a.pen_down, &a.pen_disabled}) {
      pen->style = controls::TPenStyle::psClear;
    }
    a.radius = home ? 4 : 0;
    // A small button (the first page's "Proxy…") has room for its caption only.
    const bool small = Layout().height < 40;
    if (small) {
      for (controls::FontDesc* font : {&a.font, &a.font_focused, &a.font_down, &a.font_disabled})
        font->size = 8;
      a.radius = 4;
    }
    a.picture = {small ? std::string() : std::string(PictureOf(Layout().text))};
    model.SetTemplateStyle(home ? controls::TTemplateStyle::tsSave
                                : controls::TTemplateStyle::tsInsert);
    model.SetReading(false);
    button_.SetPictureLayout(controls::TPictureLayout::plGraphicTop);
    button_.SetCaption(std::string(Layout().text));
    button_.SetTabStop(true);
  }
  void Place(const RECT& area, const Theme& theme) override {
    button_.SetDpi(theme.Scale(96));
    button_.SetBounds(area);
  }
  void Paint(HDC dc, const RECT&, const Theme&) const override { button_.Paint(dc); }
  bool Activates(int notification) const override { return notification == BN_CLICKED; }
  void SetText(const std::string& text) override { button_.SetCaption(text); }
  void SetEnabled(bool enabled) override { button_.SetEnabled(enabled); }
  void Focus() override { button_.SetFocus(); }
  // The button Enter presses: a dark border around the purple, and the push button's style
  // bit on its focus proxy, where it can be read from outside.
  void SetDefaultLook(bool on) override {
    controls::PenDesc& pen = button_.Model().Appearance().pen;
    const controls::PenDesc want =
        on ? controls::PenDesc{kButtonDefaultBorder, controls::TPenStyle::psSolid, 3}
           : controls::PenDesc{0, controls::TPenStyle::psClear, 1};
    if (pen == want) return;
    pen = want;
    const LONG_PTR style = GetWindowLongPtrW(Handle(), GWL_STYLE);
    SetWindowLongPtrW(Handle(), GWL_STYLE,
                      on ? (style | BS_DEFPUSHBUTTON) : (style & ~LONG_PTR{BS_DEFPUSHBUTTON}));
    button_.Repaint();
  }

 private:
  static std::string_view PictureOf(std::string_view caption) {
    if (caption == "Instalar") return "PICTURE_INSTALL_WHITE";
    if (caption == "Voltar") return "PICTURE_BACK_WHITE";
    if (caption == "Fechar") return "PICTURE_CLOSE_WHITE";
    return "PICTURE_NEXT_WHITE";
  }
  controls::TVltButtonStyle button_;
};

class EditBox : public WizardControl {
 public:
  using WizardControl::WizardControl;
  void Create(HWND parent, int id) override {
    const DWORD align = Centred(Layout()) ? ES_CENTER : ES_LEFT;
    CreateChild(parent, id, L"EDIT", WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL | align,
                WS_EX_CLIENTEDGE, std::string(Layout().text));
  }
};

// A list to choose from, without free text; its items are the layout text, one per line.
class DropDownList : public WizardControl {
 public:
  using WizardControl::WizardControl;
  void Create(HWND parent, int id) override {
    CreateChild(parent, id, L"COMBOBOX", WS_CHILD | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
                "");
    std::string_view items = Layout().text;
    while (!items.empty()) {
      const size_t nl = items.find('\n');
      const std::wstring item = Widen(items.substr(0, nl));
      SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
      items = nl == std::string_view::npos ? std::string_view() : items.substr(nl + 1);
    }
    SendMessageW(Handle(), CB_SETCURSEL, 0, 0);
  }
  bool Activates(int notification) const override { return notification == CBN_SELCHANGE; }
  int SelectedIndex() const override {
    return static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
  }
  void SetSelectedIndex(int index) override {
    SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
};

// The download progress display: an arc gauge with the stored settings Min 0, Progress 80,
// no text, a black base ring and an orange arc.
class ArcGaugeControl : public WizardControl {
 public:
  using WizardControl::WizardControl;
  void Create(HWND parent, int id) override {
    gauge_.Create(parent, id);
    Adopt(gauge_.Handle());
    gauge_.SetMin(0);
    gauge_.SetProgress(80);
    gauge_.SetBooleanProperty(0, false);  // ShowText
    gauge_.SetColorValue(10, RGB(0, 0, 0));
    gauge_.SetColorValue(11, kAccent);
  }
  void SetGaugeMax(std::int64_t value) override { gauge_.SetMax(value); }
  void SetGaugeProgress(std::int64_t value) override { gauge_.SetProgress(value); }

 private:
  controls::TArcGauge gauge_;
};

// The animated picture, playing the GIF shipped as resource VLTGIF1 whenever it is shown.
class AnimatedPicture : public WizardControl {
 public:
  using WizardControl::WizardControl;
  void Create(HWND parent, int id) override {
    Adopt(picture_.Create(parent, id));
    picture_.Background = kPageColour;
    picture_.PlayWhenShown = true;
    TVltGIF& gif = picture_.Gif();
    gif.SetAutoSize(false);
    gif.SetTransparent(true);
    HRSRC found = FindResourceW(nullptr, L"VLTGIF1", reinterpret_cast<LPCWSTR>(RT_RCDATA));
    HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    // Without the resource the picture stays empty, as a control without a file does.
    if (bytes != nullptr) {
      gif.LoadFromStream(
          std::string_view(static_cast<const char*>(bytes), SizeofResource(nullptr, found)));
    }
  }

 private:
  TVltGIFWin picture_;
};

}  // namespace

Theme::Theme()
    : brush_page_(CreateSolidBrush(kPageColour)),
      brush_card_(CreateSolidBrush(kCardColour)),
      brush_header_(CreateSolidBrush(kHeaderColour)) {}

void Theme::SetDpi(UINT dpi) {
  dpi_ = dpi;
  font_normal_ = MakeFont(Scale(15), FW_NORMAL);
  font_title_ = MakeFont(Scale(24), FW_SEMIBOLD);
  font_caption_ = MakeFont(Scale(19), FW_BOLD);
  font_button_ = MakeFont(Scale(15), FW_SEMIBOLD);
}

void WizardControl::CreateChild(HWND parent, int id, const wchar_t* window_class, DWORD style,
                                DWORD ex_style, const std::string& text) {
  window_ = CreateWindowExW(ex_style, window_class, Widen(text).c_str(), style, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
}

void WizardControl::Place(const RECT& area, const Theme& theme) {
  if (window_ == nullptr) return;
  MoveWindow(window_, area.left, area.top, area.right - area.left, area.bottom - area.top, FALSE);
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(theme)), FALSE);
}

std::string WizardControl::Text() const {
  if (window_ == nullptr) return {};
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window_)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window_, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

void WizardControl::SetText(const std::string& text) {
  if (window_ == nullptr) return;
  SetWindowTextW(window_, Widen(text).c_str());
  InvalidateRect(window_, nullptr, TRUE);
}

void WizardControl::SetEnabled(bool enabled) {
  if (window_ != nullptr) EnableWindow(window_, enabled ? TRUE : FALSE);
}

void WizardControl::Focus() {
  if (window_ != nullptr) SetFocus(window_);
}

std::unique_ptr<WizardControl> MakeWizardControl(const ControlLayout& layout) {
  switch (layout.kind) {
    case ControlKind::Title:
      return std::make_unique<TitleLabel>(layout);
    case ControlKind::Label:
    case ControlKind::PathLabel:
      return std::make_unique<TextLabel>(layout);
    case ControlKind::Caption:
      return std::make_unique<CaptionLabel>(layout);
    case ControlKind::Panel:
      return std::make_unique<Card>(layout);
    case ControlKind::Header:
      return std::make_unique<HeaderBand>(layout);
    case ControlKind::Picture:
      return std::make_unique<ProductPicture>(layout);
    case ControlKind::FolderIcon:
      return std::make_unique<FolderIcon>(layout);
    case ControlKind::Button:
      return std::make_unique<StyledButton>(layout);
    case ControlKind::Edit:
      return std::make_unique<EditBox>(layout);
    case ControlKind::DropDownList:
      return std::make_unique<DropDownList>(layout);
    case ControlKind::Gauge:
      return std::make_unique<ArcGaugeControl>(layout);
    case ControlKind::AnimatedPicture:
      return std::make_unique<AnimatedPicture>(layout);
  }
  return nullptr;
}

}  // namespace vlt::app
