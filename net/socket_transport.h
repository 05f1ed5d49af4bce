#pragma once
// The byte stream under a socket object: every send and receive of the socket layer goes
// through one of these. The plain one talks to the system socket; a TCP socket with an active
// security plug-in routes through the plug-in; tests put their own in place to make the Nth
// call fail or to cut a stream where they choose.
#include "platform/sockets.h"

namespace vlt::net {

class TSocketTransport {
 public:
  virtual ~TSocketTransport() = default;
  // One send of at most `Length` bytes: the count sent, or -1 with `Error` set (a Windows
  // Sockets number; 10035 when it would block).
  virtual int Send(platform::SocketHandle s, const void* Buffer, int Length, int& Error) = 0;
  // One receive of at most `Length` bytes: the count, 0 when the peer has closed, or -1 with
  // `Error` set.
  virtual int Recv(platform::SocketHandle s, void* Buffer, int Length, int& Error) = 0;
  // What can be had without waiting, at most `Length` bytes. Answers 0 when nothing can (nothing
  // waiting, or the end of the stream): the caller then waits and finds out which. An error the
  // call took (a reset is reported once) answers -1 with `Error` set.
  virtual int RecvWaiting(platform::SocketHandle s, void* Buffer, int Length, int& Error) = 0;
  // The number of bytes a receive would hand out now; 0 when unknown.
  virtual int Waiting(platform::SocketHandle s) = 0;
};

// The system socket itself; stateless, shared by every socket object.
class TPlainTransport : public TSocketTransport {
 public:
  int Send(platform::SocketHandle s, const void* Buffer, int Length, int& Error) override;
  int Recv(platform::SocketHandle s, void* Buffer, int Length, int& Error) override;
  int RecvWaiting(platform::SocketHandle s, void* Buffer, int Length, int& Error) override;
  int Waiting(platform::SocketHandle s) override;
};

TPlainTransport& PlainTransport();

}  // namespace vlt::net
