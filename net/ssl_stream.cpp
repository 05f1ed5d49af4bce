#include "net/ssl_stream.h"

#include <algorithm>
#include <cstring>

#include "net/block_socket.h"
#include "net/sha256.h"
#include "net/tcp_block_socket.h"
#include "net/text_functions.h"

namespace vlt::net {

namespace p = vlt::platform;

namespace {

constexpr int kReadBlock = 262144;

unsigned VersionsFor(TSSLType type) {
  switch (type) {
    case LT_all:
      return p::kTls12 | p::kTls13;
    case LT_TLSv1:
      return p::kTls10;
    case LT_TLSv1_1:
      return p::kTls11;
    case LT_TLSv1_2:
      return p::kTls12;
    case LT_TLSv1_3:
      return p::kTls13;
    default:
      return 0;  // SSL 2 and 3 are broken, SSH is not TLS
  }
}

}  // namespace

TSSLStream::~TSSLStream() = default;

std::string TSSLStream::LibVersion() {
  return p::TlsLibraryVersion();
}

std::string TSSLStream::LibName() {
  return "ssl_" + p::TlsLibraryName();
}

void TSSLStream::Reset() {
  FSession.reset();
  FRaw.clear();
  FPlain.clear();
  FPlainAt = 0;
  FOut.clear();
  FPeerClosed = false;
  FCloseSent = false;
  FPending.clear();
  FInfo = {};
  FVerify = 1;
  FSSLEnabled = false;
  FLastError = 0;
  FLastErrorDesc.clear();
}

bool TSSLStream::FailWith(std::string text) {
  FLastError = -1;
  FLastErrorDesc = std::move(text);
  return false;
}

bool TSSLStream::SendRaw(const std::string& bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const int n =
        p::SendSocket(FSocket->Socket(), bytes.data() + at,
                      static_cast<int>(std::min<std::size_t>(bytes.size() - at, 1 << 20)), 0);
    if (n <= 0) return FailWith("sending to " + FHost + ": " + GetErrorDesc(p::LastSocketError()));
    at += static_cast<std::size_t>(n);
  }
  return true;
}

int TSSLStream::ReceiveRaw(bool waiting, int& error) {
  const std::size_t had = FRaw.size();
  int n = 0;
  FRaw.resize_and_overwrite(had + kReadBlock, [&](char* data, std::size_t) {
    n = waiting ? p::RecvSocketWaiting(FSocket->Socket(), data + had, kReadBlock)
                : p::RecvSocket(FSocket->Socket(), data + had, kReadBlock, 0);
    if (n < 0) error = p::LastSocketError();
    return had + static_cast<std::size_t>(std::max(n, 0));
  });
  return n;
}

int TSSLStream::ReadRaw(int TimeoutMs, const char* during) {
  int n = 0, error = 0;
  auto read = [&](bool waiting) { n = ReceiveRaw(waiting, error); };
  // What is already there costs one call; only an empty socket is waited for. After the wait
  // the same kind of receive again: switching the socket's mode costs the system a call (a
  // server round trip under Wine); only a wake with nothing to read asks the blocking way,
  // which tells the peer's close from nothing.
  read(true);
  if (n == 0 && error == 0) {
    if (!FSocket->CanRead(TimeoutMs)) {
      if (FSocket->LastError() != 0)
        FailWith(during + std::string(" ") + FHost + ": " + FSocket->GetErrorDescEx());
      else
        FailWith(FHost + " sent nothing for " + std::to_string(TimeoutMs / 1000) + " s " + during);
      return -1;
    }
    read(true);
    if (n == 0 && error == 0) read(false);
  }
  if (n < 0) {
    FailWith(during + std::string(" ") + FHost + ": " + GetErrorDesc(error));
    return -1;
  }
  return n;
}

bool TSSLStream::DecryptRaw() {
  const p::TlsClient::Status s = FSession->Decrypt(FRaw, FPlain, FOut);
  if (!FOut.empty()) {
    const bool sent = SendRaw(FOut);
    FOut.clear();
    if (!sent) return false;
  }
  if (s == p::TlsClient::Status::kFailed) return FailWith(FSession->Error());
  if (s == p::TlsClient::Status::kClosed && !FPeerClosed) {
    // Answered at once: a peer that waits for our close before it ends the connection would
    // otherwise hold the reader until its time-out.
    FPeerClosed = true;
    SendCloseNotify();
  }
  return true;
}

