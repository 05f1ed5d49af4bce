#pragma once
// What every stand-in shares: it leaves a record of how it was called in a text file beside
// itself, which the tests read back.
#include <windows.h>

#include <string>

namespace vlt::demo {

inline std::wstring OwnDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir = path;
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

// Appends one line (UTF-8) to `name` in the program's own directory.
inline void Record(const std::wstring& name, const std::wstring& line) {
  const std::wstring path = OwnDirectory() + name;
  HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  const std::wstring text = line + L"\r\n";
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n,
                      nullptr, nullptr);
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

// The command line without the program's own name.
inline std::wstring Arguments() {
  const wchar_t* p = GetCommandLineW();
  bool quoted = false;
  for (; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p)
    if (*p == L'"') quoted = !quoted;
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

}  // namespace vlt::demo
