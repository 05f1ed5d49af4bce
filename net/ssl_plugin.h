#pragma once
// The security plug-in interface of the TCP socket. TSSLNone cannot start a secure channel:
// every secure operation fails. The working plug-ins are in net/ssl_stream.h.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/exception.h"

namespace vlt::net {

class TTCPBlockSocket;
class TCustomSSL;

enum TSSLType {
  LT_all,
  LT_SSLv2,
  LT_SSLv3,
  LT_TLSv1,
  LT_TLSv1_1,
  LT_TLSv1_2,
  LT_TLSv1_3,
  LT_SSHv2
};

using THookVerifyCert = std::function<bool(TCustomSSL* Sender)>;
// A plug-in class: makes a plug-in for the given socket.
using TSSLClass = std::unique_ptr<TCustomSSL> (*)(TTCPBlockSocket* Value);

class TCustomSSL {
 public:
  explicit TCustomSSL(TTCPBlockSocket* Value) : FSocket(Value) {}
  virtual ~TCustomSSL() = default;
  TCustomSSL(const TCustomSSL&) = delete;
  TCustomSSL& operator=(const TCustomSSL&) = delete;

  static std::unique_ptr<TCustomSSL> Create(TTCPBlockSocket* Value) {
    return std::make_unique<TCustomSSL>(Value);
  }

  THookVerifyCert OnVerifyCert;

  virtual void SetCertCAFile(const std::string& Value) { FCertCAFile = Value; }
  virtual void Assign(const TCustomSSL& Value);
  virtual std::string LibVersion() { return {}; }
  virtual std::string LibName() { return {}; }
  virtual bool Connect();
  virtual bool Accept();
  virtual bool Shutdown();
  virtual bool BiShutdown();
  virtual int SendBuffer(const void* Buffer, int Len);
  virtual int RecvBuffer(void* Buffer, int Len);
  virtual int WaitingData();
  virtual std::string GetSSLVersion() { return {}; }
  virtual std::string GetPeerSubject() { return {}; }
  virtual std::int32_t GetPeerSerialNo() { return -1; }
  virtual std::string GetPeerIssuer() { return {}; }
  virtual std::string GetPeerName() { return {}; }
  virtual std::uint32_t GetPeerNameHash() { return 0; }
  virtual std::string GetPeerFingerprint() { return {}; }
  virtual std::string GetCertInfo() { return {}; }
  virtual std::string GetCipherName() { return {}; }
  virtual std::int32_t GetCipherBits() { return 0; }
  virtual std::int32_t GetCipherAlgBits() { return 0; }
  virtual std::int32_t GetVerifyCert() { return 1; }
  // True when a receive would answer at once from what the plug-in already holds: data it took
  // off the socket, or the peer's end of the session, which no wait on the socket would see.
  virtual bool ReadyToRead() { return false; }

  bool SSLEnabled() const { return FSSLEnabled; }
  std::int32_t LastError() const { return FLastError; }
  const std::string& LastErrorDesc() const { return FLastErrorDesc; }

  // Settings a working plug-in would use.
  TSSLType SSLType = LT_all;
  std::string KeyPassword, Ciphers, CertificateFile, PrivateKeyFile;
  ByteString Certificate, PrivateKey, PFX;
  std::string PFXfile;
  ByteString CertCA;
  ByteString TrustCertificate;
  std::string TrustCertificateFile;
  bool VerifyCert = false;
  std::string Username, Password;
  std::string SSHChannelType, SSHChannelArg1, SSHChannelArg2;
  std::int32_t CertComplianceLevel = -1;
  std::string SNIHost;
  // Milliseconds a working plug-in waits for the handshake to end, and for the rest of a record
  // whose first bytes are in.
  std::int32_t HandshakeTimeout = 30000;
  const std::string& CertCAFile() const { return FCertCAFile; }

 protected:
  // Reserved for a plug-in that checks a text (a host name, say); none does.
  virtual bool CheckText(const std::string&) { return false; }
  void FailNotCompiled();

  TTCPBlockSocket* FSocket;  // not owned
  bool FSSLEnabled = false;
  std::int32_t FLastError = 0;
  std::string FLastErrorDesc;
  std::string FCertCAFile;
};

class TSSLNone : public TCustomSSL {
 public:
  using TCustomSSL::TCustomSSL;
  static std::unique_ptr<TCustomSSL> Create(TTCPBlockSocket* Value) {
    return std::make_unique<TSSLNone>(Value);
  }
  std::string LibVersion() override { return "Without SSL support"; }
  std::string LibName() override { return "ssl_none"; }
};

// The plug-in class every new TTCPBlockSocket gets; set once at start-up.
extern TSSLClass DefaultSecurityPlugin;

}  // namespace vlt::net
