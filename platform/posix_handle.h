#pragma once
// Move-only owners of POSIX resources (native build only).
#include <dirent.h>

#include "platform/unique_resource.h"

namespace vlt::platform {

struct DirStreamTraits {
  using Type = DIR*;
  static Type Invalid() { return nullptr; }
  static void Close(Type d) { ::closedir(d); }
};
using UniqueDirStream = UniqueResource<DirStreamTraits>;

}  // namespace vlt::platform
