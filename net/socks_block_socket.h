#pragma once
// SOCKS 4/4a/5 traversal: the message encodings and reply parsing as functions over bytes, and
// the socket that runs the exchanges.
#include <cstdint>
#include <string>

#include "net/block_socket.h"

namespace vlt::net {

enum TSocksType { ST_Socks5, ST_Socks4 };

// The SOCKS 5 greeting: 05 01 00 without a user name, 05 02 02 00 with one.
ByteString SocksGreeting(bool WithUser);
// The SOCKS 5 user name/password message: 01, then each field behind its length byte (fields
// cut to the 255 bytes a length byte can count).
ByteString SocksAuthMessage(const ByteString& User, const ByteString& Password);
// The address and port part of a request. `Host` is IPv4 text, IPv6 text or a host name (all
// in the 8-bit code page); `User` is the SOCKS 4 user id.
ByteString SocksAddressBytes(TSocksType Type, const std::string& Host, std::uint16_t Port,
                             const ByteString& User);

struct SocksReplyFields {
  std::string IP;          // empty when the reply is too short or of an unknown type
  std::string Port = "0";  // decimal
  int Next = 1;            // 1-based offset after the parsed part
};
// Parses a whole reply (SOCKS 4: 8 bytes; SOCKS 5: header, address, port).
SocksReplyFields ParseSocksReplyBytes(TSocksType Type, const ByteString& Reply);

class TSocksBlockSocket : public TBlockSocket {
 public:
  TSocksBlockSocket() = default;

  bool SocksOpen();
  bool SocksRequest(std::uint8_t Cmd, const std::string& IP, const std::string& Port);
  bool SocksResponse();

  const std::string& SocksIP() const { return FSocksIP; }
  void SetSocksIP(const std::string& v) { FSocksIP = v; }
  const std::string& SocksPort() const { return FSocksPort; }
  void SetSocksPort(const std::string& v) { FSocksPort = v; }
  std::int32_t SocksTimeout() const { return FSocksTimeout; }
  void SetSocksTimeout(std::int32_t v) { FSocksTimeout = v; }
  const std::string& SocksUsername() const { return FSocksUsername; }
  void SetSocksUsername(const std::string& v) { FSocksUsername = v; }
  const std::string& SocksPassword() const { return FSocksPassword; }
  void SetSocksPassword(const std::string& v) { FSocksPassword = v; }
  bool UsingSocks() const { return FUsingSocks; }
  bool SocksResolver() const { return FSocksResolver; }
  void SetSocksResolver(bool v) { FSocksResolver = v; }
  std::int32_t SocksLastError() const { return FSocksLastError; }
  TSocksType SocksType() const { return FSocksType; }
  void SetSocksType(TSocksType v) { FSocksType = v; }

  // The address block of a request for this socket's settings (port and, unless the SOCKS
  // server resolves, the name resolved here), and the parse of a reply into the response
  // fields (answers the 1-based offset after the parsed part).
  ByteString SocksAddressBlock(const std::string& IP, const std::string& Port);
  int ParseSocksReply(const ByteString& Value);
  const std::string& SocksResponseIP() const { return FSocksResponseIP; }
  const std::string& SocksResponsePort() const { return FSocksResponsePort; }

 protected:
  std::string FSocksIP;
  std::string FSocksPort = "1080";
  std::int32_t FSocksTimeout = 60000;
  std::string FSocksUsername;
  std::string FSocksPassword;
  bool FUsingSocks = false;
  bool FSocksResolver = true;
  std::int32_t FSocksLastError = 0;
  std::string FSocksResponseIP;
  std::string FSocksResponsePort;
  std::string FSocksLocalIP;
  std::string FSocksLocalPort;
  std::string FSocksRemoteIP;
  std::string FSocksRemotePort;
  bool FBypassFlag = false;
  TSocksType FSocksType = ST_Socks5;
};

}  // namespace vlt::net
