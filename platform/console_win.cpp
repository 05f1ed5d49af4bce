#include <windows.h>
// after windows.h
#include <shellapi.h>

#include "platform/console.h"
#include "platform/win_text.h"

namespace vlt::platform {

std::vector<std::string> CommandLineArguments(int, char**) {
  std::vector<std::string> out;
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr) return out;
  for (int i = 1; i < count; ++i) out.push_back(Narrow(args[i]));
  LocalFree(args);
  return out;
}

bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool StderrAttached() {
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

void WriteStderr(std::string_view text) {
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(h, &mode)) {
    const std::wstring wide = Widen(text);
    WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

}  // namespace vlt::platform
