#pragma once
// The platform's socket library behind one interface: Windows Sockets 2 loaded by name in the
// product, POSIX sockets natively. Family codes, option kinds and error numbers are the Windows
// Sockets ones on both builds, so the layer above behaves identically down to the numbers.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/socket_errors.h"

namespace vlt::platform {

using SocketHandle = std::uintptr_t;  // SOCKET on Windows, a descriptor natively
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};
inline constexpr int kSocketError = -1;

// Windows Sockets values, used by both builds.
inline constexpr int kAfUnspec = 0, kAfInet = 2, kAfInet6 = 23;
inline constexpr int kSockStream = 1, kSockDgram = 2, kSockRaw = 3;
inline constexpr int kIpprotoIp = 0, kIpprotoTcp = 6, kIpprotoUdp = 17;
inline constexpr int kAiPassive = 1;
inline constexpr int kMsgPeek = 2;
inline constexpr int kSdSend = 1;

// Windows Sockets error numbers: kWSAE... constants from the one table.

// The socket address structure, sized for IPv6 (28 bytes). Family in host order (Windows
// numbering), port in network order, then the IPv4 address or flow label, IPv6 address and
// scope id, laid out as the platform's sockaddr_in / sockaddr_in6.
struct TVarSin {
  std::uint16_t sin_family = 0;
  std::uint16_t sin_port = 0;
  unsigned char rest[24] = {};

  // IPv4: rest[0..3]; IPv6: flow label rest[0..3], address rest[4..19], scope rest[20..23].
  unsigned char* Ipv4Bytes() { return rest; }
  const unsigned char* Ipv4Bytes() const { return rest; }
  unsigned char* Ipv6Bytes() { return rest + 4; }
  const unsigned char* Ipv6Bytes() const { return rest + 4; }
};
static_assert(sizeof(TVarSin) == 28);
int CloseSocketHandle(SocketHandle s);

