#include <windows.h>

#include "platform/ini.h"
#include "platform/win_text.h"

namespace vlt::platform {

void WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
  if (!WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                                  Widen(file).c_str()))
    throw Exception("Unable to write to " + file);
}

}  // namespace vlt::platform
