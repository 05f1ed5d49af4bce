#pragma once
// TVltHTTPDownload: the HTTP engine of the download component. One GET of DownloadUrl into the
// partial file, asking only for the missing bytes when a partial file is there, following a
// 302 redirection by starting again at the new address, and finding the file name in the URL
// or in the reply headers when the caller gave none.
#include <memory>
#include <string>

#include "download/download_class.h"
#include "net/http_client.h"

namespace vlt::download {

class TVltHTTPDownload : public TVltDownloadClass {
 public:
  // A chain of redirections longer than this is not followed (a server redirecting to itself
  // would otherwise nest starts without end).
  static constexpr int kMaxRedirects = 10;

  explicit TVltHTTPDownload(TVltComponent* AOwner);
  ~TVltHTTPDownload() override;

  void SocketStatus(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                    const std::string& Value) override;
  void StartDownload() override;
  std::string FailureText() const override;
  void BodyEnd(const net::TTransferEnd& End) override;
  net::TCustomSSL* Security() const override { return &fHTTPClient->Sock().SSL(); }

  net::THTTPClient& HTTPClient() const { return *fHTTPClient; }

 protected:
  void JudgeReply(bool closing) override;
  bool BodyComplete() override;
  std::int32_t ReplyCode() const override { return fHTTPClient->ResultCode(); }

 private:
  void ApplyProxySettings();
  std::string ProbeName();

  std::unique_ptr<net::THTTPClient> fHTTPClient;
  std::string fSettledName;     // the bare file name of this start, ".part" included
  std::string fRedirectTarget;  // set by a 302 close; followed once the request has ended
  int fRedirects = 0;
  bool fRestartFromZero = false;  // the partial file turned out longer than the file itself
};

}  // namespace vlt::download
