// Bench helper (Windows): watches the wizard from outside and prints, each time the texts of
// its visible labels change, the milliseconds since the watch began and those texts joined by
// TAB. One process polling every 20 ms, so that short steps are not missed; ends when the
// window is gone (or did not appear within 60 s).
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win_text.h"

namespace {

BOOL CALLBACK AddLabel(HWND child, LPARAM texts) {
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  if (!IsWindowVisible(child) || _wcsicmp(cls, L"Static") != 0) return TRUE;
  // The text the system keeps for the window: no message to the wizard's thread, which does
  // not answer while a routine pauses.
  wchar_t buffer[512] = {};
  InternalGetWindowText(child, buffer, 512);
  std::string& out = *reinterpret_cast<std::string*>(texts);
  out.push_back('\t');
  out.append(vlt::platform::Narrow(buffer));
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const ULONGLONG start = GetTickCount64();
  HWND window = nullptr;
  while (!(window = FindWindowW(nullptr, argv[1]))) {
    if (GetTickCount64() - start > 60000) return 1;
    Sleep(20);
  }
  std::string last;
  while (IsWindow(window)) {
    std::string texts;
    EnumChildWindows(window, AddLabel, reinterpret_cast<LPARAM>(&texts));
    if (texts != last) {
      std::printf("%llu%s\n", GetTickCount64() - start, texts.c_str());
      std::fflush(stdout);
      last = texts;
    }
    Sleep(20);
  }
  return 0;
}
