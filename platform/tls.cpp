#include "platform/tls.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/text.h"

namespace vlt::platform {

namespace {

std::string CertProblemHead(CertProblem problem, const std::string& host) {
  const std::string of = "the certificate of " + host;
  switch (problem) {
    case CertProblem::kCertOk:
      return {};
    case CertProblem::kUntrustedRoot:
      return of + " is not trusted: its issuer is unknown";
    case CertProblem::kSelfSigned:
      return of + " is self-signed and not trusted";
    case CertProblem::kExpired:
      return of + " has expired or is not yet valid";
    case CertProblem::kWrongHost:
      return of + " does not name " + host;
    case CertProblem::kRevoked:
      return of + " has been revoked";
    case CertProblem::kWeak:
      return of + " is too weak";
    case CertProblem::kWrongUsage:
      return of + " is not meant for a TLS server";
    case CertProblem::kBadChain:
      break;
  }
  return of + " cannot be verified";
}

std::string_view WithoutFinalDot(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  return name;
}

// The digest of a signature algorithm too weak to vouch for anything, or "".
const char* WeakDigest(const std::string& oid) {
  static const struct {
    const char *oid, *digest;
  } kWeak[] = {
      {"1.2.840.113549.1.1.2", "MD2"},   {"1.2.840.113549.1.1.3", "MD4"},
      {"1.2.840.113549.1.1.4", "MD5"},   {"1.3.14.3.2.3", "MD5"},
      {"1.2.840.113549.1.1.5", "SHA-1"}, {"1.3.14.3.2.29", "SHA-1"},
      {"1.2.840.10045.4.1", "SHA-1"},    {"1.2.840.10040.4.3", "SHA-1"},
      {"1.3.14.3.2.27", "SHA-1"},
  };
  for (const auto& w : kWeak)
    if (oid == w.oid) return w.digest;
  return "";
}

std::string WhoseKey(std::size_t at, const ChainCert& c, const char* type) {
  return at == 0 ? std::string("its ") + type + " key"
                 : std::string("the ") + type + " key of the CA certificate \"" + c.name +
                       "\" in its chain";
}

}  // namespace

std::string CertProblemText(CertProblem problem, const std::string& host,
                            const std::string& detail) {
  std::string text = CertProblemHead(problem, host);
  if (!text.empty() && !detail.empty()) text += ": " + detail;
  return text;
}

bool CertNameMatches(std::string_view pattern, std::string_view host) {
  pattern = WithoutFinalDot(pattern);
  host = WithoutFinalDot(host);
  if (pattern.empty() || host.empty()) return false;
  if (!pattern.starts_with("*.")) {
    return pattern.find('*') == std::string_view::npos && EqualsNoCase(pattern, host);
  }
  const std::string_view rest = pattern.substr(1);  // ".x.test"
  if (rest.find('*') != std::string_view::npos || rest.find('.', 1) == std::string_view::npos)
    return false;
  const std::size_t dot = host.find('.');
  return dot != std::string_view::npos && dot > 0 && EqualsNoCase(host.substr(dot), rest);
}

std::string CertNamesText(const std::vector<std::string>& names, const std::string& common_name) {
  if (names.empty()) {
    if (common_name.empty()) return "it names no host";
    return "it names no host (only its subject's common name says \"" + common_name +
           "\", which does not count)";
  }
  std::string text = "it names ";
  bool partial = false;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += ", ";
    text += names[i];
    const std::size_t star = names[i].find('*');
    partial |= star != std::string::npos && !names[i].starts_with("*.");
  }
  if (partial) text += " (a wildcard counts only as a whole left-most label)";
  return text;
}

