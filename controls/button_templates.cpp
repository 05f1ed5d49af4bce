#include "controls/button_templates.h"

#include <array>
#include <stdexcept>

namespace vlt::controls {
namespace {

constexpr ColorValue kWhite = 16777215;

struct ColorRow {
  ColorValue brush, brush_focused, brush_down, pen_down, brush_disabled;
  ColorValue font, font_disabled;
};

// In the order of ColorTemplate.
// clang-format off
constexpr std::array<ColorRow, 9> kColorRows = {{
    /* Primary   */ {16674604, 14180132, 14180132, 16758677, 16755034, kWhite, 16773346},
    /* Secondary */ {8222060, 6840922, 6840922, 12499381, 11446434, kWhite, 16773346},
    /* Success   */ {4565545, 3705378, 3705378, 10671252, 16773346, kWhite, 16773346},
    /* Danger    */ {4667354, 3548870, 3548870, 10722284, 11117294, kWhite, 16773346},
    /* Warning   */ {1492476, 1027294, 1027294, 9102078, 8773886, kWhite, 9737364},
    /* Info      */ {12099623, 9929760, 9929760, 14405779, 14864506, kWhite, 16773346},
    /* Light     */ {16447992, 15394530, 15065306, 15065306, 13551035, 0, 16773346},
    /* Dark      */ {4209204, 2828067, 2828067, 10460313, 9734010, kWhite, 16773346},
    /* Heart     */ {12099623, 9929760, 9929760, 14405779, 14864506, kWhite, 16773346},
}};

struct PictureRow {
  std::string_view picture, outline, focused_outline, disabled;  // picture also serves focused
};
// In the order of PictureTemplate. The names are the resources' own, spelling included.
constexpr std::array<PictureRow, 13> kPictureRows = {{
    /* Save   */ {"PICTURE_SAVE_WHITE", "PICTURE_SAVE_GREEN", "PICTURE_SAVE_WHITE", "PICTURE_SAVE_WHITE"},
    /* Cancel */ {"PICTURE_CANCEL_WHITE", "PICTURE_CANCEL_GRAY", "PICTURE_CANCEL_WHITE", "PICTURE_CANCEL_WHITE"},
    /* Edit   */ {"PICTURE_EDIT_WHITE", "PICTURE_EDIT_YELOOW", "PICTURE_EDIT_WHITE", "PICTURE_EDIT_DISABLED"},
    /* Delete */ {"PICTURE_DELETE_WHITE", "PICTURE_DELETE_RED", "PICTURE_DELETE_WHITE", "PICTURE_DELETE_WHITE"},
    /* Print  */ {"PICTURE_PRINT_WHITE", "PICTURE_PRINT_BLUE", "PICTURE_PRINT_WHITE", "PICTURE_PRINT_WHITE"},
    /* Gear   */ {"PICTURE_GEAR_WHITE", "PICTURE_GEAR_BLUE", "PICTURE_GEAR_WHITE", "PICTURE_GEAR_WHITE"},
    /* Menu   */ {"PICTURE_MENU_WHITE", "PICTURE_MENU_BLUE", "PICTURE_MENU_WHITE", "PICTURE_MENU_WHITE"},
    /* Heart  */ {"PICTURE_HEART_WHITE", "PICTURE_HEART_OUTLINE", "PICTURE_HEART_WHITE", "PICTURE_HEART_WHITE"},
    /* Email  */ {"PICTURE_EMAIL_GRAY", "PICTURE_EMAIL_WHITE", "PICTURE_EMAIL_WHITE", "PICTURE_EMAIL_GRAY"},
    /* Insert */ {"PICTURE_INSERT_WHITE", "PICTURE_INSERT_GREEN", "PICTURE_INSERT_WHITE", "PICTURE_INSERT_WHITE"},
    /* Back   */ {"PICTURE_BACK_BLACK", "PICTURE_BACK_WHITE", "PICTURE_BACK_WHITE", "PICTURE_BACK_BLACK"},
    /* Close  */ {"PICTURE_CLOSE_WHITE", "PICTURE_CLOSE_RED", "PICTURE_CLOSE_WHITE", "PICTURE_CLOSE_WHITE"},
    /* Report */ {"PICTURE_REPORT_WHITE", "PICTURE_REPORT_BLUE", "PICTURE_REPORT_WHITE", "PICTURE_REPORT_WHITE"},
}};

// In the order of TTemplateStyle, from tsSave.
constexpr std::array<TemplateStyleEntry, 13> kTemplateStyles = {{
    {ColorTemplate::Success, PictureTemplate::Save, "Save"},
    {ColorTemplate::Secondary, PictureTemplate::Cancel, "Cancel"},
    {ColorTemplate::Warning, PictureTemplate::Edit, "Edit"},
    {ColorTemplate::Danger, PictureTemplate::Delete, "Delete"},
    {ColorTemplate::Info, PictureTemplate::Print, "Print"},
    {ColorTemplate::Primary, PictureTemplate::Gear, "Gear"},
    {ColorTemplate::Primary, PictureTemplate::Menu, "Menu"},
    {ColorTemplate::Heart, PictureTemplate::Heart, "Heart"},
    {ColorTemplate::Light, PictureTemplate::Email, "Email"},
    {ColorTemplate::Success, PictureTemplate::Insert, "Insert"},
    {ColorTemplate::Light, PictureTemplate::Back, "Back"},
    {ColorTemplate::Danger, PictureTemplate::Close, "Close"},
    {ColorTemplate::Primary, PictureTemplate::Report, "Report"},
}};
// clang-format on

constexpr std::uint16_t kTemplateWidth = 90, kTemplateHeight = 32;

// Constant answers, common to every colour template.
class PenConfiguration final : public iVltPenConfigurationCommon {
 public:
  TPenStyle GetPenStyle() const override { return TPenStyle::psClear; }
  TPenStyle GetPenFocusedStyle() const override { return TPenStyle::psClear; }
  TPenStyle GetPenDisabledStyle() const override { return TPenStyle::psClear; }
  TPenStyle GetPenDownStyle() const override { return TPenStyle::psSolid; }
  std::uint16_t GetPenDownWidth() const override { return 3; }
};

class FontConfiguration final : public iVltFontConfigurationCommon {
 public:
  explicit FontConfiguration(const ColorRow& row) {
    for (FontDesc* f : {&font_, &down_, &focused_, &disabled_}) {
      f->name = "Tahoma";
      f->size = 10;
      f->bold = true;
      f->color = row.font;
    }
    disabled_.color = row.font_disabled;
  }
  const FontDesc& Font() const override { return font_; }
  const FontDesc& FontDown() const override { return down_; }
  const FontDesc& FontFocused() const override { return focused_; }
  const FontDesc& FontDisabled() const override { return disabled_; }

