// Native build: an exclusive flock on a file in the temporary folder; the system drops it when
// the descriptor closes, also when the process dies.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/instance_lock.h"

namespace vlt::platform {

void InstanceLockTraits::Close(std::intptr_t fd) {
  ::close(static_cast<int>(fd));
}

bool InstanceLock::Acquire(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + ".lock";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  // Locks belong to the open file, so a second Acquire in this process is refused too.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  lock_ = UniqueResource<InstanceLockTraits>(fd);
  return true;
}

}  // namespace vlt::platform