std::string AddressBytesText(std::string_view bytes) {
  char part[8];
  std::string text;
  if (bytes.size() == 4) {
    for (std::size_t i = 0; i < 4; ++i) {
      std::snprintf(part, sizeof part, i ? ".%u" : "%u", static_cast<unsigned char>(bytes[i]));
      text += part;
    }
  } else if (bytes.size() == 16) {
    for (std::size_t i = 0; i < 16; i += 2) {
      std::snprintf(part, sizeof part, i ? ":%x" : "%x",
                    static_cast<unsigned>(static_cast<unsigned char>(bytes[i]) << 8 |
                                          static_cast<unsigned char>(bytes[i + 1])));
      text += part;
    }
  } else {
    text = "an address of " + std::to_string(bytes.size()) + " bytes";
  }
  return text;
}

std::string WeakChainText(const std::vector<ChainCert>& chain) {
  for (std::size_t i = 0; i < chain.size(); ++i) {
    const ChainCert& c = chain[i];
    const char* digest = i + 1 < chain.size() ? WeakDigest(c.signature_oid) : "";
    if (*digest != '\0') {
      const std::string what =
          i == 0 ? "it is" : "the CA certificate \"" + c.name + "\" in its chain is";
      return what + " signed with " + digest;
    }
    const bool rsa = c.key_oid == "1.2.840.113549.1.1.1" || c.key_oid == "1.2.840.113549.1.1.10";
    const bool ec = c.key_oid == "1.2.840.10045.2.1";
    const int least = rsa ? 2048 : ec ? 256 : 0;
    if (c.key_bits < least)
      return WhoseKey(i, c, rsa ? "RSA" : "EC") + " has " + std::to_string(c.key_bits) +
             " bits (at least " + std::to_string(least) + " are needed)";
  }
  return {};
}

std::string WrongUsageText(const CertUsage& usage) {
  constexpr unsigned kDigitalSignature = 0x80, kKeyEncipherment = 0x20;
  if (usage.has_key_usage && (usage.key_usage & (kDigitalSignature | kKeyEncipherment)) == 0) {
    static const char* const kBits[] = {
        "digital signature", "non-repudiation",     "key encipherment", "data encipherment",
        "key agreement",     "certificate signing", "CRL signing",      "encipher only"};
    std::string allowed;
    for (unsigned bit = 0; bit < 8; ++bit)
      if (usage.key_usage & (0x80u >> bit))
        allowed += (allowed.empty() ? "" : ", ") + std::string(kBits[bit]);
    return "its key usage allows neither digital signatures nor key encipherment (only " +
           (allowed.empty() ? std::string("nothing") : allowed) + ")";
  }
  constexpr const char* kServerAuth = "1.3.6.1.5.5.7.3.1";
  if (usage.has_extended && std::find(usage.extended.begin(), usage.extended.end(), kServerAuth) ==
                                usage.extended.end()) {
    static const struct {
      const char *oid, *name;
    } kPurposes[] = {
        {"1.3.6.1.5.5.7.3.2", "client authentication"}, {"1.3.6.1.5.5.7.3.3", "code signing"},
        {"1.3.6.1.5.5.7.3.4", "e-mail protection"},     {"1.3.6.1.5.5.7.3.8", "time stamping"},
        {"1.3.6.1.5.5.7.3.9", "OCSP signing"},          {"2.5.29.37.0", "any purpose"}};
    std::string listed;
    for (const std::string& oid : usage.extended) {
      std::string name = oid;
      for (const auto& p : kPurposes)
        if (oid == p.oid) name = p.name;
      listed += (listed.empty() ? "" : ", ") + name;
    }
    return "its extended key usage does not include server authentication (only " +
           (listed.empty() ? std::string("nothing") : listed) + ")";
  }
  return {};
}

bool IsAddressText(const std::string& host) {
  if (host.find(':') != std::string::npos) return true;  // only IPv6 addresses have colons
  int dots = 0, digits = 0;
  for (char c : host) {
    if (c == '.') {
      if (digits == 0 || digits > 3) return false;
      ++dots;
      digits = 0;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      ++digits;
    } else {
      return false;
    }
  }
  return dots == 3 && digits > 0 && digits <= 3;
}

}  // namespace vlt::platform
