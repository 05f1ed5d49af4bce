// libFuzzer target: arbitrary bytes as the reply to one GET, fed to the HTTP client through
// the socket layer's transport seam in pieces whose sizes the input chooses. The connection
// itself is real (a loopback peer that accepts and closes at once), so the client's waits
// see a readable socket; what it reads comes from the input. Crashes, hangs, sanitizer reports
// and a body that breaks the framing the client reported are findings.
//
// Input: byte 0 picks the piece size (1..64, or whole when 0), bit 0 of byte 1 ends the input
// with a reset instead of an orderly close, bit 1 asks with HTTP/1.1; the rest is the reply.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "net/block_socket.h"
#include "net/http_client.h"
#include "platform/sockets.h"

namespace {

using vlt::net::THTTPClient;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "http reply fuzz: %s\n", what);
  std::abort();
}

class FuzzTransport : public vlt::net::TSocketTransport {
 public:
  FuzzTransport(std::string_view reply, size_t piece, bool reset)
      : reply_(reply), piece_(piece == 0 ? reply.size() + 1 : piece), reset_(reset) {}
  int Send(vlt::platform::SocketHandle, const void*, int Length, int&) override { return Length; }
  int Recv(vlt::platform::SocketHandle, void* Buffer, int Length, int& Error) override {
    if (at_ >= reply_.size()) {
      if (!reset_) return 0;
      Error = vlt::platform::kWSAECONNRESET;
      return -1;
    }
    return Take(Buffer, Length);
  }
  int RecvWaiting(vlt::platform::SocketHandle, void* Buffer, int Length, int&) override {
    return at_ >= reply_.size() ? 0 : Take(Buffer, Length);
  }
  int Waiting(vlt::platform::SocketHandle) override {
    return static_cast<int>(std::min(piece_, reply_.size() - at_));
  }

 private:
  int Take(void* Buffer, int Length) {
    const size_t n = std::min({piece_, reply_.size() - at_, static_cast<size_t>(Length)});
    std::memcpy(Buffer, reply_.data() + at_, n);
    at_ += n;
    return static_cast<int>(n);
  }
  std::string_view reply_;
  size_t piece_;
  bool reset_;
  size_t at_ = 0;
};

// Accepts every connection and closes it: the client's socket is readable from then on.
std::string StartClosingPeer() {
  static vlt::net::TTCPBlockSocket listener;
  listener.Bind("127.0.0.1", "0");
  listener.Listen();
  Check(listener.LastError() == 0, "cannot listen on loopback");
  std::thread([] {
    for (;;) {
      const vlt::platform::SocketHandle s = listener.Accept();
      if (s != vlt::platform::kInvalidSocket) vlt::platform::CloseSocketHandle(s);
    }
  }).detach();
  return std::to_string(listener.GetLocalSinPort());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static const std::string port = StartClosingPeer();
  if (size < 2) return 0;
  const size_t piece = data[0] % 65;
  const bool reset = (data[1] & 1) != 0;
  const bool http11 = (data[1] & 2) != 0;
  const std::string_view reply(reinterpret_cast<const char*>(data + 2), size - 2);

  THTTPClient h;
  h.Timeout = 2000;
  if (http11) h.SetProtocol("1.1");
  h.Sock().SetTransport(std::make_shared<FuzzTransport>(reply, piece, reset));
  const bool ok = h.HTTPMethod("GET", "http://127.0.0.1:" + port + "/f");

  // What the client says of the reply must hold for the bytes it kept.
  const std::int64_t body = h.Document().Size();
  Check(body <= static_cast<std::int64_t>(reply.size()), "more body than bytes received");
  Check(ok == (h.State() == vlt::net::hsDone), "answer and state disagree");
  Check(ok == h.FailureText().empty(), "a failure without a reason, or a reason on success");
  if (ok && h.ResultCode() != 0 && h.TransferEncoding() == vlt::net::TE_IDENTITY &&
      h.ResultCode() != 204 && h.ResultCode() != 304)
    Check(body == h.BodySize(), "a sized body of another size taken as whole");
  if (ok && h.TransferEncoding() == vlt::net::TE_UNKNOWN && h.ResultCode() != 204 &&
      h.ResultCode() != 304)
    Check(!reset, "a reset taken as the end");
  if (ok && h.ResultCode() >= 100 && h.ResultCode() <= 199)
    Check(false, "an interim reply as final");
  h.Sock().CloseSocket();
  return 0;
}
