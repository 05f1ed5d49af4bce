#include <windows.h>
// after windows.h
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <utility>

#include "platform/clock.h"
#include "platform/dynamic_library.h"
#include "platform/process.h"
#include "platform/win_handle.h"
#include "platform/win_text.h"

namespace vlt::platform {
namespace {

// The process snapshot entry points, looked up in kernel32.dll at first use.
struct ToolhelpApi : EntryPointTable {
  EntryPoint<decltype(::CreateToolhelp32Snapshot)> CreateToolhelp32Snapshot{
      *this, "CreateToolhelp32Snapshot"};
  EntryPoint<decltype(::Process32FirstW)> Process32FirstW{*this, "Process32FirstW"};
  EntryPoint<decltype(::Process32NextW)> Process32NextW{*this, "Process32NextW"};
};

const ToolhelpApi* Toolhelp() {
  static BoundLibrary<ToolhelpApi> kernel32;
  static const bool loaded = kernel32.Load("kernel32.dll");
  return loaded ? &kernel32.Api() : nullptr;
}

}  // namespace

void ProcessOwnerTraits::Close(std::intptr_t handle) {
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool Process::Wait(int milliseconds) {
  if (!Valid()) return true;
  const auto process = reinterpret_cast<HANDLE>(handle_.Get());
  const bool ended = CurrentClock().WaitFor(
      [process](int ms) {
        return WaitForSingleObject(process, ms < 0 ? INFINITE : static_cast<DWORD>(ms)) !=
               WAIT_TIMEOUT;
      },
      milliseconds);
  DWORD code = 0;
  if (ended && GetExitCodeProcess(process, &code) && code != STILL_ACTIVE) exit_code_ = code;
  return ended;
}

StartResult ShellStart(std::string_view program, std::string_view arguments) {
  const std::wstring file = Widen(program);
  const std::wstring params = Widen(arguments);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  // No box of the shell's own: the caller says what failed, once.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.hwnd = GetActiveWindow();
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = params.c_str();
  info.lpDirectory = nullptr;
  info.nShow = SW_SHOWNORMAL;
  StartResult result;
  if (ShellExecuteExW(&info)) {
    result.started = true;
    result.process = Process(reinterpret_cast<std::intptr_t>(info.hProcess));
  } else {
    result.error = GetLastError();
    if (result.error == ERROR_SUCCESS) {
      // Some shells leave the last error at 0 ("Success") and give the reason only as the
      // old SE_ERR_ code in hInstApp.
      const auto code = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(info.hInstApp));
      switch (code) {
        case SE_ERR_FNF:
          result.error = ERROR_FILE_NOT_FOUND;
          break;
        case SE_ERR_PNF:
          result.error = ERROR_PATH_NOT_FOUND;
          break;
        case SE_ERR_ACCESSDENIED:
          result.error = ERROR_ACCESS_DENIED;
          break;
        case SE_ERR_OOM:
          result.error = ERROR_NOT_ENOUGH_MEMORY;
          break;
        case SE_ERR_NOASSOC:
          result.error = ERROR_NO_ASSOCIATION;
          break;
        case SE_ERR_SHARE:
          result.error = ERROR_SHARING_VIOLATION;
          break;
        default:
          result.error = ERROR_BAD_FORMAT;
          break;
      }
    }
    result.error_text = SystemErrorMessage(result.error);
  }
  return result;
}

std::string ExecutableDirectory() {
  std::wstring buffer(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  buffer.resize(n);
  const size_t slash = buffer.find_last_of(L"\\/");
  return Narrow(slash == std::wstring::npos ? L"." : buffer.substr(0, slash));
}

std::vector<std::string> ProcessNames() {
  std::vector<std::string> names;
  const ToolhelpApi* api = Toolhelp();
  // No snapshot: an empty list.
  if (api == nullptr) return names;
  const UniqueFileHandle snapshot(api->CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return names;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = api->Process32FirstW(snapshot.Get(), &entry); more;
       more = api->Process32NextW(snapshot.Get(), &entry)) {
    names.push_back(Narrow(std::wstring_view(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH))));
  }
  return names;
}

}  // namespace vlt::platform
