#pragma once
// GDI+ reached through its flat interface, loaded by name from "gdiplus.dll" once at program
// start (Windows build only). Without it the controls leave out what only GDI+ draws.
#include <windows.h>
// after windows.h
#include <objidl.h>
// after objidl.h
#include <gdiplus.h>

#include "controls/arc_geometry.h"
#include "platform/dynamic_library.h"
#include "platform/unique_resource.h"

namespace vlt::controls {

namespace gp = Gdiplus::DllExports;

struct GdiplusApi : platform::EntryPointTable {
  platform::EntryPoint<decltype(Gdiplus::GdiplusStartup)> GdiplusStartup{*this, "GdiplusStartup"};
  platform::EntryPoint<decltype(Gdiplus::GdiplusShutdown)> GdiplusShutdown{*this,
                                                                           "GdiplusShutdown"};
  platform::EntryPoint<decltype(gp::GdipCreateFromHDC)> GdipCreateFromHDC{*this,
                                                                          "GdipCreateFromHDC"};
  platform::EntryPoint<decltype(gp::GdipDeleteGraphics)> GdipDeleteGraphics{*this,
                                                                            "GdipDeleteGraphics"};
  platform::EntryPoint<decltype(gp::GdipSetSmoothingMode)> GdipSetSmoothingMode{
      *this, "GdipSetSmoothingMode"};
  platform::EntryPoint<decltype(gp::GdipCreatePen1)> GdipCreatePen1{*this, "GdipCreatePen1"};
  platform::EntryPoint<decltype(gp::GdipDeletePen)> GdipDeletePen{*this, "GdipDeletePen"};
  platform::EntryPoint<decltype(gp::GdipDrawEllipse)> GdipDrawEllipse{*this, "GdipDrawEllipse"};
  platform::EntryPoint<decltype(gp::GdipDrawArc)> GdipDrawArc{*this, "GdipDrawArc"};
  platform::EntryPoint<decltype(gp::GdipCreateBitmapFromStream)> GdipCreateBitmapFromStream{
      *this, "GdipCreateBitmapFromStream"};
  platform::EntryPoint<decltype(gp::GdipDisposeImage)> GdipDisposeImage{*this, "GdipDisposeImage"};
  platform::EntryPoint<decltype(gp::GdipGetImageWidth)> GdipGetImageWidth{*this,
                                                                          "GdipGetImageWidth"};
  platform::EntryPoint<decltype(gp::GdipGetImageHeight)> GdipGetImageHeight{*this,
                                                                            "GdipGetImageHeight"};
  platform::EntryPoint<decltype(gp::GdipBitmapLockBits)> GdipBitmapLockBits{*this,
                                                                            "GdipBitmapLockBits"};
  platform::EntryPoint<decltype(gp::GdipBitmapUnlockBits)> GdipBitmapUnlockBits{
      *this, "GdipBitmapUnlockBits"};
  platform::EntryPoint<decltype(gp::GdipCreateBitmapFromScan0)> GdipCreateBitmapFromScan0{
      *this, "GdipCreateBitmapFromScan0"};
  platform::EntryPoint<decltype(gp::GdipGetImageGraphicsContext)> GdipGetImageGraphicsContext{
      *this, "GdipGetImageGraphicsContext"};
  platform::EntryPoint<decltype(gp::GdipSetInterpolationMode)> GdipSetInterpolationMode{
      *this, "GdipSetInterpolationMode"};
  platform::EntryPoint<decltype(gp::GdipSetPixelOffsetMode)> GdipSetPixelOffsetMode{
      *this, "GdipSetPixelOffsetMode"};
  platform::EntryPoint<decltype(gp::GdipDrawImageRectI)> GdipDrawImageRectI{*this,
                                                                            "GdipDrawImageRectI"};
};

// Loads and starts GDI+ for its lifetime; one per process, made at start before any window.
// Without it (the library missing or failing to start) Gdiplus() answers nullptr.
class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool Started() const { return token_ != 0; }
  const std::string& ErrorText() const { return error_; }

 private:
  platform::BoundLibrary<GdiplusApi> library_;
  ULONG_PTR token_ = 0;
  std::string error_;
};

// The running session's entry points, or nullptr.
const GdiplusApi* Gdiplus();

// Owners of GDI+ objects (only made while a session runs).
struct GpGraphicsTraits {
  using Type = Gdiplus::GpGraphics*;
  static Type Invalid() { return nullptr; }
  static void Close(Type g);
};
struct GpPenTraits {
  using Type = Gdiplus::GpPen*;
  static Type Invalid() { return nullptr; }
  static void Close(Type p);
};
struct GpImageTraits {
  using Type = Gdiplus::GpImage*;
  static Type Invalid() { return nullptr; }
  static void Close(Type i);
};
using UniqueGpGraphics = platform::UniqueResource<GpGraphicsTraits>;
using UniqueGpPen = platform::UniqueResource<GpPenTraits>;
using UniqueGpImage = platform::UniqueResource<GpImageTraits>;

// Anti-aliased outline drawing on a device context; false when GDI+ is absent or a call fails.
// Angles in degrees, clockwise from the positive x axis; an arc is drawn as SplitArc's pieces.
bool DrawEllipseOutline(HDC dc, Gdiplus::ARGB color, float width, float x, float y, float w,
                        float h);
bool DrawArcOutline(HDC dc, Gdiplus::ARGB color, float width, float x, float y, float w, float h,
                    float start, float sweep);

}  // namespace vlt::controls
