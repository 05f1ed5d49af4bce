// Native build: dlopen and dlsym.
#include <dlfcn.h>

#include "platform/dynamic_library.h"

namespace vlt::platform {

void LibraryHandleTraits::Close(void* module) {
  dlclose(module);
}

bool DynamicLibrary::Open(std::string_view name) {
  Close();
  name_ = std::string(name);
  // Everything bound now, so that a library with unresolved symbols fails here and not at the
  // first call.
  void* module = dlopen(name_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = dlerror();
    error_ = why != nullptr ? why : "cannot open " + name_;
    return false;
  }
  module_.Reset(module);
  error_.clear();
  return true;
}

void* DynamicLibrary::Find(const char* symbol) const {
  return IsOpen() ? dlsym(module_.Get(), symbol) : nullptr;
}

}  // namespace vlt::platform
