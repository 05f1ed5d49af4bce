#pragma once
// The plain white top-level window the Win32 control tests put their control on.
#include <windows.h>

namespace vlt::controls::test {

// 300 x 200 at (10, 10), visible; nullptr when it cannot be made.
inline HWND CreateTestParent(const wchar_t* title) {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"VltControlsTestWindow";
    return RegisterClassExW(&wc) != 0;
  }();
  if (!registered) return nullptr;
  return CreateWindowExW(0, L"VltControlsTestWindow", title, WS_POPUP | WS_VISIBLE, 10, 10, 300,
                         200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

}  // namespace vlt::controls::test