// Owns one system socket: closed when the owner ends, moved but never copied.
class UniqueSocket {
 public:
  UniqueSocket() = default;
  explicit UniqueSocket(SocketHandle s) : s_(s) {}
  ~UniqueSocket() { Reset(); }
  UniqueSocket(UniqueSocket&& other) noexcept : s_(other.Release()) {}
  UniqueSocket& operator=(UniqueSocket&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;

  SocketHandle Get() const { return s_; }
  explicit operator bool() const { return s_ != kInvalidSocket; }
  SocketHandle Release() {
    const SocketHandle s = s_;
    s_ = kInvalidSocket;
    return s;
  }
  void Reset(SocketHandle s = kInvalidSocket) {
    if (s_ != kInvalidSocket) CloseSocketHandle(s_);
    s_ = s;
  }

 private:
  SocketHandle s_ = kInvalidSocket;
};

// 16 for IPv4, 28 for IPv6, 0 otherwise.
int SinLength(const TVarSin& sin);

// The descriptor set: a count and room for 64 handles.
struct TFDSet {
  std::uint32_t fd_count = 0;
  SocketHandle fd_array[64] = {};
};
void FDZero(TFDSet& set);
// Appends when there is room; silently ignored otherwise.
void FDSet(SocketHandle s, TFDSet& set);
bool FDIsSet(SocketHandle s, const TFDSet& set);

// The start-up record of the library.
struct TWSAData {
  std::uint16_t wVersion = 0;
  std::uint16_t wHighVersion = 0;
  std::string szDescription;
  std::string szSystemStatus;
};

// Library life cycle. LoadSocketLibrary is reference counted; an empty name is the default
// library. `missing` receives the name of an entry point that was not found, if any.
bool LoadSocketLibrary(std::string_view name = {}, std::string* missing = nullptr);
bool UnloadSocketLibrary();
std::recursive_mutex& SocketLibraryLock();
bool AddrInfoInWs2();
bool AddrInfoInWship6();
// WSAStartup(2.2) / WSACleanup.
int SocketStartup(TWSAData& data);
int SocketCleanup();

// The calls the socket objects make. They answer -1 (or kInvalidSocket) on failure and leave
// the reason in LastSocketError().
int LastSocketError();
SocketHandle CreateSocket(int family, int type, int protocol);
int CloseSocketHandle(SocketHandle s);
int BindSocket(SocketHandle s, const TVarSin& sin);
int ConnectSocket(SocketHandle s, const TVarSin& sin);
int ListenSocket(SocketHandle s, int backlog);
SocketHandle AcceptSocket(SocketHandle s, TVarSin& peer);
int SendSocket(SocketHandle s, const void* buffer, int length, int flags);
int RecvSocket(SocketHandle s, void* buffer, int length, int flags);
// One receive of what is already waiting, without blocking: the count received, 0 when
// nothing could be had (nothing waiting, or the end of the stream), or kSocketError with
// LastSocketError for an error the call took (a reset is reported only once).
int RecvSocketWaiting(SocketHandle s, void* buffer, int length);
// True where the system's sockets report a reset that has already arrived as an orderly end
// of the stream (Wine's Winsock does, once a wait or a receive finds it there); such a reset
// cannot be told from a close there. Windows and Linux report it as a reset.
bool ResetsReadAsEnd();
int SendToSocket(SocketHandle s, const void* buffer, int length, int flags, const TVarSin& to);
int RecvFromSocket(SocketHandle s, void* buffer, int length, int flags, TVarSin& from);
int GetLocalAddress(SocketHandle s, TVarSin& sin);
int GetPeerAddress(SocketHandle s, TVarSin& sin);
int ShutdownSocket(SocketHandle s, int how);
// select over the sets (any may be null); timeout_ms -1 = no limit.
int SelectSockets(TFDSet* read, TFDSet* write, TFDSet* except, int timeout_ms);
// FIONREAD
int BytesWaiting(SocketHandle s, std::uint32_t& count);
// FIONBIO
int SetNonBlocking(SocketHandle s, bool on);

enum class SockOpt {
  RecvBuffer,      // SO_RCVBUF
  SendBuffer,      // SO_SNDBUF
  RecvTimeout,     // SO_RCVTIMEO, milliseconds
  SendTimeout,     // SO_SNDTIMEO, milliseconds
  ReuseAddress,    // SO_REUSEADDR
  Broadcast,       // SO_BROADCAST
  Ttl,             // IP_TTL
  UnicastHops,     // IPV6_UNICAST_HOPS
  MulticastTtl,    // IP_MULTICAST_TTL
  MulticastHops,   // IPV6_MULTICAST_HOPS
  MulticastLoop,   // IP_MULTICAST_LOOP
  MulticastLoop6,  // IPV6_MULTICAST_LOOP
  Error,           // SO_ERROR (read only), a Windows Sockets number
};
int SetSocketOption(SocketHandle s, SockOpt opt, int value);
int GetSocketOption(SocketHandle s, SockOpt opt, int& value);
// SO_LINGER, time in seconds.
int SetSocketLinger(SocketHandle s, bool on, int seconds);

std::uint16_t HostToNet16(std::uint16_t v);
std::uint16_t NetToHost16(std::uint16_t v);
std::uint32_t HostToNet32(std::uint32_t v);
std::uint32_t NetToHost32(std::uint32_t v);

// Name service. Errors are Windows Sockets numbers (getaddrinfo's codes mapped natively).
struct AddrHints {
  int flags = 0;
  int family = kAfUnspec;
  int socktype = 0;
  int protocol = 0;
};
bool UsesAddrInfo(int family);
int LookupAddress(const std::string& ip, const std::string& port, const AddrHints& hints,
                  TVarSin& sin);
int LookupSin(const std::string& ip, const std::string& port, int family, int protocol,
              int socktype, bool prefer_ip4, TVarSin& sin);
std::string SinToText(const TVarSin& sin);
int SinToPort(const TVarSin& sin);
void LookupHostAddresses(const std::string& name, int family, int protocol, int socktype,
                         std::vector<std::string>& ip_list);
std::uint16_t LookupPortNumber(const std::string& port, int family, int protocol, int socktype);
std::string LookupHostName(const std::string& ip, int family, int protocol, int socktype);
std::string MachineHostName();

}  // namespace vlt::platform
