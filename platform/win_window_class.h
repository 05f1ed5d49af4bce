#pragma once
// Window classes of this program's own controls (Windows build only).
#include <windows.h>

namespace vlt::platform {

// Registers a class of this module with `proc` and `cursor`; a class already registered (a
// second control of the kind) is left as it is.
inline void RegisterWindowClass(const wchar_t* name, WNDPROC proc,
                                const wchar_t* cursor = IDC_ARROW) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, cursor);
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

}  // namespace vlt::platform
