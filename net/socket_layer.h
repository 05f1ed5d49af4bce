#pragma once
// Start-up and end of the platform socket library for the whole program. Create one
// SocketLayer before any socket object (the program's start, or a test's main) and keep it
// until the last socket is gone.
#include "platform/sockets.h"

namespace vlt::net {

class SocketLayer {
 public:
  // Loads the library and starts it for version 2.2; throws ESocketError
  // "Error loading Socket interface (ws2_32.dll)!" when the library cannot be loaded.
  SocketLayer();
  ~SocketLayer();
  SocketLayer(const SocketLayer&) = delete;
  SocketLayer& operator=(const SocketLayer&) = delete;
};

// The start-up record filled by the running SocketLayer.
const platform::TWSAData& SocketLayerWSAData();

}  // namespace vlt::net
