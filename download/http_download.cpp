#include "download/http_download.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "download/vlt_download.h"
#include "net/address_text.h"
#include "net/text_functions.h"
#include "net/url_reference.h"
#include "platform/numbers.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vlt::download {

namespace p = vlt::platform;
using net::THTTPState;
using p::Trim;

namespace {

struct ContentRange {
  std::int64_t first = -1, last = -1;  // -1 -1: "bytes */total"
  std::int64_t total = -1;             // -1: "*"
};

// "Content-Range: bytes 5000-9999/10000", "bytes 5000-9999/*", "bytes */10000"
std::optional<ContentRange> FindContentRange(const net::THTTPClient& http) {
  const auto value = http.HeaderValue("Content-Range");
  if (!value) return std::nullopt;
  std::string v = *value;
  if (!p::StartsWithNoCase(v, "BYTES ")) return std::nullopt;
  v = Trim(v.substr(6));
  const size_t slash = v.find('/');
  if (slash == std::string::npos) return std::nullopt;
  const std::string span = Trim(v.substr(0, slash)), total = Trim(v.substr(slash + 1));
  ContentRange r;
  if (total != "*") {
    const auto t = p::ParseUnsigned<std::int64_t>(total);
    if (!t) return std::nullopt;
    r.total = *t;
  }
  if (span != "*") {
    const size_t dash = span.find('-');
    if (dash == std::string::npos) return std::nullopt;
    const auto a = p::ParseUnsigned<std::int64_t>(span.substr(0, dash));
    const auto b = p::ParseUnsigned<std::int64_t>(span.substr(dash + 1));
    if (!a || !b || *b < *a || *b == INT64_MAX || (r.total >= 0 && *b >= r.total))
      return std::nullopt;
    r.first = *a;
    r.last = *b;
  }
  return r;
}

// Why a file name chosen by the server cannot be used as it is; empty when it can. It names a
// file in the destination folder, nothing else: no folders, drives, devices or stream names,
// and no byte that the file system would cut the name at or read otherwise.
std::string ServerNameProblem(const std::string& name) {
  if (name.empty()) return "empty name";
  if (name.size() > 200) return "name too long";
  for (const char ch : name) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x20 || b == 0x7F) return "control character in the name";
    if (std::string_view("\\/:*?\"<>|").find(ch) != std::string_view::npos)
      return "folder separator or reserved character in the name";
  }
  if (name.back() == '.' || name.back() == ' ' || name.front() == ' ')
    return "name beginning with a blank or ending with a dot or blank";
  if (p::IsDeviceName(name)) return "device name";
  return {};
}

// The name as it can be shown in one line: control bytes as \xNN.
std::string Printable(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : name) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace

TVltHTTPDownload::TVltHTTPDownload(TVltComponent* AOwner)
    : TVltDownloadClass(AOwner), fHTTPClient(std::make_unique<net::THTTPClient>()) {
  AttachSocket(fHTTPClient->Sock());
  fHTTPClient->SetBodySink(this);
}

TVltHTTPDownload::~TVltHTTPDownload() {
  DetachSocket();
}

// The component's proxy, time-out and trusted CAs apply to every request, named file or not.
void TVltHTTPDownload::ApplyProxySettings() {
  const TVltProxy& proxy = fOwner->Proxy();
  fHTTPClient->SetProxyHost(proxy.ProxyHost);
  fHTTPClient->SetProxyPort(proxy.ProxyPort);
  fHTTPClient->SetProxyUser(proxy.ProxyUser);
  fHTTPClient->SetProxyPass(proxy.ProxyPass);
  fHTTPClient->Timeout = proxy.ProxyTimeout;
  fHTTPClient->Sock().SSL().SetCertCAFile(fOwner->CertCAFile());
}

