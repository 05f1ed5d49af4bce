// Ownership of a started process is the same on both systems.
#include "platform/process.h"

#include <utility>

namespace vlt::platform {

Process::~Process() {
  Close();
}
Process::Process(Process&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}
Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

}  // namespace vlt::platform
