#include <cstdlib>

#include "platform/system_settings.h"

namespace vlt::platform {

std::optional<std::string> EnvironmentVariable(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::optional<std::string> ReadRegistryText(RegistryRoot, std::string_view, std::string_view) {
  return std::nullopt;
}

std::optional<std::uint32_t> ReadRegistryDword(RegistryRoot, std::string_view, std::string_view) {
  return std::nullopt;
}

std::optional<std::string> ReadRegistryBinary(RegistryRoot, std::string_view, std::string_view,
                                              std::size_t) {
  return std::nullopt;
}

}  // namespace vlt::platform
