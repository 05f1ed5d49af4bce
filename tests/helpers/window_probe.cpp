// Test helper (Windows): tells what a person would see of the wizard. Prints one line per
// visible control of the window whose caption is the first argument:
//   <class> TAB <text> TAB <screen x of centre> TAB <screen y of centre>
// and, for a message box, "box" TAB <caption> TAB <message>. Exits 1 when the window is absent.
// With --focus first, prints only the control that has the keyboard focus in that window's
// thread: <class> TAB <text> TAB <x> TAB <y> as above, or "none" when the focus is on no child
// of the window.
// With --responsive first (CAPTION SECONDS): every 50 ms asks the window for nothing
// (WM_NULL) and times the answer, until the window is gone or SECONDS pass; then prints
// "answers N longest MS at TEXT", where TEXT is the status the window showed before the longest
// wait. A window that does not handle its messages answers late.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win_text.h"

namespace {

// WM_GETTEXT, not GetWindowText: across processes the latter gives only the creation text of
// an edit, not what was typed into it.
std::wstring Text(HWND h) {
  wchar_t buffer[1024] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                      &ignored);
  return buffer;
}

void Print(HWND child) {
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  RECT r{};
  GetWindowRect(child, &r);
  std::printf("%s\t%s\t%ld\t%ld\n", vlt::platform::Narrow(cls).c_str(),
              vlt::platform::Narrow(Text(child)).c_str(), (r.left + r.right) / 2,
              (r.top + r.bottom) / 2);
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  if (IsWindowVisible(child)) Print(child);
  return TRUE;
}

// The visible texts of the window: what it was doing. Read without a message to the window
// (the system keeps the captions of static texts), so that reading them never waits on it.
std::wstring Status(HWND window) {
  std::wstring shown;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM out) -> BOOL {
        wchar_t buffer[256] = {};
        GetWindowTextW(child, buffer, 256);
        const std::wstring t = buffer;
        if (IsWindowVisible(child) && !t.empty()) {
          auto* s = reinterpret_cast<std::wstring*>(out);
          if (!s->empty()) *s += L" | ";
          *s += t;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&shown));
  return shown;
}

int Responsive(const wchar_t* caption, int seconds) {
  HWND window = FindWindowW(nullptr, caption);
  for (int i = 0; window == nullptr && i < 100; ++i) {
    Sleep(50);
    window = FindWindowW(nullptr, caption);
  }
  if (window == nullptr) return 1;
  int answers = 0;
  DWORD longest = 0;
  std::wstring at;
  const DWORD start = GetTickCount();
  while (IsWindow(window) && GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
    const std::wstring before = Status(window);
    const DWORD asked = GetTickCount();
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored)) break;
    const DWORD took = GetTickCount() - asked;
    ++answers;
    if (took > longest) {
      longest = took;
      at = before;
    }
    Sleep(50);
  }
  std::printf("answers %d longest %lu at %s\n", answers, static_cast<unsigned long>(longest),
              vlt::platform::Narrow(at).c_str());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && wcscmp(argv[1], L"--responsive") == 0) {
    return Responsive(argv[2], _wtoi(argv[3]));
  }
  const bool focus = argc >= 2 && wcscmp(argv[1], L"--focus") == 0;
  if (focus) {
    --argc;
    ++argv;
  }
  if (argc < 2) return 2;
  HWND window = FindWindowW(nullptr, argv[1]);
  if (window == nullptr) return 1;
  if (focus) {
    // Another process's focus: read through its thread's input state.
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    HWND h = GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus
                                                                                : nullptr;
    if (h == nullptr || !IsChild(window, h)) {
      std::printf("none\n");
      return 0;
    }
    // A list's edit part stands for the list.
    wchar_t cls[64] = {};
    GetClassNameW(GetParent(h), cls, 64);
    if (_wcsicmp(cls, L"ComboBox") == 0) h = GetParent(h);
    Print(h);
    return 0;
  }
  if (wcscmp(argv[1], L"Veltra Sistemas | Instalador") != 0) {
    // A message box: its caption and message text.
    std::printf("box\t%s\t%s\n", vlt::platform::Narrow(Text(window)).c_str(),
                vlt::platform::Narrow(Text(GetDlgItem(window, 0xFFFF))).c_str());
    return 0;
  }
  EnumChildWindows(window, PrintChild, 0);
  return 0;
}
