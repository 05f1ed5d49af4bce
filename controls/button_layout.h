#pragma once
// What a styled button draws, computed without a window: which of its four looks applies and
// where its outline, picture and caption go.
#include <string_view>

#include "controls/arc_geometry.h"

namespace vlt::controls {

// Enumerations in the order of the stored form.
enum class TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };
enum class TVltAlignment { paLeftJustify, paCenter };
enum class TVltButtonStyleType { stRoundRect, stRectangle };
enum class TPictureLayout { plGraphicCenter, plGraphicBottom, plGraphicTop };

// The pen, brush and font of a look.
enum class ButtonLook { Normal, Focused, Down, Disabled };
// The picture drawn.
enum class ButtonPicture { Picture, PictureFocused, PictureDisabled };

struct ButtonState {
  bool enabled = true;
  bool down = false;                  // FState = bsDown
  bool hot = false;                   // the mouse is over it, or its proxy has the focus
  bool has_picture = false;           // Picture holds a graphic
  bool has_picture_focused = false;   // PictureFocused holds one
  bool has_picture_disabled = false;  // PictureDisabled holds one
};
ButtonLook SelectLook(const ButtonState& s);
// The picture of the look; the down look has none of its own.
ButtonPicture SelectPicture(const ButtonState& s);

struct ButtonLayoutInput {
  int width = 75, height = 25;
  TVltButtonStyleType shape = TVltButtonStyleType::stRoundRect;
  int pen_width = 1;          // of the chosen look
  int max_picture_width = 0;  // largest of the three pictures, 0 when empty
  int max_picture_height = 0;
  bool any_picture = false;          // one of the three holds a graphic
  bool centre_with_picture = false;  // Picture, or PictureFocused when hot, holds a graphic
  bool picture_center = false;
  bool caption_empty = true;            // the raw caption
  int text_width = 0, text_height = 0;  // of the raw caption in the look's font
  TPictureLayout layout = TPictureLayout::plGraphicCenter;
  TVltAlignment alignment = TVltAlignment::paCenter;
  int picture_margin_left = 3;
  int spacing = 3;
};
struct ButtonLayout {
  int pen_width = 1;  // what the outline is drawn with
  Box box;            // the outline's rectangle
  // The keyboard focus ring: inside the outline, clear of it; empty when the button is too
  // small to hold one.
  Box focus;
  int picture_x = 0, picture_y = 0;
  int caption_x = 0, caption_y = 0;
};
ButtonLayout ComputeButtonLayout(const ButtonLayoutInput& in);

// A length given at 96 pixels per inch (a template's size, a picture's) at `ppi`, rounded to
// the nearest pixel.
int ScaleToPpi(int value, int ppi);

// Whether the caption is drawn: shown and not blanks only.
bool CaptionDrawn(bool show_caption, std::string_view caption);

}  // namespace vlt::controls
