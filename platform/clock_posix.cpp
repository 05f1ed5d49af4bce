#include <sys/time.h>
#include <time.h>

#include "platform/clock.h"

namespace vlt::platform {

LocalDateTime SystemLocalTime() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  tm t{};
  localtime_r(&tv.tv_sec, &t);
  return {t.tm_year + 1900,
          t.tm_mon + 1,
          t.tm_mday,
          t.tm_hour,
          t.tm_min,
          t.tm_sec,
          static_cast<int>(tv.tv_usec / 1000)};
}

}  // namespace vlt::platform
