// bare_tls_read HOST PORT PATH CA.pem [FILE]: one HTTP/1.0 GET over TLS with the system's TLS
// session (platform/tls.h: SChannel under Wine) driven by plain blocking 256 KiB receives from
// the platform socket calls: no socket object, no plug-in, no client, no events. What the TLS
// library itself costs, beside which veltra-fetch's https is held.
#include <cstdio>
#include <string>

#include "net/socket_layer.h"
#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/tls.h"

namespace p = vlt::platform;

namespace {

bool SendAll(p::SocketHandle s, const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const int n = p::SendSocket(s, bytes.data() + at, static_cast<int>(bytes.size() - at), 0);
    if (n <= 0) return false;
    at += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: bare_tls_read HOST PORT PATH CA.pem [FILE]\n");
    return 2;
  }
  vlt::net::SocketLayer layer;
  p::TVarSin sin;
  if (p::LookupAddress(argv[1], argv[2], {0, p::kAfInet, p::kSockStream, p::kIpprotoTcp}, sin)) {
    std::fprintf(stderr, "bare_tls_read: cannot resolve %s\n", argv[1]);
    return 1;
  }
  p::UniqueSocket s(p::CreateSocket(p::kAfInet, p::kSockStream, p::kIpprotoTcp));
  if (p::ConnectSocket(s.Get(), sin) != 0) {
    std::fprintf(stderr, "bare_tls_read: connect failed\n");
    return 1;
  }
  p::TlsOptions options;
  options.host = argv[1];
  options.ca_file = argv[4];
  std::string error;
  auto tls = p::NewTlsClient(options, error);
  if (!tls) {
    std::fprintf(stderr, "bare_tls_read: %s\n", error.c_str());
    return 1;
  }
  std::string in, out, plain;
  std::string buffer(262144, '\0');
  auto receive = [&] {
    const int r = p::RecvSocket(s.Get(), buffer.data(), static_cast<int>(buffer.size()), 0);
    if (r > 0) in.append(buffer.data(), static_cast<size_t>(r));
    return r;
  };
  for (;;) {
    const auto status = tls->Handshake(in, out);
    if (!SendAll(s.Get(), out)) return 1;
    out.clear();
    if (status == p::TlsClient::Status::kOk) break;
    if (status != p::TlsClient::Status::kNeedInput || receive() <= 0) {
      std::fprintf(stderr, "bare_tls_read: %s\n", tls->Error().c_str());
      return 1;
    }
  }
  const std::string request =
      std::string("GET ") + argv[3] + " HTTP/1.0\r\nHost: " + argv[1] + "\r\n\r\n";
  if (!tls->Encrypt(request.data(), request.size(), out) || !SendAll(s.Get(), out)) return 1;
  out.clear();
  p::File file;
  if (argc == 6 && !file.Open(argv[5], p::FileAccess::Write, p::FileShare::Exclusive,
                              p::FileCreate::CreateAlways)) {
    std::fprintf(stderr, "bare_tls_read: %s: %s\n", argv[5], file.ErrorText().c_str());
    return 1;
  }
  long long total = 0;
  bool in_head = true;
  std::string head;
  for (bool open = true; open;) {
    plain.clear();
    const auto status = tls->Decrypt(in, plain, out);
    if (status == p::TlsClient::Status::kFailed) {
      std::fprintf(stderr, "bare_tls_read: %s\n", tls->Error().c_str());
      return 1;
    }
    open = status != p::TlsClient::Status::kClosed;
    const char* body = plain.data();
    size_t n = plain.size();
    if (in_head && n > 0) {
      head.append(body, n);
      const size_t end = head.find("\r\n\r\n");
      if (end == std::string::npos) {
        n = 0;
      } else {
        in_head = false;
        const size_t skip = n - (head.size() - end - 4);
        body += skip;
        n -= skip;
      }
    }
    total += static_cast<long long>(n);
    if (n > 0 && file.IsOpen() && !file.Write(body, n)) return 1;
    if (open && receive() <= 0) break;
  }
  std::printf("%lld body bytes\n", total);
  return 0;
}
