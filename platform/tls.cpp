#include "platform/tls.h"

#include <cctype>

namespace vlt::platform {

std::string CertProblemText(CertProblem problem, const std::string& host) {
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
    case CertProblem::kBadChain:
      break;
  }
  return of + " cannot be verified";
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
