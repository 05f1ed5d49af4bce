#pragma once
// What the shared name-service code needs from each platform half.
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace vlt::platform::detail {

// getaddrinfo: the addresses of every result in order; answers 0 or a Windows Sockets number.
int ResolveAddrInfo(const char* host, const char* service, const AddrHints& hints,
                    std::vector<TVarSin>& out);
// getnameinfo into buffers of 1025 and 32 characters; answers 0 or a Windows Sockets number.
int ResolveNameInfo(const TVarSin& sin, std::string& host, std::string& service, bool numeric_host,
                    bool numeric_service);
// gethostname into a buffer of `size` bytes; answers 0 on success.
int ReadHostName(char* buffer, int size);

}  // namespace vlt::platform::detail
