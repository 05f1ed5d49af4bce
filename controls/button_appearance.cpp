#include "controls/button_appearance.h"

namespace vlt::controls {

namespace {

// One of the four per-look members: the normal one unless the look has its own.
template <class T>
T& ByLook(ButtonLook look, T& normal, T& focused, T& down, T& disabled) {
  switch (look) {
    case ButtonLook::Focused:
      return focused;
    case ButtonLook::Down:
      return down;
    case ButtonLook::Disabled:
      return disabled;
    case ButtonLook::Normal:
      break;
  }
  return normal;
}

template <class T>
T& ByPicture(ButtonPicture which, T& picture, T& focused, T& disabled) {
  switch (which) {
    case ButtonPicture::PictureFocused:
      return focused;
    case ButtonPicture::PictureDisabled:
      return disabled;
    case ButtonPicture::Picture:
      break;
  }
  return picture;
}

}  // namespace

const PenDesc& ButtonAppearance::PenOf(ButtonLook look) const {
  return ByLook(look, pen, pen_focused, pen_down, pen_disabled);
}

const BrushDesc& ButtonAppearance::BrushOf(ButtonLook look) const {
  return ByLook(look, brush, brush_focused, brush_down, brush_disabled);
}

const FontDesc& ButtonAppearance::FontOf(ButtonLook look) const {
  return ByLook(look, font, font_focused, font_down, font_disabled);
}

const PictureRef& ButtonAppearance::PictureOf(ButtonPicture which) const {
  return ByPicture(which, picture, picture_focused, picture_disabled);
}

PictureRef& ButtonAppearance::PictureOf(ButtonPicture which) {
  return ByPicture(which, picture, picture_focused, picture_disabled);
}

ButtonStyleModel::ButtonStyleModel() {
  ResetAppearance();
}

void ButtonStyleModel::ResetAppearance() {
  a_.font.name = "Tahoma";
  for (BrushDesc* b : {&a_.brush, &a_.brush_down, &a_.brush_focused, &a_.brush_disabled}) {
    b->color = kWhiteColor;
  }
  a_.font_down = a_.font;
  a_.font_focused = a_.font;
  a_.font_disabled = a_.font;
  a_.radius = 4;
  a_.spacing = 3;
  a_.picture_margin_left = 3;
  a_.alignment = TVltAlignment::paCenter;
  style_ = TVltButtonStyleStyle::bsCustom;
  template_style_ = TTemplateStyle::tsNone;
  a_.picture = {};
  a_.picture_focused = {};
  a_.picture_disabled = {};
}

void ButtonStyleModel::ApplyColorTemplate() {
  if (!colors_) return;
  const iVltButtonStyleTemplate& t = *colors_;
  a_.brush.color = t.BrushColor();
  a_.brush_focused.color = t.BrushFocusedColor();
  a_.brush_down.color = t.BrushDownColor();
  a_.brush_disabled.color = t.BrushDisabledColor();
  a_.pen_down.color = t.PenDownColor();
  const iVltPenConfigurationCommon& pens = t.PenConfigurationCommon();
  a_.pen.style = pens.GetPenStyle();
  a_.pen_focused.style = pens.GetPenFocusedStyle();
  a_.pen_disabled.style = pens.GetPenDisabledStyle();
  a_.pen_down.style = pens.GetPenDownStyle();
  a_.pen_down.width = pens.GetPenDownWidth();
  const iVltFontConfigurationCommon& fonts = t.FontConfigurationCommon();
  a_.font = fonts.Font();
  a_.font_down = fonts.FontDown();
  a_.font_disabled = fonts.FontDisabled();
  a_.font_focused = fonts.FontFocused();
}

void ButtonStyleModel::ApplyTemplatePictures() {
  if (!pictures_) return;
  if (style_outline_) {
    a_.picture = pictures_->PictureStyleOutline();
    a_.picture_focused = pictures_->PictureFocusedStyleOutline();
  } else {
    a_.picture = pictures_->Picture();
    a_.picture_focused = pictures_->PictureFocused();
  }
  a_.picture_disabled = pictures_->PictureDisabled();
}

void ButtonStyleModel::ApplyOutline() {
  const ColorValue c = a_.brush.color;
  a_.brush.color = a_.font.color;
  a_.font.color = c;
  a_.pen.style = TPenStyle::psSolid;
  a_.pen.color = c;
  a_.pen.width = 1;
}

void ButtonStyleModel::SetTemplateStyle(TTemplateStyle value) {
  if (controller_style_template_) {
    ResetAppearance();
    controller_style_template_ = false;
    return;
  }
  if (style_ != TVltButtonStyleStyle::bsCustom) {
    controller_style_template_ = true;
    SetStyle(TVltButtonStyleStyle::bsCustom);
  }
  template_style_ = value;
  if (reading_) return;
  if (value != TTemplateStyle::tsNone) {
    const TemplateStyleEntry entry = TemplateOf(value);
    colors_ = NewColorTemplate(entry.colors);
    ApplyColorTemplate();
    pictures_ = NewPictureTemplate(entry.pictures);
    a_.height = ScaleToPpi(pictures_->SizeHeight(), ppi_);
    a_.width = ScaleToPpi(pictures_->SizeWidth(), ppi_);
    a_.caption = entry.caption;
    a_.alignment = TVltAlignment::paLeftJustify;
  }
  ApplyTemplatePictures();
  if (value != TTemplateStyle::tsNone && style_outline_) ApplyOutline();
}

void ButtonStyleModel::SetStyle(TVltButtonStyleStyle value) {
  if (template_style_ != TTemplateStyle::tsNone) {
    controller_style_template_ = true;
    SetTemplateStyle(TTemplateStyle::tsNone);
  }
  if (controller_style_template_) {
    ResetAppearance();
    controller_style_template_ = false;
    return;
  }
  style_ = value;
  if (value == TVltButtonStyleStyle::bsCustom) return;
  colors_ = NewColorTemplate(ColorTemplateOf(value));
  ApplyColorTemplate();
  a_.height = ScaleToPpi(colors_->SizeHeight(), ppi_);
  a_.width = ScaleToPpi(colors_->SizeWidth(), ppi_);
  a_.height = ScaleToPpi(32, ppi_);
  a_.width = ScaleToPpi(90, ppi_);
  if (style_outline_) ApplyOutline();
}

void ButtonStyleModel::SetStyleOutline(bool value) {
  style_outline_ = value;
  if (style_ != TVltButtonStyleStyle::bsCustom) {
    SetStyle(style_);
  } else if (template_style_ != TTemplateStyle::tsNone) {
    SetTemplateStyle(template_style_);
  }
}

void ButtonStyleModel::SetPictureMarginLeft(int value) {
  if (value >= 0) a_.picture_margin_left = value;
}

namespace {
int CopySlot(ButtonLook look) {
  switch (look) {
    case ButtonLook::Down:
      return 0;
    case ButtonLook::Focused:
      return 1;
    case ButtonLook::Disabled:
      return 2;
    case ButtonLook::Normal:
      break;
  }
  return -1;
}
}  // namespace

void ButtonStyleModel::SetCopyOfFont(ButtonLook look, bool value) {
  const int slot = CopySlot(look);
  if (slot < 0 || copy_of_font_[slot] == value) return;
  copy_of_font_[slot] = value;
  if (!value) return;
  // A copy taken now; later changes of the main font are not followed.
  FontDesc& target = look == ButtonLook::Down      ? a_.font_down
                     : look == ButtonLook::Focused ? a_.font_focused
                                                   : a_.font_disabled;
  target = a_.font;
}

bool ButtonStyleModel::CopyOfFont(ButtonLook look) const {
  const int slot = CopySlot(look);
  return slot >= 0 && copy_of_font_[slot];
}

void ButtonStyleModel::Assign(const ButtonStyleModel& other) {
  a_.brush = other.a_.brush;
  a_.brush_focused = other.a_.brush_focused;
  a_.pen = other.a_.pen;
  a_.pen_focused = other.a_.pen_focused;
  a_.font = other.a_.font;
  a_.font_focused = other.a_.font_focused;
  a_.font_down = other.a_.font_down;
  a_.radius = other.a_.radius;
}

}  // namespace vlt::controls
