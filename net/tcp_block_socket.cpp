#include "net/tcp_block_socket.h"

#include <algorithm>
#include <cstdio>

#include "net/address_text.h"
#include "net/http_reply.h"
#include "net/text_functions.h"
#include "platform/codepage.h"
#include "platform/numbers.h"

namespace vlt::net {

namespace p = vlt::platform;

namespace {

int ToNumber(const std::string& s) {
  return static_cast<int>(p::ParseUnsigned<std::uint16_t>(s).value_or(0));
}

// The stream through the security plug-in; any plug-in error is 10091, whose description
// GetErrorDescEx takes from the plug-in.
class TSSLTransport : public TSocketTransport {
 public:
  explicit TSSLTransport(TCustomSSL& ssl) : ssl_(ssl) {}
  int Send(p::SocketHandle, const void* Buffer, int Length, int& Error) override {
    const int r = ssl_.SendBuffer(Buffer, Length);
    Error = ssl_.LastError() != 0 ? p::kWSASYSNOTREADY : 0;
    return Error != 0 ? -1 : r;
  }
  int Recv(p::SocketHandle, void* Buffer, int Length, int& Error) override {
    const int r = ssl_.RecvBuffer(Buffer, Length);
    Error = ssl_.LastError() != 0 ? p::kWSASYSNOTREADY : 0;
    return Error != 0 ? -1 : r;
  }
  int RecvWaiting(p::SocketHandle s, void* Buffer, int Length, int& Error) override {
    // The plug-in takes what the socket holds itself; raw bytes of a partial record are not
    // something to hand out, and asking the system for their count costs a call.
    Error = 0;
    const int n = s != p::kInvalidSocket ? ssl_.WaitingData() : 0;
    if (n <= 0) return 0;
    return Recv(s, Buffer, std::min(n, Length), Error);
  }
  int Waiting(p::SocketHandle s) override {
    const int r = s != p::kInvalidSocket ? ssl_.WaitingData() : 0;
    return r > 0 ? r : PlainTransport().Waiting(s);
  }

