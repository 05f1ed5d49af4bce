#include "net/ssl_plugin.h"

namespace vlt::net {

TSSLClass DefaultSecurityPlugin = &TSSLNone::Create;

void TCustomSSL::FailNotCompiled() {
  FLastError = -1;
  FLastErrorDesc = "SSL/TLS support is not compiled!";
}

void TCustomSSL::Assign(const TCustomSSL& Value) {
  Username = Value.Username;
  Password = Value.Password;
  VerifyCert = Value.VerifyCert;
  SSLType = Value.SSLType;
  KeyPassword = Value.KeyPassword;
  Ciphers = Value.Ciphers;
  CertificateFile = Value.CertificateFile;
  PrivateKeyFile = Value.PrivateKeyFile;
  SetCertCAFile(Value.FCertCAFile);
  CertCA = Value.CertCA;
  TrustCertificate = Value.TrustCertificate;
  TrustCertificateFile = Value.TrustCertificateFile;
  Certificate = Value.Certificate;
  PrivateKey = Value.PrivateKey;
  PFX = Value.PFX;
  PFXfile = Value.PFXfile;
  CertComplianceLevel = Value.CertComplianceLevel;
  SNIHost = Value.SNIHost;
  HandshakeTimeout = Value.HandshakeTimeout;
}

bool TCustomSSL::Connect() {
  FailNotCompiled();
  return false;
}

bool TCustomSSL::Accept() {
  FailNotCompiled();
  return false;
}

bool TCustomSSL::Shutdown() {
  FailNotCompiled();
  return false;
}

bool TCustomSSL::BiShutdown() {
  FailNotCompiled();
  return false;
}

int TCustomSSL::SendBuffer(const void*, int) {
  FailNotCompiled();
  return -1;
}

int TCustomSSL::RecvBuffer(void*, int) {
  FailNotCompiled();
  return -1;
}

int TCustomSSL::WaitingData() {
  FailNotCompiled();
  return 0;
}

}  // namespace vlt::net
