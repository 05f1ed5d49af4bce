#include <windows.h>

#include "platform/clock.h"

namespace vlt::platform {

LocalDateTime SystemLocalTime() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace vlt::platform