 private:
  TCustomSSL& ssl_;
};

}  // namespace

// ---- TCP ----

TTCPBlockSocket::TTCPBlockSocket() : TTCPBlockSocket(DefaultSecurityPlugin) {}

TTCPBlockSocket::TTCPBlockSocket(TSSLClass SSLPlugin)
    : FSSL(SSLPlugin(this)), FSSLTransport(std::make_unique<TSSLTransport>(*FSSL)) {}

TTCPBlockSocket::~TTCPBlockSocket() {
  // The graceful close runs here, while the plug-in still exists; it reports to nobody, as
  // the owner of the hooks may be half destroyed.
  ClearHooks();
  OnAfterConnect = nullptr;
  CloseSocket();
  FClosedByDescendant = true;
}

TSocketTransport& TTCPBlockSocket::OwnTransport() {
  return SecureChannel() ? *FSSLTransport : PlainTransport();
}

bool TTCPBlockSocket::WaitReadable(int Timeout) {
  if (SecureChannel() && FSSL->ReadyToRead()) return true;
  return TBlockSocket::WaitReadable(Timeout);
}

void TTCPBlockSocket::CloseSocket() {
  // Pause and stop close from inside the monitor hook, which the drain raises again: the inner
  // calls find the close in progress and return.
  if (FClosing) return;
  FlagScope closing(FClosing);
  if (FSSL && FSSL->SSLEnabled()) FSSL->Shutdown();
  if (FSocket != p::kInvalidSocket && FLastError == 0) {
    p::ShutdownSocket(FSocket, p::kSdSend);
    // A peer still sending past the drain's bounds gets a reset rather than our patience.
    if (!DrainInput() && FSocket != p::kInvalidSocket) p::SetSocketLinger(FSocket, true, 0);
  }
  AbortSocket();
}

void TTCPBlockSocket::Connect(const std::string& IP, const std::string& Port) {
  FHTTPTunnelResultCode = 0;
  FHTTPTunnelRefusal.clear();
  if (!FSocksIP.empty())
    SocksDoConnect(IP, Port);
  else if (!FHTTPTunnelIP.empty())
    HTTPTunnelDoConnect(IP, Port);
  else
    DirectConnect(IP, Port);
  if (FLastError == 0 && OnAfterConnect) OnAfterConnect(this);
}

void TTCPBlockSocket::SocksDoConnect(const std::string& IP, const std::string& Port) {
  DirectConnect(FSocksIP, FSocksPort);
  if (FLastError == 0) {
    bool ok = SocksOpen();
    if (ok) ok = SocksRequest(1, IP, Port);
    if (ok) ok = SocksResponse();
    if (!ok && FLastError == 0) FLastError = p::kWSASYSNOTREADY;
    FSocksLocalIP = FSocksResponseIP;
    FSocksLocalPort = FSocksResponsePort;
    FSocksRemoteIP = IP;
    FSocksRemotePort = Port;
  }
  ExceptCheck();
  DoStatus(HR_Connect, IP + ":" + Port);
}

void TTCPBlockSocket::HTTPTunnelDoConnect(std::string IP, const std::string& Port) {
  const std::string port = std::to_string(ResolvePort(Port));
  DirectConnect(FHTTPTunnelIP, FHTTPTunnelPort);
  if (FLastError != 0) return;
  FHTTPTunnel = false;
  if (IsIPv6Text(IP)) IP = "[" + IP + "]";
  SendString("CONNECT " + p::TextToAnsi(IP) + ":" + port + " HTTP/1.0" + CRLF);
  if (!FHTTPTunnelUser.empty()) {
    SendString("Proxy-Authorization: Basic " +
               ToBase64(p::TextToAnsi(FHTTPTunnelUser + ":" + FHTTPTunnelPass)) + CRLF);
  }
  SendString(CRLF);
  if (FLastError == 0) ReadTunnelReply();
  if (FLastError == 0 && !FHTTPTunnel) FLastError = p::kWSAECONNREFUSED;
  FHTTPTunnelRemoteIP = IP;
  FHTTPTunnelRemotePort = port;
  ExceptCheck();
}

// The proxy's answer is an HTTP reply head, read as the HTTP client reads one and bounded as a
// whole: "HTTP/1.1 200 Connection established", "HTTP/1.0 407 Proxy Authentication Required"
// with its Proxy-Authenticate lines. Anything but a 2xx is the proxy's refusal, told as such.
void TTCPBlockSocket::ReadTunnelReply() {
  THTTPHeadReader reader(*this, FHTTPTunnelTimeout, kDefaultMaxLineLength);
  ByteString status_line;
  const THTTPHeadReader::TStatusResult r = reader.ReadStatusLine(status_line);
  std::vector<std::string> fields;
  if (r == THTTPHeadReader::srStatus) {
    reader.ReadFieldBlock(fields);
    const THTTPStatusLine status = ParseStatusLine(p::AnsiToText(status_line));
    FHTTPTunnelResultCode = status.Code;
    if (reader.Failure().empty() && status.Code >= 200 && status.Code <= 299) {
      FHTTPTunnel = true;
      return;
    }
    if (reader.Failure().empty()) {
      FHTTPTunnelRefusal = "the proxy answered " + std::to_string(status.Code) +
                           (status.Reason.empty() ? "" : " " + status.Reason);
      return;
    }
  } else if (r == THTTPHeadReader::srNoStatusLine) {
    FHTTPTunnelRefusal = "the proxy's answer to CONNECT is not an HTTP reply";
    return;
  }
  // A socket error stays what it is; a head over its bounds is the proxy's fault.
  if (FLastError == 0) FHTTPTunnelRefusal = "the proxy's answer to CONNECT: " + reader.Failure();
}

void TTCPBlockSocket::Listen() {
  if (FSocksIP.empty()) {
    DirectListen();
    return;
  }
  std::string ip = GetLocalSinIP();
  if (ip == "0.0.0.0") ip = LocalName();
  const std::string port = std::to_string(GetLocalSinPort());
  DirectConnect(FSocksIP, FSocksPort);
  bool ok = SocksOpen();
  if (ok) ok = SocksRequest(2, ip, port);
  if (ok) ok = SocksResponse();
  if (!ok && FLastError == 0) FLastError = p::kWSANO_RECOVERY;
  FSocksLocalIP = FSocksResponseIP == "0.0.0.0" ? FSocksIP : FSocksResponseIP;
  FSocksLocalPort = FSocksResponsePort;
  FSocksRemoteIP.clear();
  FSocksRemotePort.clear();
  ExceptCheck();
  DoStatus(HR_Listen, "");
}

SocketHandle TTCPBlockSocket::Accept() {
  if (!FUsingSocks) return DirectAccept();
  // The SOCKS server's second reply names the peer; the stream is this very connection.
  if (!SocksResponse() && FLastError == 0) FLastError = p::kWSANO_RECOVERY;
  FSocksRemoteIP = FSocksResponseIP;
  FSocksRemotePort = FSocksResponsePort;
  ExceptCheck();
  DoStatus(HR_Accept, "");
  return FSocket;
}

std::string TTCPBlockSocket::GetLocalSinIP() {
  return FUsingSocks ? FSocksLocalIP : TBlockSocket::GetLocalSinIP();
}

std::string TTCPBlockSocket::GetRemoteSinIP() {
  if (FUsingSocks) return FSocksRemoteIP;
  if (FHTTPTunnel) return FHTTPTunnelRemoteIP;
  return TBlockSocket::GetRemoteSinIP();
}

int TTCPBlockSocket::GetLocalSinPort() {
  return FUsingSocks ? ToNumber(FSocksLocalPort) : TBlockSocket::GetLocalSinPort();
}

int TTCPBlockSocket::GetRemoteSinPort() {
  if (FUsingSocks) return ResolvePort(FSocksRemotePort);
  if (FHTTPTunnel) return ToNumber(FHTTPTunnelRemotePort);
  return TBlockSocket::GetRemoteSinPort();
}

int TTCPBlockSocket::GetSocketType() {
  return p::kSockStream;
}
int TTCPBlockSocket::GetSocketProtocol() {
  return p::kIpprotoTcp;
}

std::string TTCPBlockSocket::GetErrorDescEx() {
  if (FLastError == p::kWSAECONNREFUSED && !FHTTPTunnelRefusal.empty()) return FHTTPTunnelRefusal;
  if (FLastError == p::kWSASYSNOTREADY && FSSL && FSSL->LastError() != 0)
    return FSSL->LastErrorDesc();
  return TBlockSocket::GetErrorDescEx();
}

void TTCPBlockSocket::SSLDoConnect() {
  ResetLastError();
  if (!FSSL->Connect()) FLastError = p::kWSASYSNOTREADY;
  ExceptCheck();
}

void TTCPBlockSocket::SSLDoShutdown() {
  ResetLastError();
  FSSL->BiShutdown();
}

bool TTCPBlockSocket::SSLAcceptConnection() {
  ResetLastError();
  if (!FSSL->Accept()) FLastError = p::kWSASYSNOTREADY;
  ExceptCheck();
  return FLastError == 0;
}

}  // namespace vlt::net
