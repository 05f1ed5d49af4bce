#pragma once
// The styled button's appearance as data (pens, brushes, fonts, pictures, size and caption)
// and the template setters that dress it, so that both are exercised without a window.
#include <memory>
#include <string>

#include "controls/button_layout.h"
#include "controls/button_templates.h"

namespace vlt::controls {

inline constexpr ColorValue kWhiteColor = 16777215;

struct PenDesc {
  ColorValue color = 0;
  TPenStyle style = TPenStyle::psSolid;
  int width = 1;
  bool operator==(const PenDesc&) const = default;
};
struct BrushDesc {
  ColorValue color = kWhiteColor;
  bool clear = false;  // no fill
  bool operator==(const BrushDesc&) const = default;
};

struct ButtonAppearance {
  PenDesc pen, pen_down, pen_focused, pen_disabled;
  BrushDesc brush, brush_down, brush_focused, brush_disabled;
  FontDesc font, font_down, font_focused, font_disabled;
  PictureRef picture, picture_focused, picture_disabled;
  std::string caption;
  int width = 75, height = 25;
  int radius = 4;
  int spacing = 3;
  int picture_margin_left = 3;
  TVltAlignment alignment = TVltAlignment::paCenter;

  const PenDesc& PenOf(ButtonLook look) const;
  const BrushDesc& BrushOf(ButtonLook look) const;
  const FontDesc& FontOf(ButtonLook look) const;
  const PictureRef& PictureOf(ButtonPicture which) const;
  PictureRef& PictureOf(ButtonPicture which);
};

class ButtonStyleModel {
 public:
  ButtonStyleModel();

  ButtonAppearance& Appearance() { return a_; }
  const ButtonAppearance& Appearance() const { return a_; }

  // While the stored form is read a named template is only recorded.
  void SetReading(bool reading) { reading_ = reading; }
  // The density the button is drawn at: the size a template gives (90 x 32 at 96 pixels per
  // inch) grows with it, as the template's fonts do.
  void SetPixelsPerInch(int ppi) { ppi_ = ppi > 0 ? ppi : 96; }
  int PixelsPerInch() const { return ppi_; }

  TTemplateStyle TemplateStyle() const { return template_style_; }
  void SetTemplateStyle(TTemplateStyle value);
  TVltButtonStyleStyle Style() const { return style_; }
  void SetStyle(TVltButtonStyleStyle value);
  bool StyleOutline() const { return style_outline_; }
  void SetStyleOutline(bool value);

  void ApplyColorTemplate();
  void ApplyTemplatePictures();
  void ApplyOutline();
  void ResetAppearance();

  // Negative margins are ignored.
  void SetPictureMarginLeft(int value);
  // A state font's CopyOfFont switched on takes a copy of the main font; off changes nothing.
  void SetCopyOfFont(ButtonLook look, bool value);
  bool CopyOfFont(ButtonLook look) const;
  // What another button's Assign hands over.
  void Assign(const ButtonStyleModel& other);

  const std::shared_ptr<iVltButtonStyleTemplate>& ColorTemplateInUse() const { return colors_; }
  const std::shared_ptr<iVltButtonStyleTemplateType>& PictureTemplateInUse() const {
    return pictures_;
  }

 private:
  ButtonAppearance a_;
  std::shared_ptr<iVltButtonStyleTemplate> colors_;
  std::shared_ptr<iVltButtonStyleTemplateType> pictures_;
  TTemplateStyle template_style_ = TTemplateStyle::tsNone;
  TVltButtonStyleStyle style_ = TVltButtonStyleStyle::bsCustom;
  bool style_outline_ = false;
  bool controller_style_template_ = false;  // Style and TemplateStyle resetting each other
  bool reading_ = false;
  int ppi_ = 96;
  bool copy_of_font_[3] = {false, false, false};  // down, focused, disabled
};

}  // namespace vlt::controls
