#include "download/download_class.h"

#include <algorithm>

#include "net/sha256.h"
#include "net/text_functions.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace vlt::download {

namespace p = vlt::platform;

namespace {

// Read back in pieces this size when the file is checked: memory stays the same whatever the
// size of the package.
constexpr size_t kHashChunk = 256 * 1024;

}  // namespace

std::string PartFileTarget(const std::string& FilePart) {
  constexpr std::string_view kPart = ".part";
  if (!FilePart.ends_with(kPart)) return FilePart;
  return FilePart.substr(0, FilePart.size() - kPart.size());
}

TVltDownloadClass::TVltDownloadClass(TVltDownloadSettings Settings, TVltDownloadEvents Events)
    : fSettings(std::move(Settings)), fEvents(std::move(Events)) {
  // The URL changes with redirections and the status with the transfer: the engine's own.
  fDownloadUrl = fSettings.DownloadUrl;
  fDownloadStatus = fSettings.DownloadStatus;
  fSizeRecvBuffer = fSettings.SizeRecvBuffer;
}

TVltDownloadClass::~TVltDownloadClass() {
  DetachSocket();
}

void TVltDownloadClass::AttachSocket(net::TBlockSocket& Sock) {
  Sock.OnStatus = [this](net::TBlockSocket* s, net::THookSocketReason r, const std::string& v) {
    SocketStatus(s, r, v);
  };
  Sock.OnMonitor = [this](net::TBlockSocket* s, bool w, const void* b, int n) {
    SocketMonitor(s, w, b, n);
  };
  Sock.SetHeartbeatRate(fSettings.HeartbeatRate);
  Sock.OnHeartbeat = [this](net::TBlockSocket* s) {
    if (fEvents.OnHeartbeat)
      fEvents.OnHeartbeat(this, net::TickDifference(fLastHeard, net::TickMilliseconds()));
    // A stop or pause asked while the server keeps the transfer waiting ends the wait now.
    if (fDownloadStatus == stStop || fDownloadStatus == stPause) s->SetStopFlag(true);
  };
  fSock = &Sock;
  fLastHeard = net::TickMilliseconds();
  SetSizeRecvBuffer(fSettings.SizeRecvBuffer);
}

void TVltDownloadClass::DetachSocket() {
  if (fSock != nullptr) {
    fSock->OnStatus = nullptr;
    fSock->OnMonitor = nullptr;
    fSock->OnHeartbeat = nullptr;
    fSock->SetHeartbeatRate(0);
  }
  fSock = nullptr;
}

void TVltDownloadClass::SetDownloadStatus(TDownloadStatus Value) {
  fDownloadStatus = Value;
  if (fEvents.OnDownloadStatus) fEvents.OnDownloadStatus(this, Value);
}

void TVltDownloadClass::SetSizeRecvBuffer(std::int32_t Value) {
  fSizeRecvBuffer = Value;
  if (fSock != nullptr) fSock->SetSizeRecvBuffer(Value);
}

std::int32_t TVltDownloadClass::ReceiveTimeout(std::int32_t protocol_timeout) const {
  const std::int32_t silence = fSettings.SilenceTimeout;
  if (silence <= 0) return protocol_timeout;
  if (protocol_timeout < 0) return silence;
  return std::min(protocol_timeout, silence);
}

std::string TVltDownloadClass::FailureText() const {
  return fSettled ? fFalha.Detalhe : ReasonText();
}

std::string TVltDownloadClass::ReasonText() const {
  if (fFinished) return {};
  if (HasFileFault()) return fFalha.Detalhe;
  if (fDownloadStatus == stPause) return "paused";
  if (fDownloadStatus == stStop) return "stopped";
  if (!fFailure.empty()) return fFailure;
  if (fEnd.Outcome != net::toComplete && !fEnd.Reason.empty()) return fEnd.Reason;
  return "the transfer ended before the file was complete";
}

void TVltDownloadClass::FileFault(const std::string& detail) {
  if (!HasFileFault()) fFalha = {ftArquivo, 0, detail};
}

TFalhaDownload TVltDownloadClass::SocketFailure(const std::string& detail) const {
  // The server's orderly close in the middle of the body: it ended the file early.
  if (fEndSocketError == 0 || (fEndClosedByPeer && fEnd.Outcome == net::toCut))
    return {ftIncompleta, fResultCode, detail};
  switch (fEndSocketError) {
    case platform::kWSAETIMEDOUT:
      return {ftTempo, fEndSocketError, detail};
    case platform::kWSASYSNOTREADY:
      // The security plug-in refused the session, or lost it: once the server's reply has
      // come through it, the session was trusted and what failed is the link (a TCP close
      // without close_notify in the middle of the body).
      return {fHeadKnown ? ftIncompleta : ftCertificado, fEndSocketError, detail};
    default:
      return {ftConexao, fEndSocketError, detail};
  }
}

