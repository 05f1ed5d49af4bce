#include <windows.h>

#include <string>

#include "tests/support/box_dismisser.h"

namespace vlt::test {
namespace {

thread_local int dismissed = 0;

// Runs inside the box's own modal loop.
void CALLBACK Dismiss(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM) -> BOOL {
        wchar_t cls[64] = {};
        GetClassNameW(h, cls, 64);
        if (std::wstring(cls) == L"#32770" && IsWindowVisible(h)) {
          PostMessageW(h, WM_COMMAND, IDOK, 0);
          ++dismissed;
        }
        return TRUE;
      },
      0);
}

}  // namespace

BoxDismisser::BoxDismisser() {
  dismissed = 0;
  timer_ = SetTimer(nullptr, 0, 100, Dismiss);
}
BoxDismisser::~BoxDismisser() {
  KillTimer(nullptr, static_cast<UINT_PTR>(timer_));
}
int BoxDismisser::Dismissed() const {
  return dismissed;
}

}  // namespace vlt::test
