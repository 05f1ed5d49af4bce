#pragma once
// The wizard window's controls, one class per kind of control: each creates its own child
// window (or has none and is painted by the wizard window), places itself, paints what it
// draws and answers the view operations that concern it. A new kind of control is a new class
// here and one line in MakeWizardControl.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "installer/wizard_layout.h"
#include "platform/win_gdi.h"

namespace vlt::app {

// The wizard's palette.
inline constexpr COLORREF kPageColour = RGB(255, 255, 255);
inline constexpr COLORREF kCardColour = RGB(245, 246, 248);
inline constexpr COLORREF kCardBorder = RGB(222, 226, 230);
inline constexpr COLORREF kHeaderColour = RGB(36, 41, 47);
inline constexpr COLORREF kAccent = RGB(255, 128, 0);
inline constexpr COLORREF kTitleText = RGB(31, 35, 40);
inline constexpr COLORREF kBodyText = RGB(87, 96, 106);
inline constexpr COLORREF kHeaderText = RGB(255, 255, 255);

// The tooltip of the folder pictures.
inline constexpr const char* kFolderIconTip = "Escolher a pasta de instalação";

// What the controls write and fill with, at the window's current DPI.
class Theme {
 public:
  Theme();
  // Fonts for `dpi` (created again when the window moves to another DPI).
  void SetDpi(UINT dpi);
  int Scale(int value) const { return MulDiv(value, static_cast<int>(dpi_), 96); }
  HFONT NormalFont() const { return Font(font_normal_); }
  HFONT TitleFont() const { return Font(font_title_); }
  HFONT CaptionFont() const { return Font(font_caption_); }
  HFONT ButtonFont() const { return Font(font_button_); }
  HBRUSH PageBrush() const { return Brush(brush_page_); }
  HBRUSH CardBrush() const { return Brush(brush_card_); }
  HBRUSH HeaderBrush() const { return Brush(brush_header_); }

 private:
  static HFONT Font(const platform::UniqueGdiObject& o) { return static_cast<HFONT>(o.Get()); }
  static HBRUSH Brush(const platform::UniqueGdiObject& o) { return static_cast<HBRUSH>(o.Get()); }
  UINT dpi_ = 96;
  platform::UniqueGdiObject font_normal_, font_title_, font_caption_, font_button_;
  platform::UniqueGdiObject brush_page_, brush_card_, brush_header_;
};

// The fill a control gives the texts inside it, and the text colour it imposes, if any.
struct Surface {
  COLORREF fill;
  HBRUSH brush;
  std::optional<COLORREF> text;
};

class WizardControl {
 public:
  explicit WizardControl(const ControlLayout& layout) : layout_(layout) {}
  virtual ~WizardControl() = default;
  WizardControl(const WizardControl&) = delete;
  WizardControl& operator=(const WizardControl&) = delete;

  const ControlLayout& Layout() const { return layout_; }
  // Its child window; nullptr for a control the wizard window paints itself. The wizard
  // window owns its children: they go when it goes.
  HWND Handle() const { return window_; }

  // Makes the child window, if the kind has one, with `id` as its control id.
  virtual void Create(HWND parent, int id) = 0;
  // Moves the child window to `area` (client pixels) and gives it its font.
  virtual void Place(const RECT& area, const Theme& theme);
  // Draws what the wizard window paints for the control.
  virtual void Paint(HDC, const RECT&, const Theme&) const {}
  // The fill for the controls it holds (a card, the header band).
  virtual std::optional<Surface> ChildSurface(const Theme&) const { return std::nullopt; }
  // The colour of its text on the page or on a card.
  virtual COLORREF TextColour() const { return kBodyText; }
  // Whether this notification code from its window is the operator acting on it.
  virtual bool Activates(int /*notification*/) const { return false; }
  // Whether Enter acts on it while it has the focus (a button, or a picture that works as one).
  bool PressedByEnter() const { return Activates(BN_CLICKED); }
  // Shows or drops the look of the button Enter presses.
  virtual void SetDefaultLook(bool) {}

  // The view operations, for the kinds they concern; the others ignore them.
  virtual std::string Text() const;
  virtual void SetText(const std::string& text);
  virtual void SetEnabled(bool enabled);
  virtual void Focus();
  virtual int SelectedIndex() const { return -1; }
  virtual void SetSelectedIndex(int) {}
  virtual void SetGaugeMax(std::int64_t) {}
  virtual void SetGaugeProgress(std::int64_t) {}

 protected:
  void CreateChild(HWND parent, int id, const wchar_t* window_class, DWORD style, DWORD ex_style,
                   const std::string& text);
  // For a kind whose window is made by the control class it wraps.
  void Adopt(HWND window) { window_ = window; }
  virtual HFONT FontOf(const Theme& theme) const { return theme.NormalFont(); }

 private:
  const ControlLayout& layout_;
  HWND window_ = nullptr;
};

std::unique_ptr<WizardControl> MakeWizardControl(const ControlLayout& layout);

}  // namespace vlt::app
