// Bulk transfer over loopback: the same byte count read through TTCPBlockSocket::RecvPacket and
// through a plain recv loop, side by side. Reports the reading thread's CPU time per byte.
//   socket_bench [MiB]   (default 1024)
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "net/socket_layer.h"
#include "net/tcp_block_socket.h"
#include "platform/sockets.h"

namespace p = vlt::platform;
using vlt::net::TTCPBlockSocket;

namespace {

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Listens on a free loopback port and sends `total` bytes to the first client, then closes.
class Sender {
 public:
  explicit Sender(long long total) : total_(total) {
    p::TVarSin sin;
    p::LookupAddress("127.0.0.1", "0", {0, p::kAfInet, p::kSockStream, p::kIpprotoTcp}, sin);
    listener_ = p::CreateSocket(p::kAfInet, p::kSockStream, p::kIpprotoTcp);
    if (p::BindSocket(listener_, sin) != 0 || p::ListenSocket(listener_, 1) != 0) {
      std::fprintf(stderr, "bench: cannot listen on loopback\n");
      std::exit(1);
    }
    p::GetLocalAddress(listener_, sin);
    port_ = std::to_string(p::SinToPort(sin));
    thread_ = std::thread([this] {
      p::TVarSin peer;
      const p::SocketHandle c = p::AcceptSocket(listener_, peer);
      std::vector<char> block(1 << 16, 'x');
      long long left = total_;
      while (left > 0) {
        const int n = p::SendSocket(c, block.data(),
                                    static_cast<int>(std::min<long long>(left, block.size())), 0);
        if (n <= 0) break;
        left -= n;
      }
      p::CloseSocketHandle(c);
    });
  }
  ~Sender() {
    thread_.join();
    p::CloseSocketHandle(listener_);
  }
  const std::string& Port() const { return port_; }

 private:
  long long total_;
  p::SocketHandle listener_;
  std::string port_;
  std::thread thread_;
};

struct Result {
  long long bytes = 0, reads = 0;
  double wall = 0, cpu = 0;
};

Result ThroughRecvPacket(long long total) {
  Sender sender(total);
  TTCPBlockSocket s;
  s.Connect("127.0.0.1", sender.Port());
  Result r;
  const auto t0 = std::chrono::steady_clock::now();
  const double c0 = ThreadCpuSeconds();
  for (;;) {
    const vlt::ByteString packet = s.RecvPacket(60000);
    if (s.LastError() != 0) break;
    r.bytes += static_cast<long long>(packet.size());
    ++r.reads;
  }
  r.cpu = ThreadCpuSeconds() - c0;
  r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return r;
}

Result ThroughPlainRecv(long long total) {
  Sender sender(total);
  TTCPBlockSocket s;  // only to connect; the reading is plain recv
  s.Connect("127.0.0.1", sender.Port());
  std::vector<char> buffer(1 << 16);
  Result r;
  const auto t0 = std::chrono::steady_clock::now();
  const double c0 = ThreadCpuSeconds();
  for (;;) {
    const int n = p::RecvSocket(s.Socket(), buffer.data(), static_cast<int>(buffer.size()), 0);
    if (n <= 0) break;
    r.bytes += n;
    ++r.reads;
  }
  r.cpu = ThreadCpuSeconds() - c0;
  r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return r;
}

void Print(const char* name, const Result& r) {
  std::printf(
      "%-22s %12lld bytes %8lld reads  %7.3f s wall  %7.3f s cpu  %6.3f ns cpu/byte  "
      "%8.1f MiB/s\n",
      name, r.bytes, r.reads, r.wall, r.cpu, r.cpu * 1e9 / static_cast<double>(r.bytes),
      static_cast<double>(r.bytes) / (1 << 20) / r.wall);
}

}  // namespace

int main(int argc, char** argv) {
  const long long mib = argc > 1 ? std::atoll(argv[1]) : 1024;
  const long long total = mib << 20;
  vlt::net::SocketLayer layer;
  // Alternate the two readers, and their order, so that neither always runs on a colder
  // machine.
  Result packet, plain;
  constexpr int kRounds = 4;
  for (int round = 0; round < kRounds; ++round) {
    Result a, b;
    if (round % 2 == 0) {
      a = ThroughPlainRecv(total / kRounds);
      b = ThroughRecvPacket(total / kRounds);
    } else {
      b = ThroughRecvPacket(total / kRounds);
      a = ThroughPlainRecv(total / kRounds);
    }
    plain.reads += a.reads, plain.bytes += a.bytes, plain.wall += a.wall, plain.cpu += a.cpu;
    packet.reads += b.reads, packet.bytes += b.bytes, packet.wall += b.wall, packet.cpu += b.cpu;
  }
  Print("plain recv loop", plain);
  Print("TTCPBlockSocket", packet);
  std::printf("RecvPacket CPU per byte vs plain loop: %+.1f%%\n",
              (packet.cpu / static_cast<double>(packet.bytes)) /
                      (plain.cpu / static_cast<double>(plain.bytes)) * 100.0 -
                  100.0);
  return packet.bytes == total && plain.bytes == total ? 0 : 1;
}