// Asks the server for the first bytes and takes the name from its Content-Disposition:
// 'attachment; filename="a.zip"', "attachment; FileName=a.zip; size=10". The
// server names a file in the destination folder and nothing else, and never one that is
// already there: a name it cannot be is refused, not mended.
std::string TVltHTTPDownload::ProbeName() {
  fHTTPClient->Clear();
  fHTTPClient->SetRangeEnd(1024);
  BeginReply();
  // The probe wants headers only: a server that ignores the range is cut off early.
  fUnwantedAfter = 1025;
  fHTTPClient->HTTPMethod("GET", fDownloadUrl);
  fUnwantedAfter = -1;
  for (const std::string& disposition : fHTTPClient->HeaderValues("Content-Disposition")) {
    const size_t at = p::AsciiLower(disposition).find("filename=");
    if (at == std::string::npos) continue;
    std::string name = Trim(std::string_view(disposition).substr(at + 9));
    if (name.starts_with('"'))
      name = net::TextBefore(name.substr(1), "\"");
    else
      name = Trim(net::TextBefore(name, ";"));
    if (const std::string why = ServerNameProblem(name); !why.empty())
      throw Exception("O servidor indicou um nome de arquivo inválido: \"" + Printable(name) +
                      "\" (" + why + ")");
    const std::string final_path = net::PathWithSeparator(fOwner->DownloadDest()) + name;
    if (p::FileExists(final_path))
      throw Exception("O arquivo indicado pelo servidor já existe e não será substituído: " +
                      final_path);
    return name;
  }
  return {};
}

void TVltHTTPDownload::StartDownload() {
  ApplyProxySettings();
  std::string name;
  if (fDownloadStatus == stRedirect) {
    name = fSettledName;
  } else {
    name = fOwner->DownloadNomeArq();
    if (name.empty()) {
      net::UrlParts u;
      net::SplitUrl(fDownloadUrl, u);
      name = p::LastComponent(u.Path);
      if (name.empty()) name = ProbeName();
    }
    if (!name.empty() && !name.ends_with(".part")) name += ".part";
    fSettledName = name;
  }
  if (name.empty()) throw Exception("Favor informar o nome do arquivo para download!");
  fFilePart = name;
  OpenPartFile();
  fHTTPClient->Clear();
  fHTTPClient->SetRangeStart(fBytesResumed);
  BeginReply();
  fRedirectTarget.clear();
  if (fOwner->OnBeforeDownload()) fOwner->OnBeforeDownload()(this);
  fHTTPClient->HTTPMethod("GET", fDownloadUrl);
  if (fRestartFromZero && fFileStream) {
    // The partial file is longer than the file now on the server: it is not a prefix of it.
    fRestartFromZero = false;
    EmptyPartFile();
    fDownloadStatus = stNone;
    fHTTPClient->Clear();
    BeginReply();
    fHTTPClient->HTTPMethod("GET", fDownloadUrl);
  }
  // The redirection is followed here, once the request that brought it has ended, not from
  // inside it.
  if (!fRedirectTarget.empty()) {
    fDownloadUrl = fRedirectTarget;
    fRedirectTarget.clear();
    StartDownload();
  }
  // Whatever the outcome, the partial file is not held (locked, on Windows) past the transfer.
  CloseFile();
  if (fOwner->OnAfterDownload()) fOwner->OnAfterDownload()(this);
}

void TVltHTTPDownload::SocketStatus(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                                    const std::string& Value) {
  fDownloadSize = fHTTPClient->DownloadSize();
  if (Reason == net::HR_SocketClose) {
    // The close the client makes before it connects for a new request, and the end of a
    // redirection that is being followed, are not the end of the download.
    const THTTPState state = fHTTPClient->State();
    if (fHTTPClient->ResultCode() == 500 && (state == net::hsIdle || state == net::hsConnecting))
      return;
    if (fDownloadStatus == stRedirect) return;
  }
  TVltDownloadClass::SocketStatus(Sender, Reason, Value);
}