TFalhaDownload TVltDownloadClass::ClassifyFailure(const std::string& detail) const {
  if (fEnd.Outcome == net::toComplete || fOverrun) return {ftIncompleta, fResultCode, detail};
  return SocketFailure(detail);
}

void TVltDownloadClass::Settle(const std::string& error) {
  CloseFile();
  // A partial file exists only while it holds a prefix of the file: one that received nothing
  // is not left behind.
  if (!fFinished && fPartOpened && fFileSize == 0 && p::FileExists(fFilePart)) RemovePartFile();
  if (fFinished) {
    fFalha = {};
  } else if (fFalha.Tipo != ftNenhuma) {
    // Set where it happened (a local file, a refused login): kept as it is.
  } else if (fDownloadStatus == stStop || fDownloadStatus == stPause) {
    fFalha = {ftInterrompida, 0, ReasonText()};
  } else if (fDigestMismatch) {
    fFalha = {ftSoma, 0, ReasonText()};
  } else {
    fFalha = ClassifyFailure(error.empty() ? ReasonText() : error);
  }
  if (!fFinished && fFalha.Detalhe.empty()) fFalha.Detalhe = error.empty() ? ReasonText() : error;
  fSettled = true;
}

void TVltDownloadClass::Notify(net::THookSocketReason Reason) {
  if (fEvents.OnHookStatus) fEvents.OnHookStatus(Reason, fBytesToDownload, fBytesDownloaded);
}

void TVltDownloadClass::RemovePartFile() {
  CloseFile();
  p::RemoveFile(ValidatorPath());
  // A partial file that is already gone counts as deleted.
  if (!p::RemoveFile(fFilePart) && p::FileExists(fFilePart))
    FileFault("cannot delete " + fFilePart + ": " + p::LastFileErrorText());
}

bool TVltDownloadClass::OpenPartFile() {
  fFilePart = net::PathWithSeparator(fSettings.DownloadDest) + fFilePart;
  auto file = std::make_unique<p::File>();
  if (p::FileExists(fFilePart)) {
    fDownloadStatus = stResume;
    if (!file->Open(fFilePart, p::FileAccess::ReadWrite, p::FileShare::Exclusive,
                    p::FileCreate::OpenExisting)) {
      FileFault("cannot open " + fFilePart + ": " + file->ErrorText());
      return false;
    }
    fBytesResumed = file->SeekEnd();
  } else {
    fDownloadStatus = stNone;
    if (!file->Open(fFilePart, p::FileAccess::ReadWrite, p::FileShare::Exclusive,
                    p::FileCreate::CreateAlways)) {
      FileFault("cannot create " + fFilePart + ": " + file->ErrorText());
      return false;
    }
    fBytesResumed = 0;
    // A validator left without its partial file describes nothing.
    p::RemoveFile(ValidatorPath());
  }
  fFileStream = std::move(file);
  fFileSize = fBytesResumed;
  fPartOpened = true;
  fFinished = false;
  // Counting and timing start afresh for the request that fills this file (a probe before it
  // does not count).
  fBytesDownloaded = 0;
  fClockStarted = false;
  return true;
}

void TVltDownloadClass::CloseFile() {
  fFileStream.reset();
}

bool TVltDownloadClass::EmptyPartFile() {
  p::RemoveFile(ValidatorPath());
  if (fFileStream->Seek(0) != 0 || !fFileStream->Truncate()) {
    FileFault("cannot write " + fFilePart + ": " + fFileStream->ErrorText());
    CloseFile();
    return false;
  }
  fFileSize = 0;
  fBytesResumed = 0;
  return true;
}

void TVltDownloadClass::BeginReply() {
  fVerdict = rvUndecided;
  fHeadKnown = false;
  fReplyBytes = 0;
  fExpectedSize = -1;
  fWriteLimit = -1;
  fOverrun = false;
  fFailure.clear();
  fEnd = {};
  fEndSocketError = 0;
  fEndClosedByPeer = false;
  fLastHeard = net::TickMilliseconds();
}

