// Socket calls before the socket library is loaded (Windows: the entry points are looked up at
// run time, so there is nothing to call yet).
#include <gtest/gtest.h>

#include "platform/sockets.h"

namespace vlt::platform {
namespace {

TEST(SocketsBeforeStart, AnswerNotInitialised) {
  EXPECT_EQ(CreateSocket(kAfInet, kSockStream, kIpprotoTcp), kInvalidSocket);
  EXPECT_EQ(LastSocketError(), kWSANOTINITIALISED);
  TFDSet set;
  EXPECT_EQ(SelectSockets(&set, nullptr, nullptr, 0), kSocketError);
  EXPECT_EQ(LastSocketError(), kWSANOTINITIALISED);
  char byte = 0;
  EXPECT_EQ(RecvSocket(kInvalidSocket, &byte, 1, 0), kSocketError);
  EXPECT_EQ(RecvSocketWaiting(kInvalidSocket, &byte, 1), 0);
  EXPECT_EQ(HostToNet16(0x1234), 0x3412);  // pure arithmetic, no library needed

  // Loaded and started, the same calls work.
  ASSERT_TRUE(LoadSocketLibrary());
  TWSAData data;
  ASSERT_EQ(SocketStartup(data), 0);
  UniqueSocket s(CreateSocket(kAfInet, kSockStream, kIpprotoTcp));
  EXPECT_TRUE(s);
  s.Reset();
  SocketCleanup();
  UnloadSocketLibrary();
}

}  // namespace
}  // namespace vlt::platform