void TVltHTTPDownload::BodyEnd(const net::TTransferEnd& End) {
  fResultCode = ReplyCode();
  if (fResultCode == 302 && fHeadKnown && fDownloadStatus != stStop && fDownloadStatus != stPause) {
    const std::string location = fHTTPClient->HeaderValue("Location").value_or("");
    std::string failure;
    if (location.empty()) {
      failure = "redirection (302) without a Location";
    } else if (fRedirects >= kMaxRedirects) {
      failure = "more than " + std::to_string(kMaxRedirects) + " redirections";
    } else if (const auto target = net::ResolveReference(fDownloadUrl, location); !target) {
      failure = "redirection (302) to an address that cannot be used: " + Printable(location);
    } else if (const std::string scheme = net::UrlScheme(*target);
               scheme != "http" && scheme != "https") {
      // Only HTTP can fetch it; anything else would send this request to another protocol.
      failure = "redirection (302) to an unsupported address: " + Printable(*target);
    } else if (scheme == "http" && net::UrlScheme(fDownloadUrl) == "https") {
      // What was asked for over TLS is not fetched where anyone on the path can replace it.
      failure = "redirection (302) from https to plain http refused: " + Printable(*target);
    } else {
      fEnd = End;
      fDownloadStatus = stRedirect;
      ++fRedirects;
      CloseFile();  // the redirection's own body is not the file's
      fRedirectTarget = *target;
      return;
    }
    TVltDownloadClass::BodyEnd(End);
    fFailure = failure;
    return;
  }
  TVltDownloadClass::BodyEnd(End);
}

// A resumed request asked for the bytes from the partial file's size on. Only an answer that
// fits goes into the file: a 206 starting there, or a 200 with the whole file, which starts
// the file again. A 416 saying the file has exactly the partial size means it is complete.
void TVltHTTPDownload::JudgeReply(bool closing) {
  if (fVerdict != rvUndecided) return;
  if (!fHeadKnown) {
    if (closing) fVerdict = rvReject;
    return;
  }
  if (!fFileStream) {
    fVerdict = rvReject;  // the probe, or a file already closed: nothing to write into
    return;
  }
  const auto range = FindContentRange(*fHTTPClient);
  switch (fResultCode) {
    case 200:
      if (fFileSize > 0) {
        EmptyPartFile();
      }
      fVerdict = rvAccept;
      if (fHTTPClient->TransferEncoding() == net::TE_IDENTITY) {
        fExpectedSize = fHTTPClient->BodySize();
        fWriteLimit = fExpectedSize;
      }
      break;
    case 206:
      if (range && range->first == fFileSize) {
        fVerdict = rvAccept;
        fExpectedSize = range->total;
        // Nothing past the end of the range is the file's, whatever the body's framing.
        fWriteLimit = range->last + 1;
      } else {
        fVerdict = rvReject;
        fFailure = "the server answered 206 with a range that does not start at " +
                   std::to_string(fFileSize);
      }
      break;
    case 416:
      if (range && range->first < 0 && range->total == fFileSize && fFileSize > 0) {
        fVerdict = rvComplete;
      } else {
        fVerdict = rvReject;
        // "bytes */3000" for a partial file of 5000 bytes: the file on the server is shorter,
        // so the partial file is not a prefix of it and the download starts again from 0.
        if (range && range->first < 0 && range->total >= 0 && range->total < fFileSize &&
            fDownloadStatus != stStop && fDownloadStatus != stPause)
          fRestartFromZero = true;
      }
      break;
    default:
      fVerdict = rvReject;
      break;
  }
}

bool TVltHTTPDownload::BodyComplete() {
  return fEnd.Outcome == net::toComplete;
}

std::string TVltHTTPDownload::FailureText() const {
  if (fFinished) return {};
  if (fDownloadStatus == stPause) return "paused";
  if (fDownloadStatus == stStop) return "stopped";
  if (!fFailure.empty()) return fFailure;
  // An error page is the reason, even when its body was cut short on purpose.
  if (fHeadKnown && fResultCode != 200 && fResultCode != 206)
    return "the server answered " + std::to_string(fResultCode) +
           (fHTTPClient->ResultString().empty() ? "" : " " + fHTTPClient->ResultString());
  if (fEnd.Outcome == net::toCut) return "the transfer was cut: " + fEnd.Reason;
  return TVltDownloadClass::FailureText();
}

}  // namespace vlt::download