void TVltDownloadClass::JudgeReply(bool closing) {
  if (fVerdict != rvUndecided) return;
  const bool success = fResultCode == 125 || fResultCode == 150 || fResultCode == 200 ||
                       fResultCode == 206 || fResultCode == 226;
  if (success)
    fVerdict = rvAccept;
  else if (closing)
    fVerdict = rvReject;
}

bool TVltDownloadClass::BodyComplete() {
  return fEnd.Outcome == net::toComplete &&
         (fResultCode == 200 || fResultCode == 206 || fResultCode == 226);
}

void TVltDownloadClass::BodyBegin() {
  fResultCode = ReplyCode();
  fHeadKnown = true;
  JudgeReply(false);
}

// Each block goes to the partial file as it arrives (an accepted reply) or is dropped (a
// rejected one, or any reply while no file is open): the client keeps none of it, so memory
// stays the same whatever the size of the file.
bool TVltDownloadClass::BodyData(std::string_view Bytes) {
  fReplyBytes += static_cast<std::int64_t>(Bytes.size());
  JudgeReply(false);
  if (fVerdict == rvAccept && fFileStream) {
    std::string_view keep = Bytes;
    const auto n = static_cast<std::int64_t>(keep.size());
    if (fWriteLimit >= 0 && fFileSize + n > fWriteLimit) {
      // Only the announced bytes are the file's; the rest ends the transfer as failed.
      keep =
          keep.substr(0, static_cast<size_t>(std::max<std::int64_t>(0, fWriteLimit - fFileSize)));
      fOverrun = true;
      fVerdict = rvReject;
      fFailure = "the server sent more than the " + std::to_string(fWriteLimit) +
                 " bytes the file may hold";
    }
    if (!keep.empty() && !fFileStream->Write(keep.data(), keep.size())) {
      FileFault("cannot write " + fFilePart + ": " + fFileStream->ErrorText());
      CloseFile();
      fVerdict = rvReject;
      return false;
    }
    fFileSize += static_cast<std::int64_t>(keep.size());
  }
  // What is not the file's is read no further than needed; a paused or stopped transfer not at
  // all.
  if (fOverrun || fDownloadStatus == stStop || fDownloadStatus == stPause) return false;
  if (fUnwantedAfter >= 0 && fReplyBytes > fUnwantedAfter) return false;
  return fVerdict != rvReject || fReplyBytes <= kMaxRejectedBody;
}

void TVltDownloadClass::BodyEnd(const net::TTransferEnd& End) {
  fResultCode = ReplyCode();
  fEnd = End;
  if (fSock != nullptr) {
    fEndSocketError = fSock->LastError();
    fEndClosedByPeer = fSock->ClosedByPeer();
  }
  JudgeReply(true);
  if (fFileStream && (fVerdict == rvAccept || fVerdict == rvComplete)) CloseFile();
  switch (fDownloadStatus) {
    case stStop:
    case stPause:
      Halt();
      break;
    case stNone:
    case stDownload:
    case stResume:
      if (ReadyToFinish()) FinishFile();
      break;
    default:
      break;
  }
}

void TVltDownloadClass::Halt() {
  // Windows refuses to delete a file held open.
  CloseFile();
  if (fDownloadStatus == stStop && fPartOpened) RemovePartFile();
}

void TVltDownloadClass::SocketMonitor(net::TBlockSocket*, bool Writing, const void*, int Len) {
  if (Writing) return;
  fBytesDownloaded += Len;
  const std::uint32_t now = net::TickMilliseconds();
  if (Len > 0) fLastHeard = now;

  // The speed over the bytes of this transfer and the time left. The clock starts at the first
  // block received, or anew when the transfer starts. It is the tick counter, not the local
  // time, so that a change of the system time or of daylight saving time does not stretch or
  // stop the transfer.
  if (!fClockStarted) {
    fClockStarted = true;
    fStartTick = now;
    fBytesAtStart = fBytesDownloaded - Len;
  }
  const double T = net::TickDifference(fStartTick, now) / 1000.0;
  if (T > 0) fAverageSpeed = static_cast<double>(fBytesDownloaded - fBytesAtStart) / 1024.0 / T;
  std::uint32_t left = 0;
  if (fAverageSpeed > 0 && fBytesToDownload > 0 && fBytesToDownload >= fBytesDownloaded) {
    // Held at the largest value the event can carry.
    const double s =
        static_cast<double>(fBytesToDownload - fBytesDownloaded) / 1024.0 / fAverageSpeed;
    left = s >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(s);
  }

  // A pause or stop asked for in an earlier event ends the transfer at this block, which
  // reaches no file: the partial file is dealt with, then the connection closed.
  if ((fDownloadStatus == stStop || fDownloadStatus == stPause) && fSock != nullptr) {
    Halt();
    fSock->CloseSocket();
  }
  if (fEvents.OnHookMonitor)
    fEvents.OnHookMonitor(fBytesToDownload, fBytesDownloaded, fAverageSpeed, left);
}

