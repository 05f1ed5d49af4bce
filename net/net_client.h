#pragma once
// The base of the protocol clients: the target and the credentials every client has.
#include <cstdint>
#include <string>

namespace vlt::net {

class TNetClient {
 public:
  TNetClient() = default;
  virtual ~TNetClient() = default;

  std::string TargetHost = "127.0.0.1";
  std::string TargetPort = "0";
  std::string IPInterface = "0.0.0.0";  // local address bound before connecting
  std::int32_t Timeout = 5000;
  std::string UserName;
  std::string Password;
};

}  // namespace vlt::net
