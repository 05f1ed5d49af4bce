#pragma once
// A proxy auto-config script resolved by the system: which proxy it gives for one address.
#include <string>
#include <string_view>

namespace vlt::platform {

struct AutoProxyAnswer {
  bool resolved = false;  // false: the system could not run the script (`error` says why)
  // What the script chose, as the system lists it ("127.0.0.1:3128", "p1:80;p2:80"); empty:
  // direct.
  std::string proxy;
  std::string error;  // English, for the log
};

// Windows: WinHttpGetProxyForUrl, loaded from winhttp.dll at run time. Natively it is never
// resolved.
AutoProxyAnswer ResolveAutoProxy(std::string_view script_url, std::string_view url);

}  // namespace vlt::platform
