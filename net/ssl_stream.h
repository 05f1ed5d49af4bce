#pragma once
// The working security plug-ins: a TLS client session over the socket's own connection. The
// session (platform/tls.h) only turns bytes into bytes; this class moves them, with waits that
// keep the socket's heartbeats, and a time-out of its own for the handshake and for the rest of
// a record once its first bytes are in.
#include <memory>
#include <string>

#include "net/ssl_plugin.h"
#include "platform/tls.h"

namespace vlt::net {

class TSSLStream : public TCustomSSL {
 public:
  using TCustomSSL::TCustomSSL;
  ~TSSLStream() override;

  std::string LibVersion() override;
  std::string LibName() override;
  bool Connect() override;
  bool Accept() override;  // a client only: fails
  bool Shutdown() override;
  bool BiShutdown() override;
  int SendBuffer(const void* Buffer, int Len) override;
  int RecvBuffer(void* Buffer, int Len) override;
  int WaitingData() override;
  std::string GetSSLVersion() override { return FInfo.version; }
  std::string GetPeerSubject() override { return FInfo.subject; }
  std::int32_t GetPeerSerialNo() override { return FInfo.serial; }
  std::string GetPeerIssuer() override { return FInfo.issuer; }
  std::string GetPeerName() override { return FInfo.common_name; }
  std::uint32_t GetPeerNameHash() override;
  // SHA-256 of the peer's certificate, hex.
  std::string GetPeerFingerprint() override;
  std::string GetCertInfo() override { return FInfo.cert_info; }
  std::string GetCipherName() override { return FInfo.cipher; }
  std::int32_t GetCipherBits() override { return FInfo.cipher_bits; }
  std::int32_t GetCipherAlgBits() override { return FInfo.cipher_alg_bits; }
  // 0 when the peer's certificate passed every check, 1 before a handshake, else the problem
  // found (platform::CertProblem as a number).
  std::int32_t GetVerifyCert() override { return FVerify; }
  bool ReadyToRead() override {
    return FPlainAt < FPlain.size() || FPeerClosed || !FPending.empty();
  }

 private:
  bool FailWith(std::string text);
  bool SendRaw(const std::string& bytes);
  // Reads what the socket has onto FRaw, waiting at most TimeoutMs for the first byte:
  // > 0 bytes read, 0 the peer closed, -1 an error or the time-out (already reported).
  int ReadRaw(int TimeoutMs, const char* during);
  // One receive onto FRaw, of what is there (`waiting`) or blocking: the count, 0, or -1 with
  // the system's error in `error`.
  int ReceiveRaw(bool waiting, int& error);
  // Decrypts FRaw; false on an error (reported).
  bool DecryptRaw();
  void Reset();
  void SendCloseNotify();

  std::unique_ptr<platform::TlsClient> FSession;
  std::string FHost;         // the host of the session, for the messages
  std::string FRaw;          // received, not yet decrypted
  std::string FPlain;        // decrypted, not yet handed out
  std::size_t FPlainAt = 0;  // handed out of FPlain
  std::string FOut;
  bool FPeerClosed = false;  // close_notify arrived
  bool FCloseSent = false;
  std::string FPending;  // an error met while only looking, for the next receive
  platform::TlsPeerInfo FInfo;
  std::int32_t FVerify = 1;
};

// The plug-in of the system this build runs on: SChannel in the Windows product, the system's
// TLS library natively. Each exists only in its build.
class TSSLSChannel : public TSSLStream {
 public:
  using TSSLStream::TSSLStream;
  static std::unique_ptr<TCustomSSL> Create(TTCPBlockSocket* Value) {
    return std::make_unique<TSSLSChannel>(Value);
  }
};

class TSSLOpenSSL : public TSSLStream {
 public:
  using TSSLStream::TSSLStream;
  static std::unique_ptr<TCustomSSL> Create(TTCPBlockSocket* Value) {
    return std::make_unique<TSSLOpenSSL>(Value);
  }
};

extern const TSSLClass SystemSecurityPlugin;

}  // namespace vlt::net
