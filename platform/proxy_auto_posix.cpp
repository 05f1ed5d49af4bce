#include "platform/proxy_auto.h"

namespace vlt::platform {

AutoProxyAnswer ResolveAutoProxy(std::string_view, std::string_view) {
  return {false, {}, "proxy auto-config scripts are resolved only on Windows"};
}

}  // namespace vlt::platform
