#include "net/tcp_block_socket.h"

#include <algorithm>
#include <cstdio>

#include "net/address_text.h"
#include "net/text_functions.h"
#include "platform/codepage.h"

namespace vlt::net {

namespace p = vlt::platform;

namespace {

// Lowers the bypass flag however the negotiation step ends.
class BypassScope {
 public:
  explicit BypassScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~BypassScope() { flag_ = false; }
  BypassScope(const BypassScope&) = delete;
  BypassScope& operator=(const BypassScope&) = delete;

 private:
  bool& flag_;
};

std::string DottedQuad(const ByteString& v, size_t at) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%d.%d.%d.%d", static_cast<unsigned char>(v[at]),
                static_cast<unsigned char>(v[at + 1]), static_cast<unsigned char>(v[at + 2]),
                static_cast<unsigned char>(v[at + 3]));
  return buf;
}

// A length-prefixed field of a SOCKS 5 message: at most 255 bytes fit the length byte.
ByteString Counted(const ByteString& v) {
  const ByteString cut = v.substr(0, 255);
  return static_cast<char>(cut.size()) + cut;
}

int ToNumber(const std::string& s) {
  if (s.empty() || s.size() > 9 || !std::all_of(s.begin(), s.end(), ::isdigit)) return 0;
  return std::stoi(s);
}

}  // namespace

// ---- SOCKS ----

bool TSocksBlockSocket::SocksOpen() {
  FUsingSocks = false;
  if (FSocksType == ST_Socks4) {
    FUsingSocks = true;  // SOCKS 4 has no opening exchange
    return true;
  }
  BypassScope bypass(FBypassFlag);
  SendString(FSocksUsername.empty() ? ByteString("\x05\x01\x00", 3)
                                    : ByteString("\x05\x02\x02\x00", 4));
  ByteString reply = RecvBufferStr(2, FSocksTimeout);
  if (reply.size() < 2 || reply[0] != 0x05) return false;
  bool ok = false;
  if (reply[1] == 0x00) {
    ok = true;
  } else if (reply[1] == 0x02) {
    ByteString message(1, '\x01');
    message += Counted(p::TextToAnsi(FSocksUsername));
    message += Counted(p::TextToAnsi(FSocksPassword));
    SendString(message);
    reply = RecvBufferStr(2, FSocksTimeout);
    ok = reply.size() == 2 && reply[1] == 0x00;
  }
  if (ok) FUsingSocks = true;
  return ok;
}

bool TSocksBlockSocket::SocksRequest(std::uint8_t Cmd, const std::string& IP,
                                     const std::string& Port) {
  BypassScope bypass(FBypassFlag);
  ByteString request;
  if (FSocksType == ST_Socks4) {
    request = {'\x04', static_cast<char>(Cmd)};
  } else {
    request = {'\x05', static_cast<char>(Cmd), '\x00'};
  }
  SendString(request + SocksAddressBlock(IP, Port));
  return FLastError == 0;
}

ByteString TSocksBlockSocket::SocksAddressBlock(const std::string& IP, const std::string& Port) {
  const std::uint16_t port = ResolvePort(Port);
  std::string ip = IP;
  if (!FSocksResolver) ip = ResolveName(ip);
  ByteString r;
  if (FSocksType == ST_Socks4) {
    r = WordToBytes(port);
    if (IsIPv4Text(ip)) {
      r += IPv4ToBytes(ip) + p::TextToAnsi(FSocksUsername) + '\0';
    } else {
      // SOCKS 4a: an address 0.0.0.1 says "the name follows".
      r += ByteString("\0\0\0\x01", 4) + p::TextToAnsi(FSocksUsername) + '\0' + p::TextToAnsi(ip) +
           '\0';
    }
  } else {
    if (IsIPv4Text(ip))
      r = '\x01' + IPv4ToBytes(ip);
    else if (IsIPv6Text(ip))
      r = '\x04' + IPv6ToBytes(ip);
    else
      r = '\x03' + Counted(p::TextToAnsi(ip));
    r += WordToBytes(port);
  }
  return r;
}

bool TSocksBlockSocket::SocksResponse() {
  BypassScope bypass(FBypassFlag);
  FSocksResponseIP.clear();
  FSocksResponsePort.clear();
  FSocksLastError = -1;
  ByteString reply;
  if (FSocksType == ST_Socks4) {
    reply = RecvBufferStr(8, FSocksTimeout);
    if (FLastError != 0 || reply.size() < 8 || reply[0] != 0x00) return false;
  } else {
    reply = RecvBufferStr(4, FSocksTimeout);
    if (FLastError != 0 || reply.size() < 4 || reply[0] != 0x05) return false;
    switch (reply[3]) {
      case 0x01:
        reply += RecvBufferStr(4, FSocksTimeout);
        break;
      case 0x03: {
        const std::uint8_t n = RecvByte(FSocksTimeout);
        if (FLastError != 0) return false;
        reply += static_cast<char>(n);
        reply += RecvBufferStr(n, FSocksTimeout);
        break;
      }
      case 0x04:
        reply += RecvBufferStr(16, FSocksTimeout);
        break;
      default:
        return false;
    }
    if (FLastError != 0) return false;
    reply += RecvBufferStr(2, FSocksTimeout);
    if (FLastError != 0) return false;
  }
  FSocksLastError = static_cast<unsigned char>(reply[1]);
  if (FSocksLastError == 0 || FSocksLastError == 90) {
    ParseSocksReply(reply);
    return true;
  }
  return false;
}

