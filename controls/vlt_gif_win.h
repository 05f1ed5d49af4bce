#pragma once
// TVltGIFWin: the animated picture as a child window (Windows build only). The behaviour is
// TVltGIF's; this class owns the window, its 50 ms timer and the GDI drawing of the frames.
#include <windows.h>

#include <memory>
#include <string_view>

#include "controls/gif_animation.h"
#include "platform/win_gdi.h"

namespace vlt {

class TVltGIFWin : private TVltGIFHost {
 public:
  TVltGIFWin();
  ~TVltGIFWin() override;
  TVltGIFWin(const TVltGIFWin&) = delete;
  TVltGIFWin& operator=(const TVltGIFWin&) = delete;

  // The child window, 100 x 100 until placed or auto-sized; destroyed with its parent.
  HWND Create(HWND parent, int id);
  HWND Handle() const { return window_; }
  TVltGIF& Gif() { return gif_; }
  // Starts the animation whenever the window is shown (the wizard shows and hides its
  // controls; a hidden control stops at its next tick).
  bool PlayWhenShown = false;
  // What fills the control behind the frames.
  COLORREF Background = RGB(255, 255, 255);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Paint(HDC dc, const RECT& area);
  HBITMAP FrameBitmap(const TgfFrame& frame);

  void SetTimer(bool enabled, int interval_ms) override;
  void Invalidate() override;
  bool ParentShowing() const override;
  bool Visible() const override;
  void SetSize(int width, int height) override;
  void ShowError(const std::string& text) override;

  TVltGIF gif_;
  HWND window_ = nullptr;
  platform::UniqueGdiObject accumulator_;
  SIZE accumulator_size_{};
  // The GDI bitmap of the frame drawn last, and that frame's picture (held, so that no other
  // picture can take its place in memory while it names the bitmap): one bitmap, not one per
  // frame, however many frames the file has.
  std::shared_ptr<const TGifBitmap> bitmap_image_;
  platform::UniqueGdiObject bitmap_;
};

}  // namespace vlt
