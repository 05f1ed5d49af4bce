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

// Byte counts are 64-bit so that a package above 2 GiB shows its true progress.
using TVltBeforeDownload = std::function<void(TVltDownloadClass* Sender)>;
using TVltAfterDownload = std::function<void(TVltDownloadClass* Sender)>;
using TVltHeartbeat = std::function<void(TVltDownloadClass* Sender)>;
using TVltHookStatus =
    std::function<void(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                       std::int64_t BytesToDownload, std::int64_t BytesDownloaded)>;
using TVltHookMonitor = std::function<void(
    net::TBlockSocket* Sender, std::int64_t BytesToDownload, std::int64_t BytesDownloaded,
    double AverageSpeed, std::uint16_t Hour, std::uint16_t Min, std::uint16_t Sec)>;
using TVltDownloadStatus =
    std::function<void(TVltDownloadClass* Sender, TDownloadStatus DownloadStatus)>;

struct TVltProxy {
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

}  // namespace vlt::download
