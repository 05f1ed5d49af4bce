#pragma once
// The exception of the socket layer, thrown only when a socket's RaiseExcept is on (and when the
// platform socket library cannot be loaded): the Windows Sockets number and its description.
#include <cstdint>
#include <string>

#include "platform/exception.h"

namespace vlt::net {

class ESocketError : public vlt::Exception {
 public:
  ESocketError(int error_code, const std::string& error_message, const std::string& message)
      : vlt::Exception(message), ErrorCode(error_code), ErrorMessage(error_message) {}
  std::int32_t ErrorCode;
  std::string ErrorMessage;
};

}  // namespace vlt::net
