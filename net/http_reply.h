#pragma once
// The head of an HTTP reply as this program reads it wherever one comes: from a server (the
// HTTP client) or from a proxy answering CONNECT (the TCP socket's tunnel). One status line
// parser, one reader of the status line and header block within a budget of bytes and time,
// and one lookup of a header field by its name.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/block_socket.h"

namespace vlt::net {

struct THTTPStatusLine {
  std::int32_t Code = 0;  // 0 when the line holds no number where the code stands
  std::string Reason;     // empty when the line has no reason phrase
};

// "HTTP/1.1 200 OK", "HTTP/1.0 404", "HTTP/1.1 302 Moved Temporarily"
THTTPStatusLine ParseStatusLine(std::string_view Line);

// The values of the fields named `Name` (compared ignoring case, with the colon right after it:
// "Content-Length : 5" names no field), in order and trimmed. Lines[0] is the status line,
// never a field.
std::vector<std::string> HeaderFieldValues(const std::vector<std::string>& Lines,
                                           std::string_view Name);

// Multi-packet reads inside the scope share one time budget instead of a full time-out each.
class TWholeReadTimeout {
 public:
  TWholeReadTimeout(TBlockSocket& Sock, bool On);
  ~TWholeReadTimeout();
  TWholeReadTimeout(const TWholeReadTimeout&) = delete;
  TWholeReadTimeout& operator=(const TWholeReadTimeout&) = delete;

 private:
  TBlockSocket& sock_;
  bool saved_;
};

// Reads one reply head from a socket. The head as a whole may hold at most MaxBytes and take at
// most Timeout ms (-1: no limit): a peer that floods or drips header lines meets a bounded
// failure. Lines end at LF, with or without the CR before it.
class THTTPHeadReader {
 public:
  enum TStatusResult {
    srStatus,        // the final status line was read
    srNoStatusLine,  // the first line is not a status line: it is the start of the body
    srFailed,        // see Failure()
  };

  THTTPHeadReader(TBlockSocket& Sock, int Timeout, std::int64_t MaxBytes);

  // One line, without its line end; false on a socket error or a head over its budget.
  bool ReadLine(ByteString& Line);
  // "HTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\nHTTP/1.1 200 OK\r\n...": interim
  // replies and their header lines are read and dropped. srStatus: `Line` is the final status
  // line. srNoStatusLine: `Line` is the first line with the line end it came with.
  TStatusResult ReadStatusLine(ByteString& Line);
  // Header lines (as text) up to and including the empty line that ends the block; a block
  // that was cut has no empty line at its end.
  void ReadFieldBlock(std::vector<std::string>& Block);
  // The last status line read; after srFailed, the one that made it fail (a 101, one interim
  // reply too many), or none when reading itself failed.
  const THTTPStatusLine& Status() const { return status_; }
  // Why reading failed, in one line; empty while it has not.
  const std::string& Failure() const { return failure_; }

 private:
  void Fail(const std::string& why);
  int TimeLeft() const;

  TBlockSocket& sock_;
  int timeout_;
  std::uint32_t start_;
  std::int64_t max_bytes_;
  std::int64_t bytes_ = 0;
  bool last_had_cr_ = false;  // the last line read ended in CR LF, not a bare LF
  std::string failure_;
  THTTPStatusLine status_;
};

}  // namespace vlt::net
