#pragma once
// TVltFTPDownload: the FTP engine of the download component. Logs in to the server named in the
// component's FTP settings (the URL gives only the remote path), asks for the file's size and
// retrieves it into the client's memory stream, whose blocks the engine moves into the partial
// file as they arrive. A partial file already there is continued from its size when the server
// takes restart offsets, and fetched again from the start when it does not or when the partial
// file is longer than the file. No more than the file's size ever reaches the partial file.
#include <memory>
#include <string>

#include "download/download_class.h"
#include "net/ftp_client.h"

namespace vlt::download {

class TVltFTPDownload : public TVltDownloadClass {
 public:
  TVltFTPDownload(TVltDownloadSettings Settings, TVltDownloadEvents Events);
  ~TVltFTPDownload() override;

  void SocketStatus(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                    const std::string& Value) override;
  void StartDownload() override;
  void BodyEnd(const net::TTransferEnd& End) override;
  net::TCustomSSL* Security() const override { return &fFTPClient->DSock().SSL(); }

  net::TFTPClient& FTPClient() const { return *fFTPClient; }

 protected:
  bool BodyComplete() override;
  std::int32_t ReplyCode() const override { return fFTPClient->ResultCode(); }
  std::string ReasonText() const override;
  TFalhaDownload ClassifyFailure(const std::string& detail) const override;

 private:
  std::unique_ptr<net::TFTPClient> fFTPClient;
  std::string fRemoteName;  // the URL's path, sent with SIZE and RETR
  std::string fFinalReply;  // the last line of the transfer's last reply
};

}  // namespace vlt::download
