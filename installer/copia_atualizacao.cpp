#include "installer/copia_atualizacao.h"

#include "platform/dir_list.h"
#include "platform/file_attributes.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace vlt {
namespace {

// A plain substring search in this text decides: "dados", "ini" and "e.zip" are protected
// too, and "dados.gdb.bak" is not.
constexpr const char* kNomesProtegidos =
    "dados.gdb*global.ini*etiqueta.ini*dados.fdb*dbecf.gdb*dbecf.fdb*terminalnfec-e.zip*"
    "captura.ini";
constexpr const char* kExecutavelPrincipal = "estoque.exe";

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The installed executable becomes "_antes1" by a rename, never a copy; the oldest of three
// generations is dropped.
void RodaBackups(const std::string& destino) {
  const std::string b1 = destino + "_antes1";
  const std::string b2 = destino + "_antes2";
  const std::string b3 = destino + "_antes3";
  if (platform::FileExists(b3) || platform::FileExists(b2)) {
    platform::RemoveFile(b3);
    if (platform::FileExists(b2)) platform::RenameFile(b2, b3);
  }
  if (platform::FileExists(b2) || platform::FileExists(b1)) {
    platform::RemoveFile(b2);
    if (platform::FileExists(b1)) platform::RenameFile(b1, b2);
  }
  platform::RenameFile(destino, b1);
}

}  // namespace

bool NomeProtegido(const std::string& name) {
  return std::string(kNomesProtegidos).find(LowerAscii(name)) != std::string::npos;
}

void CopiaAtualizacao(const std::string& source, const std::string& destination,
                      const std::string& pattern) {
  const std::string origem = platform::IncludeTrailingPathDelimiter(source);
  const std::string destino = platform::IncludeTrailingPathDelimiter(destination);
  for (const platform::DirEntry& entry : platform::ListDirectory(origem, pattern)) {
    const std::string& name = entry.name;
    if (entry.directory) {
      if (name == "." || name == "..") continue;
      platform::ForceDirectories(destino + name);
      CopiaAtualizacao(origem + name, destino + name, "*.*");
      continue;
    }
    if (NomeProtegido(name)) continue;
    if (LowerAscii(name) == kExecutavelPrincipal) RodaBackups(destino + name);
    platform::CopyFileOverwrite(origem + name, destino + name);
  }
}

}  // namespace vlt
