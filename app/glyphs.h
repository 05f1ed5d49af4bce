#pragma once
// The window's painted decorations: cards, the header band and the small pictures.
#include <windows.h>

#include "installer/wizard_layout.h"

namespace vlt::app {

void DrawCard(HDC dc, const RECT& r, COLORREF fill, COLORREF border, int radius);
void DrawHeader(HDC dc, const RECT& r, COLORREF fill, COLORREF accent, int accent_height);
void DrawGlyph(HDC dc, const RECT& r, Glyph glyph, COLORREF accent);
void DrawFolder(HDC dc, const RECT& r);

}  // namespace vlt::app