 private:
  FontDesc font_, down_, focused_, disabled_;
};

class ButtonStyleTemplate final : public iVltButtonStyleTemplate {
 public:
  explicit ButtonStyleTemplate(const ColorRow& row) : row_(row), fonts_(row) {}
  ColorValue BrushColor() const override { return row_.brush; }
  ColorValue BrushFocusedColor() const override { return row_.brush_focused; }
  ColorValue BrushDownColor() const override { return row_.brush_down; }
  ColorValue PenDownColor() const override { return row_.pen_down; }
  const iVltPenConfigurationCommon& PenConfigurationCommon() const override { return pens_; }
  const iVltFontConfigurationCommon& FontConfigurationCommon() const override { return fonts_; }
  ColorValue BrushDisabledColor() const override { return row_.brush_disabled; }
  std::uint16_t SizeWidth() const override { return kTemplateWidth; }
  std::uint16_t SizeHeight() const override { return kTemplateHeight; }

 private:
  ColorRow row_;
  PenConfiguration pens_;
  FontConfiguration fonts_;
};

class ButtonStyleTemplateType final : public iVltButtonStyleTemplateType {
 public:
  explicit ButtonStyleTemplateType(const PictureRow& row) : row_(row) {}
  PictureRef Picture() const override { return {std::string(row_.picture)}; }
  PictureRef PictureFocused() const override { return {std::string(row_.picture)}; }
  PictureRef PictureStyleOutline() const override { return {std::string(row_.outline)}; }
  PictureRef PictureFocusedStyleOutline() const override {
    return {std::string(row_.focused_outline)};
  }
  PictureRef PictureDisabled() const override { return {std::string(row_.disabled)}; }
  std::uint16_t SizeWidth() const override { return kTemplateWidth; }
  std::uint16_t SizeHeight() const override { return kTemplateHeight; }

 private:
  PictureRow row_;
};

constexpr auto kPictureNames = [] {
  std::array<std::string_view, kPictureRows.size() * 4> names{};
  std::size_t n = 0;
  for (const PictureRow& r : kPictureRows) {
    for (std::string_view name : {r.picture, r.outline, r.focused_outline, r.disabled}) {
      bool seen = false;
      for (std::size_t i = 0; i < n; ++i) seen = seen || names[i] == name;
      if (!seen) names[n++] = name;
    }
  }
  return std::pair{names, n};
}();

}  // namespace

std::shared_ptr<iVltButtonStyleTemplate> NewColorTemplate(ColorTemplate which) {
  return std::make_shared<ButtonStyleTemplate>(kColorRows.at(static_cast<std::size_t>(which)));
}

std::shared_ptr<iVltButtonStyleTemplateType> NewPictureTemplate(PictureTemplate which) {
  return std::make_shared<ButtonStyleTemplateType>(
      kPictureRows.at(static_cast<std::size_t>(which)));
}

TemplateStyleEntry TemplateOf(TTemplateStyle style) {
  if (style == TTemplateStyle::tsNone) throw std::invalid_argument("tsNone names no template");
  return kTemplateStyles.at(static_cast<std::size_t>(style) - 1);
}

ColorTemplate ColorTemplateOf(TVltButtonStyleStyle style) {
  if (style == TVltButtonStyleStyle::bsCustom) {
    throw std::invalid_argument("bsCustom names no template");
  }
  // bsPrimary .. bsDark follow ColorTemplate's order.
  return static_cast<ColorTemplate>(static_cast<int>(style) - 1);
}

std::span<const std::string_view> TemplatePictureNames() {
  return {kPictureNames.first.data(), kPictureNames.second};
}

}  // namespace vlt::controls
