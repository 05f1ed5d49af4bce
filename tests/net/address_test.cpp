#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "net/address_text.h"
#include "net/block_socket.h"
#include "platform/sockets.h"

namespace vlt::net {
namespace {

namespace p = vlt::platform;

TEST(AddressText, IPv4) {
  for (const char* ok : {"192.168.0.1", "010.0.0.1", "0.0.0.0", " 1 . 2 . 3 . 4 "})
    EXPECT_TRUE(IsIPv4Text(ok)) << ok;
  for (const char* bad : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "a.b.c.d", "", "1.2.3.-4"})
    EXPECT_FALSE(IsIPv4Text(bad)) << bad;
  EXPECT_TRUE(IsOctetText("007"));
  EXPECT_FALSE(IsOctetText("0x1"));
  EXPECT_EQ(IPv4ToBytes("192.168.0.1"), std::string("\xC0\xA8\x00\x01", 4));
  EXPECT_EQ(IPv4ToBytes("1.x.3"), std::string("\x01\x00\x03\x00", 4));
}

TEST(AddressText, IPv6Recognition) {
  for (const char* ok : {"::", "::1", "fe80::1%3", "1:2:3:4:5:6:7:8", "1:2", "abc:80", "::ffff"})
    EXPECT_TRUE(IsIPv6Text(ok)) << ok;
  for (const char* bad :
       {"1:2:3:4:5:6:7:8:9", "1::2::3", "12345::1", "1::", "", "abc", "g::1", "fe80::1%zz"})
    EXPECT_FALSE(IsIPv6Text(bad)) << bad;
}

TEST(AddressText, IPv6Bytes) {
  EXPECT_EQ(ExpandIPv6Text("fe80::1"), "fe80:0:0:0:0:0:0:1");
  EXPECT_EQ(ExpandIPv6Text("::1"), "0:0:0:0:0:0:0:1");
  EXPECT_EQ(ExpandIPv6Text("1::"), "1:0:0:0:0:0:0:0");
  EXPECT_EQ(ExpandIPv6Text(""), "");
  EXPECT_EQ(ExpandIPv6Text("1:2:3:4:5:6:7:8:9"), "");
  EXPECT_EQ(IPv6ToBytes("fe80::1"), std::string("\xFE\x80", 2) + std::string(13, '\0') + "\x01");
  EXPECT_EQ(IPv6ToBytes("zz::1"), std::string(16, '\0'));

  auto groups = [](std::initializer_list<int> g) {
    std::string b;
    for (int v : g) b += {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
    return b;
  };
  EXPECT_EQ(BytesToIPv6Text(groups({1, 0, 0, 2, 0, 0, 0, 0})), "1:0:0:2::");
  EXPECT_EQ(BytesToIPv6Text(std::string(16, '\0')), "::0");
  EXPECT_EQ(BytesToIPv6Text(std::string(15, '\0') + "\x01"), "::1");
  EXPECT_EQ(BytesToIPv6Text(groups({1, 0, 2, 0, 0, 3, 4, 5})), "1:0:2::3:4:5");
  EXPECT_EQ(BytesToIPv6Text(groups({0, 1, 0, 2, 0, 0, 3, 4})), "0:1:0:2::3:4");
  EXPECT_EQ(BytesToIPv6Text(groups({0xfe80, 1, 2, 3, 4, 5, 6, 0xABCD})), "fe80:1:2:3:4:5:6:abcd");
  // Round trip through the byte form.
  EXPECT_EQ(BytesToIPv6Text(IPv6ToBytes("2001:db8::8:800:200c:417a")), "2001:db8::8:800:200c:417a");
}

TEST(NameService, LookupAddressAndSin) {
  p::TVarSin sin;
  ASSERT_EQ(p::LookupAddress("0.0.0.0", "0", {0, p::kAfInet, p::kSockStream, p::kIpprotoTcp}, sin),
            0);
  EXPECT_EQ(sin.sin_family, p::kAfInet);
  EXPECT_EQ(p::SinLength(sin), 16);
  EXPECT_EQ(p::SinToText(sin), "0.0.0.0");

  ASSERT_EQ(p::LookupAddress("::1", "8080", {0, p::kAfInet6, p::kSockStream, p::kIpprotoTcp}, sin),
            0);
  EXPECT_EQ(sin.sin_family, p::kAfInet6);
  EXPECT_EQ(p::SinLength(sin), 28);
  EXPECT_EQ(p::SinToText(sin), "::1");
  EXPECT_EQ(p::SinToPort(sin), 8080);

  // The loopback texts go to the resolver without a host, so the family decides.
  ASSERT_EQ(p::LookupSin("127.0.0.1", "21", p::kAfInet6, p::kIpprotoTcp, p::kSockStream, true, sin),
            0);
  EXPECT_EQ(p::SinToText(sin), "::1");
  ASSERT_EQ(p::LookupSin("127.0.0.1", "21", p::kAfInet, p::kIpprotoTcp, p::kSockStream, true, sin),
            0);
  EXPECT_EQ(p::SinToText(sin), "127.0.0.1");
  EXPECT_EQ(p::SinToPort(sin), 21);

  // A name that cannot exist: the resolver's Windows Sockets code.
  const int r = p::LookupSin("no-such-host.invalid", "80", p::kAfInet, p::kIpprotoTcp,
                             p::kSockStream, true, sin);
  EXPECT_TRUE(r == p::kWSAHOST_NOT_FOUND || r == p::kWSANO_DATA || r == p::kWSATRY_AGAIN) << r;
  EXPECT_EQ(p::SinLength(sin), 0);

  // Port numbers beyond 16 bits name no port (never their low 16 bits).
  for (const char* port : {"65536", "65616", "4294967376", "000000065616"}) {
    SCOPED_TRACE(port);
    EXPECT_EQ(
        p::LookupSin("127.0.0.1", port, p::kAfInet, p::kIpprotoTcp, p::kSockStream, true, sin),
        p::kWSATYPE_NOT_FOUND);
    EXPECT_EQ(p::SinLength(sin), 0);
  }
  ASSERT_EQ(
      p::LookupSin("127.0.0.1", "65535", p::kAfInet, p::kIpprotoTcp, p::kSockStream, true, sin), 0);
  EXPECT_EQ(p::SinToPort(sin), 65535);
}

TEST(NameService, HostAddressesPortsNames) {
  std::vector<std::string> list{"stale"};
  p::LookupHostAddresses("127.0.0.1", p::kAfInet, 0, 0, list);
  EXPECT_EQ(list, std::vector<std::string>{"127.0.0.1"});
  p::LookupHostAddresses("::1", p::kAfInet, 0, 0, list);  // IPv6 results left out
  EXPECT_EQ(list, std::vector<std::string>{"0.0.0.0"});
  p::LookupHostAddresses("no-such-host.invalid", p::kAfUnspec, 0, 0, list);
  EXPECT_EQ(list, std::vector<std::string>{"0.0.0.0"});

  EXPECT_EQ(p::LookupPortNumber("8080", p::kAfUnspec, 0, 0), 8080);
  EXPECT_EQ(p::LookupPortNumber("ftp", p::kAfUnspec, p::kIpprotoTcp, p::kSockStream), 21);
  EXPECT_EQ(p::LookupPortNumber("no-such-service", p::kAfUnspec, 0, 0), 0);

  EXPECT_EQ(p::LookupHostName("no-such-host.invalid", p::kAfUnspec, 0, 0), "no-such-host.invalid");
  const std::string host = p::MachineHostName();
  EXPECT_FALSE(host.empty());
  EXPECT_LE(host.size(), 254u);
}

TEST(DescriptorSet, HoldsAtMost64) {
  p::TFDSet set;
  for (p::SocketHandle s = 1; s <= 70; ++s) p::FDSet(s, set);
  EXPECT_EQ(set.fd_count, 64u);
  EXPECT_EQ(set.fd_array[63], 64u);
  p::FDZero(set);
  EXPECT_EQ(set.fd_count, 0u);
}

TEST(SocketErrors, OneTableForNumbersNamesAndTexts) {
  EXPECT_EQ(std::size(p::kSocketErrorTexts), 51u);
  int previous = 0;
  for (const p::SocketErrorText& e : p::kSocketErrorTexts) {
    EXPECT_GT(e.number, previous) << e.name;  // ascending, no number twice
    previous = e.number;
    EXPECT_EQ(GetErrorDesc(e.number), e.text);
  }
  EXPECT_EQ(p::kWSAECONNRESET, 10054);
  EXPECT_STREQ(p::kSocketErrorTexts[0].name, "WSAEINTR");

  // A platform failure arrives as its Windows Sockets number on both builds.
  p::TVarSin sin;
  ASSERT_EQ(
      p::LookupAddress("127.0.0.1", "0", {0, p::kAfInet, p::kSockStream, p::kIpprotoTcp}, sin), 0);
  p::UniqueSocket first(p::CreateSocket(p::kAfInet, p::kSockStream, p::kIpprotoTcp));
  ASSERT_EQ(p::BindSocket(first.Get(), sin), 0);
  ASSERT_EQ(p::ListenSocket(first.Get(), 1), 0);
  p::GetLocalAddress(first.Get(), sin);
  p::UniqueSocket second(p::CreateSocket(p::kAfInet, p::kSockStream, p::kIpprotoTcp));
  EXPECT_EQ(p::BindSocket(second.Get(), sin), -1);
  EXPECT_EQ(p::LastSocketError(), p::kWSAEADDRINUSE);
}

// A receive of what is waiting never blocks; the plain calls after it still do, and a socket
// the caller made non-blocking stays so.
TEST(SocketModes, AReceiveOfWhatIsWaitingLeavesTheOtherCallsAsTheyWere) {
  p::TVarSin sin;
  ASSERT_EQ(
      p::LookupAddress("127.0.0.1", "0", {0, p::kAfInet, p::kSockStream, p::kIpprotoTcp}, sin), 0);
  p::UniqueSocket listener(p::CreateSocket(p::kAfInet, p::kSockStream, p::kIpprotoTcp));
  ASSERT_EQ(p::BindSocket(listener.Get(), sin), 0);
  ASSERT_EQ(p::ListenSocket(listener.Get(), 1), 0);
  p::GetLocalAddress(listener.Get(), sin);
  p::UniqueSocket client(p::CreateSocket(p::kAfInet, p::kSockStream, p::kIpprotoTcp));
  ASSERT_EQ(p::ConnectSocket(client.Get(), sin), 0);
  p::TVarSin peer;
  p::UniqueSocket server(p::AcceptSocket(listener.Get(), peer));
  ASSERT_TRUE(server);

  char buffer[16];
  EXPECT_EQ(p::RecvSocketWaiting(client.Get(), buffer, sizeof buffer), 0);  // nothing yet
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    p::SendSocket(server.Get(), "abc", 3, 0);
  });
  EXPECT_EQ(p::RecvSocket(client.Get(), buffer, sizeof buffer, 0), 3) << "did not wait";
  later.join();