void TVltDownloadClass::SocketStatus(net::TBlockSocket*, net::THookSocketReason Reason,
                                     const std::string&) {
  switch (Reason) {
    case net::HR_Connect:
      fLastHeard = net::TickMilliseconds();
      Notify(Reason);
      break;
    case net::HR_ReadCount:
      // The transfer starts with the first block read once the body of an accepted reply has
      // begun, whether or not its size is known (0: unknown).
      if ((fDownloadStatus == stNone || fDownloadStatus == stResume) && fHeadKnown &&
          fVerdict == rvAccept) {
        // Bytes of its body that came with the reply head count.
        fClockStarted = true;
        fStartTick = net::TickMilliseconds();
        fAverageSpeed = 0;
        fDownloadStatus = stDownload;
        fBytesDownloaded = fBytesResumed + fReplyBytes;
        fBytesAtStart = fBytesDownloaded;
        fBytesToDownload = fDownloadSize > 0 ? fBytesResumed + fDownloadSize : 0;
        Notify(Reason);
      }
      break;
    case net::HR_SocketClose:
      Notify(Reason);
      break;
    default:
      break;
  }
}

// The file is finished only when the whole of it is there: every byte of the body arrived, and
// the partial file holds what the server said the file holds.
bool TVltDownloadClass::ReadyToFinish() {
  if (!fPartOpened || fFinished || fOverrun) return false;
  if (fVerdict == rvComplete) return true;
  if (fVerdict != rvAccept || !BodyComplete()) return false;
  if (fExpectedSize >= 0 && fFileSize != fExpectedSize) {
    fFailure = "the file has " + std::to_string(fFileSize) + " of its " +
               std::to_string(fExpectedSize) + " bytes; a new start resumes it";
    return false;
  }
  return true;
}

bool TVltDownloadClass::DigestMatches() {
  const std::string& expected = fSettings.ExpectedSha256;
  if (expected.empty()) return true;
  // The whole file is read back, not the bytes of this transfer: a resumed file holds bytes an
  // earlier run wrote, and those are checked too.
  p::File file;
  if (!file.Open(fFilePart, p::FileAccess::Read, p::FileShare::DenyWrite,
                 p::FileCreate::OpenExisting)) {
    FileFault("cannot read " + fFilePart + ": " + file.ErrorText());
    return false;
  }
  net::Sha256 hash;
  std::string chunk(kHashChunk, '\0');
  for (;;) {
    const std::ptrdiff_t n = file.Read(chunk.data(), chunk.size());
    if (n < 0) {
      FileFault("cannot read " + fFilePart + ": " + file.ErrorText());
      return false;
    }
    if (n == 0) break;
    hash.Update(std::string_view(chunk.data(), static_cast<size_t>(n)));
  }
  file.Close();
  fReceivedSha256 = hash.HexDigest();
  if (p::EqualsNoCase(fReceivedSha256, expected)) return true;
  // Not the file that was published: resuming it could never make it right.
  fDigestMismatch = true;
  fFailure = "the file's SHA-256 is " + fReceivedSha256 + ", not the expected " + expected;
  RemovePartFile();
  return false;
}

void TVltDownloadClass::FinishFile() {
  CloseFile();
  if (!DigestMatches()) return;
  const std::string final_path = PartFileTarget(fFilePart);
  if (final_path != fFilePart) {
    // Taking the name replaces an older file of that name in one step.
    if (!p::RenameFileReplacing(fFilePart, final_path)) {
      FileFault("cannot rename " + fFilePart + " to " + final_path + ": " + p::LastFileErrorText());
      return;
    }
  } else {
    // The final name was written directly (a followed redirection): a partial file of an
    // earlier attempt is no longer needed.
    const std::string leftover = fFilePart + ".part";
    if (p::FileExists(leftover) && !p::RemoveFile(leftover)) {
      FileFault("cannot delete " + leftover + ": " + p::LastFileErrorText());
      return;
    }
    p::RemoveFile(leftover + ".validador");
  }
  p::RemoveFile(fFilePart + ".validador");
  fFinished = true;
}

}  // namespace vlt::download
