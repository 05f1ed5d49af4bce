// Native build: POSIX sockets. errno and getaddrinfo codes are mapped onto the Windows
// Sockets numbers, and family codes onto the Windows values, at this boundary only.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/socket_option_table.h"
#include "platform/sockets.h"
#include "platform/sockets_internal.h"

namespace vlt::platform {
namespace {

thread_local int g_last_error = 0;

// errno -> Windows Sockets number, from the one table.
struct ErrnoEntry {
  int native;
  int wsa;
};
constexpr ErrnoEntry kErrnoTable[] = {
#define VLT_ERRNO_ENTRIES(name, number, text, ...) __VA_OPT__(VLT_ERRNO_EACH(number, __VA_ARGS__))
#define VLT_ERRNO_EACH(number, ...) VLT_ERRNO_1(number, __VA_ARGS__, 0, 0)
#define VLT_ERRNO_1(number, a, b, ...) {a, number}, {b, b == 0 ? 0 : number},
    VLT_SOCKET_ERRORS(VLT_ERRNO_ENTRIES)
#undef VLT_ERRNO_1
#undef VLT_ERRNO_EACH
#undef VLT_ERRNO_ENTRIES
};

// getaddrinfo / getnameinfo result codes, as Windows answers them.
struct EaiEntry {
  int native;
  int wsa;
};
constexpr EaiEntry kEaiTable[] = {
    {EAI_NONAME, kWSAHOST_NOT_FOUND},    {EAI_AGAIN, kWSATRY_AGAIN},
    {EAI_FAIL, kWSANO_RECOVERY},         {EAI_NODATA, kWSANO_DATA},
    {EAI_ADDRFAMILY, kWSANO_DATA},       {EAI_FAMILY, kWSAEAFNOSUPPORT},
    {EAI_SOCKTYPE, kWSAESOCKTNOSUPPORT}, {EAI_SERVICE, kWSATYPE_NOT_FOUND},
    {EAI_MEMORY, kWSAENOBUFS},           {EAI_BADFLAGS, kWSAEINVAL},
    {EAI_OVERFLOW, kWSAEFAULT},
};

int MapErrno(int e) {
  for (const ErrnoEntry& entry : kErrnoTable)
    if (entry.native == e && entry.native != 0) return entry.wsa;
  return e;
}

int MapEai(int code) {
  if (code == 0) return 0;
  if (code == EAI_SYSTEM) return MapErrno(errno);
  for (const EaiEntry& entry : kEaiTable)
    if (entry.native == code) return entry.wsa;
  return kWSANO_RECOVERY;
}

int Fail() {
  g_last_error = MapErrno(errno);
  return kSocketError;
}

int Check(int r) {
  return r < 0 ? Fail() : r;
}

int Fd(SocketHandle s) {
  return static_cast<int>(s);
}

int ToNativeFamily(int family) {
  switch (family) {
    case kAfInet:
      return AF_INET;
    case kAfInet6:
      return AF_INET6;
    case kAfUnspec:
      return AF_UNSPEC;
    default:
      return -1;
  }
}

int FromNativeFamily(int family) {
  switch (family) {
    case AF_INET:
      return kAfInet;
    case AF_INET6:
      return kAfInet6;
    default:
      return kAfUnspec;
  }
}

// TVarSin and sockaddr_in/in6 share the layout; only the family value differs.
socklen_t ToNative(const TVarSin& sin, sockaddr_storage& out) {
  std::memset(&out, 0, sizeof out);
  std::memcpy(&out, &sin, sizeof sin);
  out.ss_family = static_cast<sa_family_t>(ToNativeFamily(sin.sin_family));
  return static_cast<socklen_t>(SinLength(sin));
}

void FromNative(const sockaddr* sa, socklen_t len, TVarSin& sin) {
  sin = TVarSin{};
  std::memcpy(static_cast<void*>(&sin), sa, std::min<size_t>(len, sizeof sin));
  sin.sin_family = static_cast<std::uint16_t>(FromNativeFamily(sa->sa_family));
}

bool IsTimeout(SockOpt opt) {
  return opt == SockOpt::RecvTimeout || opt == SockOpt::SendTimeout;
}

}  // namespace

bool FDIsSet(SocketHandle s, const TFDSet& set) {
  for (std::uint32_t i = 0; i < set.fd_count && i < 64; ++i)
    if (set.fd_array[i] == s) return true;
  return false;
}

// The POSIX library is always there: loading only counts users.
namespace {
int g_refs = 0;
}

std::recursive_mutex& SocketLibraryLock() {
  static std::recursive_mutex lock;
  return lock;
}

bool LoadSocketLibrary(std::string_view, std::string*) {
  std::lock_guard guard(SocketLibraryLock());
  ++g_refs;
  return true;
}

bool UnloadSocketLibrary() {
  std::lock_guard guard(SocketLibraryLock());
  if (g_refs > 0) --g_refs;
  return true;
}

bool AddrInfoInWs2() {
  return true;
}
bool AddrInfoInWship6() {
  return false;
}

int SocketStartup(TWSAData& data) {
  data.wVersion = 0x0202;
  data.wHighVersion = 0x0202;
  data.szDescription = "POSIX sockets";
  data.szSystemStatus = "Running";
  return 0;
}

int SocketCleanup() {
  return 0;
}

int LastSocketError() {
  return g_last_error;
}

SocketHandle CreateSocket(int family, int type, int protocol) {
  const int fd = ::socket(ToNativeFamily(family), type | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    Fail();
    return kInvalidSocket;
  }
  return static_cast<SocketHandle>(fd);
}

int CloseSocketHandle(SocketHandle s) {
  return Check(::close(Fd(s)));
}

int BindSocket(SocketHandle s, const TVarSin& sin) {
  sockaddr_storage sa;
  const socklen_t len = ToNative(sin, sa);
  return Check(::bind(Fd(s), reinterpret_cast<sockaddr*>(&sa), len));
}

int ConnectSocket(SocketHandle s, const TVarSin& sin) {
  sockaddr_storage sa;
  const socklen_t len = ToNative(sin, sa);
  return Check(::connect(Fd(s), reinterpret_cast<sockaddr*>(&sa), len));
}

int ListenSocket(SocketHandle s, int backlog) {
  return Check(::listen(Fd(s), backlog > SOMAXCONN ? SOMAXCONN : backlog));
}

SocketHandle AcceptSocket(SocketHandle s, TVarSin& peer) {
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  const int fd = ::accept4(Fd(s), reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
  if (fd < 0) {
    Fail();
    return kInvalidSocket;
  }
  FromNative(reinterpret_cast<sockaddr*>(&sa), len, peer);
  return static_cast<SocketHandle>(fd);
}

int SendSocket(SocketHandle s, const void* buffer, int length, int flags) {
  // MSG_NOSIGNAL: a closed peer is an error code, as on Windows, not a signal.
  return Check(static_cast<int>(::send(Fd(s), buffer, length, flags | MSG_NOSIGNAL)));
}

int RecvSocket(SocketHandle s, void* buffer, int length, int flags) {
  const int native_flags = (flags & kMsgPeek) ? MSG_PEEK : 0;
  return Check(static_cast<int>(::recv(Fd(s), buffer, length, native_flags)));
}

bool ResetsReadAsEnd() {
  return false;
}

int RecvSocketWaiting(SocketHandle s, void* buffer, int length) {
  // One system call where a count query and a read would be two.
  const ssize_t r = ::recv(Fd(s), buffer, static_cast<size_t>(length), MSG_DONTWAIT);
  if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return Fail();
  return r > 0 ? static_cast<int>(r) : 0;
}

int SendToSocket(SocketHandle s, const void* buffer, int length, int flags, const TVarSin& to) {
  sockaddr_storage sa;
  const socklen_t len = ToNative(to, sa);
  return Check(static_cast<int>(::sendto(Fd(s), buffer, length, flags | MSG_NOSIGNAL,
                                         reinterpret_cast<sockaddr*>(&sa), len)));
}

int RecvFromSocket(SocketHandle s, void* buffer, int length, int flags, TVarSin& from) {
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  const int native_flags = (flags & kMsgPeek) ? MSG_PEEK : 0;
  const int r = static_cast<int>(
      ::recvfrom(Fd(s), buffer, length, native_flags, reinterpret_cast<sockaddr*>(&sa), &len));
  if (r < 0) return Fail();
  FromNative(reinterpret_cast<sockaddr*>(&sa), len, from);
  return r;
}

int GetLocalAddress(SocketHandle s, TVarSin& sin) {
  sin = TVarSin{};
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(Fd(s), reinterpret_cast<sockaddr*>(&sa), &len) < 0) return Fail();
  FromNative(reinterpret_cast<sockaddr*>(&sa), len, sin);
  return 0;
}

int GetPeerAddress(SocketHandle s, TVarSin& sin) {
  sin = TVarSin{};
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  if (::getpeername(Fd(s), reinterpret_cast<sockaddr*>(&sa), &len) < 0) return Fail();
  FromNative(reinterpret_cast<sockaddr*>(&sa), len, sin);
  return 0;
}

int ShutdownSocket(SocketHandle s, int how) {
  const int native = how == 0 ? SHUT_RD : how == kSdSend ? SHUT_WR : SHUT_RDWR;
  return Check(::shutdown(Fd(s), native));
}

int SelectSockets(TFDSet* read, TFDSet* write, TFDSet* except, int timeout_ms) {
  // poll has no descriptor-number limit; the sets are rewritten to the ready handles as
  // select does.
  std::vector<pollfd> fds;
  auto add = [&](TFDSet* set, short events) {
    if (!set) return;
    for (std::uint32_t i = 0; i < set->fd_count; ++i)
      fds.push_back(pollfd{Fd(set->fd_array[i]), events, 0});
  };
  add(read, POLLIN);
  add(write, POLLOUT);
  add(except, POLLPRI);
  int r;
  do {
    r = ::poll(fds.data(), fds.size(), timeout_ms < 0 ? -1 : timeout_ms);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return Fail();
  int ready = 0;
  size_t k = 0;
  auto keep = [&](TFDSet* set, short ready_events) {
    if (!set) return;
    TFDSet out;
    for (std::uint32_t i = 0; i < set->fd_count; ++i, ++k) {
      if (fds[k].revents & (ready_events | POLLERR | POLLHUP | POLLNVAL)) {
        FDSet(set->fd_array[i], out);
        ++ready;
      }
    }
    *set = out;
  };
  keep(read, POLLIN);
  keep(write, POLLOUT);
  keep(except, POLLPRI);
  return ready;
}

int BytesWaiting(SocketHandle s, std::uint32_t& count) {
  int n = 0;
  if (::ioctl(Fd(s), FIONREAD, &n) < 0) return Fail();
  count = static_cast<std::uint32_t>(n);
  return 0;
}

int SetNonBlocking(SocketHandle s, bool on) {
  int v = on ? 1 : 0;
  return Check(::ioctl(Fd(s), FIONBIO, &v));
}

int SetSocketOption(SocketHandle s, SockOpt opt, int value) {
  const option_table::NativeOption n = option_table::NativeOptionOf(opt);
  if (IsTimeout(opt)) {
    timeval tv{value / 1000, (value % 1000) * 1000};
    return Check(::setsockopt(Fd(s), n.level, n.name, &tv, sizeof tv));
  }
  return Check(::setsockopt(Fd(s), n.level, n.name, &value, sizeof value));
}

int GetSocketOption(SocketHandle s, SockOpt opt, int& value) {
  const option_table::NativeOption n = option_table::NativeOptionOf(opt);
  if (IsTimeout(opt)) {
    timeval tv{};
    socklen_t len = sizeof tv;
    if (::getsockopt(Fd(s), n.level, n.name, &tv, &len) < 0) return Fail();
    value = static_cast<int>(tv.tv_sec * 1000 + tv.tv_usec / 1000);
    return 0;
  }
  socklen_t len = sizeof value;
  if (::getsockopt(Fd(s), n.level, n.name, &value, &len) < 0) return Fail();
  if (opt == SockOpt::Error) value = MapErrno(value);
  return 0;
}

int SetSocketLinger(SocketHandle s, bool on, int seconds) {
  linger l{on ? 1 : 0, seconds};
  return Check(::setsockopt(Fd(s), SOL_SOCKET, SO_LINGER, &l, sizeof l));
}

std::uint16_t HostToNet16(std::uint16_t v) {
  return htons(v);
}
std::uint16_t NetToHost16(std::uint16_t v) {
  return ntohs(v);
}
std::uint32_t HostToNet32(std::uint32_t v) {
  return htonl(v);
}
std::uint32_t NetToHost32(std::uint32_t v) {
  return ntohl(v);
}

namespace detail {

int ResolveAddrInfo(const char* host, const char* service, const AddrHints& hints,
                    std::vector<TVarSin>& out) {
  out.clear();
  addrinfo h{};
  h.ai_flags = (hints.flags & kAiPassive) ? AI_PASSIVE : 0;
  h.ai_family = ToNativeFamily(hints.family);
  h.ai_socktype = hints.socktype;
  h.ai_protocol = hints.protocol;
  if (h.ai_family < 0) return kWSAEAFNOSUPPORT;
  addrinfo* res = nullptr;
  const int r = ::getaddrinfo(host, service, &h, &res);
  if (r != 0) return MapEai(r);
  for (addrinfo* a = res; a != nullptr; a = a->ai_next) {
    TVarSin sin;
    FromNative(a->ai_addr, a->ai_addrlen, sin);
    out.push_back(sin);
  }
  ::freeaddrinfo(res);
  return 0;
}

int ResolveNameInfo(const TVarSin& sin, std::string& host, std::string& service, bool numeric_host,
                    bool numeric_service) {
  sockaddr_storage sa;
  const socklen_t len = ToNative(sin, sa);
  if (len == 0) return kWSAEAFNOSUPPORT;
  char h[1025] = {}, s[32] = {};
  const int flags = (numeric_host ? NI_NUMERICHOST : 0) | (numeric_service ? NI_NUMERICSERV : 0);
  const int r =
      ::getnameinfo(reinterpret_cast<sockaddr*>(&sa), len, h, sizeof h, s, sizeof s, flags);
  if (r != 0) return MapEai(r);
  host = h;
  service = s;
  return 0;
}

int ReadHostName(char* buffer, int size) {
  return ::gethostname(buffer, size) == 0 ? 0 : Fail();
}

}  // namespace detail
}  // namespace vlt::platform
