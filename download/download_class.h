#pragma once
// TVltDownloadClass: what the protocol engines of the download component share. An engine
// listens to its protocol client's socket, writes the body as it arrives into a partial file
// whose name ends in ".part", turns the socket's notifications into the component's events
// and, once the whole file is there, gives the partial file its final name.
#include <cstdint>
#include <memory>
#include <string>

#include "download/download_types.h"
#include "net/block_socket.h"
#include "net/document_stream.h"
#include "platform/files.h"

namespace vlt::download {

class TVltDownload;

class TVltDownloadClass {
 public:
  // Raises "Essa Classe deve ser instanciada por TVltDownload" for any other owner.
  explicit TVltDownloadClass(TVltComponent* AOwner);
  virtual ~TVltDownloadClass();
  TVltDownloadClass(const TVltDownloadClass&) = delete;
  TVltDownloadClass& operator=(const TVltDownloadClass&) = delete;

  // Handlers of the client socket's status and monitor hooks.
  virtual void SocketStatus(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                            const std::string& Value);
  virtual void SocketMonitor(net::TBlockSocket* Sender, bool Writing, const void* Buffer, int Len);
  virtual void StartDownload() {}

  const std::string& DownloadDest() const { return fDownloadDest; }
  void SetDownloadDest(const std::string& Value) { fDownloadDest = Value; }
  const std::string& DownloadUrl() const { return fDownloadUrl; }
  void SetDownloadUrl(const std::string& Value) { fDownloadUrl = Value; }
  const std::string& DownloadNomeArq() const { return fDownloadNomeArq; }
  void SetDownloadNomeArq(const std::string& Value) { fDownloadNomeArq = Value; }
  TDownloadStatus DownloadStatus() const { return fDownloadStatus; }
  // Stores the value, then tells OnDownloadStatus.
  void SetDownloadStatus(TDownloadStatus Value);
  std::int32_t SizeRecvBuffer() const { return fSizeRecvBuffer; }
  // Handed on to the socket, which only queues it while no connection is open.
  void SetSizeRecvBuffer(std::int32_t Value);
  TVltProxy* Proxy() const { return fProxy; }
  void SetProxy(TVltProxy* Value) { fProxy = Value; }
  void SetOnBeforeDownload(TVltBeforeDownload Value) { fOnBeforeDownload = std::move(Value); }
  void SetOnAfterDownload(TVltAfterDownload Value) { fOnAfterDownload = std::move(Value); }
  void SetOnHookStatus(TVltHookStatus Value) { fOnHookStatus = std::move(Value); }
  void SetOnHookMonitor(TVltHookMonitor Value) { fOnHookMonitor = std::move(Value); }
  void SetOnDownloadStatus(TVltDownloadStatus Value) { fOnDownloadStatus = std::move(Value); }

  // Where the transfer stands, for whoever wants to report on it.
  const std::string& FilePart() const { return fFilePart; }
  std::int64_t BytesDownloaded() const { return fBytesDownloaded; }
  std::int64_t BytesToDownload() const { return fBytesToDownload; }
  std::int32_t ResultCode() const { return fResultCode; }
  // The partial file was given its final name.
  bool Finished() const { return fFinished; }
  // Why the file was not finished, in one line; empty once it was.
  virtual std::string FailureText() const;

 protected:
  // What the engine makes of the reply being received.
  enum TReplyVerdict {
    rvUndecided,  // the reply head is not known yet
    rvAccept,     // the body belongs in the partial file
    rvReject,     // the body is not the file's (an error page, a range that does not fit)
    rvComplete,   // the partial file already is the whole file
  };

  // Points the socket's hooks at this engine and takes the client's receive document.
  void AttachSocket(net::TBlockSocket& Sock, net::TDocumentStream& Document);
  void DetachSocket();
  void OpenPartFile();
  // Moves what the document holds beyond what was handled into the partial file (when the
  // reply is accepted) and releases it from the document either way.
  void FlushDocument();
  void CloseFile();
  // Empties the partial file: what it holds is not a prefix of the file (a whole new copy
  // comes, or it turned out longer than the file).
  void EmptyPartFile();
  // A new request begins: its reply is judged afresh.
  void BeginReply();
  // Decides fVerdict once the reply head is known; `closing` when the connection is closing.
  virtual void JudgeReply(bool closing);
  // The whole body of the reply arrived.
  virtual bool BodyComplete();
  void Notify(net::TBlockSocket* Sender, net::THookSocketReason Reason);

 private:
  void SocketClosed(net::TBlockSocket* Sender);
  bool ReadyToFinish();
  void FinishFile();

  std::int64_t fBytesToDownload = 0;
  bool fClockStarted = false;
  std::uint32_t fStartTick = 0;  // the tick counter when the clock started
  double fAverageSpeed = 0;
  std::int32_t fSizeRecvBuffer = 0;
  std::string fDownloadDest;
  TVltHookStatus fOnHookStatus;
  TVltHookMonitor fOnHookMonitor;
  TVltDownloadStatus fOnDownloadStatus;
  std::int64_t fBytesAtStart = 0;  // counted bytes when the clock started

 protected:
  TVltDownload* fOwner = nullptr;
  TVltProxy* fProxy = nullptr;
  net::TBlockSocket* fSock = nullptr;
  net::TDocumentStream* fDocument = nullptr;
  std::unique_ptr<platform::File> fFileStream;
  TDownloadStatus fDownloadStatus = stNone;
  std::int64_t fBytesDownloaded = 0;
  std::string fFilePart;
  std::int64_t fDownloadSize = 0;
  std::int32_t fResultCode = 0;
  std::string fDownloadUrl;
  std::string fDownloadNomeArq;
  std::int64_t fBytesResumed = 0;
  TVltBeforeDownload fOnBeforeDownload;
  TVltAfterDownload fOnAfterDownload;

  TReplyVerdict fVerdict = rvUndecided;
  std::int64_t fFileSize = 0;       // bytes the partial file holds
  std::int64_t fExpectedSize = -1;  // what the finished file must hold; -1 when not known
  bool fPartOpened = false;         // this start opened fFilePart
  bool fFinished = false;
  std::int64_t fUnwantedAfter = -1;  // a body not wanted past this many bytes is cut there
  // The partial file never grows past this many bytes (-1: no limit known): bytes a server
  // sends beyond what it announced are not the file's.
  std::int64_t fWriteLimit = -1;
  bool fOverrun = false;  // the server sent more than fWriteLimit allows
  std::string fFailure;   // why the current reply cannot finish the file

 public:
  // A rejected reply (an error page, a redirection) is read no further than this: a server
  // sending an endless error body must not hold the download.
  static constexpr std::int64_t kMaxRejectedBody = 64 * 1024;
};

}  // namespace vlt::download
