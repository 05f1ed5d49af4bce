#pragma once
// The user's number separators, as the operator's regional settings give them.
#include <string>

namespace vlt::platform {

struct NumberSeparators {
  std::string thousands = ".";  // UTF-8; may be empty (no grouping) or a non-ASCII blank
  std::string decimal = ",";
};

// Windows: the user's locale (LOCALE_STHOUSAND, LOCALE_SDECIMAL). Natively: the C library's
// current numeric locale.
NumberSeparators UserNumberSeparators();

}  // namespace vlt::platform
