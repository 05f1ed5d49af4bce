#include "download/download_class.h"

#include <algorithm>

#include "download/vlt_download.h"
#include "net/sha256.h"
#include "net/text_functions.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace vlt::download {

namespace p = vlt::platform;

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// Read back in pieces this size when the file is checked: memory stays the same whatever the
// size of the package.
constexpr size_t kHashChunk = 256 * 1024;

}  // namespace

TVltDownloadClass::TVltDownloadClass(TVltComponent* AOwner) {
  fOwner = dynamic_cast<TVltDownload*>(AOwner);
  if (fOwner == nullptr) throw Exception("Essa Classe deve ser instanciada por TVltDownload");
  // The URL changes with redirections and the status with the transfer: the engine's own from
  // here on. Everything else stays the component's.
  fDownloadUrl = fOwner->DownloadUrl();
  fDownloadStatus = fOwner->DownloadStatus();
  fSizeRecvBuffer = fOwner->SizeRecvBuffer();
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
  Sock.SetHeartbeatRate(fOwner->HeartbeatRate());
  Sock.OnHeartbeat = [this](net::TBlockSocket* s) {
    if (fOwner->OnHeartbeat()) fOwner->OnHeartbeat()(this);
    // A stop or pause asked while the server keeps the transfer waiting ends the wait now.
    if (fDownloadStatus == stStop || fDownloadStatus == stPause) s->SetStopFlag(true);
  };
  fSock = &Sock;
  SetSizeRecvBuffer(fOwner->SizeRecvBuffer());
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
  if (fOwner->OnDownloadStatus()) fOwner->OnDownloadStatus()(this, Value);
}

void TVltDownloadClass::SetSizeRecvBuffer(std::int32_t Value) {
  fSizeRecvBuffer = Value;
  if (fSock != nullptr) fSock->SetSizeRecvBuffer(Value);
}

std::string TVltDownloadClass::FailureText() const {
  if (fFinished) return {};
  if (fDownloadStatus == stPause) return "paused";
  if (fDownloadStatus == stStop) return "stopped";
  if (!fFailure.empty()) return fFailure;
  if (fEnd.Outcome != net::toComplete && !fEnd.Reason.empty()) return fEnd.Reason;
  return "the transfer ended before the file was complete";
}

void TVltDownloadClass::Notify(net::TBlockSocket* Sender, net::THookSocketReason Reason) {
  if (fOwner->OnHookStatus())
    fOwner->OnHookStatus()(Sender, Reason, fBytesToDownload, fBytesDownloaded);
}

void TVltDownloadClass::OpenPartFile() {
  fFilePart = net::PathWithSeparator(fOwner->DownloadDest()) + fFilePart;
  auto file = std::make_unique<p::File>();
  if (p::FileExists(fFilePart)) {
    fDownloadStatus = stResume;
    if (!file->Open(fFilePart, p::FileAccess::ReadWrite, p::FileShare::Exclusive,
                    p::FileCreate::OpenExisting))
      throw Exception("Cannot open file \"" + fFilePart + "\". " + file->ErrorText());
    fBytesResumed = file->SeekEnd();
  } else {
    fDownloadStatus = stNone;
    if (!file->Open(fFilePart, p::FileAccess::ReadWrite, p::FileShare::Exclusive,
                    p::FileCreate::CreateAlways))
      throw Exception("Cannot create file \"" + fFilePart + "\". " + file->ErrorText());
    fBytesResumed = 0;
  }
  fFileStream = std::move(file);
  fFileSize = fBytesResumed;
  fPartOpened = true;
  fFinished = false;
  // Counting and timing start afresh for the request that fills this file (a probe before it
  // does not count).
  fBytesDownloaded = 0;
  fClockStarted = false;
}

void TVltDownloadClass::CloseFile() {
  fFileStream.reset();
}

void TVltDownloadClass::EmptyPartFile() {
  if (fFileStream->Seek(0) != 0 || !fFileStream->Truncate())
    throw Exception("Não foi possível gravar o arquivo: " + fFilePart + " (" +
                    fFileStream->ErrorText() + ")");
  fFileSize = 0;
  fBytesResumed = 0;
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
    if (!keep.empty() && !fFileStream->Write(keep.data(), keep.size()))
      throw Exception("Não foi possível gravar o arquivo: " + fFilePart + " (" +
                      fFileStream->ErrorText() + ")");
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
  // A partial file that is already gone counts as deleted.
  if (fDownloadStatus == stStop && fPartOpened && !p::RemoveFile(fFilePart) &&
      p::FileExists(fFilePart))
    throw Exception("Não foi possível excluir o arquivo: " + fFilePart);
}

