// The styled button without a window: look selection, layout arithmetic, and the template
// setters with their reset and reading guards.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "controls/button_appearance.h"
#include "controls/button_layout.h"
#include "controls/button_templates.h"

namespace vlt::controls {
namespace {

TEST(ButtonLookTest, FirstMatchingLookWins) {
  struct Case {
    ButtonState state;
    ButtonLook look;
    ButtonPicture picture;
  };
  using L = ButtonLook;
  using P = ButtonPicture;
  // enabled, down, hot, picture, focused picture, disabled picture
  const Case cases[] = {
      {{true, false, false, true, true, true}, L::Normal, P::Picture},
      {{true, false, true, true, true, true}, L::Focused, P::PictureFocused},
      {{true, false, true, true, false, true}, L::Focused, P::Picture},
      // Pressed over it: the down pen, brush and font, but the focused picture.
      {{true, true, true, true, true, true}, L::Down, P::PictureFocused},
      {{true, true, false, true, true, true}, L::Down, P::Picture},
      // Disabled beats hover and press; without its own picture it shows Picture.
      {{false, true, true, true, true, true}, L::Disabled, P::PictureDisabled},
      {{false, false, true, true, true, false}, L::Disabled, P::Picture},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SelectLook(c.state), c.look);
    EXPECT_EQ(SelectPicture(c.state), c.picture);
  }
}

TEST(ButtonLayoutTest, OutlineBox) {
  struct Case {
    TVltButtonStyleType shape;
    int pen_width, drawn_width;
    Box box;
  };
  using S = TVltButtonStyleType;
  const Case cases[] = {
      {S::stRoundRect, 0, 0, {0, 0, 127, 64}}, {S::stRoundRect, 1, 1, {0, 0, 127, 64}},
      {S::stRoundRect, 2, 1, {0, 0, 127, 64}}, {S::stRectangle, 2, 2, {1, 1, 127, 64}},
      {S::stRoundRect, 3, 3, {1, 1, 126, 63}}, {S::stRectangle, 3, 3, {1, 1, 126, 63}},
  };
  for (const Case& c : cases) {
    ButtonLayoutInput in;
    in.width = 127;
    in.height = 64;
    in.shape = c.shape;
    in.pen_width = c.pen_width;
    const ButtonLayout out = ComputeButtonLayout(in);
    EXPECT_EQ(out.pen_width, c.drawn_width) << c.pen_width;
    EXPECT_EQ(out.box, c.box) << c.pen_width;
  }
}

ButtonLayoutInput PageButton() {
  ButtonLayoutInput in;
  in.width = 127;
  in.height = 64;
  in.max_picture_width = 24;
  in.max_picture_height = 24;
  in.any_picture = true;
  in.centre_with_picture = true;
  in.caption_empty = false;
  in.text_width = 60;
  in.text_height = 21;
  in.layout = TPictureLayout::plGraphicTop;
  return in;
}

TEST(ButtonLayoutTest, PictureAndCaptionPositions) {
  struct Case {
    const char* what;
    ButtonLayoutInput in;
    int picture_x, picture_y, caption_x, caption_y;
  };
  auto with = [](auto change) {
    ButtonLayoutInput in = PageButton();
    change(in);
    return in;
  };
  using PL = TPictureLayout;
  const Case cases[] = {
      {"the wizard's page button", PageButton(), 51, 9, 33, 34},
      {"picture below", with([](auto& i) { i.layout = PL::plGraphicBottom; }), 51, 30, 33, 10},
      // Centred layout: the picture at the margin, the caption beside it.
      {"centre", with([](auto& i) { i.layout = PL::plGraphicCenter; }), 3, 20, 50, 21},
      // PictureCenter with a caption keeps the picture at the margin.
      {"centre with caption", with([](auto& i) {
         i.layout = PL::plGraphicCenter;
         i.picture_center = true;
       }),
       3, 20, 50, 21},
      {"centre without caption", with([](auto& i) {
         i.layout = PL::plGraphicCenter;
         i.picture_center = true;
         i.caption_empty = true;
       }),
       51, 20, 50, 21},
      {"left justified", with([](auto& i) { i.alignment = TVltAlignment::paLeftJustify; }), 51, 9,
       30, 34},
      // No picture at all: left justified starts at the margin.
      {"no picture", with([](auto& i) {
         i = ButtonLayoutInput{};
         i.width = 127;
         i.height = 64;
         i.text_height = 21;
         i.alignment = TVltAlignment::paLeftJustify;
       }),
       0, 32, 3, 21},
  };
  for (const Case& c : cases) {
    const ButtonLayout out = ComputeButtonLayout(c.in);
    EXPECT_EQ(out.picture_x, c.picture_x) << c.what;
    EXPECT_EQ(out.picture_y, c.picture_y) << c.what;
    EXPECT_EQ(out.caption_x, c.caption_x) << c.what;
    EXPECT_EQ(out.caption_y, c.caption_y) << c.what;
  }
}

// The focus ring lies inside the outline, clear of it, on every shape; a button too small to
// hold one gets none rather than a ring over its caption.
TEST(ButtonLayoutTest, TheFocusRingLiesInsideTheOutline) {
  const struct {
    TVltButtonStyleType shape;
    int pen_width, width, height;
    Box focus;
  } cases[] = {
      {TVltButtonStyleType::stRectangle, 1, 127, 33, {3, 3, 124, 30}},
      {TVltButtonStyleType::stRoundRect, 1, 127, 33, {4, 4, 123, 29}},
      {TVltButtonStyleType::stRectangle, 3, 100, 40, {6, 6, 94, 34}},
      {TVltButtonStyleType::stRectangle, 0, 100, 40, {3, 3, 97, 37}},
      {TVltButtonStyleType::stRectangle, 1, 9, 9, {}},
  };
  for (const auto& c : cases) {
    ButtonLayoutInput in;
    in.shape = c.shape;
    in.pen_width = c.pen_width;
    in.width = c.width;
    in.height = c.height;
    const ButtonLayout out = ComputeButtonLayout(in);
    EXPECT_EQ(out.focus, c.focus) << c.width << "x" << c.height << " pen " << c.pen_width;
  }
}

TEST(ButtonLayoutTest, BlankCaptionsAreNotDrawn) {
  EXPECT_FALSE(CaptionDrawn(true, ""));
  EXPECT_FALSE(CaptionDrawn(true, "   \t"));
  EXPECT_TRUE(CaptionDrawn(true, "  Voltar "));
  EXPECT_FALSE(CaptionDrawn(false, "Voltar"));
}

TEST(ButtonTemplateTest, ColourTemplatesCarryTheirTable) {
  struct Case {
    ColorTemplate which;
    ColorValue brush, focused, down, pen_down, disabled, font, font_disabled;
  };
  using C = ColorTemplate;
  const Case cases[] = {
      {C::Primary, 16674604, 14180132, 14180132, 16758677, 16755034, 16777215, 16773346},
      {C::Secondary, 8222060, 6840922, 6840922, 12499381, 11446434, 16777215, 16773346},
      {C::Success, 4565545, 3705378, 3705378, 10671252, 16773346, 16777215, 16773346},
      {C::Danger, 4667354, 3548870, 3548870, 10722284, 11117294, 16777215, 16773346},
      {C::Warning, 1492476, 1027294, 1027294, 9102078, 8773886, 16777215, 9737364},
      {C::Info, 12099623, 9929760, 9929760, 14405779, 14864506, 16777215, 16773346},
      {C::Light, 16447992, 15394530, 15065306, 15065306, 13551035, 0, 16773346},
      {C::Dark, 4209204, 2828067, 2828067, 10460313, 9734010, 16777215, 16773346},
      {C::Heart, 12099623, 9929760, 9929760, 14405779, 14864506, 16777215, 16773346},
  };
  for (const Case& c : cases) {
    const auto t = NewColorTemplate(c.which);
    SCOPED_TRACE(static_cast<int>(c.which));
    EXPECT_EQ(t->BrushColor(), c.brush);
    EXPECT_EQ(t->BrushFocusedColor(), c.focused);
    EXPECT_EQ(t->BrushDownColor(), c.down);
    EXPECT_EQ(t->PenDownColor(), c.pen_down);
    EXPECT_EQ(t->BrushDisabledColor(), c.disabled);
    const iVltFontConfigurationCommon& fonts = t->FontConfigurationCommon();
    for (const FontDesc* f : {&fonts.Font(), &fonts.FontFocused(), &fonts.FontDown()}) {
      EXPECT_EQ(*f, (FontDesc{"Tahoma", 10, true, c.font}));
    }
    EXPECT_EQ(fonts.FontDisabled(), (FontDesc{"Tahoma", 10, true, c.font_disabled}));
    EXPECT_EQ(t->PenConfigurationCommon().GetPenStyle(), TPenStyle::psClear);
    EXPECT_EQ(t->PenConfigurationCommon().GetPenDownStyle(), TPenStyle::psSolid);
    EXPECT_EQ(t->PenConfigurationCommon().GetPenDownWidth(), 3);
    EXPECT_EQ(t->SizeWidth(), 90);
    EXPECT_EQ(t->SizeHeight(), 32);
  }
}

TEST(ButtonTemplateTest, PictureTemplatesNameTheirImages) {
  const auto email = NewPictureTemplate(PictureTemplate::Email);
  EXPECT_EQ(email->Picture().resource, "PICTURE_EMAIL_GRAY");
  EXPECT_EQ(email->PictureFocused().resource, "PICTURE_EMAIL_GRAY");
  EXPECT_EQ(email->PictureStyleOutline().resource, "PICTURE_EMAIL_WHITE");
  EXPECT_EQ(email->PictureDisabled().resource, "PICTURE_EMAIL_GRAY");
  EXPECT_EQ(NewPictureTemplate(PictureTemplate::Edit)->PictureStyleOutline().resource,
            "PICTURE_EDIT_YELOOW");
  EXPECT_EQ(NewPictureTemplate(PictureTemplate::Edit)->PictureDisabled().resource,
            "PICTURE_EDIT_DISABLED");
  // Each name once; every white, coloured and outline variant is there.
  const auto names = TemplatePictureNames();
  EXPECT_EQ(std::set<std::string_view>(names.begin(), names.end()).size(), names.size());
  EXPECT_EQ(names.size(), 27u);
}

TEST(ButtonTemplateTest, TemplateStyleOnAFreshButton) {
  ButtonStyleModel b;
  b.SetTemplateStyle(TTemplateStyle::tsSave);
  const ButtonAppearance& a = b.Appearance();
  EXPECT_EQ(a.brush.color, 4565545u);
  EXPECT_EQ(a.brush_focused.color, 3705378u);
  EXPECT_EQ(a.brush_down.color, 3705378u);
  EXPECT_EQ(a.pen_down, (PenDesc{10671252, TPenStyle::psSolid, 3}));
  EXPECT_EQ(a.pen.style, TPenStyle::psClear);
  EXPECT_EQ(a.font, (FontDesc{"Tahoma", 10, true, 16777215}));
  EXPECT_EQ(a.caption, "Save");
  EXPECT_EQ(a.alignment, TVltAlignment::paLeftJustify);
  EXPECT_EQ(a.width, 90);
  EXPECT_EQ(a.height, 32);
  EXPECT_EQ(a.picture.resource, "PICTURE_SAVE_WHITE");
  EXPECT_EQ(a.picture_focused.resource, "PICTURE_SAVE_WHITE");
  EXPECT_EQ(a.picture_disabled.resource, "PICTURE_SAVE_WHITE");
}

TEST(ButtonTemplateTest, StyleResetsATemplateFirst) {
  ButtonStyleModel b;
  b.SetTemplateStyle(TTemplateStyle::tsSave);
  b.SetStyle(TVltButtonStyleStyle::bsPrimary);
  const ButtonAppearance& a = b.Appearance();
  EXPECT_EQ(b.TemplateStyle(), TTemplateStyle::tsNone);
  EXPECT_EQ(b.Style(), TVltButtonStyleStyle::bsPrimary);
  EXPECT_TRUE(a.picture.Empty());
  EXPECT_EQ(a.caption, "Save");  // kept through the reset
  EXPECT_EQ(a.alignment, TVltAlignment::paCenter);
  EXPECT_EQ(a.brush.color, 16674604u);
  EXPECT_EQ(a.width, 90);
  EXPECT_EQ(a.height, 32);

  // And the other way round: a template after a style.
  b.SetTemplateStyle(TTemplateStyle::tsClose);
  EXPECT_EQ(b.Style(), TVltButtonStyleStyle::bsCustom);
  EXPECT_EQ(b.TemplateStyle(), TTemplateStyle::tsClose);
  EXPECT_EQ(b.Appearance().brush.color, 4667354u);
  EXPECT_EQ(b.Appearance().picture.resource, "PICTURE_CLOSE_WHITE");
}

// A template's 90 x 32 is at 96 pixels per inch: the button grows with the density as the
// template's 10-point fonts do, and so do its 24-pixel pictures.
TEST(ButtonTemplateTest, TemplateSizesGrowWithTheDensity) {
  struct Case {
    int ppi, width, height, picture;
  };
  const Case cases[] = {
      {96, 90, 32, 24}, {120, 113, 40, 30}, {144, 135, 48, 36}, {192, 180, 64, 48}};
  for (const Case& c : cases) {
    ButtonStyleModel templated, styled;
    templated.SetPixelsPerInch(c.ppi);
    styled.SetPixelsPerInch(c.ppi);
    templated.SetTemplateStyle(TTemplateStyle::tsSave);
    styled.SetStyle(TVltButtonStyleStyle::bsDanger);
    for (const ButtonStyleModel* b : {&templated, &styled}) {
      EXPECT_EQ(b->Appearance().width, c.width) << c.ppi;
      EXPECT_EQ(b->Appearance().height, c.height) << c.ppi;
    }
    EXPECT_EQ(ScaleToPpi(24, c.ppi), c.picture) << c.ppi;
  }
}

TEST(ButtonTemplateTest, OutlineSwapsTheNormalLookOnly) {
  ButtonStyleModel b;
  b.SetStyle(TVltButtonStyleStyle::bsDanger);
  b.SetStyleOutline(true);
  const ButtonAppearance& a = b.Appearance();
  EXPECT_EQ(a.brush.color, 16777215u);
  EXPECT_EQ(a.font.color, 4667354u);
  EXPECT_EQ(a.pen, (PenDesc{4667354, TPenStyle::psSolid, 1}));
  EXPECT_EQ(a.brush_focused.color, 3548870u);
  EXPECT_EQ(a.brush_down.color, 3548870u);

  // With a template, the outline pictures as well.
  ButtonStyleModel t;
  t.SetTemplateStyle(TTemplateStyle::tsSave);
  t.SetStyleOutline(true);
  EXPECT_EQ(t.Appearance().picture.resource, "PICTURE_SAVE_GREEN");
  EXPECT_EQ(t.Appearance().brush.color, 16777215u);
  EXPECT_EQ(t.Appearance().font.color, 4565545u);
}

TEST(ButtonTemplateTest, ATemplateReadWithTheFormIsOnlyRecorded) {
  ButtonStyleModel b;
  b.SetReading(true);
  b.Appearance().brush.color = 0x800080;
  b.Appearance().caption = "Instalar";
  b.SetTemplateStyle(TTemplateStyle::tsInsert);
  b.SetReading(false);
  EXPECT_EQ(b.TemplateStyle(), TTemplateStyle::tsInsert);
  EXPECT_EQ(b.Appearance().brush.color, 0x800080u);
  EXPECT_EQ(b.Appearance().caption, "Instalar");
  EXPECT_TRUE(b.Appearance().picture.Empty());
  EXPECT_EQ(b.PictureTemplateInUse(), nullptr);
}

TEST(ButtonTemplateTest, CustomStyleOnAPlainButtonChangesNothing) {
  ButtonStyleModel b;
  b.Appearance().brush.color = 123;
  b.Appearance().radius = 0;
  b.SetStyle(TVltButtonStyleStyle::bsCustom);
  EXPECT_EQ(b.Appearance().brush.color, 123u);
  EXPECT_EQ(b.Appearance().radius, 0);
}

TEST(ButtonAppearanceTest, ResetCopyOfFontMarginAndAssign) {
  ButtonStyleModel b;
  EXPECT_EQ(b.Appearance().font.name, "Tahoma");
  EXPECT_EQ(b.Appearance().brush_disabled.color, 16777215u);
  b.SetPictureMarginLeft(-1);
  EXPECT_EQ(b.Appearance().picture_margin_left, 3);
  b.SetPictureMarginLeft(8);
  EXPECT_EQ(b.Appearance().picture_margin_left, 8);

  b.Appearance().font.color = 0xFFFFFF;
  b.SetCopyOfFont(ButtonLook::Down, true);
  EXPECT_EQ(b.Appearance().font_down.color, 0xFFFFFFu);
  b.Appearance().font.color = 0x123456;  // no lasting link
  EXPECT_EQ(b.Appearance().font_down.color, 0xFFFFFFu);
  b.SetCopyOfFont(ButtonLook::Down, false);
  EXPECT_EQ(b.Appearance().font_down.color, 0xFFFFFFu);

  ButtonStyleModel other;
  other.Appearance().brush.color = 1;
  other.Appearance().brush_down.color = 2;
  other.Appearance().radius = 0;
  other.Appearance().caption = "Outro";
  b.Assign(other);
  EXPECT_EQ(b.Appearance().brush.color, 1u);
  EXPECT_EQ(b.Appearance().brush_down.color, 16777215u);  // not handed over
  EXPECT_EQ(b.Appearance().radius, 0);
  EXPECT_EQ(b.Appearance().caption, "");
}

}  // namespace
}  // namespace vlt::controls
