#pragma once
// Entries of INI files ("[section]" lines, "key=value" lines), written one at a time straight
// to the file, as the Windows profile API does: the section and key are found without regard
// to case, every other line of the file stays as it was, a missing file is created in the
// system's 8-bit code page.
#include <string>
#include <string_view>

#include "platform/exception.h"

namespace vlt::platform {

// Throws vlt::Exception("Unable to write to " + file) when the entry cannot be written.
void WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);

// The file's bytes with one entry set (the native writer's rule; exposed for its tests).
ByteString SetIniEntry(std::string_view content, std::string_view section, std::string_view key,
                       std::string_view value);

}  // namespace vlt::platform
