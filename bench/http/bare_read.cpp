// bare_read HOST PORT PATH [FILE]: one HTTP/1.0 GET read with plain 64 KiB receives straight
// from the platform socket calls (no socket object, no client, no events), written to FILE
// when one is given. The yardstick veltra-fetch is held against, natively and under Wine.
#include <cstdio>
#include <string>
#include <vector>

#include "net/socket_layer.h"
#include "platform/files.h"
#include "platform/sockets.h"

namespace p = vlt::platform;

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: bare_read HOST PORT PATH [FILE]\n");
    return 2;
  }
  vlt::net::SocketLayer layer;
  p::TVarSin sin;
  if (p::LookupAddress(argv[1], argv[2], {0, p::kAfInet, p::kSockStream, p::kIpprotoTcp}, sin)) {
    std::fprintf(stderr, "bare_read: cannot resolve %s\n", argv[1]);
    return 1;
  }
  p::UniqueSocket s(p::CreateSocket(p::kAfInet, p::kSockStream, p::kIpprotoTcp));
  if (p::ConnectSocket(s.Get(), sin) != 0) {
    std::fprintf(stderr, "bare_read: connect failed\n");
    return 1;
  }
  const std::string request =
      std::string("GET ") + argv[3] + " HTTP/1.0\r\nHost: " + argv[1] + "\r\n\r\n";
  p::SendSocket(s.Get(), request.data(), static_cast<int>(request.size()), 0);
  p::File out;
  if (argc == 5 && !out.Open(argv[4], p::FileAccess::Write, p::FileShare::Exclusive,
                             p::FileCreate::CreateAlways)) {
    std::fprintf(stderr, "bare_read: %s: %s\n", argv[4], out.ErrorText().c_str());
    return 1;
  }
  std::vector<char> buffer(65536);
  long long total = 0;
  bool in_head = true;
  std::string head;
  for (;;) {
    const int r = p::RecvSocket(s.Get(), buffer.data(), static_cast<int>(buffer.size()), 0);
    if (r <= 0) break;
    const char* body = buffer.data();
    size_t n = static_cast<size_t>(r);
    if (in_head) {
      // The head ends at the first blank line; what follows in this block is body.
      head.append(body, n);
      const size_t end = head.find("\r\n\r\n");
      if (end == std::string::npos) continue;
      in_head = false;
      const size_t skip = n - (head.size() - end - 4);
      body += skip;
      n -= skip;
    }
    total += static_cast<long long>(n);
    if (out.IsOpen() && !out.Write(body, n)) return 1;
  }
  std::printf("%lld body bytes\n", total);
  return 0;
}
