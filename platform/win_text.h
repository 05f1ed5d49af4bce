#pragma once
// UTF-8 text <-> UTF-16 at the Win32 "W" boundary (Windows build only).
#include <string>
#include <string_view>

namespace vlt::platform {

std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);
// The system's message text for a Win32 error code, as FormatMessageW gives it.
std::string SystemErrorMessage(unsigned long code);

}  // namespace vlt::platform
