#pragma once
// Move-only owners of GDI resources and scopes (Windows build only).
#include <windows.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/win_handle.h"

namespace vlt::platform {

struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static void Close(Type o) { ::DeleteObject(o); }
};
struct MemoryDcTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type dc) { ::DeleteDC(dc); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// Selects an object into a DC for the lifetime of the scope.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~SelectScope() {
    if (old_ != nullptr) ::SelectObject(dc_, old_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// BeginPaint/EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = ::BeginPaint(window, &ps_); }
  ~PaintScope() { ::EndPaint(window_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Dc() const { return dc_; }
  const RECT& Area() const { return ps_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

// An off-screen bitmap the size of `area`, copied onto the target DC when the scope ends.
class DoubleBuffer {
 public:
  DoubleBuffer(HDC target, const RECT& area)
      : target_(target), area_(area), dc_(::CreateCompatibleDC(target)) {
    bitmap_ = UniqueGdiObject(::CreateCompatibleBitmap(target, Width(), Height()));
    select_.emplace(dc_.Get(), bitmap_.Get());
    ::SetViewportOrgEx(dc_.Get(), -area.left, -area.top, nullptr);
  }
  ~DoubleBuffer() {
    ::SetViewportOrgEx(dc_.Get(), 0, 0, nullptr);
    ::BitBlt(target_, area_.left, area_.top, Width(), Height(), dc_.Get(), 0, 0, SRCCOPY);
  }
  DoubleBuffer(const DoubleBuffer&) = delete;
  DoubleBuffer& operator=(const DoubleBuffer&) = delete;
  HDC Dc() const { return dc_.Get(); }

 private:
  int Width() const { return std::max<int>(1, area_.right - area_.left); }
  int Height() const { return std::max<int>(1, area_.bottom - area_.top); }

  HDC target_;
  RECT area_;
  UniqueMemoryDc dc_;
  UniqueGdiObject bitmap_;
  // Declared last: deselected before the bitmap and the DC go.
  struct Selected {
    Selected(HDC dc, HGDIOBJ o) : scope(dc, o) {}
    SelectScope scope;
  };
  std::optional<Selected> select_;
};

}  // namespace vlt::platform
