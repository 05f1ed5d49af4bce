#include <dlfcn.h>

#include "database/fb_loader.h"

namespace vlt::fbloader {

void* OpenLibrary(const std::string& file_name) {
  return ::dlopen(file_name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void CloseLibrary(void* module) {
  ::dlclose(module);
}

void* FindEntry(void* module, const char* name) {
  return ::dlsym(module, name);
}

std::string MissingEntryDescription(const std::string& file_name, const char* entry) {
  return "The procedure entry point " + std::string(entry) + " could not be located in " +
         file_name + ".";
}

std::string ClientLibraryFileName() {
  return "libfbclient.so.2";
}

}  // namespace vlt::fbloader