  ASSERT_EQ(p::SendSocket(server.Get(), "de", 2, 0), 2);
  int got = 0;
  for (int i = 0; i < 200 && got == 0; ++i) {
    got = p::RecvSocketWaiting(client.Get(), buffer, sizeof buffer);
    if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(std::string(buffer, got > 0 ? got : 0), "de");
  EXPECT_EQ(p::SendSocket(client.Get(), "x", 1, 0), 1);
  EXPECT_EQ(p::RecvSocket(server.Get(), buffer, sizeof buffer, 0), 1);

  ASSERT_EQ(p::SetNonBlocking(client.Get(), true), 0);
  EXPECT_EQ(p::RecvSocketWaiting(client.Get(), buffer, sizeof buffer), 0);
  EXPECT_EQ(p::RecvSocket(client.Get(), buffer, sizeof buffer, 0), p::kSocketError);
  EXPECT_EQ(p::LastSocketError(), p::kWSAEWOULDBLOCK);
}

TEST(SocketOwner, ClosesOnceAndMoves) {
  p::UniqueSocket a(p::CreateSocket(p::kAfInet, p::kSockStream, p::kIpprotoTcp));
  ASSERT_TRUE(a);
  const p::SocketHandle h = a.Get();
  p::UniqueSocket b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(b.Get(), h);
  b.Reset();
  EXPECT_FALSE(b);
  // The handle is closed: the platform no longer knows it.
  p::TVarSin sin;
  EXPECT_EQ(p::GetLocalAddress(h, sin), -1);
}

}  // namespace
}  // namespace vlt::net
