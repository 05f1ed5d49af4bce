// https through the system's security plug-in (SChannel under Wine, the system's TLS library
// natively) against the peers of tests/net/tls_servers.py, whose settings file VLT_TLS names:
// nginx with a good certificate and with four bad ones, and raw peers that cut the handshake,
// stall, or end a body with or without closing the TLS session. The CA that signed the good
// certificate is trusted only through CertCAFile.
#include <gtest/gtest.h>

#include <map>

#include "download/vlt_download.h"
#include "net/ftp_client.h"
#include "net/http_client.h"
#include "net/ssl_stream.h"
#include "platform/files.h"
#include "platform/log.h"
#include "tests/download/download_helpers.h"
#include "tests/support/fixture_settings.h"
#include "tests/support/temp_dir.h"

namespace vlt::download {
namespace {

// The plug-in every socket of this program gets, as the product sets it at start.
const auto* const kPlugin = [] {
  net::DefaultSecurityPlugin = net::SystemSecurityPlugin;
  return &net::DefaultSecurityPlugin;
}();

class TlsDownloadTest : public ::testing::Test {
 protected:
  std::map<std::string, std::string> tls = test::FixtureSettings("VLT_TLS");
  test::TempDir tmp;
  TVltDownload d;

  void SetUp() override {
    ASSERT_TRUE(tls.count("good"))
        << "no TLS peers: run through ctest (fixture tls_servers) or start them with "
           "tests/net/tls_servers.py start DIR and set VLT_TLS=DIR/ports";
    d.SetProtocolo(protHTTP);
    d.SetDownloadDest(tmp.path());
    d.SetDownloadNomeArq("f.bin");
    d.SetCertCAFile(tls["ca"]);
  }
  std::string Url(const std::string& server, const std::string& path = "/small.bin",
                  const std::string& host = "127.0.0.1") {
    return "https://" + host + ":" + tls[server] + path;
  }
  void Fetch(const std::string& url) {
    d.SetDownloadUrl(url);
    d.StartDownload();
  }
  bool Finished() const { return platform::FileExists(tmp / "f.bin"); }
  std::string Reason() const { return d.Engine().FailureText(); }
  // Whatever a refused transfer leaves is at most an empty partial file.
  void ExpectNothingKept() const {
    EXPECT_FALSE(Finished());
    if (platform::FileExists(tmp / "f.bin.part")) {
      EXPECT_EQ(test::ReadFile(tmp / "f.bin.part"), "");
    }
  }
};

TEST_F(TlsDownloadTest, GoodCertificateByAddressAndByName) {
  platform::LogFile log;
  ASSERT_TRUE(log.Open(tmp / "registro.log"));
  platform::ScopedLog scope(log);
  for (const std::string host : {"127.0.0.1", "localhost"}) {
    SCOPED_TRACE(host);
    Fetch(Url("good", "/small.bin", host));
    ASSERT_TRUE(Finished()) << Reason();
    const std::string body = test::ReadFile(tmp / "f.bin");
    EXPECT_EQ(body.size(), 81920u);
    EXPECT_EQ(body.substr(0, 22), "00000000 veltra tls\n00");
    platform::RemoveFile(tmp / "f.bin");
  }
  // The log names the session and the certificate each file came with.
  const std::string logged = test::ReadFile(tmp / "registro.log");
  EXPECT_NE(logged.find(", certificado de localhost (SHA-256 "), std::string::npos) << logged;
  EXPECT_NE(logged.find(", TLSv1."), std::string::npos) << logged;
}

TEST_F(TlsDownloadTest, BadCertificatesAreRefusedWithTheirReason) {
  struct Case {
    const char* server;
    const char* host;
    bool trust_ca;
    const char* reason;
  };
  const Case cases[] = {
      {"unknown_ca", "127.0.0.1", true, "the certificate of 127.0.0.1 is not trusted"},
      {"self_signed", "localhost", true, "the certificate of localhost is self-signed"},
      {"wrong_host", "127.0.0.1", true, "the certificate of 127.0.0.1 does not name 127.0.0.1"},
      {"wrong_host", "localhost", true, "the certificate of localhost does not name localhost"},
      {"expired", "127.0.0.1", true, "the certificate of 127.0.0.1 has expired"},
      // The private CA is nobody's root unless the caller names it.
      {"good", "127.0.0.1", false, "the certificate of 127.0.0.1 is not trusted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " " + c.host);
    d.SetCertCAFile(c.trust_ca ? tls["ca"] : "");
    Fetch(Url(c.server, "/small.bin", c.host));
    ExpectNothingKept();
    EXPECT_NE(Reason().find(c.reason), std::string::npos) << Reason();
  }
}

// Names as RFC 9525 has them: a wildcard only as a whole left-most label standing for one label,
// and never the subject's common name. The session is asked for the name while the connection
// goes to 127.0.0.1, as a resolver would send it.
TEST_F(TlsDownloadTest, CertificateNamesCountOnlyAsTheRulesSay) {
  struct Case {
    const char* server;
    const char* host;
    const char* refusal;  // nullptr: accepted
  } const cases[] = {
      {"wildcard", "foo.x.test", nullptr},
      {"wildcard", "FOO.X.Test", nullptr},
      {"wildcard", "a.foo.x.test",
       "the certificate of a.foo.x.test does not name a.foo.x.test: it names *.x.test"},
      {"wildcard", "x.test", "the certificate of x.test does not name x.test: it names *.x.test"},
      {"partial_wildcard", "foo.x.test",
       "the certificate of foo.x.test does not name foo.x.test: it names f*.x.test (a wildcard "
       "counts only as a whole left-most label)"},
      {"cn_only", "localhost",
       "the certificate of localhost does not name localhost: it names no host (only its "
       "subject's common name says \"localhost\", which does not count)"},
      {"wrong_host", "localhost",
       "the certificate of localhost does not name localhost: it names other.example"},
      {"good", "127.0.0.2",
       "the certificate of 127.0.0.2 does not name 127.0.0.2: it names localhost, 127.0.0.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " as " + c.host);
    net::THTTPClient http;
    http.Sock().SSL().SetCertCAFile(tls["ca"]);
    http.Sock().SSL().SNIHost = c.host;
    const bool fetched = http.HTTPMethod("GET", Url(c.server));
    if (c.refusal == nullptr) {
      EXPECT_TRUE(fetched) << http.Sock().SSL().LastErrorDesc();
      EXPECT_EQ(http.Document().Size(), 81920);
    } else {
      EXPECT_FALSE(fetched);
      EXPECT_EQ(http.Sock().SSL().LastErrorDesc(), c.refusal);
    }
  }
}

// Refused by the product's own checks, whatever the system's library would let through: weak
// digests anywhere below the root, short keys, and certificates not meant for a server.
TEST_F(TlsDownloadTest, WeakOrMisusedCertificatesAreRefusedWithTheFault) {
  struct Case {
    const char* server;
    const char* refusal;  // nullptr: accepted
  } const cases[] = {
      {"rsa_chain", nullptr},  // the MD5 case's chain, signed with SHA-256
      {"sha1", "is too weak: it is signed with SHA-1"},
      {"md5", "is too weak: it is signed with MD5"},
      {"sha1_ca",
       "is too weak: the CA certificate \"Veltra test SHA-1 CA\" in its chain is signed with "
       "SHA-1"},
      {"rsa1024", "is too weak: its RSA key has 1024 bits (at least 2048 are needed)"},
      {"key_cert_sign",
       "is not meant for a TLS server: its key usage allows neither digital signatures nor key "
       "encipherment (only certificate signing)"},
      {"client_auth",
       "is not meant for a TLS server: its extended key usage does not include server "
       "authentication (only client authentication)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    Fetch(Url(c.server));
    if (c.refusal == nullptr) {
      ASSERT_TRUE(Finished()) << Reason();
      EXPECT_EQ(test::ReadFile(tmp / "f.bin").size(), 81920u);
      platform::RemoveFile(tmp / "f.bin");
    } else {
      ExpectNothingKept();
      EXPECT_NE(Reason().find(std::string("the certificate of 127.0.0.1 ") + c.refusal),
                std::string::npos)
          << Reason();
    }
  }
}

// A file asked for over TLS is not fetched in the clear because the server says so.
TEST_F(TlsDownloadTest, ARedirectionToPlainHttpIsRefused) {
  Fetch(Url("good", "/to-plain"));
  EXPECT_FALSE(Finished());
  EXPECT_NE(Reason().find("redirection (302) from https to plain http refused"), std::string::npos)
      << Reason();
}

TEST_F(TlsDownloadTest, HandshakesThatGoWrongEndWithAReason) {
  Fetch(Url("cut"));
  ExpectNothingKept();
  EXPECT_NE(Reason().find("127.0.0.1 closed the connection during the TLS handshake"),
            std::string::npos)
      << Reason();

  net::THTTPClient http;
  http.Sock().SSL().HandshakeTimeout = 1000;
  EXPECT_FALSE(http.HTTPMethod("GET", Url("stall")));
  EXPECT_NE(http.Sock().SSL().LastErrorDesc().find(
                "the TLS handshake with 127.0.0.1 did not end within 1 s"),
            std::string::npos)
      << http.Sock().SSL().LastErrorDesc();
}

// A body whose end is the end of the connection is whole only when the server closed the TLS
// session: a bare TCP close could be anyone on the path cutting it short.
TEST_F(TlsDownloadTest, ABodyEndedByTheConnectionNeedsTheTlsClose) {
  Fetch(Url("close_notify"));
  ASSERT_TRUE(Finished()) << Reason();
  EXPECT_EQ(test::ReadFile(tmp / "f.bin").size(), 81920u);
  platform::RemoveFile(tmp / "f.bin");

  // Bytes that arrive with the end of the handshake are the start of the reply, not lost.
  Fetch(Url("eager"));
  ASSERT_TRUE(Finished()) << Reason();
  EXPECT_EQ(test::ReadFile(tmp / "f.bin").size(), 81920u);
  platform::RemoveFile(tmp / "f.bin");

  Fetch(Url("no_close_notify"));
  EXPECT_FALSE(Finished());
  EXPECT_NE(Reason().find("closed the connection without ending the TLS session"),
            std::string::npos)
      << Reason();
  // A cut link, not a refused certificate: another attempt may bring the rest.
  EXPECT_EQ(d.Falha().Tipo, ftIncompleta);
}

TEST_F(TlsDownloadTest, SessionDetailsAreThereAfterTheHandshake) {
  net::THTTPClient http;
  http.Sock().SSL().SetCertCAFile(tls["ca"]);
  ASSERT_TRUE(http.HTTPMethod("GET", Url("good", "/small.bin.sha256", "localhost")));
  EXPECT_EQ(http.ResultCode(), 200);
  net::TCustomSSL& ssl = http.Sock().SSL();
  EXPECT_EQ(ssl.GetVerifyCert(), 0);
  // The newest both ends know; Wine's SChannel stops at 1.2.
  EXPECT_TRUE(ssl.GetSSLVersion() == "TLSv1.3" || ssl.GetSSLVersion() == "TLSv1.2")
      << ssl.GetSSLVersion();
  EXPECT_FALSE(ssl.GetCipherName().empty());
  EXPECT_GE(ssl.GetCipherBits(), 128);
  EXPECT_EQ(ssl.GetPeerName(), "localhost");
  EXPECT_NE(ssl.GetPeerIssuer().find("Veltra test CA"), std::string::npos) << ssl.GetPeerIssuer();
  EXPECT_EQ(ssl.GetPeerFingerprint().size(), 64u);
  EXPECT_NE(ssl.LibName(), "ssl_none");

  // TLS 1.2 when asked for.
  ssl.SSLType = net::LT_TLSv1_2;
  ASSERT_TRUE(http.HTTPMethod("GET", Url("good", "/small.bin.sha256", "localhost")));
  EXPECT_EQ(ssl.GetSSLVersion(), "TLSv1.2");
}

TEST_F(TlsDownloadTest, ThroughAnHttpProxyTunnel) {
  d.Proxy().ProxyHost = "127.0.0.1";
  d.Proxy().ProxyPort = tls["proxy"];
  Fetch(Url("good", "/small.bin", "localhost"));
  ASSERT_TRUE(Finished()) << Reason();
  EXPECT_EQ(test::ReadFile(tmp / "f.bin").size(), 81920u);
}

// FTP with AUTH TLS on the control connection and PROT P on the data connection, the
// certificate checked as for https.
TEST_F(TlsDownloadTest, FtpOverTlsWhereTheServerOffersIt) {
  const auto configure = [&](net::TFTPClient& c, const std::string& host) {
    c.TargetHost = host;
    c.TargetPort = tls["ftp"];
    c.UserName = "veltra";
    c.Password = "segredo";
    c.Timeout = 10000;
    c.SetAutoTLS(true);
    c.SetTLSonData(true);
  };
  net::TFTPClient ftp;
  configure(ftp, "localhost");
  ftp.Sock().SSL().SetCertCAFile(tls["ca"]);
  ASSERT_TRUE(ftp.Login()) << ftp.FailureText();
  EXPECT_TRUE(ftp.IsTLS());
  ASSERT_TRUE(ftp.RetrieveFile("/small.bin", false)) << ftp.FailureText();
  EXPECT_TRUE(ftp.IsDataTLS());
  EXPECT_EQ(ftp.DataStream().Bytes().size(), 81920u);
  ftp.Logout();

  // The component, asked for TLS.
  d.SetProtocolo(protFTP);
  d.FTP().FtpHost = "localhost";
  d.FTP().FtpPort = tls["ftp"];
  d.FTP().FtpUser = "veltra";
  d.FTP().FtpPass = "segredo";
  d.FTP().FtpTLS = true;
  d.SetDownloadUrl("ftp://localhost/small.bin");
  d.SetDownloadNomeArq("");
  d.StartDownload();
  ASSERT_TRUE(platform::FileExists(tmp / "small.bin")) << Reason();
  EXPECT_EQ(test::ReadFile(tmp / "small.bin").size(), 81920u);

  // Without the CA the server is not who it says: no login, and the reason.
  net::TFTPClient strange;
  configure(strange, "127.0.0.1");
  EXPECT_FALSE(strange.Login());
  EXPECT_NE(strange.FailureText().find("the certificate of 127.0.0.1 is not trusted"),
            std::string::npos)
      << strange.FailureText();
}

TEST_F(TlsDownloadTest, LargeFileArrivesWhole) {
  d.SetExpectedSha256(tls["big_sha256"]);
  Fetch(Url("good", "/big.bin"));
  ASSERT_TRUE(Finished()) << Reason();
  EXPECT_FALSE(d.Engine().DigestMismatch());
  platform::RemoveFile(tmp / "f.bin");
}

}  // namespace
}  // namespace vlt::download
