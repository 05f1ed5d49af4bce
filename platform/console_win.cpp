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

}  // namespace vlt::platform
