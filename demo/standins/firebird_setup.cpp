// Stand-in for the Firebird 2.5 installer: started with "/SILENT /TASKS /NORESTART" it records
// its arguments, puts itself in place as the server process "fbserver.exe", puts the client
// library stand-in "gds32.dll" (carried as a resource) into the system directory, starts the
// server and ends. Started as the server ("--serve") it runs until it is killed.
#include <windows.h>

#include <string>

#include "demo/standins/record.h"

namespace {

constexpr wchar_t kServerDir[] = L"C:\\Program Files\\Firebird\\Firebird_2_5\\bin\\";

void InstallClientLibrary() {
  HRSRC res = FindResourceW(nullptr, L"GDS32", MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!res) return;
  HGLOBAL data = LoadResource(nullptr, res);
  const DWORD size = SizeofResource(nullptr, res);
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring target = std::wstring(system) + L"\\gds32.dll";
  HANDLE h = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, LockResource(data), size, &written, nullptr);
  CloseHandle(h);
}

}  // namespace

int wmain() {
  const std::wstring args = vlt::demo::Arguments();
  if (args == L"--serve") {
    // The server: nothing to serve, only to be seen in the process list.
    for (;;) Sleep(60000);
  }
  vlt::demo::Record(L"firebird-setup.log", args);
  std::wstring dir = kServerDir;
  for (size_t i = 3; i <= dir.size(); ++i)
    if (i == dir.size() || dir[i] == L'\\') CreateDirectoryW(dir.substr(0, i).c_str(), nullptr);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring server = dir + L"fbserver.exe";
  CopyFileW(self, server.c_str(), FALSE);
  InstallClientLibrary();
  std::wstring command = L"\"" + server + L"\" --serve";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(server.c_str(), command.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                     nullptr, dir.c_str(), &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  return 0;
}
