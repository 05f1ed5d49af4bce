// The system operations against Windows itself (Wine in CI): where the desktop shortcut goes
// when Explorer's record of the Desktop folder is missing.
#include <windows.h>
// after windows.h
#include <gtest/gtest.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

#include "installer/system_ops.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/win_handle.h"
#include "platform/win_text.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Takes HKCU ...\Shell Folders "Desktop" away for the scope and puts back what was there.
class DesktopValueRemoved {
 public:
  DesktopValueRemoved() {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, key_.Put(), nullptr) != ERROR_SUCCESS) {
      return;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key_.Get(), L"Desktop", nullptr, &type_, nullptr, &size) !=
        ERROR_SUCCESS) {
      return;
    }
    data_.resize(size);
    had_ = RegQueryValueExW(key_.Get(), L"Desktop", nullptr, &type_, data_.data(), &size) ==
               ERROR_SUCCESS &&
           RegDeleteValueW(key_.Get(), L"Desktop") == ERROR_SUCCESS;
  }
  ~DesktopValueRemoved() {
    if (had_) {
      RegSetValueExW(key_.Get(), L"Desktop", 0, type_, data_.data(),
                     static_cast<DWORD>(data_.size()));
    }
  }
  DesktopValueRemoved(const DesktopValueRemoved&) = delete;
  DesktopValueRemoved& operator=(const DesktopValueRemoved&) = delete;

  bool Gone() const {
    return key_ && RegQueryValueExW(key_.Get(), L"Desktop", nullptr, nullptr, nullptr, nullptr) ==
                       ERROR_FILE_NOT_FOUND;
  }

 private:
  platform::UniqueKey key_;
  DWORD type_ = 0;
  std::vector<BYTE> data_;
  bool had_ = false;
};

std::string KnownDesktopFolder() {
  platform::UniqueCoTaskString path;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, path.Put())) || !path) return {};
  return platform::Narrow(path.Get());
}

TEST(SystemOpsWinTest, WithoutExplorersDesktopValueTheShortcutGoesToTheKnownFolder) {
  platform::ComSession com;
  PlatformSystemOps ops;
  test::TempDir tmp;
  const std::string known = KnownDesktopFolder();
  ASSERT_FALSE(known.empty());
  const std::string name = "Quenda Teste Sem Desktop";
  const std::string at_root = "\\" + name + ".lnk";
  const std::string expected = known + "\\" + name + ".lnk";
  {
    DesktopValueRemoved removed;
    ASSERT_TRUE(removed.Gone());
    EXPECT_EQ(platform::DesktopFolder(), known);
    ops.CriaAtalho(tmp / "Berfon\\estoque.exe", "", tmp / "Berfon", name);
  }
  EXPECT_TRUE(platform::FileExists(expected)) << expected;
  EXPECT_FALSE(platform::FileExists(at_root)) << "the shortcut went to the drive root";
  platform::RemoveFile(expected);
  platform::RemoveFile(at_root);
}

}  // namespace
}  // namespace vlt
