#pragma once
// The styled push button (Windows build only): a windowless control its parent paints, in one
// of four looks, with a zero-size focus proxy window that takes the keyboard focus for it.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "controls/button_appearance.h"
#include "platform/win_gdi.h"

namespace vlt::controls {

// A picture loaded from the program's PNG resources, kept premultiplied for AlphaBlend.
class ButtonPictureImage {
 public:
  // The picture at `ppi` (the pictures are drawn for 96 pixels per inch). Throws
  // vlt::Exception when the resource is missing or cannot be decoded (GDI+ absent).
  static std::shared_ptr<const ButtonPictureImage> Load(const std::string& resource, int ppi = 96);
  // A copy of an image list's picture, with its transparency; nullptr for an index the list
  // does not have.
  static std::shared_ptr<const ButtonPictureImage> FromImageList(HIMAGELIST list, int index);
  int Width() const { return width_; }
  int Height() const { return height_; }
  void Draw(HDC dc, int x, int y) const;

 private:
  // An empty, fully transparent picture of that size, with its pixels at `bits`.
  static std::shared_ptr<ButtonPictureImage> Make(int width, int height, void** bits);
  platform::UniqueMemoryDc dc_;
  platform::UniqueGdiObject bitmap_;
  HGDIOBJ original_ = nullptr;
  int width_ = 0, height_ = 0;

 public:
  ~ButtonPictureImage();
};

class TVltButtonStyle;

// The focus proxy: a zero-size child window beside the button.
class TFocusControl {
 public:
  // Asserts that `button` is set.
  explicit TFocusControl(TVltButtonStyle* button);
  ~TFocusControl();
  TFocusControl(const TFocusControl&) = delete;
  TFocusControl& operator=(const TFocusControl&) = delete;
  void CreateIn(HWND parent, int id);
  HWND Handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  TVltButtonStyle* FGraphicControl;
  HWND window_ = nullptr;
  bool space_down_ = false;
};

class TVltButtonStyle {
 public:
  TVltButtonStyle();
  ~TVltButtonStyle();
  TVltButtonStyle(const TVltButtonStyle&) = delete;
  TVltButtonStyle& operator=(const TVltButtonStyle&) = delete;

  // Gives the button its parent: the proxy is made there with `id`, and the button watches the
  // parent's mouse messages over its own rectangle.
  void SetParent(HWND parent, int id);
  HWND Parent() const { return parent_; }
  HWND ProxyHandle() const { return FFocusControl.Handle(); }

  // Moves the button (parent client pixels) and repaints at once.
  void SetBounds(const RECT& bounds);
  const RECT& Bounds() const { return bounds_; }
  // Fonts are made for this many dots per inch; outline widths, the pictures and the size a
  // template gives scale with it.
  void SetDpi(int dpi);

  // The appearance and the template setters; call Changed() after changing it directly.
  ButtonStyleModel& Model() { return model_; }
  const ButtonStyleModel& Model() const { return model_; }
  void Changed();

  void SetTemplateStyle(TTemplateStyle value);
  void SetStyle(TVltButtonStyleStyle value);
  void SetStyleOutline(bool value);
  void SetCaption(const std::string& caption);  // stores and repaints, also when unchanged
  const std::string& Caption() const { return model_.Appearance().caption; }

  bool ClickOnEnter() const { return FClickOnEnter; }
  void SetClickOnEnter(bool value) { FClickOnEnter = value; }
  bool ShowCaption() const { return FShowCaption; }
  void SetShowCaption(bool value);
  void SetShape(TVltButtonStyleType value);
  void SetPictureLayout(TPictureLayout value);
  void SetPictureCenter(bool value);
  bool TabStop() const;
  void SetTabStop(bool value);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const;
  bool Focused() const;
  bool CanFocus() const;
  void SetFocus();
  bool MouseOver() const { return FMouseEnter; }

  // Pictures taken from an image list (not owned): a new index stores it and, when there is a
  // list, replaces the matching picture by a copy of the list's image; a new list alone
  // fetches nothing.
  HIMAGELIST ImageList() const { return FImageList; }
  void SetImageList(HIMAGELIST list);
  int ImageIndexPicture(ButtonPicture which) const;
  void SetImageIndexPicture(ButtonPicture which, int index);
  TButtonState State() const { return FState; }

  // The click: OnClick when set, else BN_CLICKED to the parent from the proxy's id.
  void Click();
  std::function<void()> OnClick;

  // The look painted now, and the paint itself onto the parent's device context.
  ButtonLook CurrentLook() const;
  void Paint(HDC dc) const;
  // Repaints at once.
  void Repaint() const;

 private:
  friend class TFocusControl;
  static LRESULT CALLBACK ParentSubclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                         UINT_PTR id, DWORD_PTR data);
  void OnParentMouse(UINT message, LPARAM lparam);
  void PressState();
  void ReleaseState();
  void Invalidate() const;
  std::shared_ptr<const ButtonPictureImage> PictureImage(const PictureRef& ref) const;
  std::shared_ptr<const ButtonPictureImage> PaintedImage(const PictureRef& ref) const;
  HFONT FontFor(const FontDesc& font) const;

  ButtonStyleModel model_;
  TFocusControl FFocusControl{this};
  HWND parent_ = nullptr;
  RECT bounds_{0, 0, 75, 25};
  int dpi_ = 96;
  bool FMouseEnter = false;
  bool pressed_with_mouse_ = false;
  TButtonState FState = TButtonState::bsUp;
  bool FShowCaption = true;
  bool FClickOnEnter = true;
  bool enabled_ = true;
  TVltButtonStyleType FShape = TVltButtonStyleType::stRoundRect;
  bool FPictureCenter = false;
  TPictureLayout FPictureLayout = TPictureLayout::plGraphicCenter;
  mutable std::map<std::string, platform::UniqueGdiObject> fonts_;
  HIMAGELIST FImageList = nullptr;
  int image_index_[3] = {-1, -1, -1};  // picture, focused, disabled
  // Copies taken from image lists, under the names the pictures carry.
  std::map<std::string, std::shared_ptr<const ButtonPictureImage>> list_pictures_;
  int list_picture_serial_ = 0;
};

}  // namespace vlt::controls
