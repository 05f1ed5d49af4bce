#pragma once
// The exception the installer, the download component, the ZIP reader, the probe and the
// controls throw: it carries the message text the operator sees.
#include <stdexcept>
#include <string>

namespace vlt {

class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raw bytes (wire data, header bytes, names as stored in an archive), as opposed to a text,
// which is always UTF-8.
using ByteString = std::string;

}  // namespace vlt
