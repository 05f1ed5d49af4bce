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

  // Runs one download; returns when the transfer has ended. Network failures end it without
  // an error: the final file is then simply not there.
  void StartDownload();

  // The settings and events are read by the engine when it needs them: a change reaches the
  // running engine without being copied to it.
  const std::string& DownloadDest() const { return fDownloadDest; }
  void SetDownloadDest(const std::string& Value) { fDownloadDest = Value; }
  const std::string& DownloadUrl() const { return fDownloadUrl; }
  void SetDownloadUrl(const std::string& Value) { fDownloadUrl = Value; }
  const std::string& DownloadNomeArq() const { return fDownloadNomeArq; }
  void SetDownloadNomeArq(const std::string& Value) { fDownloadNomeArq = Value; }
  std::int32_t SizeRecvBuffer() const { return fSizeRecvBuffer; }
  // Handed on to the engine's socket.
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

  // The engine of the latest start (diagnostics: whether it finished the file, and why not).
  TVltDownloadClass& Engine() const { return *fDown; }

 private:
  void LogOutcome(std::uint32_t ms, const std::string& error) const;

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
  bool fRunning = false;
};

}  // namespace vlt::download
