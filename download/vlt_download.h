#pragma once
// TVltDownload: the download component. One StartDownload fetches one URL into one file over
// HTTP or FTP, on the calling thread, resuming a partial file left by an earlier attempt, and
// reports its progress through events. The caller may pause or stop the transfer by setting
// DownloadStatus from inside one of those events.
#include <cstdint>
#include <memory>
#include <string>

#include "download/download_class.h"
#include "download/download_types.h"

namespace vlt::download {

class TVltDownload : public TVltComponent {
 public:
  explicit TVltDownload(TVltComponent* AOwner = nullptr);
  ~TVltDownload() override;

  // Runs one download; returns when the transfer has ended. Network and local file failures
  // end it without an error: the final file is then simply not there, and Falha() says why.
  // A resumed file whose whole does not have the expected SHA-256 is fetched once more from
  // the start before that is reported.
  void StartDownload();

  // The settings and events are handed to the engine by value when a transfer starts: a change
  // takes effect at the next start. Only DownloadStatus reaches a running transfer.
  const std::string& DownloadDest() const { return fDownloadDest; }
  void SetDownloadDest(const std::string& Value) { fDownloadDest = Value; }
  const std::string& DownloadUrl() const { return fDownloadUrl; }
  void SetDownloadUrl(const std::string& Value) { fDownloadUrl = Value; }
  const std::string& DownloadNomeArq() const { return fDownloadNomeArq; }
  void SetDownloadNomeArq(const std::string& Value) { fDownloadNomeArq = Value; }
  std::int32_t SizeRecvBuffer() const { return fSizeRecvBuffer; }
  // Handed to the socket of the next transfer.
  void SetSizeRecvBuffer(std::int32_t Value);
  TVltProxy& Proxy() { return fProxy; }
  const TVltProxy& Proxy() const { return fProxy; }
  void SetProxy(const TVltProxy& Value) { fProxy = Value; }
  TVltFTP& FTP() { return fFTP; }
  const TVltFTP& FTP() const { return fFTP; }
  void SetFTP(const TVltFTP& Value) { fFTP = Value; }
  TVltProtocolo Protocolo() const { return fProtocolo; }
  void SetProtocolo(TVltProtocolo Value) { fProtocolo = Value; }
  // The SHA-256 (64 hex digits) the file must have; empty: not checked. A partial file that
  // does not have it is deleted instead of taking its final name.
  const std::string& ExpectedSha256() const { return fExpectedSha256; }
  void SetExpectedSha256(const std::string& Value) { fExpectedSha256 = Value; }
  // A PEM file of certificate authorities trusted beside the system's for https; empty: the
  // system's only.
  const std::string& CertCAFile() const { return fCertCAFile; }
  void SetCertCAFile(const std::string& Value) { fCertCAFile = Value; }
  TDownloadStatus DownloadStatus() const { return fDownloadStatus; }
  // Also the running engine's status: how a caller pauses or stops a transfer.
  void SetDownloadStatus(TDownloadStatus Value);

  const TVltBeforeDownload& OnBeforeDownload() const { return fOnBeforeDownload; }
  void SetOnBeforeDownload(TVltBeforeDownload Value) { fOnBeforeDownload = std::move(Value); }
  const TVltAfterDownload& OnAfterDownload() const { return fOnAfterDownload; }
  void SetOnAfterDownload(TVltAfterDownload Value) { fOnAfterDownload = std::move(Value); }
  const TVltHookStatus& OnHookStatus() const { return fOnHookStatus; }
  void SetOnHookStatus(TVltHookStatus Value) { fOnHookStatus = std::move(Value); }
  const TVltHookMonitor& OnHookMonitor() const { return fOnHookMonitor; }
  void SetOnHookMonitor(TVltHookMonitor Value) { fOnHookMonitor = std::move(Value); }
  const TVltDownloadStatus& OnDownloadStatus() const { return fOnDownloadStatus; }
  void SetOnDownloadStatus(TVltDownloadStatus Value) { fOnDownloadStatus = std::move(Value); }
  // Raised every HeartbeatRate ms while the transfer waits for the network (and before each
  // receive), so that a window can repaint while a slow server keeps it waiting; 0 (the
  // default) raises none. A stop or pause set from it ends the wait at once.
  std::int32_t HeartbeatRate() const { return fHeartbeatRate; }
  void SetHeartbeatRate(std::int32_t Value) { fHeartbeatRate = Value; }
  const TVltHeartbeat& OnHeartbeat() const { return fOnHeartbeat; }
  void SetOnHeartbeat(TVltHeartbeat Value) { fOnHeartbeat = std::move(Value); }
  // A server that sends nothing for this many ms fails the transfer (ftTempo); 0: only the
  // protocol's own time-out. 30000 by default.
  std::int32_t SilenceTimeout() const { return fSilenceTimeout; }
  void SetSilenceTimeout(std::int32_t Value) { fSilenceTimeout = Value; }

  // The engine of the latest start (diagnostics: whether it finished the file, and why not).
  // Only after a start.
  TVltDownloadClass& Engine() const;
  // Why the latest start did not finish its file; ftNenhuma when it did, or before any start.
  const TFalhaDownload& Falha() const;
  // Falha().Detalhe.
  std::string FailureText() const { return Falha().Detalhe; }
  // The seconds the server of the latest start asked to wait before another (Retry-After);
  // -1 when it asked nothing, or before any start.
  std::int32_t RetryAfter() const { return fDown ? fDown->RetryAfter() : -1; }

 private:
  TVltDownloadSettings Settings() const;
  TVltDownloadEvents Events() const;
  void RunEngine();
  void LogOutcome(std::uint32_t ms) const;

  std::unique_ptr<TVltDownloadClass> fDown;
  TVltProtocolo fProtocolo = protNenhum;
  std::string fDownloadDest;
  TDownloadStatus fDownloadStatus = stNone;
  std::string fDownloadUrl;
  std::string fDownloadNomeArq;
  std::string fExpectedSha256;
  std::string fCertCAFile;
  TVltProxy fProxy;
  std::int32_t fSizeRecvBuffer = 0;
  TVltFTP fFTP;
  TVltBeforeDownload fOnBeforeDownload;
  TVltHookStatus fOnHookStatus;
  TVltDownloadStatus fOnDownloadStatus;
  TVltAfterDownload fOnAfterDownload;
  TVltHookMonitor fOnHookMonitor;
  TVltHeartbeat fOnHeartbeat;
  std::int32_t fHeartbeatRate = 0;
  std::int32_t fSilenceTimeout = 30000;
  bool fRunning = false;
};

}  // namespace vlt::download
