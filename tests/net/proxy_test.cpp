// The TCP socket through real proxies on loopback: dante (SOCKS 4, 4a, 5) and tinyproxy (HTTP
// CONNECT with Basic authentication), started by the ctest fixture tests/net/proxies.py, which
// names their ports in the file given by VLT_PROXY_PORTS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "net/tcp_block_socket.h"
#include "tests/net/script_server.h"
#include "tests/support/fixture_settings.h"

namespace vlt::net {
namespace {

using test::Recv;
using test::RecvUntilClose;
using test::ScriptServer;
using test::Send;

class ProxyTest : public ::testing::Test {
 protected:
  std::map<std::string, std::string> proxies = test::FixtureSettings("VLT_PROXY_PORTS");
  void SetUp() override {
    ASSERT_TRUE(proxies.count("socks") && proxies.count("http"))
        << "no proxies: run through ctest (fixture net_proxies) or start them with "
           "tests/net/proxies.py start DIR and set VLT_PROXY_PORTS=DIR/ports";
  }
  // One exchange with the target through the configured socket.
  void Exchange(TTCPBlockSocket& s, const std::string& host, const ScriptServer& target) {
    s.Connect(host, target.Port());
    ASSERT_EQ(s.LastError(), 0) << s.LastErrorDesc();
    EXPECT_EQ(s.RecvString(10000), "hello from the target");
    s.SendString("ping\r\n");
    EXPECT_EQ(s.LastError(), 0);
  }
};

TEST_F(ProxyTest, SocksVariantsThroughDante) {
  struct Case {
    const char* name;
    TSocksType type;
    const char* host;
    bool resolver;
  };
  const Case cases[] = {
      {"SOCKS 5, address", ST_Socks5, "127.0.0.1", true},
      {"SOCKS 5, name resolved by the server", ST_Socks5, "localhost", true},
      {"SOCKS 5, name resolved here", ST_Socks5, "localhost", false},
      {"SOCKS 4, address", ST_Socks4, "127.0.0.1", true},
      {"SOCKS 4, name resolved here", ST_Socks4, "localhost", false},
      // dante reads a SOCKS 4a request's 0.0.0.1 as the address itself: 4a is checked
      // against the scriptable server only.
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptServer target({Send("hello from the target\r\n"), Recv(6), RecvUntilClose()});
    TTCPBlockSocket s;
    s.SetSocksIP("127.0.0.1");
    s.SetSocksPort(proxies["socks"]);
    s.SetSocksType(c.type);
    s.SetSocksResolver(c.resolver);
    s.SetFamily(SF_IP4);
    Exchange(s, c.host, target);
    if (HasFatalFailure()) continue;
    EXPECT_TRUE(s.UsingSocks());
    EXPECT_EQ(s.SocksLastError(), c.type == ST_Socks5 ? 0 : 90);
    EXPECT_EQ(s.GetRemoteSinIP(), c.host);
    EXPECT_EQ(std::to_string(s.GetRemoteSinPort()), target.Port());
    s.CloseSocket();
    EXPECT_EQ(target.Received(), "ping\r\n");
  }
}

TEST_F(ProxyTest, SocksServerRefusesAClosedTarget) {
  const std::string closed = test::ClosedPort();
  for (TSocksType type : {ST_Socks5, ST_Socks4}) {
    TTCPBlockSocket s;
    s.SetSocksIP("127.0.0.1");
    s.SetSocksPort(proxies["socks"]);
    s.SetSocksType(type);
    s.Connect("127.0.0.1", closed);
    EXPECT_EQ(s.LastError(), 10091);
    EXPECT_EQ(s.LastErrorDesc(), "Network subsystem is unusable");
    // SOCKS 5 "connection refused" is 5; SOCKS 4 has only "rejected or failed", 91.
    EXPECT_EQ(s.SocksLastError(), type == ST_Socks5 ? 5 : 91);
  }
}

TEST_F(ProxyTest, HttpTunnelThroughTinyproxy) {
  ScriptServer target({Send("hello from the target\r\n"), Recv(6), RecvUntilClose()});
  TTCPBlockSocket s;
  s.SetHTTPTunnelIP("127.0.0.1");
  s.SetHTTPTunnelPort(proxies["http"]);
  s.SetHTTPTunnelUser(proxies["http_user"]);
  s.SetHTTPTunnelPass(proxies["http_password"]);
  Exchange(s, "127.0.0.1", target);
  if (HasFatalFailure()) return;
  EXPECT_TRUE(s.HTTPTunnel());
  EXPECT_EQ(s.GetRemoteSinIP(), "127.0.0.1");
  s.CloseSocket();
  EXPECT_EQ(target.Received(), "ping\r\n");
}

TEST_F(ProxyTest, HttpTunnelDeniedWithoutCredentials) {
  ScriptServer target({RecvUntilClose()});
  TTCPBlockSocket s;
  s.SetHTTPTunnelIP("127.0.0.1");
  s.SetHTTPTunnelPort(proxies["http"]);
  s.Connect("127.0.0.1", target.Port());
  EXPECT_EQ(s.LastError(), 10061);
  EXPECT_EQ(s.LastErrorDesc(), "the proxy answered 407 Proxy Authentication Required");
  EXPECT_EQ(s.HTTPTunnelResultCode(), 407);
  EXPECT_FALSE(s.HTTPTunnel());
}

}  // namespace
}  // namespace vlt::net
