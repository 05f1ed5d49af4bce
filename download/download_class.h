#pragma once
// TVltDownloadClass: what the protocol engines of the download component share. An engine is
// the body sink of its protocol client: it writes the body into a partial file whose name ends
// in ".part" as it arrives and, once the client reports the whole of it, gives the partial file
// its final name. The client socket's notifications only feed the events. An engine is given
// its settings and events by value when it is made and knows nothing of who made it.
#include <cstdint>
#include <memory>
#include <string>

#include "download/download_types.h"
#include "net/block_socket.h"
#include "net/body_sink.h"
#include "net/ssl_plugin.h"
#include "platform/files.h"

namespace vlt::download {

class TVltDownloadClass : public net::TBodySink {
 public:
  TVltDownloadClass(TVltDownloadSettings Settings, TVltDownloadEvents Events);
  ~TVltDownloadClass() override;
  TVltDownloadClass(const TVltDownloadClass&) = delete;
  TVltDownloadClass& operator=(const TVltDownloadClass&) = delete;

  // Handlers of the client socket's status and monitor hooks: the progress events.
  virtual void SocketStatus(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                            const std::string& Value);
  virtual void SocketMonitor(net::TBlockSocket* Sender, bool Writing, const void* Buffer, int Len);
  virtual void StartDownload() {}
  // Once the transfer has ended, by return or by an error (`error`: its text): an empty
  // partial file is removed, the file is released and Falha() is settled.
  void Settle(const std::string& error = {});

  const TVltDownloadSettings& Settings() const { return fSettings; }
  // The address being fetched: the settings' at the start, a redirection's target after it.
  const std::string& DownloadUrl() const { return fDownloadUrl; }
  TDownloadStatus DownloadStatus() const { return fDownloadStatus; }
  // Stores the value, then tells OnDownloadStatus.
  void SetDownloadStatus(TDownloadStatus Value);
  std::int32_t SizeRecvBuffer() const { return fSizeRecvBuffer; }
  // Handed on to the socket, which only queues it while no connection is open.
  void SetSizeRecvBuffer(std::int32_t Value);

  // Where the transfer stands, for whoever wants to report on it.
  const std::string& FilePart() const { return fFilePart; }
  std::int64_t BytesDownloaded() const { return fBytesDownloaded; }
  std::int64_t BytesToDownload() const { return fBytesToDownload; }
  std::int32_t ResultCode() const { return fResultCode; }
  // A reply of the server was read (ResultCode is then the server's, not the client's 500).
  bool ReplyReceived() const { return fHeadKnown; }
  // Bytes the partial file holds, and how many of them an earlier attempt had left there.
  std::int64_t FileSize() const { return fFileSize; }
  std::int64_t BytesResumed() const { return fBytesResumed; }
  // The partial file was given its final name.
  bool Finished() const { return fFinished; }
  // The whole file arrived but its SHA-256 was not the expected one: it was deleted.
  bool DigestMismatch() const { return fDigestMismatch; }
  // The SHA-256 of the whole file, once it was checked.
  const std::string& ReceivedSha256() const { return fReceivedSha256; }
  // Why the file was not finished; settled when the transfer has ended.
  const TFalhaDownload& Falha() const { return fFalha; }
  // Falha().Detalhe once settled; before that, the reason as it stands.
  std::string FailureText() const;
  // The security plug-in of the connection the file came over; nullptr for none.
  virtual net::TCustomSSL* Security() const { return nullptr; }
  // How many seconds the server asked to wait before the next attempt (Retry-After); -1 when
  // it asked nothing.
  virtual std::int32_t RetryAfter() const { return -1; }

  // The client's body sink.
  void BodyBegin() override;
  bool BodyData(std::string_view Bytes) override;
  void BodyEnd(const net::TTransferEnd& End) override;

 protected:
  // What the engine makes of the reply being received.
  enum TReplyVerdict {
    rvUndecided,  // the reply head is not known yet
    rvAccept,     // the body belongs in the partial file
    rvReject,     // the body is not the file's (an error page, a range that does not fit)
    rvComplete,   // the partial file already is the whole file
  };

