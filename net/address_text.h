#pragma once
// Pure address-text functions: telling an IPv4 or IPv6 address from a host name and encoding
// addresses as bytes (for SOCKS) and back.
#include <string>
#include <string_view>

#include "platform/exception.h"

namespace vlt::net {

bool IsOctetText(std::string_view s);
bool IsIPv4Text(std::string_view s);
bool IsIPv6Text(std::string_view s);
ByteString IPv4ToBytes(std::string_view s);      // 4 bytes
std::string ExpandIPv6Text(std::string_view s);  // empty when it cannot be expanded
ByteString IPv6ToBytes(std::string_view s);      // 16 bytes, all zero when unreadable
std::string BytesToIPv6Text(std::string_view bytes);

}  // namespace vlt::net
