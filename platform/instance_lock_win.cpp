#include <windows.h>

#include "platform/instance_lock.h"
#include "platform/win_text.h"

namespace vlt::platform {

void InstanceLockTraits::Close(std::intptr_t handle) {
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool InstanceLock::Acquire(const std::string& name) {
  // "Global\": one per machine, across the sessions of every user (a technician's session and a
  // deployment tool's service alike).
  HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen("Global\\" + name).c_str());
  // Access denied: another user's installer holds it with a DACL we may not open.
  if (mutex == nullptr) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  lock_ = UniqueResource<InstanceLockTraits>(reinterpret_cast<std::intptr_t>(mutex));
  return true;
}

}  // namespace vlt::platform