bool TSSLStream::Connect() {
  Reset();
  FHost = SNIHost;
  const std::string& host = FHost;
  if (host.empty()) return FailWith("no host name to check the server's certificate against");
  p::TlsOptions options;
  options.host = host;
  options.versions = VersionsFor(SSLType);
  options.ca_file = CertCAFile();
  if (options.versions == 0) return FailWith("SSL 2, SSL 3 and SSH are not supported");
  std::string error;
  FSession = p::NewTlsClient(options, error);
  if (!FSession) return FailWith(error);

  const std::uint32_t start = TickMilliseconds();
  for (;;) {
    const p::TlsClient::Status s = FSession->Handshake(FRaw, FOut);
    if (!FOut.empty()) {
      const bool sent = SendRaw(FOut);
      FOut.clear();
      if (!sent && s != p::TlsClient::Status::kFailed) return false;
    }
    if (s == p::TlsClient::Status::kOk) break;
    if (s != p::TlsClient::Status::kNeedInput) {
      FVerify = static_cast<std::int32_t>(FSession->Problem());
      if (FVerify == 0) FVerify = -1;
      return FailWith(FSession->Error());
    }
    const int left = HandshakeTimeout - static_cast<int>(TickDifference(start, TickMilliseconds()));
    const int r = left > 0 ? ReadRaw(left, "during the TLS handshake with") : -1;
    if (r == 0) return FailWith(host + " closed the connection during the TLS handshake");
    if (r < 0) {
      if (left <= 0 || FSocket->LastError() == 0)
        FLastErrorDesc = "the TLS handshake with " + host + " did not end within " +
                         std::to_string(HandshakeTimeout / 1000) + " s";
      return false;
    }
  }
  FInfo = FSession->Info();
  FVerify = 0;
  FSSLEnabled = true;
  if (OnVerifyCert && !OnVerifyCert(this)) {
    FSSLEnabled = false;
    return FailWith("the certificate of " + host + " was refused");
  }
  // Application data that came with the end of the handshake.
  return DecryptRaw();
}

bool TSSLStream::Accept() {
  return FailWith("this plug-in is a TLS client only");
}

void TSSLStream::SendCloseNotify() {
  if (FCloseSent || !FSession) return;
  FCloseSent = true;
  FSession->CloseNotify(FOut);
  const int keep = FLastError;
  const std::string desc = FLastErrorDesc;
  SendRaw(FOut);  // the peer may be gone already: nothing to report then
  FLastError = keep;
  FLastErrorDesc = desc;
  FOut.clear();
}

bool TSSLStream::Shutdown() {
  if (FSSLEnabled) SendCloseNotify();
  FSSLEnabled = false;
  return true;
}

bool TSSLStream::BiShutdown() {
  return Shutdown();
}

int TSSLStream::SendBuffer(const void* Buffer, int Len) {
  FLastError = 0;
  if (!FSSLEnabled || !FSession) {
    FailWith("no TLS session");
    return -1;
  }
  if (Len <= 0) return 0;
  if (!FSession->Encrypt(Buffer, static_cast<std::size_t>(Len), FOut)) {
    FOut.clear();
    FailWith(FSession->Error());
    return -1;
  }
  const bool sent = SendRaw(FOut);
  FOut.clear();
  return sent ? Len : -1;
}

int TSSLStream::RecvBuffer(void* Buffer, int Len) {
  FLastError = 0;
  if (!FSession) {
    FailWith("no TLS session");
    return -1;
  }
  if (!FPending.empty()) {
    FailWith(FPending);
    return -1;
  }
  while (FPlainAt >= FPlain.size()) {
    FPlain.clear();
    FPlainAt = 0;
    if (FPeerClosed) return 0;
    const int r = ReadRaw(HandshakeTimeout, "receiving from");
    if (r < 0) return -1;
    if (r == 0) {
      // A TCP close without close_notify can be anyone on the path cutting the data short.
      FailWith(FHost +
               " closed the connection without ending the TLS session: what arrived "
               "may be cut short");
      return -1;
    }
    if (!DecryptRaw()) return -1;
  }
  const std::size_t n =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(Len, 0)), FPlain.size() - FPlainAt);
  std::memcpy(Buffer, FPlain.data() + FPlainAt, n);
  FPlainAt += n;
  return static_cast<int>(n);
}

int TSSLStream::WaitingData() {
  if (FPlainAt < FPlain.size()) return static_cast<int>(FPlain.size() - FPlainAt);
  if (!FSSLEnabled || !FSession || FPeerClosed) return 0;
  if (!FPending.empty()) return 0;
  // Takes what the socket holds without waiting, so that one call tells whether a whole record
  // is in. An error found here is kept for the receive that follows: the system reports a
  // reset only once.
  int error = 0;
  const int n = ReceiveRaw(true, error);
  if (n < 0) FPending = "receiving from " + FHost + ": " + GetErrorDesc(error);
  if (n <= 0) return 0;
  FPlain.clear();
  FPlainAt = 0;
  const int keep = FLastError;
  const std::string desc = FLastErrorDesc;
  if (!DecryptRaw()) {
    FPending = FLastErrorDesc;
    FLastError = keep;
    FLastErrorDesc = desc;
    return 0;
  }
  return static_cast<int>(FPlain.size());
}

std::string TSSLStream::GetPeerFingerprint() {
  return FInfo.certificate.empty() ? std::string() : Sha256Hex(FInfo.certificate);
}

std::uint32_t TSSLStream::GetPeerNameHash() {
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (unsigned char c : FInfo.common_name) h = (h ^ c) * 16777619u;
  return FInfo.common_name.empty() ? 0 : h;
}

}  // namespace vlt::net
