#include <windows.h>

#include <vector>

#include "platform/system_settings.h"
#include "platform/win_text.h"

namespace vlt::platform {

namespace {

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// The value's bytes when it has one of the `types`; grows and asks again while it is longer.
std::optional<std::vector<BYTE>> ReadValue(RegistryRoot root, std::string_view key,
                                           std::string_view value, DWORD types, size_t limit) {
  const std::wstring k = Widen(key), v = Widen(value);
  std::vector<BYTE> data(256);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = static_cast<DWORD>(data.size());
    const LSTATUS r = RegGetValueW(RootKey(root), k.c_str(), v.c_str(), types | RRF_NOEXPAND,
                                   nullptr, data.data(), &size);
    if (r == ERROR_SUCCESS) {
      data.resize(size);
      return data;
    }
    if (r != ERROR_MORE_DATA || size > limit) return std::nullopt;
    data.resize(size + sizeof(wchar_t));
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> EnvironmentVariable(std::string_view name) {
  const std::wstring n = Widen(name);
  std::wstring value(256, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    SetLastError(ERROR_SUCCESS);
    const DWORD got =
        GetEnvironmentVariableW(n.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (got == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (got < value.size()) {
      value.resize(got);
      return Narrow(value);
    }
    value.resize(got);
  }
  return std::nullopt;
}

std::optional<std::string> ReadRegistryText(RegistryRoot root, std::string_view key,
                                            std::string_view value) {
  const auto data = ReadValue(root, key, value, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, 1 << 20);
  if (!data) return std::nullopt;
  std::wstring text(reinterpret_cast<const wchar_t*>(data->data()), data->size() / sizeof(wchar_t));
  text.resize(wcsnlen(text.c_str(), text.size()));
  return Narrow(text);
}

std::optional<std::uint32_t> ReadRegistryDword(RegistryRoot root, std::string_view key,
                                               std::string_view value) {
  const auto data = ReadValue(root, key, value, RRF_RT_REG_DWORD, sizeof(DWORD));
  if (!data || data->size() != sizeof(DWORD)) return std::nullopt;
  DWORD n = 0;
  memcpy(&n, data->data(), sizeof(n));
  return n;
}

std::optional<std::string> ReadRegistryBinary(RegistryRoot root, std::string_view key,
                                              std::string_view value, std::size_t limit) {
  const auto data = ReadValue(root, key, value, RRF_RT_REG_BINARY, limit);
  if (!data || data->size() > limit) return std::nullopt;
  return std::string(data->begin(), data->end());
}

}  // namespace vlt::platform
