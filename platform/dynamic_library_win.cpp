// Windows build: LoadLibraryW and GetProcAddress.
#include <windows.h>

#include "platform/dynamic_library.h"
#include "platform/text.h"
#include "platform/win_text.h"

namespace vlt::platform {

void LibraryHandleTraits::Close(void* module) {
  FreeLibrary(static_cast<HMODULE>(module));
}

bool DynamicLibrary::Open(std::string_view name) {
  Close();
  name_ = std::string(name);
  // No "cannot find the DLL" box from the system: a missing library is our caller's to report.
  DWORD previous = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
  HMODULE module = LoadLibraryW(Widen(name).c_str());
  const DWORD error = GetLastError();
  SetThreadErrorMode(previous, nullptr);
  if (module == nullptr) {
    error_ = TrimRight(SystemErrorMessage(error));
    return false;
  }
  module_.Reset(module);
  error_.clear();
  return true;
}

void* DynamicLibrary::Find(const char* symbol) const {
  if (!IsOpen()) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_.Get()), symbol));
}

}  // namespace vlt::platform
