#pragma once
// THTTPClient: one HTTP request at a time over a blocking TCP socket. Builds the request head,
// sends an optional body, goes through an HTTP proxy or a proxy tunnel, keeps a connection for
// reuse when the server allows it, and keeps the reply's header lines in Headers. The body
// (chunk framing removed, no content coding asked for or decoded) goes to the body sink; without
// one set, the client's own sink keeps it in Document.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/body_sink.h"
#include "net/document_stream.h"
#include "net/http_reply.h"
#include "net/net_client.h"
#include "net/tcp_block_socket.h"

namespace vlt::net {

enum TTransferEncoding { TE_UNKNOWN, TE_IDENTITY, TE_CHUNKED };

// Where the current request stands; changed only by THTTPClient::SetState. Listeners of the
// socket's hooks read it to tell a reply that arrived whole from one that was cut.
enum THTTPState {
  hsIdle,         // no request yet
  hsConnecting,   // head built; closing the old connection, opening or reusing one
  hsSending,      // head and body going out
  hsReadingHead,  // status line and header block
  hsReadingBody,  // head complete, body being read
  hsDone,         // the whole reply arrived
  hsBodyCut,      // head complete, the body ended early (error, time-out, abort, bad framing)
  hsFailed,       // no usable reply: connect, send or head failed
};

class THTTPClient : public TNetClient {
 public:
  // A reply head (status lines, header lines, skipped blank lines) may not exceed this many
  // bytes, nor take longer than Timeout as a whole: a server that floods or drips header lines
  // meets a bounded failure.
  static constexpr std::int64_t kMaxHeadBytes = 256 * 1024;

  THTTPClient();
  ~THTTPClient() override;
  THTTPClient(const THTTPClient&) = delete;
  THTTPClient& operator=(const THTTPClient&) = delete;

  void Clear();
  void DecodeStatus(const std::string& Value);
  bool HTTPMethod(const std::string& Method, const std::string& URL);
  void Abort();

  virtual bool ReadUntilClose();
  virtual bool ReadSized(std::int64_t Size);
  virtual bool ReadChunkedBody();

  std::vector<std::string>& Headers() { return FHeaders; }
  std::vector<std::string>& Cookies() { return FCookies; }
  TDocumentStream& Document() { return FDocument; }
  TTCPBlockSocket& Sock() const { return *FSock; }

  std::int64_t RangeStart() const { return FRangeStart; }
  void SetRangeStart(std::int64_t v) { FRangeStart = v; }
  std::int64_t RangeEnd() const { return FRangeEnd; }
  void SetRangeEnd(std::int64_t v) { FRangeEnd = v; }
  const std::string& MimeType() const { return FMimeType; }
  void SetMimeType(const std::string& v) { FMimeType = v; }
  const std::string& Protocol() const { return FProtocol; }
  void SetProtocol(const std::string& v) { FProtocol = v; }
  bool KeepAlive() const { return FKeepAlive; }
  void SetKeepAlive(bool v) { FKeepAlive = v; }
  std::int32_t KeepAliveTimeout() const { return FKeepAliveTimeout; }
  void SetKeepAliveTimeout(std::int32_t v) { FKeepAliveTimeout = v; }
  bool Status100() const { return FStatus100; }
  void SetStatus100(bool v) { FStatus100 = v; }
  const std::string& ProxyHost() const { return FProxyHost; }
  void SetProxyHost(const std::string& v) { FProxyHost = v; }
  const std::string& ProxyPort() const { return FProxyPort; }
  void SetProxyPort(const std::string& v) { FProxyPort = v; }
  const std::string& ProxyUser() const { return FProxyUser; }
  void SetProxyUser(const std::string& v) { FProxyUser = v; }
  const std::string& ProxyPass() const { return FProxyPass; }
  void SetProxyPass(const std::string& v) { FProxyPass = v; }
  const std::string& UserAgent() const { return FUserAgent; }
  void SetUserAgent(const std::string& v) { FUserAgent = v; }
  bool AddPortNumberToHost() const { return FAddPortNumberToHost; }
  void SetAddPortNumberToHost(bool v) { FAddPortNumberToHost = v; }

