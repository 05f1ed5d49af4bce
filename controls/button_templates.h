#pragma once
// The styled button's templates: colour templates (fills, outline styles, fonts and a size)
// and picture templates (the named images of each look and a size), as reference-counted
// objects behind their interfaces, and the tables that say which template a TemplateStyle or
// a Style names.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "controls/arc_geometry.h"

namespace vlt::controls {

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };

struct FontDesc {
  std::string name = "Tahoma";
  int size = 8;  // points
  bool bold = false;
  ColorValue color = 0;
  bool operator==(const FontDesc&) const = default;
};

class iVltPenConfigurationCommon {
 public:
  virtual ~iVltPenConfigurationCommon() = default;
  virtual TPenStyle GetPenStyle() const = 0;
  virtual TPenStyle GetPenFocusedStyle() const = 0;
  virtual TPenStyle GetPenDisabledStyle() const = 0;
  virtual TPenStyle GetPenDownStyle() const = 0;
  virtual std::uint16_t GetPenDownWidth() const = 0;
};

class iVltFontConfigurationCommon {
 public:
  virtual ~iVltFontConfigurationCommon() = default;
  virtual const FontDesc& Font() const = 0;
  virtual const FontDesc& FontDown() const = 0;
  virtual const FontDesc& FontFocused() const = 0;
  virtual const FontDesc& FontDisabled() const = 0;
};

class iVltButtonStyleTemplate {
 public:
  virtual ~iVltButtonStyleTemplate() = default;
  virtual ColorValue BrushColor() const = 0;
  virtual ColorValue BrushFocusedColor() const = 0;
  virtual ColorValue BrushDownColor() const = 0;
  virtual ColorValue PenDownColor() const = 0;
  virtual const iVltPenConfigurationCommon& PenConfigurationCommon() const = 0;
  virtual const iVltFontConfigurationCommon& FontConfigurationCommon() const = 0;
  virtual ColorValue BrushDisabledColor() const = 0;
  virtual std::uint16_t SizeWidth() const = 0;
  virtual std::uint16_t SizeHeight() const = 0;
};

// A picture as the button keeps it: the name of a PNG image among the program's resources;
// empty when the picture holds no graphic.
struct PictureRef {
  std::string resource;
  bool Empty() const { return resource.empty(); }
  bool operator==(const PictureRef&) const = default;
};

class iVltButtonStyleTemplateType {
 public:
  virtual ~iVltButtonStyleTemplateType() = default;
  virtual PictureRef Picture() const = 0;
  virtual PictureRef PictureFocused() const = 0;
  virtual PictureRef PictureStyleOutline() const = 0;
  virtual PictureRef PictureFocusedStyleOutline() const = 0;
  virtual PictureRef PictureDisabled() const = 0;
  virtual std::uint16_t SizeWidth() const = 0;
  virtual std::uint16_t SizeHeight() const = 0;
};

enum class TVltButtonStyleStyle {
  bsCustom,
  bsPrimary,
  bsSecondary,
  bsSuccess,
  bsDanger,
  bsWarning,
  bsInfo,
  bsLight,
  bsDark
};
enum class TTemplateStyle {
  tsNone,
  tsSave,
  tsCancel,
  tsEdit,
  tsDelete,
  tsPrint,
  tsGear,
  tsMenu,
  tsHeart,
  tsEmail,
  tsInsert,
  tsBack,
  tsClose,
  tsReport
};

enum class ColorTemplate { Primary, Secondary, Success, Danger, Warning, Info, Light, Dark, Heart };
enum class PictureTemplate {
  Save,
  Cancel,
  Edit,
  Delete,
  Print,
  Gear,
  Menu,
  Heart,
  Email,
  Insert,
  Back,
  Close,
  Report
};

std::shared_ptr<iVltButtonStyleTemplate> NewColorTemplate(ColorTemplate which);
std::shared_ptr<iVltButtonStyleTemplateType> NewPictureTemplate(PictureTemplate which);

// What a TemplateStyle other than tsNone combines.
struct TemplateStyleEntry {
  ColorTemplate colors;
  PictureTemplate pictures;
  std::string_view caption;
};
TemplateStyleEntry TemplateOf(TTemplateStyle style);        // not for tsNone
ColorTemplate ColorTemplateOf(TVltButtonStyleStyle style);  // not for bsCustom

// Every image name a picture template can ask for, for the resources to ship.
std::span<const std::string_view> TemplatePictureNames();

}  // namespace vlt::controls
