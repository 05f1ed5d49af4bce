#include "download/ftp_download.h"

#include "net/text_functions.h"
#include "platform/text.h"

namespace vlt::download {

namespace {

// Logs out when the start ends, by return or by an error.
class LogoutGuard {
 public:
  explicit LogoutGuard(net::TFTPClient& client) : client_(client) {}
  ~LogoutGuard() { client_.Logout(); }
  LogoutGuard(const LogoutGuard&) = delete;
  LogoutGuard& operator=(const LogoutGuard&) = delete;

 private:
  net::TFTPClient& client_;
};

}  // namespace

TVltFTPDownload::TVltFTPDownload(TVltDownloadSettings Settings, TVltDownloadEvents Events)
    : TVltDownloadClass(std::move(Settings), std::move(Events)),
      fFTPClient(std::make_unique<net::TFTPClient>()) {
  AttachSocket(fFTPClient->DSock());
  fFTPClient->SetBodySink(this);
}

TVltFTPDownload::~TVltFTPDownload() {
  DetachSocket();
}

void TVltFTPDownload::StartDownload() {
  net::TFTPClient& ftp = *fFTPClient;
  LogoutGuard logout(ftp);
  if (fFilePart.empty() && fDownloadStatus != stRedirect) {
    net::UrlParts u;
    net::SplitUrl(fDownloadUrl, u);
    fRemoteName = u.Path;
    // The settings stand even when empty: the URL's host and port are not used.
    const TVltFTP& settings = fSettings.FTP;
    ftp.TargetHost = settings.FtpHost;
    ftp.TargetPort = settings.FtpPort;
    ftp.UserName = settings.FtpUser;
    ftp.Password = settings.FtpPass;
    ftp.Timeout = ReceiveTimeout(settings.FtpTimeout);
    ftp.SetAutoTLS(settings.FtpTLS);
    ftp.SetTLSonData(settings.FtpTLS);
    ftp.Sock().SSL().SetCertCAFile(fSettings.CertCAFile);
    std::string name = platform::LastComponent(fRemoteName);
    if (!name.empty()) name += ".part";
    fFilePart = name;
  }
  if (!ftp.Login()) {
    // The operator's text, and beside it what the server or the connection said.
    fFailure = ftp.FailureText().empty() ? std::string("no reason given") : ftp.FailureText();
    const int e = ftp.Sock().LastError();
    if (e == platform::kWSAETIMEDOUT)
      fFalha = {ftTempo, e, fFailure};
    else if (e == platform::kWSASYSNOTREADY)
      fFalha = {ftCertificado, e, fFailure};
    else if (e != 0 || ftp.ResultCode() == 0)
      fFalha = {ftConexao, e, fFailure};
    else
      fFalha = {ftServidor, ftp.ResultCode(), fFailure};
    throw Exception("Não foi possível efetuar o login!\rMotivo: " + fFailure);
  }
  if (fSettings.FTP.FtpTLS && !ftp.IsTLS()) {
    // Going on in the clear would give away the password the settings asked to protect.
    fFailure = "the server does not accept AUTH TLS";
    fFalha = {ftCertificado, 0, fFailure};
    throw Exception("Não foi possível efetuar o login!\rMotivo: " + fFailure);
  }
  if (fFilePart.empty()) throw Exception("File To Save not found");
  if (!OpenPartFile()) {
    if (fEvents.OnAfterDownload) fEvents.OnAfterDownload(this);
    return;
  }
  ftp.SetDirectFileName(fFilePart);
  ftp.SetDirectFile(false);

  // SIZE names the whole file; what is still to come is what the partial file lacks.
  const std::int64_t size = ftp.FileSize(fRemoteName);
  // The restart offset is what the partial file holds. A server without restarts sends the
  // whole file, which must then replace the old bytes, not follow them; and a partial file
  // longer than the file is not a prefix of it, so no resume can ever finish it.
  if (fBytesResumed > 0 && (!ftp.CanResume() || (size >= 0 && fBytesResumed > size)) &&
      !EmptyPartFile()) {
    if (fEvents.OnAfterDownload) fEvents.OnAfterDownload(this);
    return;
  }
  BeginReply();
  fDownloadSize = size;
  if (size >= 0) {
    fExpectedSize = size;
    fDownloadSize = size - fBytesResumed;
  }
  fFinalReply.clear();
  if (fEvents.OnBeforeDownload) fEvents.OnBeforeDownload(this);
  // Never more than the file lacks: a server that takes REST but sends from the start, or a
  // file that grew, must not push the partial file past the file's size.
  ftp.RetrieveFileFrom(fRemoteName, fBytesResumed, fDownloadSize >= 0 ? fDownloadSize : -1);
  // Whatever the outcome, the partial file is not held (locked, on Windows) past the transfer.
  CloseFile();
  // Bytes after the offset came from a server that ignored it (or from another file): they
  // are not the file's, and a server that ignores REST once may have done so when the earlier
  // bytes came. A fresh start without REST is what works with it.
  if (ftp.DataOverLimit() && fPartOpened && fDownloadStatus != stStop) RemovePartFile();
  if (fEvents.OnAfterDownload) fEvents.OnAfterDownload(this);
}

void TVltFTPDownload::SocketStatus(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                                   const std::string& Value) {
  // Closes while a data connection is prepared (the one after PASV, the listening socket in
  // active mode) are not the end of a transfer.
  const net::TFTPState state = fFTPClient->State();
  if (Reason == net::HR_SocketClose && (state == net::fsIdle || state == net::fsDataSetup)) return;
  TVltDownloadClass::SocketStatus(Sender, Reason, Value);
}

void TVltFTPDownload::BodyEnd(const net::TTransferEnd& End) {
  fFinalReply = fFTPClient->ResultString();
  if (fFTPClient->DataOverLimit())
    fFailure = "the server sent more than the file's " + std::to_string(fExpectedSize) + " bytes";
  TVltDownloadClass::BodyEnd(End);
  // The data socket closed when the data ended; the final reply that came after it ends the
  // transfer, and is reported as the data socket's second close.
  if (End.Outcome != net::toRefused) Notify(net::HR_SocketClose);
}

bool TVltFTPDownload::BodyComplete() {
  return fEnd.Outcome == net::toComplete && fResultCode == 226 && !fFTPClient->DataOverLimit();
}

TFalhaDownload TVltFTPDownload::ClassifyFailure(const std::string& detail) const {
  // The server refused the transfer or ended it with something other than 226.
  if (fEndSocketError == 0 && !fFTPClient->DataOverLimit() &&
      (fEnd.Outcome == net::toRefused || fResultCode != 226))
    return {ftServidor, fResultCode, detail};
  return TVltDownloadClass::ClassifyFailure(detail);
}

std::string TVltFTPDownload::ReasonText() const {
  if (fFinished) return {};
  if (HasFileFault()) return fFalha.Detalhe;
  if (fDownloadStatus == stPause) return "paused";
  if (fDownloadStatus == stStop) return "stopped";
  if (!fFailure.empty()) return fFailure;
  if (fEnd.Outcome == net::toComplete && fResultCode != 226)
    return "the transfer ended with \"" + fFinalReply + "\"";
  return TVltDownloadClass::ReasonText();
}

}  // namespace vlt::download
