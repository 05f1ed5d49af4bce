#include "installer/system_ops.h"

#include "platform/exception.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/shell.h"

namespace vlt {

std::string TrimSystemMessage(std::string text) {
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

std::string SystemReasonFor(const std::string& text, const std::string& program) {
  std::string reason = TrimSystemMessage(text);
  // Some system texts name the program with an insert ("Bad EXE format for %1").
  const std::string name = platform::ExtractFileName(program);
  for (size_t at = reason.find("%1"); at != std::string::npos; at = reason.find("%1", at)) {
    reason.replace(at, 2, name);
    at += name.size();
  }
  return reason;
}

bool ListHasFirebirdServer(const std::vector<std::string>& executable_names) {
  std::string list;
  for (const std::string& name : executable_names) {
    list += name;
    list += '\r';
  }
  return list.find("fbserver") != std::string::npos;
}

std::int64_t PlatformSystemOps::ExecutaEAguarda(const std::string& program,
                                                const std::string& arguments,
                                                const std::function<void()>& while_waiting) {
  platform::StartResult start = platform::ShellStart(program, arguments);
  if (!start.started) {
    // The program and the system's reason, in one box (the shell shows none of its own); the
    // routine that needed the program ends here instead of going on as if it had run.
    throw Exception("Não foi possível iniciar o programa \"" + platform::NormalizePath(program) +
                    "\".\r" + SystemReasonFor(start.error_text, program) + " (" +
                    std::to_string(start.error) + ")");
  }
  // Sliced waits keep the window repainting while a long program (an installer) runs.
  while (!start.process.Wait(kWaitSliceMs))
    if (while_waiting) while_waiting();
  return start.process.ExitCode();
}

void PlatformSystemOps::CriaAtalho(const std::string& target, const std::string& arguments,
                                   const std::string& working_directory, const std::string& name) {
  const platform::ShortcutInfo link{target, arguments, working_directory};
  const std::string desktop = platform::DesktopFolder();
  // Without a desktop folder the shortcut would land at the root of the drive.
  if (desktop.empty()) {
    throw Exception(
        "Não foi possível encontrar a pasta da Área de Trabalho (Desktop) para criar "
        "o atalho \"" +
        name + "\".");
  }
  // A shortcut that cannot be saved is a failed step: the operator would find no way to start
  // the product.
  const std::string file = platform::ShortcutFileName(desktop, name);
  if (!platform::WriteShortcut(link, file))
    throw Exception("Não foi possível gravar o atalho \"" + file + "\".");
  platform::Log("Atalho: " + file + " -> " + target);
}

bool PlatformSystemOps::FirebirdAtivo() {
  return ListHasFirebirdServer(platform::ProcessNames());
}

bool PlatformSystemOps::DirectoryExists(const std::string& path) {
  return platform::DirectoryExists(path);
}

bool PlatformSystemOps::ForceDirectories(const std::string& path) {
  return platform::ForceDirectories(path);
}

}  // namespace vlt
