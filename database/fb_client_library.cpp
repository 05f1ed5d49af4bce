#include "database/fb_client_library.h"

#include <memory>
#include <mutex>

namespace vlt {

namespace {

constexpr unsigned long kProcNotFound = 127;

// "System Error.  Code: 127." and the description on the next line, without its trailing line
// break and period.
std::string SystemErrorText(std::string description) {
  while (!description.empty() && (description.back() == '\r' || description.back() == '\n' ||
                                  description.back() == ' ' || description.back() == '.')) {
    description.pop_back();
  }
  return "System Error.  Code: " + std::to_string(kProcNotFound) + ".\r\n" + description;
}

}  // namespace

TFbClientLibrary::TFbClientLibrary(const std::string& file_name) {
  if (!library_.Open(file_name)) {
    throw EFbClientLibraryError("Firebird client library " + file_name +
                                    " not found in the path. Please install Firebird to use "
                                    "this functionality",
                                "");
  }
  if (!api_.Resolve(library_)) {
    throw EFbClientLibraryError(SystemErrorText(MissingEntryDescription(api_)),
                                api_.MissingEntry());
  }
  if (api_.isc_get_client_version) {
    if (api_.isc_get_client_major_version) {
      ClientMajorVersion = api_.isc_get_client_major_version();
    }
    if (api_.isc_get_client_minor_version) {
      ClientMinorVersion = api_.isc_get_client_minor_version();
    }
  }
}

const TFbClientLibrary& TFbClientLibrary::Default() {
  static std::mutex lock;
  // Never unloaded: the client library runs shutdown handlers of its own at process exit,
  // which must not find it gone.
  static TFbClientLibrary* library = nullptr;
  std::lock_guard guard(lock);
  if (library == nullptr) {
    library = std::make_unique<TFbClientLibrary>(DefaultFileName()).release();
  }
  return *library;
}

}  // namespace vlt