  // Points the socket's hooks at this engine.
  void AttachSocket(net::TBlockSocket& Sock);
  void DetachSocket();
  // False when the partial file could not be opened or created (Falha() says why).
  bool OpenPartFile();
  void CloseFile();
  // Empties the partial file: what it holds is not a prefix of the file (a whole new copy
  // comes, or it turned out longer than the file). False when that failed.
  bool EmptyPartFile();
  // A local file operation failed: the transfer ends as ftArquivo with `detail`; the first
  // such failure is the one kept.
  void FileFault(const std::string& detail);
  bool HasFileFault() const { return fFalha.Tipo == ftArquivo; }
  // Beside the partial file: what identifies the version of the file it holds a prefix of.
  std::string ValidatorPath() const { return fFilePart + ".validador"; }
  void RemovePartFile();
  // A new request begins: its reply is judged afresh.
  void BeginReply();
  // Decides fVerdict once the reply head is known; `closing` when the transfer has ended.
  virtual void JudgeReply(bool closing);
  // The whole body of the reply arrived.
  virtual bool BodyComplete();
  // The protocol client's code for the reply being received.
  virtual std::int32_t ReplyCode() const { return fResultCode; }
  // Why the file is not finished, as it stands now, in one line.
  virtual std::string ReasonText() const;
  // The failure of a transfer that ended without a local fault, a stop or a digest mismatch.
  virtual TFalhaDownload ClassifyFailure(const std::string& detail) const;
  // Failure kind and number from the socket error the transfer ended with.
  TFalhaDownload SocketFailure(const std::string& detail) const;
  void Notify(net::THookSocketReason Reason);
  // The caller paused or stopped the transfer: the partial file is closed, and deleted on stop.
  void Halt();
  // The protocol's own time-out, shortened to the silence the settings allow.
  std::int32_t ReceiveTimeout(std::int32_t protocol_timeout) const;

 private:
  bool ReadyToFinish();
  // Whether the whole partial file has the expected digest, when one is set; deletes it when
  // it has not.
  bool DigestMatches();
  void FinishFile();

  std::int64_t fBytesToDownload = 0;
  bool fClockStarted = false;
  std::uint32_t fStartTick = 0;  // the tick counter when the clock started
  double fAverageSpeed = 0;
  std::int32_t fSizeRecvBuffer = 0;
  std::int64_t fBytesAtStart = 0;  // counted bytes when the clock started
  std::uint32_t fLastHeard = 0;    // the tick of the connection or of the last byte received

 protected:
  const TVltDownloadSettings fSettings;
  const TVltDownloadEvents fEvents;
  net::TBlockSocket* fSock = nullptr;
  std::unique_ptr<platform::File> fFileStream;
  TDownloadStatus fDownloadStatus = stNone;
  std::int64_t fBytesDownloaded = 0;
  std::string fFilePart;
  std::int64_t fDownloadSize = 0;  // the body's size when the protocol tells it; 0: unknown
  std::int32_t fResultCode = 0;
  std::string fDownloadUrl;
  std::int64_t fBytesResumed = 0;

  TReplyVerdict fVerdict = rvUndecided;
  bool fHeadKnown = false;          // the client began the body of the current reply
  std::int64_t fReplyBytes = 0;     // body bytes of the current reply handed to the sink
  std::int64_t fFileSize = 0;       // bytes the partial file holds
  std::int64_t fExpectedSize = -1;  // what the finished file must hold; -1 when not known
  bool fPartOpened = false;         // this start opened fFilePart
  bool fFinished = false;
  bool fDigestMismatch = false;
  std::string fReceivedSha256;
  std::int64_t fUnwantedAfter = -1;  // a body not wanted past this many bytes is cut there
  // The partial file never grows past this many bytes (-1: no limit known): bytes a server
  // sends beyond what it announced are not the file's.
  std::int64_t fWriteLimit = -1;
  bool fOverrun = false;          // the server sent more than fWriteLimit allows
  std::string fFailure;           // why the current reply cannot finish the file
  net::TTransferEnd fEnd;         // how the client ended the last transfer
  int fEndSocketError = 0;        // the socket's error when the transfer ended
  bool fEndClosedByPeer = false;  // ... and it was the server's orderly close
  TFalhaDownload fFalha;
  bool fSettled = false;

 public:
  // A rejected reply (an error page, a redirection) is read no further than this: a server
  // sending an endless error body must not hold the download.
  static constexpr std::int64_t kMaxRejectedBody = 64 * 1024;
};

}  // namespace vlt::download
