// Native build: a freedesktop .desktop file stands for the shortcut.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/files.h"
#include "platform/shell.h"

namespace vlt::platform {

ComSession::ComSession() = default;
ComSession::~ComSession() = default;

std::string DesktopFolder() {
  if (const char* xdg = std::getenv("XDG_DESKTOP_DIR"); xdg != nullptr && *xdg != 0) return xdg;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
    return std::string(home) + "/Desktop";
  }
  return {};
}

std::string ShortcutFileName(std::string_view desktop, std::string_view name) {
  return std::string(desktop) + "/" + std::string(name) + ".desktop";
}

bool WriteShortcut(const ShortcutInfo& link, std::string_view file) {
  std::ofstream out(HostPath(file), std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << "[Desktop Entry]\nType=Application\n"
      << "Exec=\"" << HostPath(link.target) << "\"" << (link.arguments.empty() ? "" : " ")
      << link.arguments << "\n"
      << "Path=" << HostPath(link.working_directory) << "\n";
  return static_cast<bool>(out.flush());
}

std::optional<ShortcutInfo> ReadShortcut(std::string_view file) {
  std::ifstream in(HostPath(file), std::ios::binary);
  if (!in) return std::nullopt;
  ShortcutInfo info;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Exec=\"", 0) == 0) {
      const size_t close = line.find('"', 6);
      info.target = line.substr(6, close - 6);
      if (close != std::string::npos && close + 2 <= line.size())
        info.arguments = line.substr(close + 2);
    } else if (line.rfind("Path=", 0) == 0) {
      info.working_directory = line.substr(5);
    }
  }
  return info;
}

}  // namespace vlt::platform
