// The certificate checks both TLS builds make of their own, for what the servers of the TLS tests
// do not show: the edges of the name rules and of the limits.
#include <gtest/gtest.h>

#include "platform/tls.h"

namespace vlt::platform {
namespace {

TEST(TlsPolicy, NamesMatchExactlyOrByOneWholeLeftMostWildcard) {
  const struct {
    const char *pattern, *host;
    bool match;
  } cases[] = {
      {"loja.example", "LOJA.Example", true},
      {"loja.example.", "loja.example", true},
      {"*.x.test", "foo.x.test", true},
      {"*.x.test", "foo.x.test.", true},
      {"*.x.test", "x.test", false},
      {"*.x.test", ".x.test", false},
      {"*.x.test", "a.foo.x.test", false},
      {"f*.x.test", "foo.x.test", false},
      {"*o.x.test", "foo.x.test", false},
      {"foo.*.test", "foo.x.test", false},
      {"*.*.test", "a.b.test", false},
      {"*.test", "foo.test", false},  // too wide to name anything
      {"*", "foo", false},
      {"", "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CertNameMatches(c.pattern, c.host), c.match) << c.pattern << " / " << c.host;
}

TEST(TlsPolicy, LimitsOfKeysAndDigests) {
  constexpr const char* kRsa = "1.2.840.113549.1.1.1";
  constexpr const char* kEc = "1.2.840.10045.2.1";
  constexpr const char* kEcdsaSha256 = "1.2.840.10045.4.3.2";
  constexpr const char* kEcdsaSha1 = "1.2.840.10045.4.1";
  const ChainCert leaf{"leaf", kEcdsaSha256, kEc, 256};
  const ChainCert root{"root", kEcdsaSha256, kEc, 256};
  const struct {
    std::vector<ChainCert> chain;
    std::string weak;
  } cases[] = {
      {{leaf, root}, ""},
      {{{"leaf", kEcdsaSha256, kRsa, 2048}, root}, ""},
      // A root's own signature vouches for nothing: SHA-1 there is no fault.
      {{leaf, {"root", kEcdsaSha1, kEc, 256}}, ""},
      // P-224 passes the system library's level 2; not here.
      {{{"leaf", kEcdsaSha256, kEc, 224}, root},
       "its EC key has 224 bits (at least 256 are needed)"},
      {{leaf, {"mid", kEcdsaSha256, kRsa, 2047}, root},
       "the RSA key of the CA certificate \"mid\" in its chain has 2047 bits (at least 2048 are "
       "needed)"},
      {{leaf, {"root", kEcdsaSha256, kRsa, 1024}},
       "the RSA key of the CA certificate \"root\" in its chain has 1024 bits (at least 2048 are "
       "needed)"},
  };
  for (const auto& c : cases) EXPECT_EQ(WeakChainText(c.chain), c.weak);
}

TEST(TlsPolicy, UsageOfAServerCertificate) {
  const struct {
    CertUsage usage;
    std::string wrong;
  } cases[] = {
      {{}, ""},  // neither extension: nothing restricts it
      {{true, 0x80, true, {"1.3.6.1.5.5.7.3.1"}}, ""},
      {{true, 0x20, true, {"1.3.6.1.5.5.7.3.2", "1.3.6.1.5.5.7.3.1"}}, ""},
      // Key agreement alone serves only key exchanges no one offers any more.
      {{true, 0x08, false, {}},
       "its key usage allows neither digital signatures nor key encipherment (only key "
       "agreement)"},
      {{false, 0, true, {"2.5.29.37.0", "1.2.3.4"}},
       "its extended key usage does not include server authentication (only any purpose, "
       "1.2.3.4)"},
  };
  for (const auto& c : cases) EXPECT_EQ(WrongUsageText(c.usage), c.wrong);
}

}  // namespace
}  // namespace vlt::platform