void TVltDownloadClass::SocketMonitor(net::TBlockSocket* Sender, bool Writing, const void*,
                                      int Len) {
  if (Writing) return;
  fBytesDownloaded += Len;

  // Time of day of the elapsed time, and the speed over the bytes of this transfer. The clock
  // starts at the first block received, or anew when the transfer starts. It is the tick
  // counter, not the local time, so that a change of the system time or of daylight saving
  // time does not stretch or stop the transfer; unsigned subtraction carries it across the
  // counter's wrap.
  const std::uint32_t now = p::TickMs();
  if (!fClockStarted) {
    fClockStarted = true;
    fStartTick = now;
    fBytesAtStart = fBytesDownloaded - Len;
  }
  const std::int64_t elapsed = static_cast<std::uint32_t>(now - fStartTick) % kMsPerDay;
  const auto H = static_cast<std::uint16_t>(elapsed / 3600000);
  const auto M = static_cast<std::uint16_t>(elapsed / 60000 % 60);
  const auto S = static_cast<std::uint16_t>(elapsed / 1000 % 60);
  const auto MS = static_cast<std::uint16_t>(elapsed % 1000);
  const auto E = static_cast<std::uint16_t>(M * 60 + S + H * 3600);
  const double T = MS / 1000.0 + E;
  if (T > 0) fAverageSpeed = static_cast<double>(fBytesDownloaded - fBytesAtStart) / 1024.0 / T;
  std::uint16_t sec = E;
  if (fAverageSpeed > 0 && fBytesToDownload >= fBytesDownloaded) {
    // The time left, held at the largest value the event can carry.
    const double left =
        static_cast<double>(fBytesToDownload - fBytesDownloaded) / 1024.0 / fAverageSpeed;
    sec = left >= 65535.0 ? std::uint16_t{65535} : static_cast<std::uint16_t>(left);
  }

  // A pause or stop asked for in an earlier event ends the transfer at this block, which
  // reaches no file: the partial file is dealt with, then the connection closed.
  if ((fDownloadStatus == stStop || fDownloadStatus == stPause) && fSock != nullptr) {
    Halt();
    fSock->CloseSocket();
  }
  if (fOwner->OnHookMonitor())
    fOwner->OnHookMonitor()(Sender, fBytesToDownload, fBytesDownloaded, fAverageSpeed, H, M, sec);
}

void TVltDownloadClass::SocketStatus(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                                     const std::string&) {
  switch (Reason) {
    case net::HR_Connect:
      Notify(Sender, Reason);
      break;
    case net::HR_ReadCount:
      if ((fDownloadStatus == stNone || fDownloadStatus == stResume) && fDownloadSize != 0) {
        // The transfer starts now: bytes of its body that came with the reply head count.
        fClockStarted = true;
        fStartTick = p::TickMs();
        fAverageSpeed = 0;
        fDownloadStatus = stDownload;
        fBytesDownloaded = fBytesResumed + fReplyBytes;
        fBytesAtStart = fBytesDownloaded;
        fBytesToDownload = fBytesResumed + fDownloadSize;
        Notify(Sender, Reason);
      }
      break;
    case net::HR_SocketClose:
      Notify(Sender, Reason);
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
  const std::string& expected = fOwner->ExpectedSha256();
  if (expected.empty()) return true;
  // The whole file is read back, not the bytes of this transfer: a resumed file holds bytes an
  // earlier run wrote, and those are checked too.
  p::File file;
  if (!file.Open(fFilePart, p::FileAccess::Read, p::FileShare::DenyWrite,
                 p::FileCreate::OpenExisting))
    throw Exception("Não foi possível ler o arquivo: " + fFilePart + " (" + file.ErrorText() + ")");
  net::Sha256 hash;
  std::string chunk(kHashChunk, '\0');
  for (;;) {
    const std::ptrdiff_t n = file.Read(chunk.data(), chunk.size());
    if (n < 0)
      throw Exception("Não foi possível ler o arquivo: " + fFilePart + " (" + file.ErrorText() +
                      ")");
    if (n == 0) break;
    hash.Update(std::string_view(chunk.data(), static_cast<size_t>(n)));
  }
  file.Close();
  fReceivedSha256 = hash.HexDigest();
  if (p::EqualsNoCase(fReceivedSha256, expected)) return true;
  // Not the file that was published: resuming it could never make it right.
  fDigestMismatch = true;
  fFailure = "the file's SHA-256 is " + fReceivedSha256 + ", not the expected " + expected;
  if (!p::RemoveFile(fFilePart) && p::FileExists(fFilePart))
    throw Exception("Não foi possível excluir o arquivo: " + fFilePart);
  return false;
}

void TVltDownloadClass::FinishFile() {
  CloseFile();
  if (!DigestMatches()) return;
  constexpr std::string_view kPart = ".part";
  if (fFilePart.ends_with(kPart)) {
    const std::string final_path = fFilePart.substr(0, fFilePart.size() - kPart.size());
    if (p::FileExists(final_path) && p::FileExists(fFilePart) && !p::RemoveFile(final_path))
      throw Exception("Não foi possível excluir o arquivo: " + final_path);
    if (p::FileExists(fFilePart) && !p::RenameFile(fFilePart, final_path))
      throw Exception("Não foi possível renomear o arquivo: " + fFilePart + " para " + final_path);
  } else {
    const std::string leftover = fFilePart + std::string(kPart);
    if (p::FileExists(leftover) && !p::RemoveFile(leftover))
      throw Exception("Não foi possível excluir o arquivo: " + leftover);
  }
  fFinished = true;
}

}  // namespace vlt::download
