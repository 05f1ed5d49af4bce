// Bulk transfer over loopback: the same byte count read through TTCPBlockSocket::RecvPacket and
// through a plain recv loop, side by side; then 200,000 lines of 60 bytes read through RecvString
// and through a plain receive-and-split loop. Reports the reading thread's CPU time.
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
  // Sends `total` bytes of `pattern` repeated (of 'x' when it is empty).
  explicit Sender(long long total, std::string pattern = {})
      : total_(total), pattern_(pattern.empty() ? std::string(1 << 16, 'x') : std::move(pattern)) {
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
      long long left = total_;
      size_t at = 0;
      while (left > 0) {
        const size_t piece =
            std::min<size_t>(std::min<long long>(left, 1 << 16), pattern_.size() - at);
        const int n = p::SendSocket(c, pattern_.data() + at, static_cast<int>(piece), 0);
        if (n <= 0) break;
        left -= n;
        at = (at + static_cast<size_t>(n)) % pattern_.size();
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
  std::string pattern_;
  p::SocketHandle listener_;
  std::string port_;
  std::thread thread_;
};

struct Result {
  long long bytes = 0, reads = 0;
  double wall = 0, cpu = 0;
};

// Connects to `sender`, then times `read(socket, result)` by wall clock and the reading
// thread's CPU.
template <typename Read>
Result Measure(const Sender& sender, Read read) {
  TTCPBlockSocket s;
  s.Connect("127.0.0.1", sender.Port());
  Result r;
  const auto t0 = std::chrono::steady_clock::now();
  const double c0 = ThreadCpuSeconds();
  read(s, r);
  r.cpu = ThreadCpuSeconds() - c0;
  r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return r;
}

Result ThroughRecvPacket(long long total) {
  Sender sender(total);
  return Measure(sender, [&](TTCPBlockSocket& s, Result& r) {
    for (;;) {
      const vlt::ByteString packet = s.RecvPacket(60000);
      if (s.LastError() != 0) break;
      r.bytes += static_cast<long long>(packet.size());
      ++r.reads;
    }
  });
}

Result ThroughPlainRecv(long long total) {
  Sender sender(total);
  // The socket only connects; the reading is plain recv.
  return Measure(sender, [&](TTCPBlockSocket& s, Result& r) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
      const int n = p::RecvSocket(s.Socket(), buffer.data(), static_cast<int>(buffer.size()), 0);
      if (n <= 0) break;
      r.bytes += n;
      ++r.reads;
    }
  });
}

constexpr int kLines = 200000;
constexpr int kLineLength = 60;  // CR LF included

std::string LinesText() {
  std::string text;
  text.reserve(static_cast<size_t>(kLines) * kLineLength);
  for (int i = 0; i < kLines; ++i) {
    std::string line = "line " + std::to_string(i) + " ";
    line.resize(kLineLength - 2, '.');
    text += line + "\r\n";
  }
  return text;
}

Result LinesThroughRecvString(const std::string& text) {
  Sender sender(static_cast<long long>(text.size()), text);
  return Measure(sender, [&](TTCPBlockSocket& s, Result& r) {
    for (;;) {
      const vlt::ByteString line = s.RecvString(60000);
      if (s.LastError() != 0) break;
      r.bytes += static_cast<long long>(line.size()) + 2;
      ++r.reads;
    }
  });
}

// The plain loop a protocol client would write by hand: receive, split at CR LF, one string
// per line, the unfinished end carried over.
Result LinesThroughPlainSplit(const std::string& text) {
  Sender sender(static_cast<long long>(text.size()), text);
  return Measure(sender, [&](TTCPBlockSocket& s, Result& r) {
    std::vector<char> buffer(1 << 16);
    std::string carry;
    for (;;) {
      const int n = p::RecvSocket(s.Socket(), buffer.data(), static_cast<int>(buffer.size()), 0);
      if (n <= 0) break;
      carry.append(buffer.data(), static_cast<size_t>(n));
      size_t from = 0;
      for (size_t end; (end = carry.find("\r\n", from)) != std::string::npos; from = end + 2) {
        const std::string line = carry.substr(from, end - from);
        r.bytes += static_cast<long long>(line.size()) + 2;
        ++r.reads;
      }
      carry.erase(0, from);
    }
  });
}

void Add(Result& sum, const Result& r) {
  sum.reads += r.reads, sum.bytes += r.bytes, sum.wall += r.wall, sum.cpu += r.cpu;
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
  std::printf("RecvPacket CPU per byte vs plain loop: %.2fx\n",
              (packet.cpu / static_cast<double>(packet.bytes)) /
                  (plain.cpu / static_cast<double>(plain.bytes)));

  const std::string text = LinesText();
  Result split, lines;
  constexpr int kLineRounds = 10;
  for (int round = 0; round < kLineRounds; ++round) {
    if (round % 2 == 0) {
      Add(split, LinesThroughPlainSplit(text));
      Add(lines, LinesThroughRecvString(text));
    } else {
      Add(lines, LinesThroughRecvString(text));
      Add(split, LinesThroughPlainSplit(text));
    }
  }
  std::printf("== %d rounds of %d lines of %d bytes\n", kLineRounds, kLines, kLineLength);
  Print("plain receive-and-split", split);
  Print("RecvString", lines);
  std::printf("RecvString CPU vs plain split: %.2fx\n", lines.cpu / split.cpu);
  const bool lines_ok = lines.reads == split.reads && lines.reads == kLineRounds * kLines;
  return packet.bytes == total && plain.bytes == total && lines_ok ? 0 : 1;
}
