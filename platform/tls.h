#pragma once
// The client side of a TLS session, without I/O: bytes that arrived go in, bytes to send come
// out, so the socket layer keeps its own waits, time-outs and heartbeats. The system's security
// package on Windows (SSPI/SChannel, loaded through an entry-point table), the system's TLS
// library natively. The peer's certificate is checked here, whatever the library itself checks:
// a chain to a trusted root (the system's roots, plus the CA file when one is given), inside its
// validity, naming the host the session was opened for, strong enough (no MD5 or SHA-1
// signature below the root, RSA keys of 2048 bits and EC keys of 256 at least) and meant for a
// server (its key usage and extended key usage, when it has them).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
  kBadChain,    // unreadable, bad signature, or a chain that cannot be built
  kWeak,        // a weak signature or key in the chain
  kWrongUsage,  // the server's certificate is not meant for a TLS server
};

// "the certificate of 127.0.0.1 has expired"-style reasons, one per problem, with the detail
// that names the fault after a colon when there is one.
std::string CertProblemText(CertProblem problem, const std::string& host,
                            const std::string& detail = {});

// The checks both builds make of their own, so that the answer does not hang on what the
// system's library happens to allow.

// A DNS name of a certificate against the host asked for (RFC 9525): the same name ignoring the
// case of ASCII letters, or "*.rest" standing for exactly one left-most label. A wildcard
// anywhere else ("f*.x.test", "a.*.test") names nothing, and "*.test" is too wide to name
// anything.
bool CertNameMatches(std::string_view pattern, std::string_view host);
// What a certificate that does not name the host holds, for the refusal: its DNS names and
// addresses ("it names other.example, 10.0.0.1"), or that it names no host but in the common
// name of its subject, which does not count.
std::string CertNamesText(const std::vector<std::string>& names, const std::string& common_name);
// The text of an address of a certificate, 4 or 16 bytes.
std::string AddressBytesText(std::string_view bytes);

// One certificate of a verified chain, leaf first, the trusted root last.
struct ChainCert {
  std::string name;           // its common name, for the messages
  std::string signature_oid;  // dotted: the algorithm its issuer signed it with
  std::string key_oid;        // dotted: the algorithm of its public key
  int key_bits = 0;
};
// Why the chain is too weak to trust, or "": an MD5 or SHA-1 signature on any certificate but
// the root (whose own signature vouches for nothing), an RSA key under 2048 bits or an EC key
// under 256 anywhere.
std::string WeakChainText(const std::vector<ChainCert>& chain);

// The usage extensions of a server's certificate.
struct CertUsage {
  bool has_key_usage = false;
  unsigned key_usage =
      0;  // the first byte of its bits: 0x80 digitalSignature, 0x20 keyEncipherment
  bool has_extended = false;
  std::vector<std::string> extended;  // dotted OIDs
};
// Why the certificate is not meant for a TLS server, or "": a key usage without
// digitalSignature and keyEncipherment, an extended key usage without serverAuth.
std::string WrongUsageText(const CertUsage& usage);

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
  Status FailCertificate(CertProblem problem, const std::string& host,
                         const std::string& detail = {}) {
    problem_ = problem;
    return Fail(CertProblemText(problem, host, detail));
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
