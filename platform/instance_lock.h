#pragma once
// One installation at a time on a machine: a lock by name that the system lets go of when the
// process ends, however it ends.
#include <cstdint>
#include <string>

#include "platform/unique_resource.h"

namespace vlt::platform {

struct InstanceLockTraits {
  using Type = std::intptr_t;  // a mutex handle on Windows, a locked file descriptor natively
  static Type Invalid() { return 0; }
  static void Close(Type handle);
};

class InstanceLock {
 public:
  // True when this process now holds the lock `name` (machine-wide); false when another holder
  // has it, or when the system will not say (then nobody is sure to be alone, so not us).
  bool Acquire(const std::string& name);
  bool Held() const { return lock_.Valid(); }

 private:
  UniqueResource<InstanceLockTraits> lock_;
};

}  // namespace vlt::platform
