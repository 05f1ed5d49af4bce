#include "database/fb_client_library.h"

#include <mutex>
#include <type_traits>

#include "database/fb_loader.h"

namespace vlt {
namespace {

constexpr unsigned long kProcNotFound = 127;

// "System Error.  Code: 127." and the system's description on the next line, without its
// trailing line break and period.
std::string SystemErrorText(std::string description) {
  while (!description.empty() && (description.back() == '\r' || description.back() == '\n' ||
                                  description.back() == ' ' || description.back() == '.')) {
    description.pop_back();
  }
  return "System Error.  Code: " + std::to_string(kProcNotFound) + ".\r\n" + description;
}

}  // namespace

struct TFbClientLibrary::Module {
  explicit Module(void* h) : handle(h) {}
  ~Module() { fbloader::CloseLibrary(handle); }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  void* handle;
};

TFbClientLibrary::TFbClientLibrary(const std::string& file_name) : file_name_(file_name) {
  void* handle = fbloader::OpenLibrary(file_name);
  if (handle == nullptr) {
    throw EFbClientLibraryError("Firebird client library " + file_name +
                                    " not found in the path. Please install Firebird to use "
                                    "this functionality",
                                "");
  }
  module_ = std::make_unique<Module>(handle);
  auto find = [&](const char* name, auto& entry, bool required) {
    entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
        fbloader::FindEntry(handle, name));
    if (entry == nullptr && required) {
      throw EFbClientLibraryError(
          SystemErrorText(fbloader::MissingEntryDescription(file_name, name)), name);
    }
  };
#define VLT_FB_FIND_REQUIRED(name) find(#name, name, true);
#define VLT_FB_FIND_OPTIONAL(name) find(#name, name, false);
  VLT_FB_REQUIRED_ENTRIES(VLT_FB_FIND_REQUIRED)
  VLT_FB_OPTIONAL_ENTRIES(VLT_FB_FIND_OPTIONAL)
#undef VLT_FB_FIND_REQUIRED
#undef VLT_FB_FIND_OPTIONAL
  if (isc_get_client_version != nullptr) {
    if (isc_get_client_major_version != nullptr)
      ClientMajorVersion = isc_get_client_major_version();
    if (isc_get_client_minor_version != nullptr)
      ClientMinorVersion = isc_get_client_minor_version();
  }
}

TFbClientLibrary::~TFbClientLibrary() = default;

std::string TFbClientLibrary::DefaultFileName() {
  return fbloader::ClientLibraryFileName();
}

const TFbClientLibrary& TFbClientLibrary::Default() {
  static std::mutex lock;
  // Never unloaded: the client library runs shutdown handlers of its own at process exit,
  // which must not find it gone.
  static TFbClientLibrary* library = nullptr;
  std::lock_guard guard(lock);
  if (library == nullptr) library = std::make_unique<TFbClientLibrary>(DefaultFileName()).release();
  return *library;
}

}  // namespace vlt
