#include "platform/win_text.h"

#include <windows.h>

#include "platform/codepage.h"
#include "platform/win_handle.h"

namespace vlt::platform {

std::wstring Widen(std::string_view text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::string SystemErrorMessage(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const UniqueLocalMemory owner(buffer);
  return n != 0 && buffer != nullptr ? Narrow(std::wstring_view(buffer, n)) : std::string();
}

std::string AnsiToText(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  return Narrow(wide);
}

ByteString TextToAnsi(std::string_view text) {
  const std::wstring wide = Widen(text);
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  ByteString out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

}  // namespace vlt::platform
