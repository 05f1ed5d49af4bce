#include "platform/posix_handle.h"
#include "tests/support/handle_count.h"

namespace vlt::test {

int OpenHandleCount() {
  const platform::UniqueDirStream fds(opendir("/proc/self/fd"));
  if (!fds) return -1;
  int count = 0;
  while (readdir(fds.Get()) != nullptr) ++count;
  return count;
}

}  // namespace vlt::test
