#include "app/glyphs.h"

#include "platform/win_gdi.h"

namespace vlt::app {
namespace {

using platform::SelectScope;
using platform::UniqueGdiObject;

// Fractions of the glyph box, so that the pictures scale with the window.
int At(const RECT& r, int per_mille_x) {
  return r.left + (r.right - r.left) * per_mille_x / 1000;
}
int Down(const RECT& r, int per_mille_y) {
  return r.top + (r.bottom - r.top) * per_mille_y / 1000;
}

void FillShape(HDC dc, COLORREF fill, COLORREF line, auto&& draw) {
  UniqueGdiObject brush(CreateSolidBrush(fill));
  UniqueGdiObject pen(CreatePen(PS_SOLID, 1, line));
  SelectScope b(dc, brush.Get());
  SelectScope p(dc, pen.Get());
  draw();
}

}  // namespace

void DrawCard(HDC dc, const RECT& r, COLORREF fill, COLORREF border, int radius) {
  FillShape(dc, fill, border,
            [&] { RoundRect(dc, r.left, r.top, r.right, r.bottom, radius, radius); });
}

void DrawHeader(HDC dc, const RECT& r, COLORREF fill, COLORREF accent, int accent_height) {
  UniqueGdiObject band(CreateSolidBrush(fill));
  FillRect(dc, &r, static_cast<HBRUSH>(band.Get()));
  UniqueGdiObject line(CreateSolidBrush(accent));
  const RECT bottom{r.left, r.bottom - accent_height, r.right, r.bottom};
  FillRect(dc, &bottom, static_cast<HBRUSH>(line.Get()));
}

void DrawGlyph(HDC dc, const RECT& r, Glyph glyph, COLORREF accent) {
  const COLORREF body = RGB(255, 255, 255);
  const COLORREF outline = RGB(60, 66, 74);
  if (glyph == Glyph::Store) {
    // A shop front: striped awning over a building with a door.
    FillShape(dc, body, outline,
              [&] { Rectangle(dc, At(r, 150), Down(r, 380), At(r, 850), Down(r, 900)); });
    FillShape(dc, accent, outline,
              [&] { Rectangle(dc, At(r, 100), Down(r, 150), At(r, 900), Down(r, 400)); });
    FillShape(dc, body, outline, [&] {
      for (int i = 0; i < 4; i += 2) {
        Rectangle(dc, At(r, 100 + 200 * i + 200), Down(r, 150), At(r, 100 + 200 * i + 400),
                  Down(r, 400));
      }
    });
    FillShape(dc, outline, outline,
              [&] { Rectangle(dc, At(r, 420), Down(r, 600), At(r, 580), Down(r, 900)); });
  } else if (glyph == Glyph::Terminal) {
    // A point-of-sale terminal: a screen on a stand.
    FillShape(dc, outline, outline,
              [&] { RoundRect(dc, At(r, 120), Down(r, 120), At(r, 880), Down(r, 660), 6, 6); });
    FillShape(dc, accent, accent,
              [&] { Rectangle(dc, At(r, 190), Down(r, 190), At(r, 810), Down(r, 590)); });
    FillShape(dc, outline, outline, [&] {
      Rectangle(dc, At(r, 440), Down(r, 660), At(r, 560), Down(r, 800));
      RoundRect(dc, At(r, 280), Down(r, 800), At(r, 720), Down(r, 880), 4, 4);
    });
  }
}

void DrawFolder(HDC dc, const RECT& r) {
  const COLORREF back = RGB(230, 170, 40);
  const COLORREF front = RGB(250, 200, 70);
  const COLORREF line = RGB(180, 125, 20);
  FillShape(dc, back, line, [&] {
    const POINT tab[] = {{At(r, 80), Down(r, 200)},  {At(r, 400), Down(r, 200)},
                         {At(r, 480), Down(r, 300)}, {At(r, 920), Down(r, 300)},
                         {At(r, 920), Down(r, 850)}, {At(r, 80), Down(r, 850)}};
    Polygon(dc, tab, 6);
  });
  FillShape(dc, front, line, [&] {
    const POINT body[] = {{At(r, 80), Down(r, 850)},
                          {At(r, 180), Down(r, 420)},
                          {At(r, 980), Down(r, 420)},
                          {At(r, 920), Down(r, 850)}};
    Polygon(dc, body, 4);
  });
}

}  // namespace vlt::app
