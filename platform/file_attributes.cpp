#include "platform/file_attributes.h"

namespace vlt::platform {

bool IsValidDateTime(const LocalDateTime& t) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  const int days = kDays[t.month - 1] + (t.month == 2 && leap ? 1 : 0);
  return t.day <= days && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 &&
         t.second >= 0 && t.second < 60;
}

}  // namespace vlt::platform
