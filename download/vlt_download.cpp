#include "download/vlt_download.h"

#include "download/ftp_download.h"
#include "download/http_download.h"
#include "platform/flag_scope.h"

namespace vlt::download {

TVltDownload::TVltDownload(TVltComponent* AOwner) : TVltComponent(AOwner) {
  fDown = std::make_unique<TVltDownloadClass>(this);
}

TVltDownload::~TVltDownload() {
  fDown.reset();
}

void TVltDownload::StartDownload() {
  if (fProtocolo == protNenhum)
    throw Exception("Antes de iniciar o download, defina o protocolo a ser usado HTTP ou FTP!");
  // A start from inside one of this download's own events would free the running engine.
  if (fRunning) throw Exception("Um download já está em andamento.");
  platform::FlagScope running(fRunning);
  // The previous engine goes first: it may still hold the partial file open.
  fDown.reset();
  if (fProtocolo == protFTP)
    fDown = std::make_unique<TVltFTPDownload>(this);
  else
    fDown = std::make_unique<TVltHTTPDownload>(this);
  fDownloadStatus = stDownload;
  fDown->StartDownload();
}

void TVltDownload::SetDownloadDest(const std::string& Value) {
  fDownloadDest = Value;
  fDown->SetDownloadDest(Value);
}

void TVltDownload::SetDownloadUrl(const std::string& Value) {
  fDownloadUrl = Value;
  fDown->SetDownloadUrl(Value);
}

void TVltDownload::SetDownloadNomeArq(const std::string& Value) {
  fDownloadNomeArq = Value;
  fDown->SetDownloadNomeArq(Value);
}

void TVltDownload::SetSizeRecvBuffer(std::int32_t Value) {
  fSizeRecvBuffer = Value;
  fDown->SetSizeRecvBuffer(Value);
}

void TVltDownload::SetProxy(const TVltProxy& Value) {
  fProxy = Value;
  fDown->SetProxy(&fProxy);
}

void TVltDownload::SetDownloadStatus(TDownloadStatus Value) {
  fDownloadStatus = Value;
  fDown->SetDownloadStatus(Value);
}

void TVltDownload::SetOnBeforeDownload(TVltBeforeDownload Value) {
  fOnBeforeDownload = Value;
  fDown->SetOnBeforeDownload(std::move(Value));
}

void TVltDownload::SetOnAfterDownload(TVltAfterDownload Value) {
  fOnAfterDownload = Value;
  fDown->SetOnAfterDownload(std::move(Value));
}

void TVltDownload::SetOnHookStatus(TVltHookStatus Value) {
  fOnHookStatus = Value;
  fDown->SetOnHookStatus(std::move(Value));
}

void TVltDownload::SetOnHookMonitor(TVltHookMonitor Value) {
  fOnHookMonitor = Value;
  fDown->SetOnHookMonitor(std::move(Value));
}

void TVltDownload::SetOnDownloadStatus(TVltDownloadStatus Value) {
  fOnDownloadStatus = Value;
  fDown->SetOnDownloadStatus(std::move(Value));
}

}  // namespace vlt::download
