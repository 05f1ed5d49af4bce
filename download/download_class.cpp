#include "download/download_class.h"

#include <algorithm>

#include "download/vlt_download.h"
#include "net/text_functions.h"
#include "platform/clock.h"

namespace vlt::download {

namespace p = vlt::platform;

namespace {

constexpr std::int64_t kMsPerDay = 86400000;

}  // namespace

TVltDownloadClass::TVltDownloadClass(TVltComponent* AOwner) {
  fOwner = dynamic_cast<TVltDownload*>(AOwner);
  if (fOwner == nullptr) throw Exception("Essa Classe deve ser instanciada por TVltDownload");
  fProxy = &fOwner->Proxy();
  fDownloadDest = fOwner->DownloadDest();
  fDownloadUrl = fOwner->DownloadUrl();
  fDownloadNomeArq = fOwner->DownloadNomeArq();
  fDownloadStatus = fOwner->DownloadStatus();
  fSizeRecvBuffer = fOwner->SizeRecvBuffer();
  fOnBeforeDownload = fOwner->OnBeforeDownload();
  fOnAfterDownload = fOwner->OnAfterDownload();
  fOnHookStatus = fOwner->OnHookStatus();
  fOnHookMonitor = fOwner->OnHookMonitor();
  fOnDownloadStatus = fOwner->OnDownloadStatus();
}

TVltDownloadClass::~TVltDownloadClass() {
  DetachSocket();
}

void TVltDownloadClass::AttachSocket(net::TBlockSocket& Sock, net::TDocumentStream& Document) {
  Sock.OnStatus = [this](net::TBlockSocket* s, net::THookSocketReason r, const std::string& v) {
    SocketStatus(s, r, v);
  };
  Sock.OnMonitor = [this](net::TBlockSocket* s, bool w, const void* b, int n) {
    SocketMonitor(s, w, b, n);
  };
  fSock = &Sock;
  fDocument = &Document;
  SetSizeRecvBuffer(fOwner->SizeRecvBuffer());
}

void TVltDownloadClass::DetachSocket() {
  if (fSock != nullptr) {
    fSock->OnStatus = nullptr;
    fSock->OnMonitor = nullptr;
  }
  fSock = nullptr;
  fDocument = nullptr;
}

void TVltDownloadClass::SetDownloadStatus(TDownloadStatus Value) {
  fDownloadStatus = Value;
  if (fOnDownloadStatus) fOnDownloadStatus(this, Value);
}

void TVltDownloadClass::SetSizeRecvBuffer(std::int32_t Value) {
  fSizeRecvBuffer = Value;
  if (fSock != nullptr) fSock->SetSizeRecvBuffer(Value);
}

std::string TVltDownloadClass::FailureText() const {
  if (fFinished) return {};
  if (!fFailure.empty()) return fFailure;
  return "the transfer ended before the file was complete";
}

void TVltDownloadClass::Notify(net::TBlockSocket* Sender, net::THookSocketReason Reason) {
  if (fOnHookStatus) fOnHookStatus(Sender, Reason, fBytesToDownload, fBytesDownloaded);
}

void TVltDownloadClass::OpenPartFile() {
  fFilePart = net::PathWithSeparator(fDownloadDest) + fFilePart;
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
  fExpectedSize = -1;
  fWriteLimit = -1;
  fOverrun = false;
  fFailure.clear();
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
  return fResultCode == 200 || fResultCode == 206 || fResultCode == 226;
}

// Invariant: the document holds, from Released() on, exactly the received bytes the engine
// has not yet handled. Handled bytes are written to the partial file (an accepted reply) or
// dropped (a rejected one, or any reply while no file is open) and then released, so the
// document never holds more than the last block or two, whatever the size of the file.
void TVltDownloadClass::FlushDocument() {
  if (fDocument == nullptr) return;
  const std::int64_t n = fDocument->Size() - fDocument->Released();
  if (n > 0 && !(fVerdict == rvUndecided && fFileStream)) {
    if (fVerdict == rvAccept && fFileStream) {
      std::string_view held = fDocument->Held();
      if (fWriteLimit >= 0 && fFileSize + n > fWriteLimit) {
        // Only the announced bytes are the file's; the rest ends the transfer as failed.
        held =
            held.substr(0, static_cast<size_t>(std::max<std::int64_t>(0, fWriteLimit - fFileSize)));
        fOverrun = true;
        fVerdict = rvReject;
        fFailure = "the server sent more than the " + std::to_string(fWriteLimit) +
                   " bytes the file may hold";
      }
      if (!held.empty() && !fFileStream->Write(held.data(), held.size()))
        throw Exception("Não foi possível gravar o arquivo: " + fFilePart + " (" +
                        fFileStream->ErrorText() + ")");
      fFileSize += static_cast<std::int64_t>(held.size());
    }
    fDocument->Release(fDocument->Size());
  }
  fDocument->SeekEnd();
}

void TVltDownloadClass::SocketMonitor(net::TBlockSocket* Sender, bool Writing, const void*,
                                      int Len) {
  if (Writing) return;
  fBytesDownloaded += Len;
  JudgeReply(false);
  FlushDocument();

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

  const bool unwanted = fDocument != nullptr &&
                        ((fUnwantedAfter >= 0 && fDocument->Size() > fUnwantedAfter) || fOverrun ||
                         (fVerdict == rvReject && fDocument->Size() > kMaxRejectedBody));
  if ((fDownloadStatus == stStop || fDownloadStatus == stPause || unwanted) && fSock != nullptr)
    fSock->CloseSocket();
  if (fOnHookMonitor)
    fOnHookMonitor(Sender, fBytesToDownload, fBytesDownloaded, fAverageSpeed, H, M, sec);
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
        fBytesDownloaded = fBytesResumed + (fDocument != nullptr ? fDocument->Size() : 0);
        fBytesAtStart = fBytesDownloaded;
        fBytesToDownload = fBytesResumed + fDownloadSize;
        Notify(Sender, Reason);
      }
      break;
    case net::HR_SocketClose:
      SocketClosed(Sender);
      break;
    default:
      break;
  }
}

void TVltDownloadClass::SocketClosed(net::TBlockSocket* Sender) {
  JudgeReply(true);
  if (fFileStream && (fVerdict == rvAccept || fVerdict == rvComplete)) {
    FlushDocument();
    CloseFile();
  }
  switch (fDownloadStatus) {
    case stStop:
      // Windows refuses to delete a file held open.
      CloseFile();
      // A partial file that is already gone counts as deleted.
      if (fPartOpened && !p::RemoveFile(fFilePart) && p::FileExists(fFilePart))
        throw Exception("Não foi possível excluir o arquivo: " + fFilePart);
      break;
    case stNone:
    case stDownload:
    case stResume:
      if (ReadyToFinish()) FinishFile();
      break;
    default:
      break;
  }
  Notify(Sender, net::HR_SocketClose);
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

void TVltDownloadClass::FinishFile() {
  CloseFile();
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
