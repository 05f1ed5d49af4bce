// Run-time libraries against the system's own DLLs (Wine in CI), and the Windows Sockets
// loader built on them.
#include <winsock2.h>
// after winsock2.h
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/dynamic_library.h"
#include "platform/sockets.h"

namespace vlt::platform {
namespace {

struct VersionApi : EntryPointTable {
  EntryPoint<decltype(::GetFileVersionInfoSizeW)> GetFileVersionInfoSizeW{
      *this, "GetFileVersionInfoSizeW"};
};
struct VersionApiWithMore : EntryPointTable {
  EntryPoint<decltype(::GetFileVersionInfoSizeW)> GetFileVersionInfoSizeW{
      *this, "GetFileVersionInfoSizeW"};
  EntryPoint<int()> NoSuchEntry{*this, "NoSuchEntry"};
};

TEST(DynamicLibraryWinTest, SystemDllThroughATypedTable) {
  BoundLibrary<VersionApi> version;
  ASSERT_TRUE(version.Load("version.dll")) << version.ErrorText();
  DWORD ignored = 0;
  EXPECT_GT(version.Api().GetFileVersionInfoSizeW(L"kernel32.dll", &ignored), 0u);

  BoundLibrary<VersionApiWithMore> more;
  EXPECT_FALSE(more.Load("version.dll"));
  EXPECT_EQ(more.ErrorText(), "Entry point \"NoSuchEntry\" not found in version.dll");

  BoundLibrary<VersionApi> absent;
  EXPECT_FALSE(absent.Load("nao-existe-vlt.dll"));
  EXPECT_FALSE(absent.ErrorText().empty());
}

TEST(DynamicLibraryWinTest, SocketLibraryLoaderNamesTheMissingEntry) {
  std::string missing;
  // A system DLL without the Windows Sockets exports: the first required one is named.
  EXPECT_FALSE(LoadSocketLibrary("version.dll", &missing));
  EXPECT_EQ(missing, "__WSAFDIsSet");

  missing.clear();
  ASSERT_TRUE(LoadSocketLibrary("ws2_32.dll", &missing));
  EXPECT_EQ(missing, "");
  EXPECT_TRUE(AddrInfoInWs2());
  EXPECT_TRUE(UnloadSocketLibrary());
}

}  // namespace
}  // namespace vlt::platform
