#pragma once
// TBodySink: where a protocol client hands the body of a transfer (an HTTP reply's body, the
// data of an FTP RETR) as it arrives, and how it tells the transfer's end. A client with a sink
// keeps none of the body itself.
#include <string>
#include <string_view>

namespace vlt::net {

enum TTransferOutcome {
  toComplete,  // every byte of the body arrived, and its end was confirmed
  toCut,       // the body began but ended early (reset, time-out, bad framing, refused by the sink)
  toRefused,   // no body came: no connection, no reply head, the command was refused
};

struct TTransferEnd {
  TTransferOutcome Outcome = toRefused;
  std::string Reason;  // why it is not complete, in one line; empty when complete
};

class TBodySink {
 public:
  virtual ~TBodySink() = default;
  // What came before the body is known (the reply head, the transfer command's answer): the
  // client's reply fields describe the body that follows.
  virtual void BodyBegin() {}
  // The next bytes of the body, in order. False: no more is wanted; the client ends the
  // transfer as cut, without reading further.
  virtual bool BodyData(std::string_view Bytes) = 0;
  // Once per transfer, before the client closes its connection: how it ended.
  virtual void BodyEnd(const TTransferEnd& End) = 0;
};

}  // namespace vlt::net
