#include "controls/gdiplus_api.h"

namespace vlt::controls {
namespace {

const GdiplusApi* g_api = nullptr;

// Smoothing mode 2: high quality (anti-aliased).
constexpr auto kHighQuality = static_cast<Gdiplus::SmoothingMode>(2);

// One graphics object and pen per drawing call, both deleted also when drawing fails.
template <typename Draw>
bool WithPen(HDC dc, Gdiplus::ARGB color, float width, Draw draw) {
  const GdiplusApi* api = Gdiplus();
  if (api == nullptr) return false;
  UniqueGpGraphics graphics;
  if (api->GdipCreateFromHDC(dc, graphics.Put()) != Gdiplus::Ok) return false;
  if (api->GdipSetSmoothingMode(graphics.Get(), kHighQuality) != Gdiplus::Ok) return false;
  UniqueGpPen pen;
  if (api->GdipCreatePen1(color, width, Gdiplus::UnitWorld, pen.Put()) != Gdiplus::Ok) {
    return false;
  }
  return draw(*api, graphics.Get(), pen.Get()) == Gdiplus::Ok;
}

}  // namespace

GdiplusSession::GdiplusSession() {
  if (g_api != nullptr) {
    error_ = "GDI+ is already started";
    return;
  }
  if (!library_.Load("gdiplus.dll")) {
    error_ = library_.ErrorText();
    return;
  }
  Gdiplus::GdiplusStartupInput input;
  if (library_.Api().GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) {
    token_ = 0;
    error_ = "GdiplusStartup failed";
    library_.Unload();
    return;
  }
  g_api = &library_.Api();
}

GdiplusSession::~GdiplusSession() {
  if (token_ == 0) return;
  library_.Api().GdiplusShutdown(token_);
  g_api = nullptr;
}

const GdiplusApi* Gdiplus() {
  return g_api;
}

void GpGraphicsTraits::Close(Type g) {
  if (g_api != nullptr) g_api->GdipDeleteGraphics(g);
}
void GpPenTraits::Close(Type p) {
  if (g_api != nullptr) g_api->GdipDeletePen(p);
}
void GpImageTraits::Close(Type i) {
  if (g_api != nullptr) g_api->GdipDisposeImage(i);
}

bool DrawEllipseOutline(HDC dc, Gdiplus::ARGB color, float width, float x, float y, float w,
                        float h) {
  return WithPen(dc, color, width, [&](const GdiplusApi& api, auto* g, auto* pen) {
    return api.GdipDrawEllipse(g, pen, x, y, w, h);
  });
}

bool DrawArcOutline(HDC dc, Gdiplus::ARGB color, float width, float x, float y, float w, float h,
                    float start, float sweep) {
  return WithPen(dc, color, width, [&](const GdiplusApi& api, auto* g, auto* pen) {
    for (const ArcPiece& piece : SplitArc(start, sweep)) {
      const Gdiplus::GpStatus status =
          api.GdipDrawArc(g, pen, x, y, w, h, piece.start, piece.sweep);
      if (status != Gdiplus::Ok) return status;
    }
    return Gdiplus::Ok;
  });
}

}  // namespace vlt::controls
