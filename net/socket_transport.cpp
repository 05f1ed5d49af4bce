#include "net/socket_transport.h"

#include <algorithm>

namespace vlt::net {

namespace p = vlt::platform;

int TPlainTransport::Send(p::SocketHandle s, const void* Buffer, int Length, int& Error) {
  const int r = p::SendSocket(s, Buffer, Length, 0);
  Error = r < 0 ? p::LastSocketError() : 0;
  return r;
}

int TPlainTransport::Recv(p::SocketHandle s, void* Buffer, int Length, int& Error) {
  const int r = p::RecvSocket(s, Buffer, Length, 0);
  Error = r < 0 ? p::LastSocketError() : 0;
  return r;
}

int TPlainTransport::RecvWaiting(p::SocketHandle s, void* Buffer, int Length, int& Error) {
  const int r = p::RecvSocketWaiting(s, Buffer, Length);
  Error = r < 0 ? p::LastSocketError() : 0;
  return r;
}

int TPlainTransport::Waiting(p::SocketHandle s) {
  std::uint32_t n = 0;
  if (p::BytesWaiting(s, n) != 0) return 0;
  return static_cast<int>(std::min<std::uint32_t>(n, 0x7FFFFFFF));
}

TPlainTransport& PlainTransport() {
  static TPlainTransport plain;
  return plain;
}

}  // namespace vlt::net
