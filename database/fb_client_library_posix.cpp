#include "database/fb_client_library.h"

namespace vlt {

// dlsym has no numbered error of its own; the description names the entry instead.
std::string TFbClientLibrary::MissingEntryDescription(const TFbClientApi& api) {
  return api.MissingEntryText();
}

std::string TFbClientLibrary::DefaultFileName() {
  return "libfbclient.so.2";
}

}  // namespace vlt
