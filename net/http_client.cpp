#include "net/http_client.h"

#include <algorithm>

#include "net/address_text.h"
#include "net/text_functions.h"
#include "platform/codepage.h"
#include "platform/numbers.h"
#include "platform/text.h"

namespace vlt::net {

namespace p = vlt::platform;
using p::EqualsNoCase;
using p::Trim;

namespace {

// No line of a reply (head line, chunk size line) may be longer than a whole head.
constexpr int kMaxLine = static_cast<int>(THTTPClient::kMaxHeadBytes);
// One blank line follows every chunk's data; a server that sends nothing but blank lines is not
// making progress.
constexpr int kMaxBlankLines = 8;

}  // namespace

bool THTTPClient::TDocumentSink::BodyData(std::string_view Bytes) {
  document_.Append(ByteString(Bytes));
  return true;
}

THTTPClient::THTTPClient() : FSock(std::make_unique<TTCPBlockSocket>()), FDocumentSink(FDocument) {
  Timeout = 90000;
  TargetPort = "80";
  // Reply lines end at LF, with or without the CR before it. A bare CR is neither a line end
  // nor half of one: taken as such, "X-Note: a\rContent-Length: 9" would yield a length, and
  // a body that begins with CR after an LF-only head would lose its first byte.
  FSock->SetConvertLineEnd(false);
  // Queued on a socket without a connection; the close before every connect drops them.
  FSock->SetSizeRecvBuffer(65536);
  FSock->SetSizeSendBuffer(65536);
  FSock->SetOwner(this);
  FSock->SetMaxLineLength(kMaxLine);
  Clear();
}

THTTPClient::~THTTPClient() = default;

void THTTPClient::SetState(THTTPState state) {
  FState = state;
}

void THTTPClient::Fail(const std::string& why) {
  if (FFailureText.empty()) FFailureText = why;
}

void THTTPClient::FailFromSocket() {
  const int e = FSock->LastError();
  if (e == p::kWSAENOBUFS)
    Fail("reply line longer than " + std::to_string(kMaxLine) + " bytes");
  else if (FSock->HTTPTunnelRefused())
    Fail(FSock->LastErrorDesc());  // the proxy's own answer, not a socket's number
  else if (e != 0)
    Fail((FSock->LastErrorDesc().empty() ? GetErrorDesc(e) : FSock->LastErrorDesc()) + " (" +
         std::to_string(e) + ")");
}

void THTTPClient::ForgetConnection() {
  FAliveHost.clear();
  FAlivePort.clear();
}

bool THTTPClient::Deliver(ByteString&& bytes) {
  if (bytes.empty() || FBodySink->BodyData(bytes)) return true;
  Fail("the receiver took no more of the body");
  return false;
}

void THTTPClient::EndTransfer(TTransferOutcome outcome) {
  TTransferEnd end;
  end.Outcome = outcome;
  if (outcome != toComplete)
    end.Reason = FFailureText.empty() ? std::string("no reason given") : FFailureText;
  FBodySink->BodyEnd(end);
}

void THTTPClient::Clear() {
  FRangeStart = 0;
  FRangeEnd = 0;
  FDocument.Clear();
  FHeaders.clear();
  FMimeType = "text/html";
}

void THTTPClient::Abort() {
  FSock->SetStopFlag(true);
}

void THTTPClient::DecodeStatus(const std::string& Value) {
  THTTPStatusLine status = ParseStatusLine(Value);
  FResultCode = status.Code;
  FResultString = std::move(status.Reason);
}

ByteString THTTPClient::BuildRequestHead() {
  ByteString out;
  if (FProtocol == "0.9") {
    if (!FHeaders.empty()) out = p::TextToAnsi(FHeaders.front()) + CRLF;
    return out;
  }
  for (const std::string& line : FHeaders) out += p::TextToAnsi(line) + CRLF;
  return out;
}

bool THTTPClient::OpenConnection(bool NeedTLS) {
  FSock->CloseSocket();
  FSock->Bind(IPInterface, "0");
  if (FSock->LastError() != 0) return false;
  FSock->Connect(TargetHost, TargetPort);
  if (FSock->LastError() != 0) return false;
  if (NeedTLS) {
    if (FSock->SSL().SNIHost.empty()) FSock->SSL().SNIHost = TargetHost;
    FSock->SSLDoConnect();
    FSock->SSL().SNIHost.clear();
    if (FSock->LastError() != 0) return false;
  }
  FAliveHost = TargetHost;
  FAlivePort = TargetPort;
  return true;
}

bool THTTPClient::EnsureConnection(bool NeedTLS) {
  // A kept connection is reused only while it is quiet: the server's close reads as readable,
  // and bytes left over from the last reply would be taken for the next one.
  if (FSock->Socket() != p::kInvalidSocket && FAliveHost == TargetHost &&
      FAlivePort == TargetPort && FSock->LineBuffer().empty() && !FSock->CanRead(0))
    return true;
  return OpenConnection(NeedTLS);
}

ByteString THTTPClient::RecvLine(int timeout) {
  ByteString line = FSock->RecvTerminated(timeout, "\n");
  if (FSock->LastError() != 0) return {};
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// The final status line goes into Headers; a reply without one leaves its first line, byte for
// byte, as the start of the body.
bool THTTPClient::ReadStatusLine(THTTPHeadReader& reader, ByteString& early_body) {
  ByteString line;
  switch (reader.ReadStatusLine(line)) {
    case THTTPHeadReader::srStatus:
      DecodeStatus(p::AnsiToText(line));
      FHeaders.push_back(p::AnsiToText(line));
      return true;
    case THTTPHeadReader::srNoStatusLine:
      early_body = std::move(line);
      FResultCode = 0;
      return true;
    case THTTPHeadReader::srFailed:
      break;
  }
  Fail(reader.Failure());
  FResultCode = reader.Status().Code;
  FResultString = reader.Status().Reason;
  return false;
}

void THTTPClient::ApplyHeaderBlock(const std::vector<std::string>& block, bool using_proxy,
                                   bool& close_afterwards) {
  for (int i = 0; i < static_cast<int>(block.size());)
    FHeaders.push_back(UnfoldHeaderLine(block, i));
  // Digits only, within 63 bits, and every copy the same: anything else leaves no way to know
  // where the body ends ("Content-Length: 99999999999999999999", "10, 12", "-1").
  bool conflicting_length = false, bad_length = false;
  for (const std::string& value : HeaderValues("Content-Length")) {
    const auto n = p::ParseUnsigned<std::int64_t>(value);
    if (!n)
      bad_length = true;
    else if (FBodySize >= 0 && *n != FBodySize)
      conflicting_length = true;
    else
      FBodySize = *n;
    if (n && FTransferEncoding == TE_UNKNOWN) FTransferEncoding = TE_IDENTITY;
  }
  // Chunked framing wins over any length given beside it.
  for (const std::string& value : HeaderValues("Transfer-Encoding"))
    if (p::AsciiUpper(value).find("CHUNKED") != std::string::npos) FTransferEncoding = TE_CHUNKED;
  if (const std::vector<std::string> types = HeaderValues("Content-Type"); !types.empty())
    FMimeType = types.back();
  for (const std::string& value : HeaderValues(using_proxy ? "Proxy-Connection" : "Connection")) {
    if (p::AsciiUpper(value).find("CLOSE") != std::string::npos) close_afterwards = true;
  }
  if (bad_length)
    Fail("invalid Content-Length");
  else if (conflicting_length)
    Fail("conflicting Content-Length");
}

bool THTTPClient::SendRequest(bool expect_continue, bool sending_body, THTTPHeadReader& reader,
                              std::string& remembered_status,
                              std::vector<std::string>& remembered_block) {
  auto send_document = [&] {
    const std::string_view body = FDocument.Bytes();
    for (size_t at = 0; at < body.size() && FSock->LastError() == 0; at += 65536) {
      const size_t n = std::min<size_t>(65536, body.size() - at);
      FSock->SendBuffer(body.data() + at, static_cast<int>(n));
    }
  };
  if (expect_continue) {
    FSock->SendString(BuildRequestHead());
    if (FSock->LastError() != 0) return false;
    TWholeReadTimeout whole(*FSock, Timeout > 0);
    ByteString line;
    bool ok;
    do ok = reader.ReadLine(line);
    while (ok && line.empty());
    if (!ok) {
      Fail(reader.Failure());
      return false;
    }
    DecodeStatus(p::AnsiToText(line));
    remembered_status = p::AnsiToText(line);
    // A final answer instead of "100 Continue" keeps its header lines for the reply.
    reader.ReadFieldBlock(remembered_block);
    if (FResultCode >= 100 && FResultCode <= 199) {
      remembered_status.clear();
      remembered_block.clear();
      FUploadSize = FDocument.Size();
      send_document();
    }
  } else if (sending_body) {
    ByteString head = BuildRequestHead();
    if (FDocument.Size() < 65536) {
      head += FDocument.Bytes();
      FUploadSize = static_cast<std::int64_t>(head.size());
      FSock->SendString(head);
    } else {
      FSock->SendString(head);
      FUploadSize = FDocument.Size();
      if (FSock->LastError() == 0) send_document();
    }
  } else {
    FSock->SendString(BuildRequestHead());
  }
  return FSock->LastError() == 0 && FFailureText.empty();
}

bool THTTPClient::HTTPMethod(const std::string& Method, const std::string& URL) {
  FResultCode = 500;
  FResultString.clear();
  FDownloadSize = 0;
  FUploadSize = 0;
  FBodySize = -1;
  FTransferEncoding = TE_UNKNOWN;
  FFailureText.clear();
  SetState(hsConnecting);

  UrlParts url;
  std::string target = SplitUrl(URL, url);
  ByteString user = PercentDecode(p::TextToAnsi(url.User));
  ByteString pass = PercentDecode(p::TextToAnsi(url.Pass));
  if (user.empty()) {
    user = p::TextToAnsi(UserName);
    pass = p::TextToAnsi(Password);
  }

  const bool https = EqualsNoCase(url.Prot, "HTTPS");
  const bool tunnelling = https && !FProxyHost.empty();
  FSock->SetHTTPTunnelIP(https ? FProxyHost : std::string());
  FSock->SetHTTPTunnelPort(https ? FProxyPort : std::string());
  FSock->SetHTTPTunnelUser(https ? FProxyUser : std::string());
  FSock->SetHTTPTunnelPass(https ? FProxyPass : std::string());
  const bool using_proxy = !FProxyHost.empty() && !tunnelling;
  const bool sending_body = !FDocument.Empty();
  const bool expect_continue = FStatus100 && sending_body && FProtocol == "1.1";

  // The head from the top; the caller's own lines stay below it.
  std::vector<std::string> head;
  const std::string host_text = IsIPv6Text(url.Host) ? "[" + url.Host + "]" : url.Host;
  if (using_proxy) target = url.Prot + "://" + host_text + ":" + url.Port + target;
  if (target == "/*") target = "*";
  const std::string method = p::AsciiUpper(Method);
  head.push_back(FProtocol == "0.9" ? method + " " + target
                                    : method + " " + target + " HTTP/" + FProtocol);
  const bool http = EqualsNoCase(url.Prot, "HTTP");
  if (FAddPortNumberToHost && ((url.Port != "80" && http) || (url.Port != "443" && https)))
    head.push_back("Host: " + host_text + ":" + url.Port);
  else
    head.push_back("Host: " + host_text);
  if (using_proxy && !FProxyUser.empty())
    head.push_back("Proxy-Authorization: Basic " +
                   ToBase64(p::TextToAnsi(FProxyUser + ":" + FProxyPass)));
  if (!user.empty()) head.push_back("Authorization: Basic " + ToBase64(user + ":" + pass));
  const std::string prefix = using_proxy ? "Proxy-" : "";
  if (FKeepAlive) {
    head.push_back("Keep-Alive: " + std::to_string(FKeepAliveTimeout));
    head.push_back(prefix + "Connection: keep-alive");
  } else {
    head.push_back(prefix + "Connection: close");
  }
  FRequestHost = url.Host;
  {
    std::string cookies;
    for (const std::string& c : FCookies) {
      const auto origin = FCookieHosts.find(p::AsciiUpper(TextBefore(c, "=")));
      if (origin != FCookieHosts.end() && !EqualsNoCase(origin->second, url.Host)) continue;
      cookies += (cookies.empty() ? "" : "; ") + c;
    }
    if (!cookies.empty()) head.push_back("Cookie: " + cookies);
  }
  if (FRangeStart > 0 || FRangeEnd > 0) {
    std::string range = "Range: bytes=" + std::to_string(FRangeStart) + "-";
    if (FRangeEnd >= FRangeStart) range += std::to_string(FRangeEnd);
    head.push_back(range);
  }
  if (!FUserAgent.empty()) head.push_back("User-Agent: " + FUserAgent);
  if (sending_body) {
    if (!FMimeType.empty()) head.push_back("Content-Type: " + FMimeType);
    head.push_back("Content-Length: " + std::to_string(FDocument.Size()));
  }
  if (expect_continue) head.push_back("Expect: 100-continue");
  FHeaders.insert(FHeaders.begin(), head.begin(), head.end());

  TargetHost = using_proxy ? FProxyHost : url.Host;
  TargetPort = using_proxy ? FProxyPort : url.Port;
  if (!FHeaders.back().empty()) FHeaders.emplace_back();

  if (!EnsureConnection(https)) {
    ForgetConnection();
    FailFromSocket();
    SetState(hsFailed);
    EndTransfer(toRefused);
    return false;
  }
  FDocument.SetPosition(0);

  SetState(hsSending);
  std::string remembered_status;
  std::vector<std::string> remembered_block;
  {
    THTTPHeadReader interim(*FSock, Timeout, kMaxHeadBytes);
    if (!SendRequest(expect_continue, sending_body, interim, remembered_status, remembered_block)) {
      FailFromSocket();
      SetState(hsFailed);
      EndTransfer(toRefused);
      return false;
    }
  }

  // The reply head: status line(s), then the header block, within one budget.
  Clear();
  SetState(hsReadingHead);
  bool head_ok = true;
  bool close_afterwards = FProtocol != "1.1";
  ByteString early_body;
  {
    TWholeReadTimeout whole(*FSock, Timeout > 0);
    THTTPHeadReader reader(*FSock, Timeout, kMaxHeadBytes);
    if (!remembered_status.empty())
      FHeaders.push_back(remembered_status);
    else
      head_ok = ReadStatusLine(reader, early_body);
    if (head_ok && !FHeaders.empty()) {
      std::vector<std::string> block = std::move(remembered_block);
      if (remembered_status.empty()) {
        reader.ReadFieldBlock(block);
        if (!reader.Failure().empty()) Fail(reader.Failure());
      }
      ApplyHeaderBlock(block, using_proxy, close_afterwards);
      head_ok = FFailureText.empty();
    }
  }
  if (!head_ok) {
    ForgetConnection();
    SetState(hsFailed);
    EndTransfer(toRefused);
    // After a failure of the reply itself the socket has no error, and a graceful close would
    // drain whatever a flooding server keeps sending.
    if (FSock->LastError() == 0)
      FSock->AbortSocket();
    else
      FSock->CloseSocket();
    return false;
  }

  SetState(hsReadingBody);
  bool result = true;
  FBodySink->BodyBegin();
  // A reply without a status line: its first line is the start of the body.
  result = Deliver(std::move(early_body));
  if (result && Method != "HEAD" && FResultCode != 204 && FResultCode != 304) {
    switch (FTransferEncoding) {
      case TE_UNKNOWN:
        result = ReadUntilClose();
        break;
      case TE_IDENTITY:
        result = ReadSized(FBodySize);
        break;
      case TE_CHUNKED:
        result = ReadChunkedBody();
        break;
    }
  }
  FDocument.SetPosition(0);
  if (!result) FailFromSocket();
  SetState(result ? hsDone : hsBodyCut);
  EndTransfer(result ? toComplete : toCut);

  // A connection whose body was cut is in an unknown place of the byte stream: never reused.
  if (close_afterwards || !result) {
    ForgetConnection();
    if (!result && FSock->LastError() == 0)
      FSock->AbortSocket();
    else
      FSock->CloseSocket();
  }
  ParseSetCookies();
  return result;
}

bool THTTPClient::ReadUntilClose() {
  for (;;) {
    ByteString packet = FSock->RecvPacket(Timeout);
    if (FSock->LastError() != 0) break;
    if (!Deliver(std::move(packet))) return false;
  }
  // Only the server's orderly close ends such a body; a reset cuts it.
  if (FSock->ClosedByPeer()) {
    FSock->ResetLastError();
    return true;
  }
  return false;
}

bool THTTPClient::ReadSized(std::int64_t Size) {
  if (Size < 1) return true;
  FDownloadSize = Size;
  std::int64_t left = Size;
  while (left > 0) {
    ByteString packet = FSock->RecvPacket(Timeout);
    if (FSock->LastError() != 0) break;
    if (static_cast<std::int64_t>(packet.size()) > left) {
      // What follows the body belongs to whatever comes next on the connection.
      FSock->SetLineBuffer(packet.substr(static_cast<size_t>(left)));
      packet.resize(static_cast<size_t>(left));
    }
    left -= static_cast<std::int64_t>(packet.size());
    if (!Deliver(std::move(packet))) return false;
  }
  FDocument.SeekEnd();
  return FSock->LastError() == 0;
}

// "1a2b\r\n", "1a2b;name=value\r\n", "1A2B \r\n"; the size ends at the first blank or ';'.
bool THTTPClient::ReadChunkedBody() {
  for (;;) {
    ByteString line;
    int blanks = 0;
    for (;;) {
      line = RecvLine(Timeout);
      if (FSock->LastError() != 0 || !line.empty()) break;
      if (++blanks > kMaxBlankLines) {
        Fail("malformed chunked body: blank lines instead of a chunk size");
        return false;
      }
    }
    if (FSock->LastError() != 0) break;
    const std::string digits = Trim(TextBefore(Trim(TextBefore(line, " ")), ";"));
    const auto size = p::ParseUnsigned<std::int64_t>(digits, 16);
    if (!size) {
      // Taking a bad size line for the end would pass a short body off as complete.
      Fail("malformed chunked body: bad chunk size line");
      return false;
    }
    if (*size == 0) break;
    if (!ReadSized(*size)) return false;
  }
  return FSock->LastError() == 0;
}

void THTTPClient::ParseSetCookies() {
  for (const std::string& field : HeaderValues("Set-Cookie")) {
    const std::string v = Trim(TextBefore(field, ";"));
    const std::string name = Trim(TextBefore(v, "="));
    const std::string value = Trim(TextAfter(v, "="));
    auto same = std::find_if(FCookies.begin(), FCookies.end(), [&](const std::string& c) {
      return EqualsNoCase(TextBefore(c, "="), name);
    });
    if (value.empty()) {
      if (same != FCookies.end()) FCookies.erase(same);
      FCookieHosts.erase(p::AsciiUpper(name));
      continue;
    }
    if (same != FCookies.end())
      *same = name + "=" + value;
    else
      FCookies.push_back(name + "=" + value);
    FCookieHosts[p::AsciiUpper(name)] = FRequestHost;
  }
}

std::vector<std::string> THTTPClient::HeaderValues(std::string_view name) const {
  return HeaderFieldValues(FHeaders, name);
}

std::optional<std::string> THTTPClient::HeaderValue(std::string_view name) const {
  std::vector<std::string> values = HeaderValues(name);
  if (values.empty()) return std::nullopt;
  return std::move(values.front());
}

}  // namespace vlt::net
