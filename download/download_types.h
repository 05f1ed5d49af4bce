#pragma once
// What the download component and its engines share: status values, protocols, the event
// types and the two settings objects.
#include <cstdint>
#include <functional>
#include <string>

#include "net/block_socket.h"

namespace vlt::download {

enum TVltProtocolo { protNenhum, protHTTP, protFTP };

enum TDownloadStatus { stNone, stStop, stDownload, stPause, stResume, stRedirect };

// A component base without behaviour of its own: a component has an owner.
class TVltComponent {
 public:
  explicit TVltComponent(TVltComponent* AOwner = nullptr) : fComponentOwner(AOwner) {}
  virtual ~TVltComponent() = default;
  TVltComponent(const TVltComponent&) = delete;
  TVltComponent& operator=(const TVltComponent&) = delete;
  TVltComponent* Owner() const { return fComponentOwner; }

 private:
  TVltComponent* fComponentOwner;
};

class TVltDownloadClass;

// Why a transfer did not finish, as one value: the kind (what the installer words for the
// operator), the number that goes with it and the English one-line reason for the log.
enum TFalhaTipo {
  ftNenhuma,       // the file was finished
  ftConexao,       // no connection: the name did not resolve, the connection was refused or reset
  ftTempo,         // the server went silent
  ftCertificado,   // the TLS session was refused (certificate, handshake)
  ftServidor,      // the server answered an error status or an unusable reply
  ftProxy,         // the proxy refused: 407, 403, a reply that is not HTTP
  ftIncompleta,    // the transfer ended before the file was whole
  ftSoma,          // the whole file does not have the expected SHA-256
  ftArquivo,       // the local file could not be created, written, renamed or deleted
  ftInterrompida,  // the caller stopped or paused the transfer
};

struct TFalhaDownload {
  TFalhaTipo Tipo = ftNenhuma;
  std::int32_t Codigo = 0;  // HTTP or FTP status, or Windows Sockets error; 0 when none
  std::string Detalhe;      // empty when the file was finished
};

// Events carry numbers and text; byte counts are 64-bit so that a package above 2 GiB shows its
// true progress. A total of 0 means the size is not known (a chunked reply, no SIZE).
using TVltBeforeDownload = std::function<void(TVltDownloadClass* Sender)>;
using TVltAfterDownload = std::function<void(TVltDownloadClass* Sender)>;
// SilenceMs: how long the server has sent nothing (since the connection or its last byte).
using TVltHeartbeat = std::function<void(TVltDownloadClass* Sender, std::uint32_t SilenceMs)>;
using TVltHookStatus = std::function<void(
    net::THookSocketReason Reason, std::int64_t BytesToDownload, std::int64_t BytesDownloaded)>;
// AverageSpeed in KB/s; SecondsLeft is 0 while it cannot be told (no speed or no total yet).
using TVltHookMonitor =
    std::function<void(std::int64_t BytesToDownload, std::int64_t BytesDownloaded,
                       double AverageSpeed, std::uint32_t SecondsLeft)>;
using TVltDownloadStatus =
    std::function<void(TVltDownloadClass* Sender, TDownloadStatus DownloadStatus)>;

// How the proxy is spoken to: HTTP (a CONNECT tunnel for https), or SOCKS. SOCKS 4a and 5h
// leave the name to the proxy; SOCKS 4 and 5 resolve it here first.
enum TVltProxyTipo { ptHTTP, ptSocks4, ptSocks4a, ptSocks5, ptSocks5h };

struct TVltProxy {
  TVltProxyTipo ProxyTipo = ptHTTP;
  std::string ProxyHost;
  std::string ProxyPort;
  std::string ProxyUser;
  std::string ProxyPass;
  std::int32_t ProxyTimeout = 90000;  // milliseconds
};

struct TVltFTP {
  std::string FtpHost;
  std::string FtpPort;
  std::string FtpUser;
  std::string FtpPass;
  std::int32_t FtpTimeout = 300000;  // milliseconds
  // AUTH TLS on the control connection and PROT P on the data connection, the server's
  // certificate checked as for https; a server that refuses them is not used.
  bool FtpTLS = false;
};

// What a transfer is given when it starts: a copy of the component's settings at that moment.
// The engine never reads the component again.
struct TVltDownloadSettings {
  std::string DownloadUrl;
  std::string DownloadDest;     // destination directory
  std::string DownloadNomeArq;  // final file name; empty: from the URL or the server
  TVltProtocolo Protocolo = protNenhum;
  TVltProxy Proxy;
  TVltFTP FTP;
  std::string CertCAFile;      // PEM file of CAs trusted beside the system's; empty: none
  std::string ExpectedSha256;  // 64 hex digits; empty: not checked
  std::int32_t HeartbeatRate = 0;
  std::int32_t SizeRecvBuffer = 0;
  // A server that sends nothing for this many ms fails the transfer (ftTempo); 0: only the
  // protocol's own time-out applies.
  std::int32_t SilenceTimeout = 30000;
  TDownloadStatus DownloadStatus = stNone;  // the caller's status when the transfer starts
};

struct TVltDownloadEvents {
  TVltBeforeDownload OnBeforeDownload;
  TVltAfterDownload OnAfterDownload;
  TVltHookStatus OnHookStatus;
  TVltHookMonitor OnHookMonitor;
  TVltDownloadStatus OnDownloadStatus;
  TVltHeartbeat OnHeartbeat;
};

// The file a partial file becomes: "C:\Dir\a.zip.part" -> "C:\Dir\a.zip"; any other name is its
// own final name.
std::string PartFileTarget(const std::string& FilePart);

}  // namespace vlt::download
