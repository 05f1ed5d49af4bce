#include "net/socks_block_socket.h"

#include <cstdio>

#include "net/address_text.h"
#include "net/text_functions.h"
#include "platform/codepage.h"

namespace vlt::net {

namespace p = vlt::platform;

namespace {

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

}  // namespace

ByteString SocksGreeting(bool WithUser) {
  return WithUser ? ByteString("\x05\x02\x02\x00", 4) : ByteString("\x05\x01\x00", 3);
}

ByteString SocksAuthMessage(const ByteString& User, const ByteString& Password) {
  return '\x01' + Counted(User) + Counted(Password);
}

ByteString SocksAddressBytes(TSocksType Type, const std::string& Host, std::uint16_t Port,
                             const ByteString& User) {
  ByteString r;
  if (Type == ST_Socks4) {
    r = WordToBytes(Port);
    if (IsIPv4Text(Host)) {
      r += IPv4ToBytes(Host) + User + '\0';
    } else {
      // SOCKS 4a: an address 0.0.0.1 says "the name follows".
      r += ByteString("\0\0\0\x01", 4) + User + '\0' + Host + '\0';
    }
    return r;
  }
  if (IsIPv4Text(Host))
    r = '\x01' + IPv4ToBytes(Host);
  else if (IsIPv6Text(Host))
    r = '\x04' + IPv6ToBytes(Host);
  else
    r = '\x03' + Counted(Host);
  return r + WordToBytes(Port);
}

SocksReplyFields ParseSocksReplyBytes(TSocksType Type, const ByteString& Value) {
  SocksReplyFields f;
  if (Type == ST_Socks4) {
    // 00 5A port(2) address(4)
    if (Value.size() >= 8) {
      f.Port = std::to_string(BytesToWord(Value, 3));
      f.IP = DottedQuad(Value, 4);
      f.Next = 9;
    }
    return f;
  }
  // 05 00 00 type address port(2); type 01: 4 bytes, 03: a counted name, 04: 16 bytes.
  if (Value.size() < 4) return f;
  switch (Value[3]) {
    case 0x01:
      if (Value.size() >= 10) {
        f.IP = DottedQuad(Value, 4);
        f.Port = std::to_string(BytesToWord(Value, 9));
        f.Next = 11;
      }
      break;
    case 0x03:
      if (Value.size() >= 5) {
        const size_t n = static_cast<unsigned char>(Value[4]);
        if (Value.size() >= n + 7) {
          f.IP = p::AnsiToText(Value.substr(5, n));
          f.Port = std::to_string(BytesToWord(Value, static_cast<int>(n) + 6));
          f.Next = static_cast<int>(n) + 8;
        }
      }
      break;
    case 0x04:
      if (Value.size() >= 22) {
        f.IP = BytesToIPv6Text(Value.substr(4, 16));
        f.Port = std::to_string(BytesToWord(Value, 21));
        f.Next = 23;
      }
      break;
    default:
      break;
  }
  return f;
}

bool TSocksBlockSocket::SocksOpen() {
  FUsingSocks = false;
  if (FSocksType == ST_Socks4) {
    FUsingSocks = true;  // SOCKS 4 has no opening exchange
    return true;
  }
  FlagScope bypass(FBypassFlag);  // lowered however the step ends
  SendString(SocksGreeting(!FSocksUsername.empty()));
  ByteString reply = RecvBufferStr(2, FSocksTimeout);
  if (reply.size() < 2 || reply[0] != 0x05) return false;
  bool ok = false;
  if (reply[1] == 0x00) {
    ok = true;
  } else if (reply[1] == 0x02) {
    SendString(SocksAuthMessage(p::TextToAnsi(FSocksUsername), p::TextToAnsi(FSocksPassword)));
    reply = RecvBufferStr(2, FSocksTimeout);
    ok = reply.size() == 2 && reply[1] == 0x00;
  }
  if (ok) FUsingSocks = true;
  return ok;
}

bool TSocksBlockSocket::SocksRequest(std::uint8_t Cmd, const std::string& IP,
                                     const std::string& Port) {
  FlagScope bypass(FBypassFlag);  // lowered however the step ends
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
  return SocksAddressBytes(FSocksType, p::TextToAnsi(ip), port, p::TextToAnsi(FSocksUsername));
}

bool TSocksBlockSocket::SocksResponse() {
  FlagScope bypass(FBypassFlag);  // lowered however the step ends
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
  const SocksReplyFields f = ParseSocksReplyBytes(FSocksType, Value);
  FSocksResponseIP = f.IP;
  FSocksResponsePort = f.Port;
  return f.Next;
}

}  // namespace vlt::net
