#include "download/vlt_download.h"

#include "download/ftp_download.h"
#include "download/http_download.h"
#include "net/sha256.h"
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
  // Checked before anything is fetched: a malformed digest would throw away a good file.
  if (!fExpectedSha256.empty() && !net::IsSha256Hex(fExpectedSha256))
    throw Exception("O SHA-256 esperado não é válido: " + fExpectedSha256);
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

void TVltDownload::SetSizeRecvBuffer(std::int32_t Value) {
  fSizeRecvBuffer = Value;
  fDown->SetSizeRecvBuffer(Value);
}

void TVltDownload::SetDownloadStatus(TDownloadStatus Value) {
  fDownloadStatus = Value;
  fDown->SetDownloadStatus(Value);
}

}  // namespace vlt::download
