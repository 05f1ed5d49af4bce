#pragma once
// The stream socket of the protocol clients: direct, through a SOCKS 4/4a/5 server, or through
// an HTTP proxy's CONNECT tunnel, with a security plug-in on the byte stream.
#include <functional>
#include <memory>
#include <string>

#include "net/block_socket.h"
#include "net/ssl_plugin.h"

namespace vlt::net {

enum TSocksType { ST_Socks5, ST_Socks4 };

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

  // The address and port part of a SOCKS request, and the parse of a reply (answers the
  // 1-based offset after the parsed part).
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

using THookAfterConnect = std::function<void(TBlockSocket* Sender)>;

class TTCPBlockSocket : public TSocksBlockSocket {
 public:
  TTCPBlockSocket();
  explicit TTCPBlockSocket(TSSLClass SSLPlugin);  // CreateWithSSL
  ~TTCPBlockSocket() override;

  THookAfterConnect OnAfterConnect;

  void CloseSocket() override;
  void Connect(const std::string& IP, const std::string& Port) override;
  void Listen() override;
  SocketHandle Accept() override;
  int SendBuffer(const void* Buffer, int Length) override;
  int RecvBuffer(void* Buffer, int Length) override;
  int WaitingData() override;
  std::string GetLocalSinIP() override;
  std::string GetRemoteSinIP() override;
  int GetLocalSinPort() override;
  int GetRemoteSinPort() override;
  int GetSocketType() override;
  int GetSocketProtocol() override;
  std::string GetErrorDescEx() override;

  void SSLDoConnect();
  void SSLDoShutdown();
  bool SSLAcceptConnection();

  TCustomSSL& SSL() const { return *FSSL; }
  const std::string& HTTPTunnelIP() const { return FHTTPTunnelIP; }
  void SetHTTPTunnelIP(const std::string& v) { FHTTPTunnelIP = v; }
  const std::string& HTTPTunnelPort() const { return FHTTPTunnelPort; }
  void SetHTTPTunnelPort(const std::string& v) { FHTTPTunnelPort = v; }
  bool HTTPTunnel() const { return FHTTPTunnel; }
  const std::string& HTTPTunnelUser() const { return FHTTPTunnelUser; }
  void SetHTTPTunnelUser(const std::string& v) { FHTTPTunnelUser = v; }
  const std::string& HTTPTunnelPass() const { return FHTTPTunnelPass; }
  void SetHTTPTunnelPass(const std::string& v) { FHTTPTunnelPass = v; }
  std::int32_t HTTPTunnelTimeout() const { return FHTTPTunnelTimeout; }
  void SetHTTPTunnelTimeout(std::int32_t v) { FHTTPTunnelTimeout = v; }

 protected:
  void SocksDoConnect(const std::string& IP, const std::string& Port);
  void HTTPTunnelDoConnect(std::string IP, const std::string& Port);
  bool SecureChannel() const { return FSSL->SSLEnabled() && !FBypassFlag; }

  std::unique_ptr<TCustomSSL> FSSL;
  std::string FHTTPTunnelIP;
  std::string FHTTPTunnelPort;
  bool FHTTPTunnel = false;
  std::string FHTTPTunnelRemoteIP;
  std::string FHTTPTunnelRemotePort;
  std::string FHTTPTunnelUser;
  std::string FHTTPTunnelPass;
  std::int32_t FHTTPTunnelTimeout = 30000;
};

}  // namespace vlt::net
