#include <windows.h>
// after windows.h
#include <knownfolders.h>
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

namespace {

// Explorer's record of the Desktop folder; "" when the value is missing or empty. An
// expandable value ("%USERPROFILE%\Desktop") comes back expanded.
std::string RegisteredDesktop() {
  const wchar_t* key = L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  std::wstring value(MAX_PATH, L'\0');
  // The expanded text may need more room than the stored one: grow and ask again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    const LSTATUS r =
        RegGetValueW(HKEY_CURRENT_USER, key, L"Desktop", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ,
                     nullptr, value.data(), &size);
    if (r == ERROR_SUCCESS) {
      value.resize(wcsnlen(value.c_str(), value.size()));
      return Narrow(value);
    }
    if (r != ERROR_MORE_DATA) break;
    value.resize(size / sizeof(wchar_t) + 1);
  }
  return {};
}

}  // namespace

std::string DesktopFolder() {
  if (std::string registered = RegisteredDesktop(); !registered.empty()) return registered;
  // Explorer has not recorded it (a new profile, a cleaned registry): ask the shell.
  UniqueCoTaskString known;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_Desktop, KF_FLAG_DEFAULT, nullptr, known.Put())) ||
      !known) {
    return {};
  }
  return Narrow(known.Get());
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
