#include "database/fb_client_library.h"
#include "platform/win_text.h"

namespace vlt {

std::string TFbClientLibrary::MissingEntryDescription(const TFbClientApi&) {
  return platform::SystemErrorMessage(127);  // ERROR_PROC_NOT_FOUND
}

std::string TFbClientLibrary::DefaultFileName() {
  return "gds32.dll";
}

}  // namespace vlt
