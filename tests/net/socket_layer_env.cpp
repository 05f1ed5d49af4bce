// Starts the socket library once for the whole test program, as the product does at start.
#include <gtest/gtest.h>

#include <memory>

#include "net/socket_layer.h"

namespace {

class SocketLayerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { layer_ = std::make_unique<vlt::net::SocketLayer>(); }
  void TearDown() override { layer_.reset(); }

 private:
  std::unique_ptr<vlt::net::SocketLayer> layer_;
};

const auto* const kRegistered = ::testing::AddGlobalTestEnvironment(new SocketLayerEnvironment);

}  // namespace
