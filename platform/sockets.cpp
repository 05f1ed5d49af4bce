// Name service and descriptor-set logic shared by both platform halves.
#include "platform/sockets.h"

#include <algorithm>
#include <cstring>

#include "platform/sockets_internal.h"

namespace vlt::platform {

int SinLength(const TVarSin& sin) {
  switch (sin.sin_family) {
    case kAfInet:
      return 16;
    case kAfInet6:
      return 28;
    default:
      return 0;
  }
}

void FDZero(TFDSet& set) {
  set.fd_count = 0;
}

void FDSet(SocketHandle s, TFDSet& set) {
  if (set.fd_count < 64) set.fd_array[set.fd_count++] = s;
}

bool UsesAddrInfo(int family) {
  return AddrInfoInWs2() || (family == kAfInet6 && AddrInfoInWship6());
}

int LookupAddress(const std::string& ip, const std::string& port, const AddrHints& hints,
                  TVarSin& sin) {
  sin = TVarSin{};
  // A port number beyond 16 bits names no port: some resolvers would keep its low 16 bits
  // ("65616" -> 80) and connect somewhere nobody asked for.
  if (!port.empty() && port.find_first_not_of("0123456789") == std::string::npos) {
    long value = 0;
    for (const char c : port)
      if ((value = value * 10 + (c - '0')) > 65535) return kWSATYPE_NOT_FOUND;
  }
  AddrHints h = hints;
  std::vector<TVarSin> found;
  int r;
  if (h.socktype == kSockRaw) {
    h.socktype = 0;
    h.protocol = 0;
    r = detail::ResolveAddrInfo(ip.c_str(), nullptr, h, found);
  } else if (ip == "0.0.0.0" || ip == "::0") {
    h.flags |= kAiPassive;
    r = detail::ResolveAddrInfo(nullptr, port.c_str(), h, found);
  } else if (ip == "127.0.0.1" || ip == "::1") {
    r = detail::ResolveAddrInfo(nullptr, port.c_str(), h, found);
  } else {
    r = detail::ResolveAddrInfo(ip.c_str(), port.c_str(), h, found);
  }
  if (r == 0 && !found.empty()) sin = found.front();
  return r;
}

int LookupSin(const std::string& ip, const std::string& port, int family, int protocol,
              int socktype, bool prefer_ip4, TVarSin& sin) {
  // Every platform this builds for offers getaddrinfo; the IPv4-only resolver path of older
  // systems is therefore not kept.
  sin = TVarSin{};
  AddrHints first{0, family, socktype, protocol};
  AddrHints second = first;
  bool two_passes = false;
  if (family == kAfUnspec) {
    two_passes = true;
    first.family = prefer_ip4 ? kAfInet : kAfInet6;
    second.family = prefer_ip4 ? kAfInet6 : kAfInet;
  }
  int r = LookupAddress(ip, port, first, sin);
  if (r != 0 && two_passes) {
    TVarSin other;
    r = LookupAddress(ip, port, second, other);
    if (r == 0) sin = other;
  }
  return r;
}

std::string SinToText(const TVarSin& sin) {
  std::string host, service;
  if (detail::ResolveNameInfo(sin, host, service, true, true) != 0) return {};
  return host;
}

int SinToPort(const TVarSin& sin) {
  return NetToHost16(sin.sin_port);
}

void LookupHostAddresses(const std::string& name, int family, int protocol, int socktype,
                         std::vector<std::string>& ip_list) {
  ip_list.clear();
  std::vector<TVarSin> found;
  if (detail::ResolveAddrInfo(name.c_str(), nullptr, AddrHints{0, kAfUnspec, socktype, protocol},
                              found) == 0) {
    for (const TVarSin& sin : found) {
      if (family == kAfInet6 && sin.sin_family == kAfInet) continue;
      if (family == kAfInet && sin.sin_family == kAfInet6) continue;
      // One address comes back once per socket type on some platforms.
      const std::string text = SinToText(sin);
      if (!text.empty() && std::find(ip_list.begin(), ip_list.end(), text) == ip_list.end())
        ip_list.push_back(text);
    }
  }
  if (ip_list.empty()) ip_list.push_back("0.0.0.0");
}

std::uint16_t LookupPortNumber(const std::string& port, int /*family*/, int /*protocol*/,
                               int /*socktype*/) {
  std::vector<TVarSin> found;
  if (detail::ResolveAddrInfo(nullptr, port.c_str(), AddrHints{kAiPassive, kAfUnspec, 0, 0},
                              found) != 0 ||
      found.empty())
    return 0;
  const TVarSin& sin = found.front();
  if (sin.sin_family != kAfInet && sin.sin_family != kAfInet6) return 0;
  return static_cast<std::uint16_t>(SinToPort(sin));
}

std::string LookupHostName(const std::string& ip, int /*family*/, int /*protocol*/,
                           int /*socktype*/) {
  std::vector<TVarSin> found;
  if (detail::ResolveAddrInfo(ip.c_str(), nullptr, AddrHints{}, found) != 0 || found.empty())
    return ip;
  std::string host, service;
  if (detail::ResolveNameInfo(found.front(), host, service, false, true) != 0) return ip;
  return host;
}

std::string MachineHostName() {
  char buffer[255] = {};
  if (detail::ReadHostName(buffer, sizeof buffer - 1) != 0) return {};
  buffer[254] = '\0';
  return std::string(buffer, strnlen(buffer, 254));
}

}  // namespace vlt::platform
