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
  const std::string& DownloadDest() const { return fSettings.DownloadDest; }
  void SetDownloadDest(const std::string& Value) { fSettings.DownloadDest = Value; }
  const std::string& DownloadUrl() const { return fSettings.DownloadUrl; }
  void SetDownloadUrl(const std::string& Value) { fSettings.DownloadUrl = Value; }
  const std::string& DownloadNomeArq() const { return fSettings.DownloadNomeArq; }
  void SetDownloadNomeArq(const std::string& Value) { fSettings.DownloadNomeArq = Value; }
  std::int32_t SizeRecvBuffer() const { return fSettings.SizeRecvBuffer; }
  // Handed to the socket of the next transfer.
  void SetSizeRecvBuffer(std::int32_t Value);
  TVltProxy& Proxy() { return fSettings.Proxy; }
  const TVltProxy& Proxy() const { return fSettings.Proxy; }
  void SetProxy(const TVltProxy& Value) { fSettings.Proxy = Value; }
  TVltFTP& FTP() { return fSettings.FTP; }
  const TVltFTP& FTP() const { return fSettings.FTP; }
  void SetFTP(const TVltFTP& Value) { fSettings.FTP = Value; }
  TVltProtocolo Protocolo() const { return fSettings.Protocolo; }
  void SetProtocolo(TVltProtocolo Value) { fSettings.Protocolo = Value; }
  // The SHA-256 (64 hex digits) the file must have; empty: not checked. A partial file that
  // does not have it is deleted instead of taking its final name.
  const std::string& ExpectedSha256() const { return fSettings.ExpectedSha256; }
  void SetExpectedSha256(const std::string& Value) { fSettings.ExpectedSha256 = Value; }
  // A PEM file of certificate authorities trusted beside the system's for https; empty: the
  // system's only.
  const std::string& CertCAFile() const { return fSettings.CertCAFile; }
  void SetCertCAFile(const std::string& Value) { fSettings.CertCAFile = Value; }
  TDownloadStatus DownloadStatus() const { return fSettings.DownloadStatus; }
  // Also the running engine's status: how a caller pauses or stops a transfer.
  void SetDownloadStatus(TDownloadStatus Value);

  const TVltBeforeDownload& OnBeforeDownload() const { return fEvents.OnBeforeDownload; }
  void SetOnBeforeDownload(TVltBeforeDownload Value) {
    fEvents.OnBeforeDownload = std::move(Value);
  }
  const TVltAfterDownload& OnAfterDownload() const { return fEvents.OnAfterDownload; }
  void SetOnAfterDownload(TVltAfterDownload Value) { fEvents.OnAfterDownload = std::move(Value); }
  const TVltHookStatus& OnHookStatus() const { return fEvents.OnHookStatus; }
  void SetOnHookStatus(TVltHookStatus Value) { fEvents.OnHookStatus = std::move(Value); }
  const TVltHookMonitor& OnHookMonitor() const { return fEvents.OnHookMonitor; }
  void SetOnHookMonitor(TVltHookMonitor Value) { fEvents.OnHookMonitor = std::move(Value); }
  const TVltDownloadStatus& OnDownloadStatus() const { return fEvents.OnDownloadStatus; }
  void SetOnDownloadStatus(TVltDownloadStatus Value) {
    fEvents.OnDownloadStatus = std::move(Value);
  }
  // Raised every HeartbeatRate ms while the transfer waits for the network (and before each
  // receive), so that a window can repaint while a slow server keeps it waiting; 0 (the
  // default) raises none. A stop or pause set from it ends the wait at once.
  std::int32_t HeartbeatRate() const { return fSettings.HeartbeatRate; }
  void SetHeartbeatRate(std::int32_t Value) { fSettings.HeartbeatRate = Value; }
  const TVltHeartbeat& OnHeartbeat() const { return fEvents.OnHeartbeat; }
  void SetOnHeartbeat(TVltHeartbeat Value) { fEvents.OnHeartbeat = std::move(Value); }
  // A server that sends nothing for this many ms fails the transfer (ftTempo); 0: only the
  // protocol's own time-out. 30000 by default.
  std::int32_t SilenceTimeout() const { return fSettings.SilenceTimeout; }
  void SetSilenceTimeout(std::int32_t Value) { fSettings.SilenceTimeout = Value; }

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
  // What the next start hands its engine, as they are copied to it.
  TVltDownloadSettings fSettings;
  TVltDownloadEvents fEvents;
  bool fRunning = false;
};

}  // namespace vlt::download
