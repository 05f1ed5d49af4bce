#include <windows.h>
// after windows.h
#include <winhttp.h>

#include "platform/dynamic_library.h"
#include "platform/proxy_auto.h"
#include "platform/win_text.h"

namespace vlt::platform {

namespace {

// Loaded at run time: a system without it (or with a stub) still installs, directly.
struct WinHttpApi : EntryPointTable {
  EntryPoint<decltype(::WinHttpOpen)> WinHttpOpen{*this, "WinHttpOpen"};
  EntryPoint<decltype(::WinHttpGetProxyForUrl)> WinHttpGetProxyForUrl{*this,
                                                                      "WinHttpGetProxyForUrl"};
  EntryPoint<decltype(::WinHttpCloseHandle)> WinHttpCloseHandle{*this, "WinHttpCloseHandle"};
};

}  // namespace

AutoProxyAnswer ResolveAutoProxy(std::string_view script_url, std::string_view url) {
  AutoProxyAnswer answer;
  BoundLibrary<WinHttpApi> winhttp;
  if (!winhttp.Load("winhttp.dll")) {
    answer.error = "winhttp.dll: " + winhttp.ErrorText();
    return answer;
  }
  const WinHttpApi& api = winhttp.Api();
  HINTERNET session =
      api.WinHttpOpen(L"InstaladorVeltra", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
  if (session == nullptr) {
    answer.error = "WinHttpOpen: " + SystemErrorMessage(GetLastError());
    return answer;
  }
  const std::wstring script = Widen(script_url), target = Widen(url);
  WINHTTP_AUTOPROXY_OPTIONS options{};
  options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
  options.lpszAutoConfigUrl = script.c_str();
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info{};
  if (api.WinHttpGetProxyForUrl(session, target.c_str(), &options, &info)) {
    answer.resolved = true;
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy != nullptr)
      answer.proxy = Narrow(info.lpszProxy);
  } else {
    const DWORD code = GetLastError();
    answer.error = "WinHttpGetProxyForUrl failed with " + std::to_string(code) + ": " +
                   SystemErrorMessage(code);
  }
  if (info.lpszProxy != nullptr) GlobalFree(info.lpszProxy);
  if (info.lpszProxyBypass != nullptr) GlobalFree(info.lpszProxyBypass);
  api.WinHttpCloseHandle(session);
  return answer;
}

}  // namespace vlt::platform
