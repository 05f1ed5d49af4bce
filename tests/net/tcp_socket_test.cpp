#include <gtest/gtest.h>

#include "net/net_client.h"
#include "net/tcp_block_socket.h"
#include "net/text_functions.h"
#include "tests/net/script_server.h"

namespace vlt::net {
namespace {

using test::Recv;
using test::RecvUntilClose;
using test::ScriptServer;
using test::Send;

// "05 01 00" -> the three bytes.
std::string Hex(const char* text) {
  std::string out;
  unsigned v = 0;
  int digits = 0;
  for (const char* c = text;; ++c) {
    if (*c && *c != ' ') {
      v = v * 16 + static_cast<unsigned>(*c <= '9' ? *c - '0' : (*c | 0x20) - 'a' + 10);
      ++digits;
      continue;
    }
    if (digits) out += static_cast<char>(v);
    v = 0;
    digits = 0;
    if (!*c) return out;
  }
}

TEST(SocksBytes, RequestsEncoded) {
  struct Case {
    TSocksType type;
    const char* host;
    std::uint16_t port;
    const char* user;
    const char* bytes;
  };
  const Case cases[] = {
      {ST_Socks5, "abc", 80, "", "03 03 61 62 63 00 50"},
      {ST_Socks5, "10.1.2.3", 443, "", "01 0a 01 02 03 01 bb"},
      {ST_Socks5, "::1", 1, "", "04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 01"},
      {ST_Socks4, "abc", 80, "u", "00 50 00 00 00 01 75 00 61 62 63 00"},  // 4a: name follows
      {ST_Socks4, "10.1.2.3", 80, "", "00 50 0a 01 02 03 00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SocksAddressBytes(c.type, c.host, c.port, c.user), Hex(c.bytes)) << c.host;
  EXPECT_EQ(SocksGreeting(false), Hex("05 01 00"));
  EXPECT_EQ(SocksGreeting(true), Hex("05 02 02 00"));
  EXPECT_EQ(SocksAuthMessage("u", "pw"), Hex("01 01 75 02 70 77"));
  // Fields longer than a length byte can count are cut to 255 bytes, not wrapped.
  EXPECT_EQ(SocksAuthMessage(std::string(300, 'x'), "").substr(0, 2), Hex("01 ff"));
  EXPECT_EQ(SocksAddressBytes(ST_Socks5, std::string(300, 'h'), 1, "").substr(0, 2), Hex("03 ff"));
}

TEST(SocksBytes, RepliesParsed) {
  struct Case {
    TSocksType type;
    const char* reply;
    const char* ip;
    const char* port;
    int next;
  };
  const Case cases[] = {
      {ST_Socks5, "05 00 00 01 7f 00 00 01 1f 90", "127.0.0.1", "8080", 11},
      {ST_Socks5, "05 00 00 03 05 68 6f 73 74 73 00 15", "hosts", "21", 13},
      {ST_Socks5, "05 00 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 50", "::1", "80",
       23},
      {ST_Socks4, "00 5a 00 50 0a 00 00 02", "10.0.0.2", "80", 9},
      // Too short for its address type, or an unknown type: no address, port "0".
      {ST_Socks5, "05 00 00 01 7f 00", "", "0", 1},
      {ST_Socks5, "05 00 00 03 09 68", "", "0", 1},
      {ST_Socks5, "05 00 00 07 00 00 00 00 00 00", "", "0", 1},
      {ST_Socks4, "00 5a 00", "", "0", 1},
  };
  for (const Case& c : cases) {
    const SocksReplyFields f = ParseSocksReplyBytes(c.type, Hex(c.reply));
    EXPECT_EQ(f.IP, c.ip) << c.reply;
    EXPECT_EQ(f.Port, c.port) << c.reply;
    EXPECT_EQ(f.Next, c.next) << c.reply;
  }
}

class SocksTest : public ::testing::Test {
 protected:
  std::vector<std::string> connects;
  TTCPBlockSocket s;
  void SetUp() override {
    s.OnStatus = [this](TBlockSocket*, THookSocketReason r, const std::string& v) {
      if (r == HR_Connect) connects.push_back(v);
    };
  }
  void UseServer(const ScriptServer& server) {
    s.SetSocksIP("127.0.0.1");
    s.SetSocksPort(server.Port());
  }
};

TEST_F(SocksTest, Socks5WithoutAuthentication) {
  ScriptServer server({Recv(3), Send(Hex("05 00")), Recv(10),
                       Send(Hex("05 00 00 01 0A 01 02 03 1F 90")), RecvUntilClose()});
  UseServer(server);
  s.Connect("abc", "80");
  ASSERT_EQ(s.LastError(), 0) << s.LastErrorDesc();
  EXPECT_TRUE(s.UsingSocks());
  EXPECT_EQ(s.SocksLastError(), 0);
  EXPECT_EQ(s.GetRemoteSinIP(), "abc");
  EXPECT_EQ(s.GetRemoteSinPort(), 80);
  EXPECT_EQ(s.GetLocalSinIP(), "10.1.2.3");
  EXPECT_EQ(s.GetLocalSinPort(), 8080);
  EXPECT_EQ(connects, (std::vector<std::string>{"127.0.0.1:" + server.Port(), "abc:80"}));
  s.CloseSocket();
  EXPECT_EQ(server.Received(), Hex("05 01 00  05 01 00 03 03 61 62 63 00 50"));
}

TEST_F(SocksTest, Socks5UserNameRefused) {
  ScriptServer server(
      {Recv(4), Send(Hex("05 02")), Recv(1 + 1 + 3 + 1 + 2), Send(Hex("01 01")), RecvUntilClose()});
  UseServer(server);
  s.SetSocksUsername("joe");
  s.SetSocksPassword("pw");
  s.Connect("abc", "80");
  EXPECT_EQ(s.LastError(), 10091);
  EXPECT_EQ(s.LastErrorDesc(), "Network subsystem is unusable");
  EXPECT_FALSE(s.UsingSocks());
  s.CloseSocket();
  EXPECT_EQ(server.Received(), Hex("05 02 02 00  01 03 6A 6F 65 02 70 77"));
}

TEST_F(SocksTest, Socks5NoAcceptableMethod) {
  ScriptServer server({Recv(3), Send(Hex("05 FF")), RecvUntilClose()});
  UseServer(server);
  s.Connect("abc", "80");
  EXPECT_EQ(s.LastError(), 10091);
  EXPECT_EQ(s.SocksLastError(), 0);  // no reply was read
}

TEST_F(SocksTest, Socks5NameReplyReadCompletely) {
  ScriptServer server({Recv(3), Send(Hex("05 00")), Recv(10),
                       Send(Hex("05 00 00 03 05 68 65 6C 6C 6F 00 50") + "after"),
                       RecvUntilClose()});
  UseServer(server);
  s.Connect("abc", "80");
  ASSERT_EQ(s.LastError(), 0) << s.LastErrorDesc();
  EXPECT_EQ(s.GetLocalSinIP(), "hello");
  EXPECT_EQ(s.GetLocalSinPort(), 80);
  EXPECT_EQ(s.RecvPacket(5000), "after");
}

TEST_F(SocksTest, Socks4aRequestAndRefusal) {
  ScriptServer server({Recv(14), Send(Hex("00 5B 00 00 00 00 00 00")), RecvUntilClose()});
  UseServer(server);
  s.SetSocksType(ST_Socks4);
  s.SetSocksUsername("u");
  s.Connect("abc", "80");
  EXPECT_EQ(s.LastError(), 10091);
  EXPECT_EQ(s.SocksLastError(), 91);
  s.CloseSocket();
  EXPECT_EQ(server.Received(), Hex("04 01 00 50 00 00 00 01 75 00 61 62 63 00"));
}

TEST_F(SocksTest, Socks4ResolvedLocally) {
  ScriptServer server({Recv(9), Send(Hex("00 5A 12 34 01 02 03 04")), RecvUntilClose()});
  UseServer(server);
  s.SetSocksType(ST_Socks4);
  s.SetSocksResolver(false);
  s.SetFamily(SF_IP4);
  s.Connect("localhost", "80");
  ASSERT_EQ(s.LastError(), 0) << s.LastErrorDesc();
  EXPECT_EQ(s.SocksLastError(), 90);
  EXPECT_EQ(s.GetLocalSinIP(), "1.2.3.4");
  EXPECT_EQ(s.GetLocalSinPort(), 0x1234);
  s.CloseSocket();
  EXPECT_EQ(server.Received(), Hex("04 01 00 50 7F 00 00 01 00"));
}

TEST_F(SocksTest, ListenAndAcceptThroughSocks5) {
  ScriptServer server({Recv(3), Send(Hex("05 00")), Recv(10),
                       Send(Hex("05 00 00 01 0A 00 00 05 04 00")),
                       Send(Hex("05 00 00 01 C0 A8 00 09 13 88") + "peer data"), RecvUntilClose()});
  UseServer(server);
  s.Bind("127.0.0.1", "0");
  const int local_port = s.GetLocalSinPort();
  s.Listen();
  ASSERT_EQ(s.LastError(), 0) << s.LastErrorDesc();
  EXPECT_EQ(s.GetLocalSinIP(), "10.0.0.5");
  EXPECT_EQ(s.GetLocalSinPort(), 1024);
  EXPECT_EQ(s.Accept(), s.Socket());
  EXPECT_EQ(s.GetRemoteSinIP(), "192.168.0.9");
  EXPECT_EQ(s.GetRemoteSinPort(), 5000);
  EXPECT_EQ(s.RecvPacket(5000), "peer data");
  s.CloseSocket();
  EXPECT_EQ(server.Received(), Hex("05 01 00 05 02 00 01 7F 00 00 01") +
                                   WordToBytes(static_cast<std::uint16_t>(local_port)));
}

TEST_F(SocksTest, RefusedBindIsNonRecoverable) {
  ScriptServer server({Recv(3), Send(Hex("05 00")), Recv(10),
                       Send(Hex("05 07 00 01 00 00 00 00 00 00")), RecvUntilClose()});
  UseServer(server);
  s.Bind("127.0.0.1", "0");
  s.Listen();
  EXPECT_EQ(s.LastError(), 11003);
  EXPECT_EQ(s.SocksLastError(), 7);
}

TEST(HttpTunnel, ConnectToBracketedIPv6WithProxyAuthentication) {
  const std::string request =
      "CONNECT [::1]:443 HTTP/1.0\r\n"
      "Proxy-Authorization: Basic " +
      ToBase64("joe:s3cret") + "\r\n\r\n";
  ScriptServer server({Recv(static_cast<int>(request.size())),
                       Send("HTTP/1.0 200 Connection established\r\nX: y\r\n\r\nhello"),
                       RecvUntilClose()});
  TTCPBlockSocket s;
  s.SetHTTPTunnelIP("127.0.0.1");
  s.SetHTTPTunnelPort(server.Port());
  s.SetHTTPTunnelUser("joe");
  s.SetHTTPTunnelPass("s3cret");
  bool after_connect = false;
  s.OnAfterConnect = [&](TBlockSocket*) { after_connect = true; };
  s.Connect("::1", "443");
  ASSERT_EQ(s.LastError(), 0) << s.LastErrorDesc();
  EXPECT_TRUE(s.HTTPTunnel());
  EXPECT_TRUE(after_connect);
  EXPECT_EQ(s.GetRemoteSinIP(), "[::1]");
  EXPECT_EQ(s.GetRemoteSinPort(), 443);
  EXPECT_EQ(s.RecvPacket(5000), "hello");
  s.CloseSocket();
  EXPECT_EQ(server.Received(), request);
}

// A proxy's refusal is told as the proxy's answer, read as any HTTP reply head is (fields and
// a body after it included), and keeps the number a refused connection has.
TEST(HttpTunnel, AnswersThatRefuse) {
  const struct {
    std::string reply;
    std::int32_t code;
    const char* desc;
  } cases[] = {
      {"HTTP/1.0 407 Proxy Authentication Required\r\n"
       "Proxy-Authenticate: Basic realm=\"proxy\"\r\nContent-Length: 5\r\n\r\nnope!",
       407, "the proxy answered 407 Proxy Authentication Required"},
      {"HTTP/1.1 403 Forbidden\r\n\r\n", 403, "the proxy answered 403 Forbidden"},
      {"HTTP/1.0 2\r\n\r\n", 2, "the proxy answered 2"},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 502 Bad Gateway\r\n\r\n", 502,
       "the proxy answered 502 Bad Gateway"},
      {"SSH-2.0-OpenSSH\r\n\r\n", 0, "the proxy's answer to CONNECT is not an HTTP reply"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    ScriptServer server({Recv(30), Send(c.reply), RecvUntilClose()});
    TTCPBlockSocket s;
    s.SetHTTPTunnelIP("127.0.0.1");
    s.SetHTTPTunnelPort(server.Port());
    bool after_connect = false;
    s.OnAfterConnect = [&](TBlockSocket*) { after_connect = true; };
    s.Connect("example", "80");
    EXPECT_EQ(s.LastError(), 10061);
    EXPECT_EQ(s.LastErrorDesc(), c.desc);
    EXPECT_EQ(s.HTTPTunnelResultCode(), c.code);
    EXPECT_FALSE(s.HTTPTunnel());
    EXPECT_FALSE(after_connect);
    s.CloseSocket();
    // The next connection, refused for real, is not described as the proxy's answer.
    s.SetHTTPTunnelIP("");
    s.Connect("127.0.0.1", test::ClosedPort());
    EXPECT_EQ(s.LastError(), 10061);
    EXPECT_EQ(s.LastErrorDesc(), "Connection refused");
  }
}

TEST(SecurityPlugin, EverySecureOperationFails) {
  ScriptServer server({RecvUntilClose()});
  std::string error_report;
  TTCPBlockSocket s;
  s.OnStatus = [&](TBlockSocket*, THookSocketReason r, const std::string& v) {
    if (r == HR_Error) error_report = v;
  };
  EXPECT_EQ(s.SSL().LibName(), "ssl_none");
  EXPECT_EQ(s.SSL().LibVersion(), "Without SSL support");
  s.Connect("127.0.0.1", server.Port());
  ASSERT_EQ(s.LastError(), 0);
  s.SSLDoConnect();
  EXPECT_EQ(s.LastError(), 10091);
  EXPECT_EQ(s.LastErrorDesc(), "SSL/TLS support is not compiled!");
  EXPECT_EQ(error_report, "10091,SSL/TLS support is not compiled!");
  EXPECT_FALSE(s.SSLAcceptConnection());
  EXPECT_FALSE(s.SSL().SSLEnabled());

  s.SetRaiseExcept(true);
  try {
    s.SSLDoConnect();
    FAIL() << "no exception";
  } catch (const ESocketError& e) {
    EXPECT_EQ(e.ErrorCode, 10091);
    EXPECT_STREQ(e.what(), "TCP/IP Socket error 10091: SSL/TLS support is not compiled!");
  }
  s.SetRaiseExcept(false);
  s.OnStatus = nullptr;

  TCustomSSL base(&s);
  base.SNIHost = "host";
  base.CertComplianceLevel = 3;
  base.SetCertCAFile("ca.pem");
  TSSLNone copy(&s);
  copy.Assign(base);
  EXPECT_EQ(copy.SNIHost, "host");
  EXPECT_EQ(copy.CertComplianceLevel, 3);
  EXPECT_EQ(copy.CertCAFile(), "ca.pem");
  EXPECT_EQ(base.LibName(), "");
  EXPECT_EQ(base.GetVerifyCert(), 1);
  EXPECT_EQ(base.GetPeerSerialNo(), -1);
}

TEST(NetClient, Defaults) {
  TNetClient c;
  EXPECT_EQ(c.TargetHost, "127.0.0.1");
  EXPECT_EQ(c.TargetPort, "0");
  EXPECT_EQ(c.IPInterface, "0.0.0.0");
  EXPECT_EQ(c.Timeout, 5000);
  EXPECT_EQ(c.UserName, "");
  EXPECT_EQ(c.Password, "");

  TTCPBlockSocket s;
  EXPECT_EQ(s.SocksPort(), "1080");
  EXPECT_EQ(s.SocksTimeout(), 60000);
  EXPECT_TRUE(s.SocksResolver());
  EXPECT_EQ(s.SocksType(), ST_Socks5);
  EXPECT_EQ(s.HTTPTunnelTimeout(), 30000);
  EXPECT_EQ(s.GetSocketType(), platform::kSockStream);
}

}  // namespace
}  // namespace vlt::net
