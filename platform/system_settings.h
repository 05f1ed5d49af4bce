#pragma once
// What the machine's own settings say: environment variables and registry values. Natively
// there is no registry: every registry read finds nothing.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vlt::platform {

// The variable's value (UTF-8); nullopt when it is not set. Windows reads names without regard
// to case; natively "http_proxy" and "HTTP_PROXY" are two variables.
std::optional<std::string> EnvironmentVariable(std::string_view name);

enum class RegistryRoot { CurrentUser, LocalMachine };

// A REG_SZ or REG_EXPAND_SZ value (not expanded), as UTF-8; nullopt when the key or value is
// missing or of another type.
std::optional<std::string> ReadRegistryText(RegistryRoot root, std::string_view key,
                                            std::string_view value);
// A REG_DWORD value.
std::optional<std::uint32_t> ReadRegistryDword(RegistryRoot root, std::string_view key,
                                               std::string_view value);
// A REG_BINARY value's bytes, at most `limit` of them (a longer one is not read).
std::optional<std::string> ReadRegistryBinary(RegistryRoot root, std::string_view key,
                                              std::string_view value, std::size_t limit);

}  // namespace vlt::platform
