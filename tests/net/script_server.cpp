#include "tests/net/script_server.h"

#include <chrono>
#include <stdexcept>

namespace vlt::test {

namespace p = vlt::platform;

namespace {

p::TVarSin Loopback(const std::string& port) {
  p::TVarSin sin;
  if (p::LookupAddress("127.0.0.1", port, {0, p::kAfInet, p::kSockStream, p::kIpprotoTcp}, sin))
    throw std::runtime_error("script server: cannot resolve 127.0.0.1");
  return sin;
}

}  // namespace

ScriptServer::ScriptServer(std::vector<Step> script)
    : ScriptServer(std::vector<std::vector<Step>>{std::move(script)}) {}

ScriptServer::ScriptServer(std::vector<std::vector<Step>> scripts) : scripts_(std::move(scripts)) {
  listener_.Reset(p::CreateSocket(p::kAfInet, p::kSockStream, p::kIpprotoTcp));
  if (!listener_) throw std::runtime_error("script server: socket failed");
  if (p::BindSocket(listener_.Get(), Loopback("0")) != 0 ||
      p::ListenSocket(listener_.Get(), 4) != 0)
    throw std::runtime_error("script server: bind/listen failed");
  p::TVarSin local;
  p::GetLocalAddress(listener_.Get(), local);
  port_ = std::to_string(p::SinToPort(local));
  thread_ = std::thread([this] { Run(); });
}

ScriptServer::~ScriptServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ScriptServer::Signal() {
  {
    std::lock_guard lock(mutex_);
    ++signals_;
  }
  cv_.notify_all();
}

std::string ScriptServer::Received() {
  {
    // A client that failed earlier never ends the script: do not hang the test on it.
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, std::chrono::seconds(10), [&] { return done_; })) stopping_ = true;
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return received_;
}

long long ScriptServer::Flooded() {
  Received();
  std::lock_guard lock(mutex_);
  return flooded_;
}

// Polls in short slices so that the destructor can stop a script that waits for a client.
bool ScriptServer::WaitReadable(p::SocketHandle s) {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return false;
    }
    p::TFDSet set;
    p::FDSet(s, set);
    const int r = p::SelectSockets(&set, nullptr, nullptr, 50);
    if (r != 0) return r > 0;
  }
}

void ScriptServer::Run() {
  struct Done {
    ScriptServer* self;
    ~Done() {
      {
        std::lock_guard lock(self->mutex_);
        self->done_ = true;
      }
      self->cv_.notify_all();
    }
  } done{this};
  for (const std::vector<Step>& script : scripts_) {
    if (!WaitReadable(listener_.Get())) return;
    p::TVarSin peer;
    p::UniqueSocket owner(p::AcceptSocket(listener_.Get(), peer));
    if (!owner) return;
    {
      std::lock_guard lock(mutex_);
      ++connections_;
    }
    Play(owner.Release(), script);
  }
}

int ScriptServer::Connections() {
  std::lock_guard lock(mutex_);
  return connections_;
}

void ScriptServer::Play(p::SocketHandle conn, const std::vector<Step>& script) {
  p::UniqueSocket owner(conn);
  auto append = [&](const char* data, int n) {
    std::lock_guard lock(mutex_);
    received_.append(data, static_cast<size_t>(n));
  };
  char buffer[65536];
  for (const Step& step : script) {
    switch (step.kind) {
      case Step::kSend: {
        size_t sent = 0;
        while (sent < step.data.size()) {
          const int r = p::SendSocket(conn, step.data.data() + sent,
                                      static_cast<int>(step.data.size() - sent), 0);
          if (r <= 0) break;
          sent += static_cast<size_t>(r);
        }
        break;
      }
      case Step::kRecv: {
        long long left = step.count;
        while (left > 0 && WaitReadable(conn)) {
          const int r = p::RecvSocket(
              conn, buffer, static_cast<int>(std::min<long long>(left, sizeof buffer)), 0);
          if (r <= 0) break;
          append(buffer, r);
          left -= r;
        }
        break;
      }
      case Step::kRecvUntil: {
        // Peeks, then takes only up to the terminator: what follows is the next step's.
        const std::string& term = step.data;
        std::string tail;  // the last bytes taken, for a terminator split between reads
        while (WaitReadable(conn)) {
          const int n = p::RecvSocket(conn, buffer, sizeof buffer, p::kMsgPeek);
          if (n <= 0) break;
          const std::string window = tail + std::string(buffer, static_cast<size_t>(n));
          const size_t at = window.find(term);
          const int take =
              at == std::string::npos ? n : static_cast<int>(at + term.size() - tail.size());
          const int r = p::RecvSocket(conn, buffer, take, 0);
          if (r <= 0) break;
          append(buffer, r);
          tail = (tail + std::string(buffer, static_cast<size_t>(r)));
          if (tail.size() >= term.size()) tail.erase(0, tail.size() - (term.size() - 1));
          if (at != std::string::npos) break;
        }
        break;
      }
      case Step::kRecvUntilClose:
        while (WaitReadable(conn)) {
          const int r = p::RecvSocket(conn, buffer, sizeof buffer, 0);
          if (r <= 0) break;
          append(buffer, r);
        }
        break;
      case Step::kWaitSignal: {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return signals_ > 0 || stopping_; });
        if (signals_ > 0) --signals_;
        break;
      }
      case Step::kClose:
        owner.Reset();
        conn = p::kInvalidSocket;
        break;
      case Step::kReset:
        p::SetSocketLinger(conn, true, 0);
        owner.Reset();
        conn = p::kInvalidSocket;
        break;
      case Step::kFlood: {
        const std::string block(65536, 'F');
        long long left = step.count;
        while (left > 0) {
          {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
          }
          const int r = p::SendSocket(conn, block.data(),
                                      static_cast<int>(std::min<long long>(left, 65536)), 0);
          if (r <= 0) break;
          left -= r;
          std::lock_guard lock(mutex_);
          flooded_ += r;
        }
        break;
      }
      case Step::kPause:
        std::this_thread::sleep_for(std::chrono::milliseconds(step.count));
        break;
    }
    if (conn == p::kInvalidSocket) break;
  }
}

std::string ClosedPort() {
  p::UniqueSocket s(p::CreateSocket(p::kAfInet, p::kSockStream, p::kIpprotoTcp));
  p::BindSocket(s.Get(), Loopback("0"));
  p::TVarSin local;
  p::GetLocalAddress(s.Get(), local);
  return std::to_string(p::SinToPort(local));
}

}  // namespace vlt::test
