#include "controls/button_layout.h"

#include <algorithm>

namespace vlt::controls {

ButtonLook SelectLook(const ButtonState& s) {
  if (!s.enabled) return ButtonLook::Disabled;
  if (s.down) return ButtonLook::Down;
  if (s.hot) return ButtonLook::Focused;
  return ButtonLook::Normal;
}

ButtonPicture SelectPicture(const ButtonState& s) {
  if (!s.enabled) {
    return s.has_picture_disabled ? ButtonPicture::PictureDisabled : ButtonPicture::Picture;
  }
  if (s.hot && s.has_picture_focused) return ButtonPicture::PictureFocused;
  return ButtonPicture::Picture;
}

ButtonLayout ComputeButtonLayout(const ButtonLayoutInput& in) {
  ButtonLayout out;
  // A 2-pixel outline on rounded corners looks heavier than on straight ones.
  out.pen_width =
      in.shape == TVltButtonStyleType::stRoundRect && in.pen_width == 2 ? 1 : in.pen_width;
  const int w = out.pen_width;
  if (w == 0) {
    out.box = {0, 0, in.width, in.height};
  } else {
    const int o = w / 2;
    out.box = {o, o, o + in.width - w + 1, o + in.height - w + 1};
  }
  // Clear of the outline by two pixels (three where corners are rounded), so that the ring is
  // seen as a ring of its own and not as a thicker outline.
  const int inset = std::max(w, 1) + (in.shape == TVltButtonStyleType::stRoundRect ? 3 : 2);
  if (out.box.Width() > 2 * inset + 4 && out.box.Height() > 2 * inset + 4)
    out.focus = {out.box.left + inset, out.box.top + inset, out.box.right - inset,
                 out.box.bottom - inset};

  const int max_w = in.max_picture_width, max_h = in.max_picture_height;
  const int th = in.text_height;
  out.picture_x = in.any_picture ? in.picture_margin_left : 0;
  if ((in.picture_center && in.caption_empty) || in.layout != TPictureLayout::plGraphicCenter) {
    out.picture_x = (in.width - max_w) / 2;
  }
  const int t = in.height - max_h;
  switch (in.layout) {
    case TPictureLayout::plGraphicCenter:
      out.picture_y = t / 2;
      break;
    case TPictureLayout::plGraphicBottom:
      out.picture_y = (t + th) / 2;
      break;
    case TPictureLayout::plGraphicTop:
      out.picture_y = (t - th) / 2;
      break;
  }

  if (in.alignment == TVltAlignment::paCenter) {
    if (in.centre_with_picture && in.layout == TPictureLayout::plGraphicCenter) {
      out.caption_x = (in.width - max_w - in.picture_margin_left) / 2;
    } else {
      out.caption_x = (in.width - in.text_width) / 2;
    }
  } else {
    out.caption_x = max_w + in.picture_margin_left + (in.any_picture ? in.spacing : 0);
  }
  const int t2 = in.height - th;
  switch (in.layout) {
    case TPictureLayout::plGraphicCenter:
      out.caption_y = t2 / 2;
      break;
    case TPictureLayout::plGraphicBottom:
      out.caption_y = (t2 - max_h) / 2 - 2 + in.spacing;
      break;
    case TPictureLayout::plGraphicTop:
      out.caption_y = (t2 + max_h) / 2 - 2 + in.spacing;
      break;
  }
  return out;
}

int ScaleToPpi(int value, int ppi) {
  const long long scaled = static_cast<long long>(value) * ppi;
  return static_cast<int>((scaled + (scaled >= 0 ? 48 : -48)) / 96);
}

bool CaptionDrawn(bool show_caption, std::string_view caption) {
  if (!show_caption) return false;
  for (unsigned char c : caption) {
    if (c > ' ') return true;
  }
  return false;
}

}  // namespace vlt::controls
