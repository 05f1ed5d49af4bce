#pragma once
// The client side of a TLS session, without I/O: bytes that arrived go in, bytes to send come
// out, so the socket layer keeps its own waits, time-outs and heartbeats. The system's security
// package on Windows (SSPI/SChannel, loaded through an entry-point table), the system's TLS
// library natively. The peer's certificate is checked here, whatever the library itself checks:
// a chain to a trusted root (the system's roots, plus the CA file when one is given), inside its
// validity, and naming the host the session was opened for.
#include <cstdint>
#include <memory>
#include <string>

namespace vlt::platform {

// Protocol versions a session may use, as bits.
enum TlsVersionBits : unsigned {
  kTls10 = 1u,
  kTls11 = 2u,
  kTls12 = 4u,
  kTls13 = 8u,
};

struct TlsOptions {
  // The host the connection was asked for: its name goes out as SNI (an address does not) and
  // the certificate must name it.
  std::string host;
  unsigned versions = kTls12 | kTls13;
  // A PEM file of certificates trusted as roots beside the system's; empty for none.
  std::string ca_file;
};

// What the certificate check found; kCertOk when nothing is wrong.
enum class CertProblem {
  kCertOk,
  kUntrustedRoot,  // the chain ends at a root nobody trusts here
  kSelfSigned,     // the server's certificate signs itself and is not trusted
  kExpired,        // outside its validity period (or one in its chain is)
  kWrongHost,      // does not name the host
  kRevoked,
  kBadChain,  // unreadable, bad signature, wrong usage, or a chain that cannot be built
};

// "the certificate of 127.0.0.1 has expired"-style reasons, one per problem.
std::string CertProblemText(CertProblem problem, const std::string& host);

struct TlsPeerInfo {
  std::string version;  // "TLSv1.3"
  std::string cipher;
  std::int32_t cipher_bits = 0;
  std::int32_t cipher_alg_bits = 0;
  std::string subject, issuer, common_name;
  std::int32_t serial = -1;  // the low 31 bits of the serial number
  std::string certificate;   // the peer's certificate, DER
  std::string cert_info;     // subject, issuer and validity, one per line
};

class TlsClient {
 public:
  enum class Status {
    kOk,         // the step is done (handshake: the session is up)
    kNeedInput,  // more bytes from the peer are needed
    kClosed,     // the peer closed the session (close_notify)
    kFailed,     // Error() says why; the session is unusable
  };
  virtual ~TlsClient() = default;

  // One step of the handshake: takes what arrived from `in` (what follows the handshake stays
  // in `in`), appends to `out` what must be sent.
  virtual Status Handshake(std::string& in, std::string& out) = 0;
  // Decrypts every whole record in `in` onto `plain`, leaving a partial record in `in`; `out`
  // gets anything the session must answer. kOk with nothing added means more input is needed.
  virtual Status Decrypt(std::string& in, std::string& plain, std::string& out) = 0;
  // Encrypts `length` bytes (any amount: split into records) onto `out`.
  virtual bool Encrypt(const void* data, std::size_t length, std::string& out) = 0;
  // The close_notify alert, onto `out`.
  virtual void CloseNotify(std::string& out) = 0;

  const std::string& Error() const { return error_; }
  CertProblem Problem() const { return problem_; }
  virtual TlsPeerInfo Info() const = 0;

 protected:
  Status Fail(std::string text) {
    error_ = std::move(text);
    return Status::kFailed;
  }
  Status FailCertificate(CertProblem problem, const std::string& host) {
    problem_ = problem;
    return Fail(CertProblemText(problem, host));
  }
  std::string error_;
  CertProblem problem_ = CertProblem::kCertOk;
};

// A session for `options`; nullptr with the reason in `error` when the library cannot be had.
std::unique_ptr<TlsClient> NewTlsClient(const TlsOptions& options, std::string& error);
// The library's name and version ("OpenSSL 3.0.19 ...", "SChannel").
std::string TlsLibraryName();
std::string TlsLibraryVersion();

// True for an IPv4 or IPv6 address text: those are checked against the certificate's addresses
// and send no SNI.
bool IsAddressText(const std::string& host);

}  // namespace vlt::platform
