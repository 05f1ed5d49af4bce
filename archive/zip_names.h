#pragma once
// How an entry's stored name becomes a file path.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/exception.h"

namespace vlt {

// Code page 437, all 256 positions, to UTF-8.
std::string Cp437ToText(std::string_view bytes);

// The UTF-8 name of the first Unicode path extra field (id 0x7075, searched byte by byte)
// whose name CRC-32 matches `stored_name`; nullopt when there is none, it does not fit in the
// extra field, or its CRC differs. A name that is not well-formed UTF-8 raises.
std::optional<std::string> UnicodePathName(std::string_view extra_field,
                                           std::string_view stored_name);

// The entry's name as a Windows relative path text: the Unicode path of the local header when
// valid, else the central name as UTF-8 (flag bit 11) or code page 437, with '/' made '\'.
// Raises "Invalid UTF-8 in zip entry name" for malformed UTF-8 (overlong forms included).
std::string EntryName(std::uint16_t central_flag, std::string_view central_name,
                      std::string_view local_extra, std::string_view local_name);

// `directory` joined with the entry name. Raises "Invalid characters in path" for a character
// that no Windows path may hold, and refuses (naming the entry) a name that is rooted, whose
// ".." components climb out of `directory` (a package never writes outside its directory), or
// that has a Windows device name ("NUL", "com1.txt") as a component.
std::string CombineEntryPath(std::string_view directory, std::string_view name);

}  // namespace vlt
