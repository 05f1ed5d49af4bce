#include "download/http_download.h"

#include <algorithm>
#include <cstdint>
#include <optional>

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

// What identifies the version of the file a partial file holds a prefix of, kept beside it as
// "validador=VALUE" and "tamanho=N" lines (N -1 when the size was not announced).
struct Validator {
  std::string value;  // a strong ETag ("\"5f1-3e8\""), else a Last-Modified date
  std::int64_t size = -1;
};

std::optional<Validator> ReadValidator(const std::string& path) {
  std::string data, error;
  if (!p::ReadWholeFile(path, 4096, data, error)) return std::nullopt;
  Validator v;
  bool sized = false;
  for (std::string rest = data; !rest.empty();) {
    const std::string line = p::TrimRight(net::FetchText(rest, "\n"));
    if (line.starts_with("validador=")) v.value = line.substr(10);
    if (line.starts_with("tamanho=")) {
      const std::string n = line.substr(8);
      sized = true;
      if (n != "-1") {
        const auto size = p::ParseUnsigned<std::int64_t>(n);
        if (!size) return std::nullopt;
        v.size = *size;
      }
    }
  }
  if (v.value.empty() || !sized) return std::nullopt;
  return v;
}

// Written beside its name and renamed over it: a reader never finds half of it.
bool WriteValidator(const std::string& path, const Validator& v) {
  const std::string text =
      "validador=" + v.value + "\r\ntamanho=" + std::to_string(v.size) + "\r\n";
  const std::string temporary = path + ".novo";
  {
    p::File file;
    if (!file.Open(temporary, p::FileAccess::Write, p::FileShare::Exclusive,
                   p::FileCreate::CreateAlways) ||
        !file.Write(text.data(), text.size())) {
      file.Close();
      p::RemoveFile(temporary);
      return false;
    }
  }
  if (p::RenameFileReplacing(temporary, path)) return true;
  p::RemoveFile(temporary);
  return false;
}

// A strong ETag identifies one version byte for byte; a weak one ("W/...") may not be used to
// resume, and a Last-Modified date is the next best thing.
std::string ValidatorOf(const net::THTTPClient& http) {
  if (const auto etag = http.HeaderValue("ETag");
      etag && !etag->empty() && !etag->starts_with("W/"))
    return *etag;
  return http.HeaderValue("Last-Modified").value_or("");
}

// "Sun, 06 Nov 1994 08:49:37 GMT" (the one form a server may send) as seconds since 1970.
std::optional<std::int64_t> HttpDateSeconds(std::string_view text) {
  const std::string t = Trim(text);
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (t.size() != 29 || t[3] != ',' || t[4] != ' ' || t[7] != ' ' || t[11] != ' ' || t[16] != ' ' ||
      t[19] != ':' || t[22] != ':' || t.substr(25) != " GMT")
    return std::nullopt;
  const auto day = p::ParseUnsigned<std::int64_t>(t.substr(5, 2));
  const auto year = p::ParseUnsigned<std::int64_t>(t.substr(12, 4));
  const auto hour = p::ParseUnsigned<std::int64_t>(t.substr(17, 2));
  const auto minute = p::ParseUnsigned<std::int64_t>(t.substr(20, 2));
  const auto second = p::ParseUnsigned<std::int64_t>(t.substr(23, 2));
  std::int64_t month = 0;
  for (int i = 0; i < 12; ++i)
    if (t.substr(8, 3) == kMonths[i]) month = i + 1;
  if (!day || !year || !hour || !minute || !second || month == 0 || *day < 1 || *day > 31 ||
      *hour > 23 || *minute > 59 || *second > 60)
    return std::nullopt;
  // Days from the civil date (proleptic Gregorian), March-based years.
  const std::int64_t y = *year - (month <= 2 ? 1 : 0);
  const std::int64_t era = y / 400, yoe = y - era * 400;
  const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + *day - 1;
  const std::int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  return days * 86400 + *hour * 3600 + *minute * 60 + *second;
}

}  // namespace

