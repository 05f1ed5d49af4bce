#include <windows.h>

#include "database/fb_loader.h"
#include "platform/win_text.h"

namespace vlt::fbloader {

void* OpenLibrary(const std::string& file_name) {
  return ::LoadLibraryW(platform::Widen(file_name).c_str());
}

void CloseLibrary(void* module) {
  ::FreeLibrary(static_cast<HMODULE>(module));
}

void* FindEntry(void* module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

std::string MissingEntryDescription(const std::string&, const char*) {
  return platform::SystemErrorMessage(ERROR_PROC_NOT_FOUND);
}

std::string ClientLibraryFileName() {
  return "gds32.dll";
}

}  // namespace vlt::fbloader
