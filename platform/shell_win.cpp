#include <windows.h>
// after windows.h
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/exception.h"
#include "platform/shell.h"
#include "platform/win_handle.h"
#include "platform/win_text.h"

namespace vlt::platform {

ComSession::ComSession() {
  initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}
ComSession::~ComSession() {
  if (initialised_) CoUninitialize();
}

std::string DesktopFolder() {
  UniqueKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER,
                    L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, key.Put()) != ERROR_SUCCESS) {
    return {};
  }
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.Get(), L"Desktop", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return {};
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.Get(), L"Desktop", nullptr, nullptr,
                       reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
    return {};
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  return Narrow(value);
}

std::string ShortcutFileName(std::string_view desktop, std::string_view name) {
  return std::string(desktop) + "\\" + std::string(name) + ".lnk";
}

namespace {

struct Link {
  ComPtr<IShellLinkW> shell_link;
  ComPtr<IPersistFile> persist;
};

Link CreateLink() {
  Link link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.shell_link.PutVoid()))) {
    throw Exception("Unable to create the shell link object");
  }
  if (FAILED(link.shell_link->QueryInterface(IID_IPersistFile, link.persist.PutVoid()))) {
    throw Exception("Unable to obtain the IPersistFile interface of the shell link");
  }
  return link;
}

}  // namespace

bool WriteShortcut(const ShortcutInfo& info, std::string_view file) {
  Link link = CreateLink();
  link.shell_link->SetArguments(Widen(info.arguments).c_str());
  link.shell_link->SetPath(Widen(info.target).c_str());
  link.shell_link->SetWorkingDirectory(Widen(info.working_directory).c_str());
  return SUCCEEDED(link.persist->Save(Widen(file).c_str(), FALSE));
}

std::optional<ShortcutInfo> ReadShortcut(std::string_view file) {
  Link link = CreateLink();
  if (FAILED(link.persist->Load(Widen(file).c_str(), STGM_READ))) return std::nullopt;
  wchar_t buffer[MAX_PATH * 4] = {};
  ShortcutInfo info;
  if (SUCCEEDED(link.shell_link->GetPath(buffer, MAX_PATH * 4, nullptr, SLGP_RAWPATH))) {
    info.target = Narrow(buffer);
  }
  buffer[0] = 0;
  if (SUCCEEDED(link.shell_link->GetArguments(buffer, MAX_PATH * 4)))
    info.arguments = Narrow(buffer);
  buffer[0] = 0;
  if (SUCCEEDED(link.shell_link->GetWorkingDirectory(buffer, MAX_PATH * 4))) {
    info.working_directory = Narrow(buffer);
  }
  return info;
}

}  // namespace vlt::platform