std::int32_t RetryAfterSeconds(std::string_view value, std::string_view date) {
  const std::string v = Trim(value);
  if (const auto seconds = p::ParseUnsigned<std::int64_t>(v))
    return static_cast<std::int32_t>(std::min<std::int64_t>(*seconds, INT32_MAX));
  const auto when = HttpDateSeconds(v), now = HttpDateSeconds(date);
  if (!when || !now) return -1;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(*when - *now, 0, INT32_MAX));
}

std::int32_t TVltHTTPDownload::RetryAfter() const {
  if (!fHeadKnown) return -1;
  const auto value = fHTTPClient->HeaderValue("Retry-After");
  if (!value) return -1;
  return RetryAfterSeconds(*value, fHTTPClient->HeaderValue("Date").value_or(""));
}

TVltHTTPDownload::TVltHTTPDownload(TVltDownloadSettings Settings, TVltDownloadEvents Events)
    : TVltDownloadClass(std::move(Settings), std::move(Events)),
      fHTTPClient(std::make_unique<net::THTTPClient>()) {
  AttachSocket(fHTTPClient->Sock());
  fHTTPClient->SetBodySink(this);
}

TVltHTTPDownload::~TVltHTTPDownload() {
  DetachSocket();
}

// The component's proxy, time-out and trusted CAs apply to every request, named file or not.
void TVltHTTPDownload::ApplyProxySettings() {
  const TVltProxy& proxy = fSettings.Proxy;
  const bool socks = proxy.ProxyTipo != ptHTTP && !proxy.ProxyHost.empty();
  fHTTPClient->SetProxyHost(socks ? std::string() : proxy.ProxyHost);
  fHTTPClient->SetProxyPort(proxy.ProxyPort);
  fHTTPClient->SetProxyUser(proxy.ProxyUser);
  fHTTPClient->SetProxyPass(proxy.ProxyPass);
  net::TTCPBlockSocket& sock = fHTTPClient->Sock();
  sock.SetSocksIP(socks ? proxy.ProxyHost : std::string());
  if (socks) {
    sock.SetSocksPort(proxy.ProxyPort);
    sock.SetSocksUsername(proxy.ProxyUser);
    sock.SetSocksPassword(proxy.ProxyPass);
    const bool v4 = proxy.ProxyTipo == ptSocks4 || proxy.ProxyTipo == ptSocks4a;
    sock.SetSocksType(v4 ? net::ST_Socks4 : net::ST_Socks5);
    sock.SetSocksResolver(proxy.ProxyTipo == ptSocks4a || proxy.ProxyTipo == ptSocks5h);
    sock.SetSocksTimeout(proxy.ProxyTimeout);
  }
  fHTTPClient->Timeout = ReceiveTimeout(proxy.ProxyTimeout);
  fHTTPClient->Sock().SSL().SetCertCAFile(fSettings.CertCAFile);
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
    const std::string final_path = net::PathWithSeparator(fSettings.DownloadDest) + name;
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
    name = fSettings.DownloadNomeArq;
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
  if (!OpenPartFile()) {
    if (fEvents.OnAfterDownload) fEvents.OnAfterDownload(this);
    return;
  }
  fHTTPClient->Clear();
  fResumeValidator.clear();
  fResumeSize = -1;
  if (fBytesResumed > 0) {
    // Only a prefix of the same version may be continued: one whose version is not known
    // starts again from nothing.
    if (const auto v = ReadValidator(ValidatorPath())) {
      fResumeValidator = v->value;
      fResumeSize = v->size;
      fHTTPClient->SetRangeStart(fBytesResumed);
      // A 200 with the whole file answers it when the server's file is no longer that version.
      fHTTPClient->Headers().push_back("If-Range: " + fResumeValidator);
    } else if (EmptyPartFile()) {
      fDownloadStatus = stNone;
    }
  }
  BeginReply();
  fRedirectTarget.clear();
  if (fEvents.OnBeforeDownload) fEvents.OnBeforeDownload(this);
  if (fFileStream) fHTTPClient->HTTPMethod("GET", fDownloadUrl);
  if (fRestartFromZero && fFileStream) {
    // The partial file is longer than the file now on the server: it is not a prefix of it.
    fRestartFromZero = false;
    if (EmptyPartFile()) {
      fDownloadStatus = stNone;
      fResumeValidator.clear();
      fResumeSize = -1;
      fHTTPClient->Clear();
      BeginReply();
      fHTTPClient->HTTPMethod("GET", fDownloadUrl);
    }
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
  if (fEvents.OnAfterDownload) fEvents.OnAfterDownload(this);
}

void TVltHTTPDownload::SocketStatus(net::TBlockSocket* Sender, net::THookSocketReason Reason,
                                    const std::string& Value) {
  // The size of the whole body when the reply announced one; a chunked body's first chunk says
  // nothing about the rest.
  fDownloadSize = fHTTPClient->TransferEncoding() == net::TE_IDENTITY ? fHTTPClient->BodySize() : 0;
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
  fTunnelCode = fHTTPClient->Sock().HTTPTunnelResultCode();
  fTunnelRefused = fHTTPClient->Sock().HTTPTunnelRefused();
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
    case 200: {
      // The whole file, from its first byte: whatever the partial file held goes.
      if (!EmptyPartFile()) {
        fVerdict = rvReject;
        break;
      }
      fVerdict = rvAccept;
      if (fHTTPClient->TransferEncoding() == net::TE_IDENTITY) {
        fExpectedSize = fHTTPClient->BodySize();
        fWriteLimit = fExpectedSize;
      }
      // What a later start needs to continue this very version; without one it starts over.
      const Validator v{ValidatorOf(*fHTTPClient), fExpectedSize};
      if (!v.value.empty()) WriteValidator(ValidatorPath(), v);
      break;
    }
    case 206:
      if (range && range->first == fFileSize && fResumeSize >= 0 && range->total >= 0 &&
          range->total != fResumeSize) {
        // The server ignored If-Range: this range is of a file of another size.
        fVerdict = rvReject;
        fFailure = "the server answered 206 for a file of " + std::to_string(range->total) +
                   " bytes where the partial file belongs to one of " + std::to_string(fResumeSize);
        if (fDownloadStatus != stStop && fDownloadStatus != stPause) fRestartFromZero = true;
      } else if (range && range->first == fFileSize) {
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

std::string TVltHTTPDownload::ReasonText() const {
  if (fFinished) return {};
  if (HasFileFault()) return fFalha.Detalhe;
  if (fDownloadStatus == stPause) return "paused";
  if (fDownloadStatus == stStop) return "stopped";
  if (!fFailure.empty()) return fFailure;
  // An error page is the reason, even when its body was cut short on purpose.
  if (fHeadKnown && fResultCode != 200 && fResultCode != 206)
    return "the server answered " + std::to_string(fResultCode) +
           (fHTTPClient->ResultString().empty() ? "" : " " + fHTTPClient->ResultString());
  if (fEnd.Outcome == net::toCut) return "the transfer was cut: " + fEnd.Reason;
  return TVltDownloadClass::ReasonText();
}

TFalhaDownload TVltHTTPDownload::ClassifyFailure(const std::string& detail) const {
  if (fTunnelRefused) return {ftProxy, fTunnelCode, detail};
  // A plain request through a proxy: the proxy answers for the server when it refuses.
  if (fHeadKnown && fResultCode == 407 && !fSettings.Proxy.ProxyHost.empty() &&
      fSettings.Proxy.ProxyTipo == ptHTTP)
    return {ftProxy, fResultCode, detail};
  if (fHeadKnown && fResultCode != 200 && fResultCode != 206)
    return {ftServidor, fResultCode, detail};
  // A reply head that could not be used, without any socket error behind it.
  if (!fHeadKnown && fEnd.Outcome == net::toRefused && fEndSocketError == 0 &&
      fHTTPClient->State() == net::hsFailed)
    return {ftServidor, fResultCode == 500 ? 0 : fResultCode, detail};
  return TVltDownloadClass::ClassifyFailure(detail);
}

}  // namespace vlt::download
