// Included by sockets_win.cpp and sockets_posix.cpp after their system headers: the option
// names are the same in Winsock and POSIX, only their values differ.
#pragma once

#include "platform/sockets.h"

namespace vlt::platform::option_table {

struct NativeOption {
  int level, name;
};

inline NativeOption NativeOptionOf(SockOpt opt) {
  switch (opt) {
    case SockOpt::RecvBuffer:
      return {SOL_SOCKET, SO_RCVBUF};
    case SockOpt::SendBuffer:
      return {SOL_SOCKET, SO_SNDBUF};
    case SockOpt::RecvTimeout:
      return {SOL_SOCKET, SO_RCVTIMEO};
    case SockOpt::SendTimeout:
      return {SOL_SOCKET, SO_SNDTIMEO};
    case SockOpt::ReuseAddress:
      return {SOL_SOCKET, SO_REUSEADDR};
    case SockOpt::Broadcast:
      return {SOL_SOCKET, SO_BROADCAST};
    case SockOpt::Ttl:
      return {IPPROTO_IP, IP_TTL};
    case SockOpt::UnicastHops:
      return {IPPROTO_IPV6, IPV6_UNICAST_HOPS};
    case SockOpt::MulticastTtl:
      return {IPPROTO_IP, IP_MULTICAST_TTL};
    case SockOpt::MulticastHops:
      return {IPPROTO_IPV6, IPV6_MULTICAST_HOPS};
    case SockOpt::MulticastLoop:
      return {IPPROTO_IP, IP_MULTICAST_LOOP};
    case SockOpt::MulticastLoop6:
      return {IPPROTO_IPV6, IPV6_MULTICAST_LOOP};
    case SockOpt::Error:
      return {SOL_SOCKET, SO_ERROR};
  }
  return {SOL_SOCKET, 0};
}

}  // namespace vlt::platform::option_table
