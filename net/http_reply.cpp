#include "net/http_reply.h"

#include "net/text_functions.h"
#include "platform/codepage.h"
#include "platform/numbers.h"
#include "platform/text.h"

namespace vlt::net {

namespace p = vlt::platform;

namespace {

// A stray blank line may come before a status line; a peer that sends nothing but blank lines
// is not making progress.
constexpr int kMaxBlankLines = 8;
// "100 Continue", "102 Processing", "103 Early Hints" may come before the final answer; a peer
// that sends nothing else is not making progress.
constexpr int kMaxInterimReplies = 16;

}  // namespace

THTTPStatusLine ParseStatusLine(std::string_view Line) {
  THTTPStatusLine r;
  const std::string s = p::Trim(TextAfter(Line, " "));
  r.Code = p::ParseUnsigned<std::int32_t>(p::Trim(TextBefore(s, " "))).value_or(0);
  const std::string reason = p::Trim(TextAfter(s, " "));
  if (reason != s) r.Reason = reason;
  return r;
}

std::vector<std::string> HeaderFieldValues(const std::vector<std::string>& Lines,
                                           std::string_view Name) {
  std::vector<std::string> values;
  for (size_t i = 1; i < Lines.size(); ++i) {
    const std::string& line = Lines[i];
    if (line.size() <= Name.size() || line[Name.size()] != ':' || !p::StartsWithNoCase(line, Name))
      continue;
    values.push_back(p::Trim(std::string_view(line).substr(Name.size() + 1)));
  }
  return values;
}

TWholeReadTimeout::TWholeReadTimeout(TBlockSocket& Sock, bool On)
    : sock_(Sock), saved_(Sock.InterPacketTimeout()) {
  if (On) sock_.SetInterPacketTimeout(false);
}

TWholeReadTimeout::~TWholeReadTimeout() {
  sock_.SetInterPacketTimeout(saved_);
}

THTTPHeadReader::THTTPHeadReader(TBlockSocket& Sock, int Timeout, std::int64_t MaxBytes)
    : sock_(Sock), timeout_(Timeout), start_(TickMilliseconds()), max_bytes_(MaxBytes) {}

void THTTPHeadReader::Fail(const std::string& why) {
  if (failure_.empty()) failure_ = why;
}

int THTTPHeadReader::TimeLeft() const {
  if (timeout_ < 0) return -1;
  const std::uint32_t spent = TickDifference(start_, TickMilliseconds());
  if (spent >= static_cast<std::uint32_t>(timeout_)) return 0;
  return timeout_ - static_cast<int>(spent);
}

bool THTTPHeadReader::ReadLine(ByteString& Line) {
  Line = sock_.RecvTerminated(TimeLeft(), "\n");
  if (const int e = sock_.LastError(); e != 0) {
    Line.clear();
    if (e == p::kWSAENOBUFS) {
      const std::int32_t cap =
          sock_.MaxLineLength() > 0 ? sock_.MaxLineLength() : kDefaultMaxLineLength;
      Fail("reply line longer than " + std::to_string(cap) + " bytes");
    } else {
      Fail((sock_.LastErrorDesc().empty() ? GetErrorDesc(e) : sock_.LastErrorDesc()) + " (" +
           std::to_string(e) + ")");
    }
    return false;
  }
  bytes_ += static_cast<std::int64_t>(Line.size()) + 1;
  last_had_cr_ = !Line.empty() && Line.back() == '\r';
  if (last_had_cr_) Line.pop_back();
  if (bytes_ > max_bytes_) {
    Fail("reply head larger than " + std::to_string(max_bytes_) + " bytes");
    return false;
  }
  return true;
}

THTTPHeadReader::TStatusResult THTTPHeadReader::ReadStatusLine(ByteString& Line) {
  for (int interim = 0;; ++interim) {
    int blanks = 0;
    bool ok;
    do ok = ReadLine(Line);
    while (ok && Line.empty() && ++blanks <= kMaxBlankLines);
    if (ok && Line.empty()) {
      Fail("blank lines instead of a status line");
      ok = false;
    }
    if (!ok) {
      status_ = {};
      return srFailed;
    }
    if (!p::StartsWithNoCase(Line, "HTTP/")) {
      // What came is the start of a body, byte for byte: its line end goes with it.
      Line += last_had_cr_ ? "\r\n" : "\n";
      return srNoStatusLine;
    }
    status_ = ParseStatusLine(p::AnsiToText(Line));
    if (status_.Code == 101) {
      Fail("the server switched protocols (101 " + status_.Reason + "), which was not asked for");
      return srFailed;
    }
    if (status_.Code < 100 || status_.Code > 199) return srStatus;
    if (interim >= kMaxInterimReplies) {
      Fail("more than " + std::to_string(kMaxInterimReplies) + " interim replies");
      return srFailed;
    }
    std::vector<std::string> dropped;
    ReadFieldBlock(dropped);
    if (dropped.empty() || !dropped.back().empty()) {  // cut inside the block
      status_ = {};
      return srFailed;
    }
  }
}

void THTTPHeadReader::ReadFieldBlock(std::vector<std::string>& Block) {
  ByteString line;
  while (ReadLine(line)) {
    Block.push_back(p::AnsiToText(line));
    if (line.empty()) break;
  }
}

}  // namespace vlt::net
