#include <windows.h>

#include "platform/locale.h"
#include "platform/win_text.h"

namespace vlt::platform {

namespace {
std::string LocaleText(LCTYPE type, const char* fallback) {
  wchar_t buffer[16] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 16) <= 0) return fallback;
  return Narrow(buffer);
}
}  // namespace

NumberSeparators UserNumberSeparators() {
  return {LocaleText(LOCALE_STHOUSAND, "."), LocaleText(LOCALE_SDECIMAL, ",")};
}

}  // namespace vlt::platform
