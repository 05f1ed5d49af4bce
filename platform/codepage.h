#pragma once
// The system's 8-bit code page: CP_ACP on Windows, Windows-1252 in the native build.
#include <string>
#include <string_view>

#include "platform/exception.h"

namespace vlt::platform {

// Bytes in the system's 8-bit code page to a UTF-8 text.
std::string AnsiToText(std::string_view bytes);
// A UTF-8 text to the system's 8-bit code page; characters it cannot hold become '?'.
ByteString TextToAnsi(std::string_view text);

// UTF-8 helpers shared by both builds.
void AppendUtf8(std::string& out, char32_t cp);
// Decodes one code point at `pos` (advanced); malformed input (overlong forms and surrogates
// included) yields U+FFFD and one byte.
char32_t NextUtf8(std::string_view text, size_t& pos);
// True when every byte belongs to a well-formed sequence.
bool IsValidUtf8(std::string_view text);

}  // namespace vlt::platform
