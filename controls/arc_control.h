#pragma once
// The arc gauge: a windowed control that paints, through a 32-bit back buffer filled with its
// parent's background, a ring with an arc over it for the progress between Min and Max, and
// optionally a short text and a glyph in the middle (Windows build only).
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>

#include "controls/arc_geometry.h"
#include "platform/win_gdi.h"

namespace vlt::controls {

// A system colour (high bit set) resolved to red, green and blue.
ColorValue ColorToRGB(ColorValue color);

// The 32-bit top-down bitmap the controls paint into, with its memory device context.
class BackBuffer {
 public:
  BackBuffer() = default;
  ~BackBuffer();
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;
  // Keeps the bitmap when the size is unchanged.
  void Resize(HDC reference, int width, int height);
  HDC Dc() const { return dc_.Get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  PixelImage Pixels();

 private:
  platform::UniqueMemoryDc dc_;
  platform::UniqueGdiObject bitmap_;
  HGDIOBJ original_ = nullptr;
  void* bits_ = nullptr;
  int width_ = 0, height_ = 0;
};

class TArcControl {
 public:
  TArcControl();
  virtual ~TArcControl();
  TArcControl(const TArcControl&) = delete;
  TArcControl& operator=(const TArcControl&) = delete;

  // Creates the child window (default size 82 x 82).
  void Create(HWND parent, int id);
  HWND Handle() const { return window_; }
  int Width() const;
  int Height() const;

  int BaseAngle() const { return FBaseAngle; }
  bool ShowText() const { return FShowText; }
  bool UseEllipsis() const { return FUseEllipsis; }
  int GlyphIndex() const { return FGlyphIndex; }
  HIMAGELIST Images() const { return FImages; }
  // Not owned; repaints.
  void SetImages(HIMAGELIST images);
  std::string Text() const;
  void SetText(const std::string& text);

  // Index 0 GlyphIndex, 1 BaseAngle, 2 GlyphBlend; others ignored.
  virtual void SetIntegerProperty(int index, int value);
  // Index 0 ShowText, 1 GlyphReflected, 2 GlyphGrayed, 3 UseEllipsis, 4 Transparent.
  virtual void SetBooleanProperty(int index, bool value);
  virtual int CurrentGlyphIndex() const { return FGlyphIndex; }
  virtual int GlyphState() const { return 0; }

  // Paints into `dc` (the window's own when null); what WM_PAINT and WM_PRINTCLIENT do.
  void PaintControl(HDC dc);
  // The pixels per inch the content scales by: those of the main window's monitor.
  int PixelsPerInch() const;
  // Times the content was painted, for tests that a setter repaints or not.
  int PaintCount() const { return paint_count_; }

 protected:
  virtual void PaintContent(BackBuffer& buffer) = 0;
  // A message the subclass answers itself; false passes it on.
  virtual bool HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
  // Invalidates and paints at once.
  void Repaint();
  HFONT Font() const { return font_; }
  POINT Center{};

  int FBaseAngle = -90;
  int FGlyphBlend = 0;
  int FGlyphIndex = -1;
  bool FShowText = true;
  bool FGlyphGrayed = false;
  bool FUseEllipsis = true;
  bool FGlyphReflected = false;
  bool FTransparent = false;
  HIMAGELIST FImages = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void FillParentBackground();

  HWND window_ = nullptr;
  HFONT font_ = nullptr;  // the parent's, not owned
  BackBuffer buffer_;
  bool destroying_ = false;
  int paint_count_ = 0;
};

struct TGaugePaintData {
  ColorValue ABaseColor;
  ColorValue AFontColor;
  ColorValue AProgressColor;
  int ALineWidth;
  std::string AText;
};

class TArcGauge : public TArcControl {
 public:
  using TOnGetGaugePaintData = std::function<void(TArcGauge& sender, TGaugePaintData& data)>;

  std::int64_t Min() const { return FMin; }
  std::int64_t Max() const { return FMax; }
  std::int64_t Progress() const { return FProgress; }
  int LineWidth() const { return FLineWidth; }
  int BaseBlend() const { return FBaseBlend; }
  ColorValue BaseColor() const { return FBaseColor; }
  ColorValue ProgressColor() const { return FProgressColor; }
  bool ShowTextValue() const { return FShowTextValue; }
  ColorValue FontColor() const { return font_color_; }

  // Index 10 Min, 11 Max, 12 Progress (clamped to [Min, Max]).
  void SetRangeValue(int index, std::int64_t value);
  // Index 10 LineWidth, 12 BaseBlend; the rest goes to the base.
  void SetIntegerProperty(int index, int value) override;
  // Index 10 BaseColor, 11 ProgressColor.
  void SetColorValue(int index, ColorValue value);
  void SetShowTextValue(bool value);
  void SetFontColor(ColorValue value);

  void SetMin(std::int64_t v) { SetRangeValue(10, v); }
  void SetMax(std::int64_t v) { SetRangeValue(11, v); }
  void SetProgress(std::int64_t v) { SetRangeValue(12, v); }

  TOnGetGaugePaintData OnGetPaintData;

 protected:
  void PaintContent(BackBuffer& buffer) override;
  // Answers PBM_GETPOS and PBM_GETRANGE as a progress bar does, so that the position can be
  // read from outside the program.
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  std::int64_t FMin = 0;
  std::int64_t FMax = 100;
  std::int64_t FProgress = 47;
  int FBaseBlend = 222;
  int FLineWidth = 6;
  ColorValue FBaseColor = 9868950;
  ColorValue FProgressColor = 16748834;
  bool FShowTextValue = true;
  ColorValue font_color_ = 0;
};

}  // namespace vlt::controls
