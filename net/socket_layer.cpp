#include "net/socket_layer.h"

#include "net/socket_error.h"

namespace vlt::net {
namespace {
platform::TWSAData g_wsa_data;
}

SocketLayer::SocketLayer() {
  if (!platform::LoadSocketLibrary("ws2_32.dll")) {
    const std::string text = "Error loading Socket interface (ws2_32.dll)!";
    throw ESocketError(0, text, text);
  }
  platform::SocketStartup(g_wsa_data);
}

SocketLayer::~SocketLayer() {
  platform::SocketCleanup();
  platform::UnloadSocketLibrary();
}

const platform::TWSAData& SocketLayerWSAData() {
  return g_wsa_data;
}

}  // namespace vlt::net
