// Windows build: Windows Sockets 2 loaded by name at run time, its entry points looked up in
// one typed table; wship6.dll supplies the address-information calls when ws2_32.dll lacks
// them.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/dynamic_library.h"
#include "platform/socket_option_table.h"
#include "platform/sockets.h"
#include "platform/sockets_internal.h"
#include "platform/win_text.h"

namespace vlt::platform {
namespace {

// Calls made before the library is loaded answer what Winsock answers before WSAStartup,
// instead of calling through an empty entry.
thread_local int g_not_started_error = 0;
int NotStarted() {
  g_not_started_error = kWSANOTINITIALISED;
  return kSocketError;
}

static_assert(sizeof(TFDSet) == sizeof(fd_set));
static_assert(sizeof(TVarSin) == sizeof(sockaddr_in6));
static_assert(AF_INET == kAfInet && AF_INET6 == kAfInet6 && AF_UNSPEC == kAfUnspec);
static_assert(SOCK_STREAM == kSockStream && SOCK_RAW == kSockRaw && MSG_PEEK == kMsgPeek);
static_assert(AI_PASSIVE == kAiPassive && SD_SEND == kSdSend);
#define VLT_CHECK_NUMBER(name, number, ...) static_assert(name == number);
VLT_SOCKET_ERRORS(VLT_CHECK_NUMBER)
#undef VLT_CHECK_NUMBER

// Every entry point looked up in ws2_32.dll. The optional ones belong to the older IPv4-only
// resolver and to calls the layer never makes.
struct Ws2Api : EntryPointTable {
  EntryPoint<decltype(::WSAIoctl)> WSAIoctl{*this, "WSAIoctl", Need::Optional};
  EntryPoint<decltype(::__WSAFDIsSet)> __WSAFDIsSet{*this, "__WSAFDIsSet"};
  EntryPoint<decltype(::closesocket)> closesocket{*this, "closesocket"};
  EntryPoint<decltype(::ioctlsocket)> ioctlsocket{*this, "ioctlsocket"};
  EntryPoint<decltype(::WSAGetLastError)> WSAGetLastError{*this, "WSAGetLastError"};
  EntryPoint<decltype(::WSAStartup)> WSAStartup{*this, "WSAStartup"};
  EntryPoint<decltype(::WSACleanup)> WSACleanup{*this, "WSACleanup"};
  EntryPoint<decltype(::accept)> accept{*this, "accept"};
  EntryPoint<decltype(::bind)> bind{*this, "bind"};
  EntryPoint<decltype(::connect)> connect{*this, "connect"};
  EntryPoint<decltype(::getpeername)> getpeername{*this, "getpeername"};
  EntryPoint<decltype(::getsockname)> getsockname{*this, "getsockname"};
  EntryPoint<decltype(::getsockopt)> getsockopt{*this, "getsockopt"};
  EntryPoint<decltype(::htonl)> htonl{*this, "htonl"};
  EntryPoint<decltype(::htons)> htons{*this, "htons"};
  EntryPoint<decltype(::inet_addr)> inet_addr{*this, "inet_addr", Need::Optional};
  EntryPoint<decltype(::inet_ntoa)> inet_ntoa{*this, "inet_ntoa", Need::Optional};
  EntryPoint<decltype(::listen)> listen{*this, "listen"};
  EntryPoint<decltype(::ntohl)> ntohl{*this, "ntohl"};
  EntryPoint<decltype(::ntohs)> ntohs{*this, "ntohs"};
  EntryPoint<decltype(::recv)> recv{*this, "recv"};
  EntryPoint<decltype(::recvfrom)> recvfrom{*this, "recvfrom"};
  EntryPoint<decltype(::select)> select{*this, "select"};
  EntryPoint<decltype(::send)> send{*this, "send"};
  EntryPoint<decltype(::sendto)> sendto{*this, "sendto"};
  EntryPoint<decltype(::setsockopt)> setsockopt{*this, "setsockopt"};
  EntryPoint<decltype(::shutdown)> shutdown{*this, "shutdown"};
  EntryPoint<decltype(::socket)> socket{*this, "socket"};
  EntryPoint<decltype(::gethostbyaddr)> gethostbyaddr{*this, "gethostbyaddr", Need::Optional};
  EntryPoint<decltype(::gethostbyname)> gethostbyname{*this, "gethostbyname", Need::Optional};
  EntryPoint<decltype(::getprotobyname)> getprotobyname{*this, "getprotobyname", Need::Optional};
  EntryPoint<decltype(::getprotobynumber)> getprotobynumber{*this, "getprotobynumber",
                                                            Need::Optional};
  EntryPoint<decltype(::getservbyname)> getservbyname{*this, "getservbyname", Need::Optional};
  EntryPoint<decltype(::getservbyport)> getservbyport{*this, "getservbyport", Need::Optional};
  EntryPoint<decltype(::gethostname)> gethostname{*this, "gethostname"};
};
// The newer name service, all three or none: in ws2_32.dll, else in wship6.dll.
struct AddrInfoApi : EntryPointTable {
  EntryPoint<decltype(::getaddrinfo)> getaddrinfo{*this, "getaddrinfo"};
  EntryPoint<decltype(::freeaddrinfo)> freeaddrinfo{*this, "freeaddrinfo"};
  EntryPoint<decltype(::getnameinfo)> getnameinfo{*this, "getnameinfo"};
};
struct SocketApi : Ws2Api, AddrInfoApi {};

SocketApi g_api;
Ws2Api& g_ws2_api = g_api;
AddrInfoApi& g_addrinfo_api = g_api;
DynamicLibrary g_ws2;
DynamicLibrary g_wship6;
int g_refs = 0;
bool g_addrinfo_ws2 = false;
bool g_addrinfo_wship6 = false;

const fd_set* Native(const TFDSet& set) {
  return reinterpret_cast<const fd_set*>(&set);
}
fd_set* Native(TFDSet* set) {
  return reinterpret_cast<fd_set*>(set);
}
SOCKET Sock(SocketHandle s) {
  return static_cast<SOCKET>(s);
}

}  // namespace

std::recursive_mutex& SocketLibraryLock() {
  static std::recursive_mutex lock;
  return lock;
}

bool LoadSocketLibrary(std::string_view name, std::string* missing) {
  std::lock_guard guard(SocketLibraryLock());
  if (g_refs > 0) {
    ++g_refs;
    return true;
  }
  g_addrinfo_ws2 = false;
  g_addrinfo_wship6 = false;
  DynamicLibrary ws2;
  if (!ws2.Open(name.empty() ? "ws2_32.dll" : name)) return false;
  if (!g_ws2_api.Resolve(ws2)) {
    if (missing) *missing = g_ws2_api.MissingEntry();
    return false;
  }
  g_addrinfo_ws2 = g_addrinfo_api.Resolve(ws2);
  if (!g_addrinfo_ws2) {
    DynamicLibrary wship6;
    if (wship6.Open("wship6.dll")) {
      g_addrinfo_wship6 = g_addrinfo_api.Resolve(wship6);
      g_wship6 = std::move(wship6);
    }
  }
  g_ws2 = std::move(ws2);
  ++g_refs;
  return true;
}

bool UnloadSocketLibrary() {
  std::lock_guard guard(SocketLibraryLock());
  if (g_refs > 0) --g_refs;
  if (g_refs == 0) {
    g_ws2_api.Clear();
    g_addrinfo_api.Clear();
    g_wship6.Close();
    g_ws2.Close();
  }
  return true;
}

bool AddrInfoInWs2() {
  return g_addrinfo_ws2;
}
bool AddrInfoInWship6() {
  return g_addrinfo_wship6;
}

int SocketStartup(TWSAData& data) {
  if (!g_api.WSAStartup) return kWSANOTINITIALISED;
  WSADATA raw{};
  const int r = g_api.WSAStartup(MAKEWORD(2, 2), &raw);
  data.wVersion = raw.wVersion;
  data.wHighVersion = raw.wHighVersion;
  data.szDescription = raw.szDescription;
  data.szSystemStatus = raw.szSystemStatus;
  return r;
}

int SocketCleanup() {
  return g_api.WSACleanup ? g_api.WSACleanup() : 0;
}

int LastSocketError() {
  return g_api.WSAGetLastError ? g_api.WSAGetLastError() : g_not_started_error;
}

bool FDIsSet(SocketHandle s, const TFDSet& set) {
  if (!g_api.__WSAFDIsSet) return false;
  return g_api.__WSAFDIsSet(Sock(s), const_cast<fd_set*>(Native(set))) != 0;
}

namespace {

// Winsock has no per-call non-blocking flag. A count query before every receive of what is
// waiting costs a round trip of its own (under Wine a server call per block), so such a
// receive switches the socket to non-blocking mode and leaves it there for the next one; every
// call whose behaviour depends on the mode switches it back first. Sockets the caller made
// non-blocking are its own.
enum class Mode { CallersNonBlocking, LeftNonBlocking };
std::mutex g_mode_lock;
std::unordered_map<SOCKET, Mode> g_modes;

void BlockingAgain(SOCKET s) {
  {
    const std::lock_guard<std::mutex> hold(g_mode_lock);
    const auto it = g_modes.find(s);
    if (it == g_modes.end() || it->second != Mode::LeftNonBlocking) return;
    g_modes.erase(it);
  }
  u_long off = 0;
  g_api.ioctlsocket(s, FIONBIO, &off);
}

}  // namespace

SocketHandle CreateSocket(int family, int type, int protocol) {
  if (!g_api.socket) return NotStarted(), kInvalidSocket;
  const SOCKET s = g_api.socket(family, type, protocol);
  return s == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(s);
}

int CloseSocketHandle(SocketHandle s) {
  if (!g_api.closesocket) return NotStarted();
  // A lingering close waits only on a blocking socket.
  BlockingAgain(Sock(s));
  {
    const std::lock_guard<std::mutex> hold(g_mode_lock);
    g_modes.erase(Sock(s));
  }
  return g_api.closesocket(Sock(s));
}

int BindSocket(SocketHandle s, const TVarSin& sin) {
  if (!g_api.bind) return NotStarted();
  return g_api.bind(Sock(s), reinterpret_cast<const sockaddr*>(&sin), SinLength(sin));
}

int ConnectSocket(SocketHandle s, const TVarSin& sin) {
  if (!g_api.connect) return NotStarted();
  BlockingAgain(Sock(s));
  return g_api.connect(Sock(s), reinterpret_cast<const sockaddr*>(&sin), SinLength(sin));
}

int ListenSocket(SocketHandle s, int backlog) {
  if (!g_api.listen) return NotStarted();
  return g_api.listen(Sock(s), backlog);
}

SocketHandle AcceptSocket(SocketHandle s, TVarSin& peer) {
  if (!g_api.accept) return NotStarted(), kInvalidSocket;
  peer = TVarSin{};
  int len = sizeof peer;
  const SOCKET r = g_api.accept(Sock(s), reinterpret_cast<sockaddr*>(&peer), &len);
  return r == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(r);
}

int SendSocket(SocketHandle s, const void* buffer, int length, int flags) {
  if (!g_api.send) return NotStarted();
  BlockingAgain(Sock(s));
  return g_api.send(Sock(s), static_cast<const char*>(buffer), length, flags);
}

int RecvSocket(SocketHandle s, void* buffer, int length, int flags) {
  if (!g_api.recv) return NotStarted();
  BlockingAgain(Sock(s));
  return g_api.recv(Sock(s), static_cast<char*>(buffer), length, flags);
}

bool ResetsReadAsEnd() {
  // Wine's ntdll exports its version; Windows' does not.
  static const bool wine =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

int RecvSocketWaiting(SocketHandle s, void* buffer, int length) {
  if (!g_api.ioctlsocket || !g_api.recv) return 0;  // nothing to be had before the start
  bool switch_now = false;
  {
    const std::lock_guard<std::mutex> hold(g_mode_lock);
    switch_now = g_modes.try_emplace(Sock(s), Mode::LeftNonBlocking).second;
  }
  if (switch_now) {
    u_long on = 1;
    if (g_api.ioctlsocket(Sock(s), FIONBIO, &on) != 0) {
      const std::lock_guard<std::mutex> hold(g_mode_lock);
      g_modes.erase(Sock(s));
      return 0;  // no receive without waiting on this socket: the caller waits instead
    }
  }
  const int r = g_api.recv(Sock(s), static_cast<char*>(buffer), length, 0);
  if (r < 0 && LastSocketError() != kWSAEWOULDBLOCK) return kSocketError;
  return r > 0 ? r : 0;
}

int SendToSocket(SocketHandle s, const void* buffer, int length, int flags, const TVarSin& to) {
  if (!g_api.sendto) return NotStarted();
  BlockingAgain(Sock(s));
  TVarSin copy = to;
  return g_api.sendto(Sock(s), static_cast<const char*>(buffer), length, flags,
                      reinterpret_cast<const sockaddr*>(&copy), SinLength(copy));
}

int RecvFromSocket(SocketHandle s, void* buffer, int length, int flags, TVarSin& from) {
  if (!g_api.recvfrom) return NotStarted();
  BlockingAgain(Sock(s));
  int len = sizeof from;
  return g_api.recvfrom(Sock(s), static_cast<char*>(buffer), length, flags,
                        reinterpret_cast<sockaddr*>(&from), &len);
}

int GetLocalAddress(SocketHandle s, TVarSin& sin) {
  sin = TVarSin{};
  if (!g_api.getsockname) return NotStarted();
  int len = sizeof sin;
  return g_api.getsockname(Sock(s), reinterpret_cast<sockaddr*>(&sin), &len);
}

int GetPeerAddress(SocketHandle s, TVarSin& sin) {
  sin = TVarSin{};
  if (!g_api.getpeername) return NotStarted();
  int len = sizeof sin;
  return g_api.getpeername(Sock(s), reinterpret_cast<sockaddr*>(&sin), &len);
}

int ShutdownSocket(SocketHandle s, int how) {
  if (!g_api.shutdown) return NotStarted();
  return g_api.shutdown(Sock(s), how);
}

int SelectSockets(TFDSet* read, TFDSet* write, TFDSet* except, int timeout_ms) {
  if (!g_api.select) return NotStarted();
  timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  return g_api.select(0, Native(read), Native(write), Native(except),
                      timeout_ms < 0 ? nullptr : &tv);
}

int BytesWaiting(SocketHandle s, std::uint32_t& count) {
  count = 0;
  if (!g_api.ioctlsocket) return NotStarted();
  u_long n = 0;
  const int r = g_api.ioctlsocket(Sock(s), FIONREAD, &n);
  count = static_cast<std::uint32_t>(n);
  return r;
}

int SetNonBlocking(SocketHandle s, bool on) {
  if (!g_api.ioctlsocket) return NotStarted();
  {
    const std::lock_guard<std::mutex> hold(g_mode_lock);
    if (on) {
      g_modes[Sock(s)] = Mode::CallersNonBlocking;
    } else {
      g_modes.erase(Sock(s));
    }
  }
  u_long v = on ? 1 : 0;
  return g_api.ioctlsocket(Sock(s), FIONBIO, &v);
}

int SetSocketOption(SocketHandle s, SockOpt opt, int value) {
  if (!g_api.setsockopt) return NotStarted();
  const option_table::NativeOption n = option_table::NativeOptionOf(opt);
  // The time-outs are a DWORD of milliseconds here; every other option an int.
  if (opt == SockOpt::RecvTimeout || opt == SockOpt::SendTimeout) {
    DWORD ms = static_cast<DWORD>(value);
    return g_api.setsockopt(Sock(s), n.level, n.name, reinterpret_cast<const char*>(&ms),
                            sizeof ms);
  }
  return g_api.setsockopt(Sock(s), n.level, n.name, reinterpret_cast<const char*>(&value),
                          sizeof value);
}

int GetSocketOption(SocketHandle s, SockOpt opt, int& value) {
  value = 0;
  if (!g_api.getsockopt) return NotStarted();
  const option_table::NativeOption n = option_table::NativeOptionOf(opt);
  value = 0;
  int len = sizeof value;
  return g_api.getsockopt(Sock(s), n.level, n.name, reinterpret_cast<char*>(&value), &len);
}

int SetSocketLinger(SocketHandle s, bool on, int seconds) {
  if (!g_api.setsockopt) return NotStarted();
  linger l{static_cast<u_short>(on ? 1 : 0), static_cast<u_short>(seconds)};
  return g_api.setsockopt(Sock(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l),
                          sizeof l);
}

// Windows runs little-endian: network order is a byte swap, with or without the library.
std::uint16_t HostToNet16(std::uint16_t v) {
  return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}
std::uint16_t NetToHost16(std::uint16_t v) {
  return HostToNet16(v);
}
std::uint32_t HostToNet32(std::uint32_t v) {
  return __builtin_bswap32(v);
}
std::uint32_t NetToHost32(std::uint32_t v) {
  return __builtin_bswap32(v);
}

namespace detail {

int ResolveAddrInfo(const char* host, const char* service, const AddrHints& hints,
                    std::vector<TVarSin>& out) {
  out.clear();
  if (!g_api.getaddrinfo) return kWSANO_RECOVERY;
  addrinfo h{};
  h.ai_flags = hints.flags;
  h.ai_family = hints.family;
  h.ai_socktype = hints.socktype;
  h.ai_protocol = hints.protocol;
  addrinfo* res = nullptr;
  const int r = g_api.getaddrinfo(host, service, &h, &res);
  if (r != 0) return r;
  for (addrinfo* a = res; a != nullptr; a = a->ai_next) {
    TVarSin sin;
    std::memcpy(static_cast<void*>(&sin), a->ai_addr, std::min<size_t>(a->ai_addrlen, sizeof sin));
    out.push_back(sin);
  }
  g_api.freeaddrinfo(res);
  return 0;
}

int ResolveNameInfo(const TVarSin& sin, std::string& host, std::string& service, bool numeric_host,
                    bool numeric_service) {
  if (!g_api.getnameinfo) return kWSANO_RECOVERY;
  const int len = SinLength(sin);
  if (len == 0) return kWSAEAFNOSUPPORT;
  char h[1025] = {}, s[32] = {};
  const int flags = (numeric_host ? NI_NUMERICHOST : 0) | (numeric_service ? NI_NUMERICSERV : 0);
  const int r = g_api.getnameinfo(reinterpret_cast<const sockaddr*>(&sin), len, h, sizeof h, s,
                                  sizeof s, flags);
  if (r != 0) return r;
  host = h;
  service = s;
  return 0;
}

int ReadHostName(char* buffer, int size) {
  if (!g_api.gethostname) return kWSANOTINITIALISED;
  return g_api.gethostname(buffer, size) == 0 ? 0 : g_api.WSAGetLastError();
}

}  // namespace detail
}  // namespace vlt::platform
