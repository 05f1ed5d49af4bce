#include <clocale>

#include "platform/locale.h"

namespace vlt::platform {

NumberSeparators UserNumberSeparators() {
  const std::lconv* lc = std::localeconv();
  NumberSeparators s;
  s.thousands = lc && lc->thousands_sep ? lc->thousands_sep : "";
  s.decimal = lc && lc->decimal_point && *lc->decimal_point ? lc->decimal_point : ".";
  return s;
}

}  // namespace vlt::platform