  std::int32_t ResultCode() const { return FResultCode; }
  const std::string& ResultString() const { return FResultString; }
  std::int64_t DownloadSize() const { return FDownloadSize; }
  std::int64_t UploadSize() const { return FUploadSize; }

  // The framing and the announced body size (-1: not given) of the reply being read.
  TTransferEncoding TransferEncoding() const { return FTransferEncoding; }
  std::int64_t BodySize() const { return FBodySize; }
  THTTPState State() const { return FState; }
  // The reply's header fields named `name` (compared ignoring case, with the colon right after
  // it), in order, their values trimmed; HeaderValue gives the first, or nothing when there is
  // none. Every reader of the reply's fields, the client's own framing included, uses these.
  std::vector<std::string> HeaderValues(std::string_view name) const;
  std::optional<std::string> HeaderValue(std::string_view name) const;
  // Why the last request failed, in one line; empty after a success.
  const std::string& FailureText() const { return FFailureText; }
  // Where the body of every reply goes (not owned), and whose BodyEnd ends every request;
  // nullptr: Document, through the client's own sink.
  void SetBodySink(TBodySink* Sink) { FBodySink = Sink != nullptr ? Sink : &FDocumentSink; }

 protected:
  ByteString BuildRequestHead();
  bool OpenConnection(bool NeedTLS);
  bool EnsureConnection(bool NeedTLS);
  void ParseSetCookies();

 private:
  // Keeps a body in Document, for callers that set no sink of their own.
  class TDocumentSink : public TBodySink {
   public:
    explicit TDocumentSink(TDocumentStream& document) : document_(document) {}
    bool BodyData(std::string_view Bytes) override;
    void BodyEnd(const TTransferEnd&) override {}

   private:
    TDocumentStream& document_;
  };

  void SetState(THTTPState state);
  // A failure of the socket (its description) or of the reply itself.
  void Fail(const std::string& why);
  void FailFromSocket();
  // One line of a chunked body's framing without its LF (and the CR before it, if any).
  ByteString RecvLine(int timeout);
  bool ReadStatusLine(THTTPHeadReader& reader, ByteString& early_body);
  void ApplyHeaderBlock(const std::vector<std::string>& block, bool using_proxy,
                        bool& close_afterwards);
  bool SendRequest(bool expect_continue, bool sending_body, THTTPHeadReader& reader,
                   std::string& remembered_status, std::vector<std::string>& remembered_block);
  void ForgetConnection();
  // Body bytes to the sink; false when it wants no more.
  bool Deliver(ByteString&& bytes);
  void EndTransfer(TTransferOutcome outcome);

  std::unique_ptr<TTCPBlockSocket> FSock;
  TTransferEncoding FTransferEncoding = TE_UNKNOWN;
  std::string FAliveHost;
  std::string FAlivePort;
  std::vector<std::string> FHeaders;
  TDocumentStream FDocument;
  std::string FMimeType;
  std::string FProtocol = "1.0";
  bool FKeepAlive = true;
  std::int32_t FKeepAliveTimeout = 300;
  bool FStatus100 = false;
  std::string FProxyHost;
  std::string FProxyPort = "8080";
  std::string FProxyUser;
  std::string FProxyPass;
  std::int32_t FResultCode = 0;
  std::string FResultString;
  std::string FUserAgent = "Mozilla/4.0 (compatible; Veltra)";
  std::vector<std::string> FCookies;
  // Cookie name (upper case) -> the host that set it: a cookie goes back only to its host.
  // Cookies the caller put in the list itself have no entry and go with every request.
  std::map<std::string, std::string> FCookieHosts;
  std::string FRequestHost;
  std::int64_t FDownloadSize = 0;
  std::int64_t FUploadSize = 0;
  std::int64_t FRangeStart = 0;
  std::int64_t FRangeEnd = 0;
  bool FAddPortNumberToHost = true;

  std::int64_t FBodySize = -1;
  THTTPState FState = hsIdle;
  std::string FFailureText;
  TDocumentSink FDocumentSink;
  TBodySink* FBodySink = &FDocumentSink;
};

}  // namespace vlt::net