int TSocksBlockSocket::ParseSocksReply(const ByteString& Value) {
  FSocksResponseIP.clear();
  FSocksResponsePort = std::string(1, '0');
  int next = 1;
  if (FSocksType == ST_Socks4) {
    if (Value.size() >= 8) {
      FSocksResponsePort = std::to_string(BytesToWord(Value, 3));
      FSocksResponseIP = DottedQuad(Value, 4);
      next = 9;
    }
    return next;
  }
  if (Value.size() < 4) return next;
  switch (Value[3]) {
    case 0x01:
      if (Value.size() >= 10) {
        FSocksResponseIP = DottedQuad(Value, 4);
        FSocksResponsePort = std::to_string(BytesToWord(Value, 9));
        next = 11;
      }
      break;
    case 0x03:
      if (Value.size() >= 5) {
        const size_t n = static_cast<unsigned char>(Value[4]);
        if (Value.size() >= n + 7) {
          FSocksResponseIP = p::AnsiToText(Value.substr(5, n));
          FSocksResponsePort = std::to_string(BytesToWord(Value, static_cast<int>(n) + 6));
          next = static_cast<int>(n) + 8;
        }
      }
      break;
    case 0x04:
      if (Value.size() >= 22) {
        FSocksResponseIP = BytesToIPv6Text(Value.substr(4, 16));
        FSocksResponsePort = std::to_string(BytesToWord(Value, 21));
        next = 23;
      }
      break;
    default:
      break;
  }
  return next;
}

// ---- TCP ----

TTCPBlockSocket::TTCPBlockSocket() : TTCPBlockSocket(DefaultSecurityPlugin) {}

TTCPBlockSocket::TTCPBlockSocket(TSSLClass SSLPlugin) : FSSL(SSLPlugin(this)) {}

TTCPBlockSocket::~TTCPBlockSocket() {
  // The graceful close runs here, while the plug-in still exists.
  CloseSocket();
  FClosedByDescendant = true;
}

void TTCPBlockSocket::CloseSocket() {
  if (FSSL && FSSL->SSLEnabled()) FSSL->Shutdown();
  if (FSocket != p::kInvalidSocket && FLastError == 0) {
    p::ShutdownSocket(FSocket, p::kSdSend);
    Purge();
  }
  AbortSocket();
}

void TTCPBlockSocket::Connect(const std::string& IP, const std::string& Port) {
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
  for (;;) {
    const ByteString line = RecvTerminated(FHTTPTunnelTimeout, "\n");
    if (FLastError != 0) break;
    // "HTTP/1.0 200 Connection established\r": the tenth character is the status class.
    if (line.rfind("HTTP/", 0) == 0 && line.size() > 11) FHTTPTunnel = line[9] == '2';
    if (line.empty() || line == "\r") break;
  }
  if (FLastError == 0 && !FHTTPTunnel) FLastError = p::kWSAECONNREFUSED;
  FHTTPTunnelRemoteIP = IP;
  FHTTPTunnelRemotePort = port;
  ExceptCheck();
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

int TTCPBlockSocket::SendBuffer(const void* Buffer, int Length) {
  if (!SecureChannel()) return TBlockSocket::SendBuffer(Buffer, Length);
  if (CheckStopFlag()) return 0;
  DoMonitor(true, Buffer, Length);
  const char* data = static_cast<const char*>(Buffer);
  int offset = 0;
  while (offset < Length) {
    const int piece = std::min(Length - offset, FSendMaxChunk);
    if (piece <= 0) break;
    ThrottleBandwidth(piece, FMaxSendBandwidth, FNextSend);
    ResetLastError();
    const int r = FSSL->SendBuffer(data + offset, piece);
    if (FSSL->LastError() != 0) FLastError = p::kWSASYSNOTREADY;
    if (FLastError != 0 || r <= 0) break;
    offset += r;
    FSendCounter += r;
    DoStatus(HR_WriteCount, std::to_string(r));
  }
  ExceptCheck();
  return offset;
}

int TTCPBlockSocket::RecvBuffer(void* Buffer, int Length) {
  if (!SecureChannel()) return TBlockSocket::RecvBuffer(Buffer, Length);
  if (CheckStopFlag()) return 0;
  ThrottleBandwidth(Length, FMaxRecvBandwidth, FNextRecv);
  ResetLastError();
  int r = FSSL->RecvBuffer(Buffer, Length);
  if (FSSL->LastError() != 0)
    FLastError = p::kWSASYSNOTREADY;
  else if (r == 0)
    FLastError = p::kWSAECONNRESET;
  ExceptCheck();
  if (r > 0) {
    FRecvCounter += r;
    DoStatus(HR_ReadCount, std::to_string(r));
    DoMonitor(false, Buffer, r);
    DoReadFilter(Buffer, r);
  }
  return r;
}

int TTCPBlockSocket::WaitingData() {
  int r = 0;
  if (FSSL->SSLEnabled() && FSocket != p::kInvalidSocket) r = FSSL->WaitingData();
  if (r == 0) r = TBlockSocket::WaitingData();
  return r;
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
