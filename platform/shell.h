#pragma once
// The operator's desktop folder and shortcuts on it.
#include <optional>
#include <string>
#include <string_view>

namespace vlt::platform {

// Keeps COM initialised on this thread for the lifetime of the object (no-op natively).
class ComSession {
 public:
  ComSession();
  ~ComSession();
  ComSession(const ComSession&) = delete;
  ComSession& operator=(const ComSession&) = delete;

 private:
  bool initialised_ = false;
};

// The operator's desktop folder. Windows: the "Desktop" value of HKCU
// Software\MicroSoft\Windows\CurrentVersion\Explorer\Shell Folders, else the shell's known
// Desktop folder. Natively: $XDG_DESKTOP_DIR, else $HOME/Desktop. "" when there is none.
std::string DesktopFolder();

struct ShortcutInfo {
  std::string target;
  std::string arguments;
  std::string working_directory;
};

// The file a shortcut called `name` has in `desktop`: "<desktop>\<name>.lnk" on Windows,
// "<desktop>/<name>.desktop" natively.
std::string ShortcutFileName(std::string_view desktop, std::string_view name);

// Writes the shortcut file, replacing an older one. Throws vlt::Exception when the shell link
// object cannot be made; returns false when saving fails.
bool WriteShortcut(const ShortcutInfo& link, std::string_view file);
// Reads a shortcut back (used to check what was written).
std::optional<ShortcutInfo> ReadShortcut(std::string_view file);

}  // namespace vlt::platform
