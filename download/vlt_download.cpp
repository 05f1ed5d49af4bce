#include "download/vlt_download.h"

#include "download/ftp_download.h"
#include "download/http_download.h"
#include "net/sha256.h"
#include "net/text_functions.h"
#include "platform/flag_scope.h"
#include "platform/log.h"
#include "platform/paths.h"

namespace vlt::download {

TVltDownload::TVltDownload(TVltComponent* AOwner) : TVltComponent(AOwner) {}

TVltDownload::~TVltDownload() = default;

TVltDownloadSettings TVltDownload::Settings() const {
  return fSettings;
}

TVltDownloadEvents TVltDownload::Events() const {
  return fEvents;
}

TVltDownloadClass& TVltDownload::Engine() const {
  if (!fDown) throw Exception("Nenhum download foi iniciado.");
  return *fDown;
}

const TFalhaDownload& TVltDownload::Falha() const {
  static const TFalhaDownload kNone;
  return fDown ? fDown->Falha() : kNone;
}

void TVltDownload::StartDownload() {
  if (fSettings.Protocolo == protNenhum)
    throw Exception("Antes de iniciar o download, defina o protocolo a ser usado HTTP ou FTP!");
  // A start from inside one of this download's own events would free the running engine.
  if (fRunning) throw Exception("Um download já está em andamento.");
  // Checked before anything is fetched: a malformed digest would throw away a good file.
  if (!fSettings.ExpectedSha256.empty() && !net::IsSha256Hex(fSettings.ExpectedSha256))
    throw Exception("O SHA-256 esperado não é válido: " + fSettings.ExpectedSha256);
  platform::FlagScope running(fRunning);
  RunEngine();
  // A partial file an earlier run left may hold bytes of another version that no validator
  // could tell apart: the mismatch deleted it, and one fresh transfer settles the question.
  if (fDown->DigestMismatch() && fDown->BytesResumed() > 0 &&
      fSettings.DownloadStatus == stDownload)
    RunEngine();
}

void TVltDownload::RunEngine() {
  // The previous engine goes first: it may still hold the partial file open.
  fDown.reset();
  if (fSettings.Protocolo == protFTP)
    fDown = std::make_unique<TVltFTPDownload>(Settings(), Events());
  else
    fDown = std::make_unique<TVltHTTPDownload>(Settings(), Events());
  fSettings.DownloadStatus = stDownload;
  // One log line per URL, when the transfer has ended: its reply, its bytes and its time.
  const std::uint32_t start = net::TickMilliseconds();
  try {
    fDown->StartDownload();
  } catch (const std::exception& e) {
    fDown->Settle(e.what());
    LogOutcome(net::TickDifference(start, net::TickMilliseconds()));
    throw;
  }
  fDown->Settle();
  LogOutcome(net::TickDifference(start, net::TickMilliseconds()));
}

void TVltDownload::LogOutcome(std::uint32_t ms) const {
  const TVltDownloadClass& d = *fDown;
  std::string line = (d.Finished() ? "Download: " : "Download falhou: ") + fSettings.DownloadUrl;
  if (d.DownloadUrl() != fSettings.DownloadUrl)
    line += " (redirecionado para " + d.DownloadUrl() + ")";
  // Over HTTP a failure before any reply leaves the client's own 500: no server said it.
  if (d.ResultCode() != 0 && (fSettings.Protocolo == protFTP || d.ReplyReceived()))
    line += std::string(fSettings.Protocolo == protFTP ? ", FTP " : ", HTTP ") +
            std::to_string(d.ResultCode());
  line += ", " + std::to_string(d.FileSize() - d.BytesResumed()) + " bytes";
  if (d.BytesResumed() > 0) line += " (retomado de " + std::to_string(d.BytesResumed()) + ")";
  line += " em " + platform::DurationText(ms);
  // Over TLS, what support needs to tell a genuine server: the session and the certificate.
  if (net::TCustomSSL* ssl = d.Security(); ssl != nullptr && !ssl->GetSSLVersion().empty())
    line += ", " + ssl->GetSSLVersion() + " " + ssl->GetCipherName() + ", certificado de " +
            ssl->GetPeerName() + " (SHA-256 " + ssl->GetPeerFingerprint() + ")";
  if (d.Finished())
    line += " -> " + platform::NormalizePath(PartFileTarget(d.FilePart()));
  else
    line += ": " + d.Falha().Detalhe;
  platform::Log(line);
}

void TVltDownload::SetSizeRecvBuffer(std::int32_t Value) {
  fSettings.SizeRecvBuffer = Value;
}

void TVltDownload::SetDownloadStatus(TDownloadStatus Value) {
  fSettings.DownloadStatus = Value;
  if (fDown) fDown->SetDownloadStatus(Value);
}

}  // namespace vlt::download
