#include "download/http_download.h"

#include <algorithm>
#include <optional>

#include "net/address_text.h"
#include "net/text_functions.h"
#include "platform/numbers.h"

namespace vlt::download {

namespace p = vlt::platform;
using net::THTTPState;

namespace {

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = p::AsciiUpper(c);
  return out;
}

// What follows the last "\", "/" or ":": a bare name, never a directory or a drive.
std::string LastComponent(std::string_view path) {
  const size_t cut = path.find_last_of("\\/:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

struct ContentRange {
  std::int64_t first = -1, last = -1;  // -1 -1: "bytes */total"
  std::int64_t total = -1;             // -1: "*"
};

// "Content-Range: bytes 5000-9999/10000", "bytes 5000-9999/*", "bytes */10000"
std::optional<ContentRange> FindContentRange(const std::vector<std::string>& headers) {
  for (const std::string& line : headers) {
    if (!Upper(line).starts_with("CONTENT-RANGE:")) continue;
    std::string v = Trim(net::TextAfter(line, ":"));
    if (Upper(v.substr(0, 6)) != "BYTES ") return std::nullopt;
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
      if (!a || !b || *b < *a || (r.total >= 0 && *b >= r.total)) return std::nullopt;
      r.first = *a;
      r.last = *b;
    }
    return r;
  }
  return std::nullopt;
}

// A Location relative to the request's URL made absolute ("/new/a.zip", "a.zip", "//host/x").
std::string ResolveLocation(const std::string& base, const std::string& location) {
  if (location.find("://") != std::string::npos) return location;
  net::UrlParts u;
  net::SplitUrl(base, u);
  if (location.starts_with("//")) return u.Prot + ":" + location;
  std::string authority = u.Prot + "://";
  if (!u.User.empty()) authority += u.User + (u.Pass.empty() ? "" : ":" + u.Pass) + "@";
  authority += (net::IsIPv6Text(u.Host) ? "[" + u.Host + "]" : u.Host) + ":" + u.Port;
  if (location.starts_with("/")) return authority + location;
  return authority + u.Path.substr(0, u.Path.rfind('/') + 1) + location;
}

}  // namespace

TVltHTTPDownload::TVltHTTPDownload(TVltComponent* AOwner)
    : TVltDownloadClass(AOwner), fHTTPClient(std::make_unique<net::THTTPClient>()) {
  AttachSocket(fHTTPClient->Sock(), fHTTPClient->Document());
}

TVltHTTPDownload::~TVltHTTPDownload() {
  DetachSocket();
}

// The component's proxy and time-out apply to every request, named file or not.
void TVltHTTPDownload::ApplyProxySettings() {
  fHTTPClient->SetProxyHost(fProxy->ProxyHost);
  fHTTPClient->SetProxyPort(fProxy->ProxyPort);
  fHTTPClient->SetProxyUser(fProxy->ProxyUser);
  fHTTPClient->SetProxyPass(fProxy->ProxyPass);
  fHTTPClient->Timeout = fProxy->ProxyTimeout;
}

bool TVltHTTPDownload::HeadKnown() const {
  const THTTPState s = fHTTPClient->State();
  return s == net::hsReadingBody || s == net::hsDone || s == net::hsBodyCut;
}

// Asks the server for the first bytes and takes the name from a header line holding
// "filename=": 'attachment; filename="a.zip"', "attachment; filename=a.zip; size=10".
std::string TVltHTTPDownload::ProbeName() {
  fHTTPClient->Clear();
  fHTTPClient->SetRangeEnd(1024);
  BeginReply();
  // The probe wants headers only: a server that ignores the range is cut off early.
  fUnwantedAfter = 1025;
  fHTTPClient->HTTPMethod("GET", fDownloadUrl);
  fUnwantedAfter = -1;
  for (const std::string& line : fHTTPClient->Headers()) {
    const size_t at = line.find("filename=");
    if (at == std::string::npos) continue;
    std::string name = Trim(line.substr(at + 9));
    if (name.starts_with('"'))
      name = net::TextBefore(name.substr(1), "\"");
    else
      name = Trim(net::TextBefore(name, ";"));
    // The server names a file, not a place: no directories, no drive, no "..".
    name = LastComponent(name);
    if (name == "." || name == "..") name.clear();
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
    name = fDownloadNomeArq;
    if (name.empty()) {
      net::UrlParts u;
      net::SplitUrl(fDownloadUrl, u);
      name = LastComponent(u.Path);
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
  if (fOnBeforeDownload) fOnBeforeDownload(this);
  fHTTPClient->HTTPMethod("GET", fDownloadUrl);
  // The redirection is followed here, once the request that brought it has ended, not from
  // inside its close.
  if (!fRedirectTarget.empty()) {
    fDownloadUrl = fRedirectTarget;
    fRedirectTarget.clear();
    StartDownload();
  }
  // Whatever the outcome, the partial file is not held (locked, on Windows) past the transfer.
  CloseFile();
  if (fOnAfterDownload) fOnAfterDownload(this);
}

void TVltHTTPDownload::SocketStatus(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                                    const std::string& Value) {
  fResultCode = fHTTPClient->ResultCode();
  fDownloadSize = fHTTPClient->DownloadSize();
  if (Reason != net::HR_SocketClose) {
    JudgeReply(false);
    TVltDownloadClass::SocketStatus(Sender, Reason, Value);
    return;
  }
  const THTTPState state = fHTTPClient->State();
  // The close the client makes before it connects for a new request.
  if (fResultCode == 500 && (state == net::hsIdle || state == net::hsConnecting)) return;
  if (fResultCode == 302 && HeadKnown() && fDownloadStatus != stStop &&
      fDownloadStatus != stPause) {
    // "Location: " exactly so; the first such line.
    std::string location;
    for (const std::string& line : fHTTPClient->Headers()) {
      if (line.starts_with("Location: ")) {
        location = Trim(line.substr(10));
        break;
      }
    }
    if (!location.empty() && fRedirects < kMaxRedirects) {
      fDownloadStatus = stRedirect;
      ++fRedirects;
      CloseFile();  // without a flush: the redirection's own body is not the file's
      fRedirectTarget = ResolveLocation(fDownloadUrl, location);
      return;
    }
    TVltDownloadClass::SocketStatus(Sender, Reason, Value);
    fFailure = location.empty() ? "redirection (302) without a Location"
                                : "more than " + std::to_string(kMaxRedirects) + " redirections";
    return;
  }
  TVltDownloadClass::SocketStatus(Sender, Reason, Value);
}

// A resumed request asked for the bytes from the partial file's size on. Only an answer that
// fits goes into the file: a 206 starting there, or a 200 with the whole file, which starts
// the file again. A 416 saying the file has exactly the partial size means it is complete.
void TVltHTTPDownload::JudgeReply(bool closing) {
  if (fVerdict != rvUndecided) return;
  if (!HeadKnown()) {
    if (closing) fVerdict = rvReject;
    return;
  }
  if (!fFileStream) {
    fVerdict = rvReject;  // the probe, or a file already closed: nothing to write into
    return;
  }
  const auto range = FindContentRange(fHTTPClient->Headers());
  switch (fResultCode) {
    case 200:
      if (fFileSize > 0) {
        if (fFileStream->Seek(0) != 0 || !fFileStream->Truncate())
          throw Exception("Não foi possível gravar o arquivo: " + fFilePart + " (" +
                          fFileStream->ErrorText() + ")");
        fFileSize = 0;
        fBytesResumed = 0;
      }
      fVerdict = rvAccept;
      if (fHTTPClient->TransferEncoding() == net::TE_IDENTITY)
        fExpectedSize = fHTTPClient->BodySize();
      break;
    case 206:
      if (range && range->first == fFileSize) {
        fVerdict = rvAccept;
        fExpectedSize = range->total;
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
      }
      break;
    default:
      fVerdict = rvReject;
      break;
  }
}

bool TVltHTTPDownload::BodyComplete() {
  return fHTTPClient->State() == net::hsDone;
}

std::string TVltHTTPDownload::FailureText() const {
  if (fFinished) return {};
  if (fDownloadStatus == stPause) return "paused";
  if (fDownloadStatus == stStop) return "stopped";
  if (!fFailure.empty()) return fFailure;
  const net::THTTPClient& h = *fHTTPClient;
  if (h.State() == net::hsFailed && !h.FailureText().empty()) return h.FailureText();
  if (h.State() == net::hsBodyCut)
    return "the transfer was cut: " +
           (h.FailureText().empty() ? "no reason given" : h.FailureText());
  if (h.ResultCode() != 200 && h.ResultCode() != 206)
    return "the server answered " + std::to_string(h.ResultCode()) +
           (h.ResultString().empty() ? "" : " " + h.ResultString());
  return TVltDownloadClass::FailureText();
}

}  // namespace vlt::download
