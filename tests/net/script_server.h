#pragma once
// A scriptable TCP peer for socket tests: listens on 127.0.0.1 at a free port, accepts one
// connection per script, in turn, and plays each script on a thread of its own. Readiness: the port
// is listening when the constructor returns. The destructor stops it.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sockets.h"

namespace vlt::test {

struct Step {
  enum Kind {
    kSend,
    kRecv,
    kRecvUntil,
    kRecvUntilClose,
    kWaitSignal,
    kClose,
    kReset,
    kPause,
    kFlood
  };
  Kind kind;
  std::string data;     // kSend: the bytes; kRecvUntil: the terminator
  long long count = 0;  // kRecv, kFlood: bytes; kPause: milliseconds
};

inline Step Send(std::string bytes) {
  return {Step::kSend, std::move(bytes)};
}
// Reads exactly `n` bytes (fewer when the client closes first).
inline Step Recv(int n) {
  return {Step::kRecv, {}, n};
}
// Reads until `terminator` has arrived (or the client closes), e.g. the end of a request head.
inline Step RecvUntil(std::string terminator) {
  return {Step::kRecvUntil, std::move(terminator)};
}
inline Step RecvUntilClose() {
  return {Step::kRecvUntilClose, {}, 0};
}
// Waits until the test calls Signal().
inline Step WaitSignal() {
  return {Step::kWaitSignal, {}, 0};
}
inline Step Close() {
  return {Step::kClose, {}, 0};
}
// Closes with a reset (linger 0) instead of an orderly end.
inline Step Reset() {
  return {Step::kReset, {}, 0};
}
inline Step Pause(int ms) {
  return {Step::kPause, {}, ms};
}
// Sends up to `bytes` bytes as fast as the client takes them; stops early when the client
// closes or resets.
inline Step Flood(long long bytes) {
  return {Step::kFlood, {}, bytes};
}

class ScriptServer {
 public:
  explicit ScriptServer(std::vector<Step> script);
  // One script per connection, in the order the connections arrive.
  explicit ScriptServer(std::vector<std::vector<Step>> scripts);
  ~ScriptServer();
  ScriptServer(const ScriptServer&) = delete;
  ScriptServer& operator=(const ScriptServer&) = delete;

  const std::string& Port() const { return port_; }
  void Signal();
  // Waits for the scripts to end (at most 10 s, then stops them); the bytes the client sent,
  // all connections one after the other.
  std::string Received();
  // Connections accepted so far.
  int Connections();
  // Bytes a Flood step got out before the client stopped taking them.
  long long Flooded();

 private:
  void Run();
  void Play(platform::SocketHandle conn, const std::vector<Step>& script);
  bool WaitReadable(platform::SocketHandle s);

  std::vector<std::vector<Step>> scripts_;
  int connections_ = 0;
  platform::UniqueSocket listener_;
  std::string port_;
  std::mutex mutex_;
  std::condition_variable cv_;
  int signals_ = 0;
  bool stopping_ = false;
  bool done_ = false;
  std::string received_;
  long long flooded_ = 0;
  std::thread thread_;
};

// A loopback port on which nothing listens (bound, read and released).
std::string ClosedPort();

}  // namespace vlt::test
