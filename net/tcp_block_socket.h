#pragma once
// The stream socket of the protocol clients: direct, through a SOCKS 4/4a/5 server, or through
// an HTTP proxy's CONNECT tunnel, with a security plug-in on the byte stream.
#include <functional>
#include <memory>
#include <string>

#include "net/socks_block_socket.h"
#include "net/ssl_plugin.h"

namespace vlt::net {

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
  // The security plug-in carries the stream once it reports a secure channel.
  TSocketTransport& OwnTransport() override;
  bool WaitReadable(int Timeout) override;
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
  // The status code of the proxy's answer to the last CONNECT; 0 when none was read. A proxy
  // that refuses the tunnel leaves 10061 in LastError with its answer as LastErrorDesc ("the
  // proxy answered 407 Proxy Authentication Required").
  std::int32_t HTTPTunnelResultCode() const { return FHTTPTunnelResultCode; }
  bool HTTPTunnelRefused() const { return !FHTTPTunnelRefusal.empty(); }
  std::int32_t HTTPTunnelTimeout() const { return FHTTPTunnelTimeout; }
  void SetHTTPTunnelTimeout(std::int32_t v) { FHTTPTunnelTimeout = v; }

 protected:
  void SocksDoConnect(const std::string& IP, const std::string& Port);
  void HTTPTunnelDoConnect(std::string IP, const std::string& Port);
  void ReadTunnelReply();
  bool SecureChannel() const { return FSSL->SSLEnabled() && !FBypassFlag; }

  std::unique_ptr<TCustomSSL> FSSL;
  std::unique_ptr<TSocketTransport> FSSLTransport;
  std::string FHTTPTunnelIP;
  std::string FHTTPTunnelPort;
  bool FHTTPTunnel = false;
  std::string FHTTPTunnelRemoteIP;
  std::string FHTTPTunnelRemotePort;
  std::string FHTTPTunnelUser;
  std::string FHTTPTunnelPass;
  std::int32_t FHTTPTunnelTimeout = 30000;
  std::int32_t FHTTPTunnelResultCode = 0;
  std::string FHTTPTunnelRefusal;  // why the proxy's answer refused the tunnel
};

}  // namespace vlt::net
