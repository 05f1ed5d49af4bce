#pragma once
// TVltHTTPDownload: the HTTP engine of the download component. One GET of DownloadUrl into the
// partial file, asking only for the missing bytes of the same version (If-Range on the
// validator kept beside the partial file) when a partial file is there, following a
// 302 redirection by starting again at the new address, and finding the file name in the URL
// or in the reply headers when the caller gave none.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "download/download_class.h"
#include "net/http_client.h"

namespace vlt::download {

// The wait a Retry-After value asks for, in seconds; -1 when it cannot be read. A date is
// counted from the reply's own Date (so that the two clocks need not agree), and a date
// already past is no wait:
//   "120"   "Fri, 11 Dec 2026 10:00:30 GMT" with Date "Fri, 11 Dec 2026 10:00:00 GMT"
std::int32_t RetryAfterSeconds(std::string_view value, std::string_view date);

class TVltHTTPDownload : public TVltDownloadClass {
 public:
  // A chain of redirections longer than this is not followed (a server redirecting to itself
  // would otherwise nest starts without end).
  static constexpr int kMaxRedirects = 10;

  TVltHTTPDownload(TVltDownloadSettings Settings, TVltDownloadEvents Events);
  ~TVltHTTPDownload() override;

  void SocketStatus(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                    const std::string& Value) override;
  void StartDownload() override;
  void BodyEnd(const net::TTransferEnd& End) override;
  net::TCustomSSL* Security() const override { return &fHTTPClient->Sock().SSL(); }
  std::int32_t RetryAfter() const override;

  net::THTTPClient& HTTPClient() const { return *fHTTPClient; }

 protected:
  void JudgeReply(bool closing) override;
  bool BodyComplete() override;
  std::int32_t ReplyCode() const override { return fHTTPClient->ResultCode(); }
  TFalhaDownload ClassifyFailure(const std::string& detail) const override;

 private:
  std::string ReasonText() const override;
  void ApplyProxySettings();
  std::string ProbeName();

  std::unique_ptr<net::THTTPClient> fHTTPClient;
  std::string fSettledName;     // the bare file name of this start, ".part" included
  std::string fRedirectTarget;  // set by a 302 close; followed once the request has ended
  int fRedirects = 0;
  bool fRestartFromZero = false;  // the partial file turned out not to be a prefix of the file
  std::string fResumeValidator;   // sent with If-Range when resuming; empty otherwise
  std::int64_t fResumeSize = -1;  // the file's size the validator recorded; -1: not known
  std::int32_t fTunnelCode = 0;   // the proxy's answer to CONNECT
  bool fTunnelRefused = false;
};

}  // namespace vlt::download
