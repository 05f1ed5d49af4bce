#pragma once
// The one table of Windows Sockets error numbers: name, number, description and the POSIX
// errno values that map onto it. The constants, the native errno mapping and the layer's
// description table are all generated from it.
//
// X(name, number, description, errno...): the errno names are only expanded by the POSIX half.

// clang-format off
#define VLT_SOCKET_ERRORS(X)                                                              \
  X(WSAEINTR,           10004, "Interrupted system call", EINTR)                          \
  X(WSAEBADF,           10009, "Bad file number", EBADF)                                  \
  X(WSAEACCES,          10013, "Permission denied", EACCES, EPERM)                        \
  X(WSAEFAULT,          10014, "Bad address", EFAULT)                                     \
  X(WSAEINVAL,          10022, "Invalid argument", EINVAL)                                \
  X(WSAEMFILE,          10024, "Too many open files", EMFILE, ENFILE)                     \
  X(WSAEWOULDBLOCK,     10035, "Operation would block", EWOULDBLOCK, EAGAIN)              \
  X(WSAEINPROGRESS,     10036, "Operation now in progress", EINPROGRESS)                  \
  X(WSAEALREADY,        10037, "Operation already in progress", EALREADY)                 \
  X(WSAENOTSOCK,        10038, "Socket operation on nonsocket", ENOTSOCK)                 \
  X(WSAEDESTADDRREQ,    10039, "Destination address required", EDESTADDRREQ)              \
  X(WSAEMSGSIZE,        10040, "Message too long", EMSGSIZE)                              \
  X(WSAEPROTOTYPE,      10041, "Protocol wrong type for Socket", EPROTOTYPE)              \
  X(WSAENOPROTOOPT,     10042, "Protocol not available", ENOPROTOOPT)                     \
  X(WSAEPROTONOSUPPORT, 10043, "Protocol not supported", EPROTONOSUPPORT)                 \
  X(WSAESOCKTNOSUPPORT, 10044, "Socket not supported", ESOCKTNOSUPPORT)                   \
  X(WSAEOPNOTSUPP,      10045, "Operation not supported on Socket", EOPNOTSUPP)           \
  X(WSAEPFNOSUPPORT,    10046, "Protocol family not supported", EPFNOSUPPORT)             \
  X(WSAEAFNOSUPPORT,    10047, "Address family not supported", EAFNOSUPPORT)              \
  X(WSAEADDRINUSE,      10048, "Address already in use", EADDRINUSE)                      \
  X(WSAEADDRNOTAVAIL,   10049, "Can't assign requested address", EADDRNOTAVAIL)           \
  X(WSAENETDOWN,        10050, "Network is down", ENETDOWN)                               \
  X(WSAENETUNREACH,     10051, "Network is unreachable", ENETUNREACH)                     \
  X(WSAENETRESET,       10052, "Network dropped connection on reset", ENETRESET)          \
  X(WSAECONNABORTED,    10053, "Software caused connection abort", ECONNABORTED)          \
  X(WSAECONNRESET,      10054, "Connection reset by peer", ECONNRESET, EPIPE)             \
  X(WSAENOBUFS,         10055, "No Buffer space available", ENOBUFS, ENOMEM)              \
  X(WSAEISCONN,         10056, "Socket is already connected", EISCONN)                    \
  X(WSAENOTCONN,        10057, "Socket is not connected", ENOTCONN)                       \
  X(WSAESHUTDOWN,       10058, "Can't send after Socket shutdown", ESHUTDOWN)             \
  X(WSAETOOMANYREFS,    10059, "Too many references:can't splice", ETOOMANYREFS)          \
  X(WSAETIMEDOUT,       10060, "Connection timed out", ETIMEDOUT)                         \
  X(WSAECONNREFUSED,    10061, "Connection refused", ECONNREFUSED)                        \
  X(WSAELOOP,           10062, "Too many levels of symbolic links", ELOOP)                \
  X(WSAENAMETOOLONG,    10063, "File name is too long", ENAMETOOLONG)                     \
  X(WSAEHOSTDOWN,       10064, "Host is down", EHOSTDOWN)                                 \
  X(WSAEHOSTUNREACH,    10065, "No route to host", EHOSTUNREACH)                          \
  X(WSAENOTEMPTY,       10066, "Directory is not empty", ENOTEMPTY)                       \
  X(WSAEPROCLIM,        10067, "Too many processes")                                      \
  X(WSAEUSERS,          10068, "Too many users", EUSERS)                                  \
  X(WSAEDQUOT,          10069, "Disk quota exceeded", EDQUOT)                             \
  X(WSAESTALE,          10070, "Stale NFS file handle", ESTALE)                           \
  X(WSAEREMOTE,         10071, "Too many levels of remote in path", EREMOTE)              \
  X(WSASYSNOTREADY,     10091, "Network subsystem is unusable")                           \
  X(WSAVERNOTSUPPORTED, 10092, "Winsock DLL cannot support this application")             \
  X(WSANOTINITIALISED,  10093, "Winsock not initialized")                                 \
  X(WSAEDISCON,         10101, "Disconnect")                                              \
  X(WSAHOST_NOT_FOUND,  11001, "Host not found")                                          \
  X(WSATRY_AGAIN,       11002, "Non authoritative - host not found")                      \
  X(WSANO_RECOVERY,     11003, "Non recoverable error")                                   \
  X(WSANO_DATA,         11004, "Valid name, no data record of requested type")
// clang-format on

namespace vlt::platform {

enum : int {
#define VLT_SOCKET_ERROR_CONSTANT(name, number, ...) k##name = number,
  VLT_SOCKET_ERRORS(VLT_SOCKET_ERROR_CONSTANT)
#undef VLT_SOCKET_ERROR_CONSTANT
  // Answered by the name service for an unknown service; it has no description of its own.
  kWSATYPE_NOT_FOUND = 10109,
};

struct SocketErrorText {
  int number;
  const char* name;
  const char* text;
};

inline constexpr SocketErrorText kSocketErrorTexts[] = {
#define VLT_SOCKET_ERROR_TEXT(name, number, text, ...) {number, #name, text},
    VLT_SOCKET_ERRORS(VLT_SOCKET_ERROR_TEXT)
#undef VLT_SOCKET_ERROR_TEXT
};

}  // namespace vlt::platform
