#include "installer/copia_atualizacao.h"

#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "platform/dir_list.h"
#include "platform/exception.h"
#include "platform/file_attributes.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vlt {
namespace {

// A plain substring search in this text decides: "dados", "ini" and "e.zip" are protected
// too, and "dados.gdb.bak" is not.
constexpr const char* kNomesProtegidos =
    "dados.gdb*global.ini*etiqueta.ini*dados.fdb*dbecf.gdb*dbecf.fdb*terminalnfec-e.zip*"
    "captura.ini";
constexpr const char* kExecutavelPrincipal = "estoque.exe";

// The new file is copied beside its final name first; only a complete copy takes its place.
constexpr const char* kSufixoNovo = ".vlt_novo";
// The oldest backup waits under this name until the update has taken its place.
constexpr const char* kSufixoDescarte = ".vlt_descarte";

// One line per file in the error box; a whole tree that fails is summed up after these.
constexpr size_t kFalhasMostradas = 10;

// Removes a file of our own (a leftover copy, a discarded backup), read-only or not.
void Descarta(const std::string& path) {
  if (!platform::FileExists(path)) return;
  platform::SetFileAttributesDos(path, 0);
  platform::RemoveFile(path);
}

// The renames of one update, undone in reverse order when a later step fails: every step of
// the rotation is a rename, so nothing is lost until the new file is in place.
class Renomeacoes {
 public:
  bool Move(const std::string& from, const std::string& to) {
    if (!platform::RenameFile(from, to)) return false;
    done_.emplace_back(from, to);
    return true;
  }
  // What was moved, for the log.
  const std::vector<std::pair<std::string, std::string>>& Done() const { return done_; }
  void Undo() {
    for (auto it = done_.rbegin(); it != done_.rend(); ++it) {
      platform::RenameFile(it->second, it->first);
    }
    done_.clear();
  }

 private:
  std::vector<std::pair<std::string, std::string>> done_;
};

// Makes `novo` the installed `destino`, keeping the installed executable and its two
// predecessors as "_antes1".."_antes3": the oldest generation is dropped and the installed
// executable becomes "_antes1" by a rename, never a copy (a running program can be renamed).
// On failure everything is put back as it was and the system's reason is returned.
std::optional<std::string> RodaBackupsEInstala(const std::string& novo,
                                               const std::string& destino) {
  const std::string b1 = destino + "_antes1";
  const std::string b2 = destino + "_antes2";
  const std::string b3 = destino + "_antes3";
  const std::string descarte = b3 + kSufixoDescarte;
  Descarta(descarte);
  Renomeacoes feitas;
  const bool ok = (!platform::FileExists(b3) || feitas.Move(b3, descarte)) &&
                  (!platform::FileExists(b2) || feitas.Move(b2, b3)) &&
                  (!platform::FileExists(b1) || feitas.Move(b1, b2)) &&
                  (!platform::FileExists(destino) || feitas.Move(destino, b1)) &&
                  feitas.Move(novo, destino);
  if (!ok) {
    std::string motivo = platform::LastFileErrorText();
    feitas.Undo();
    return motivo;
  }
  Descarta(descarte);
  for (const auto& [from, to] : feitas.Done()) {
    if (to == descarte)
      platform::Log("Descartada a cópia de segurança mais antiga: " + from);
    else if (from == novo)
      platform::Log("Copiado: " + to);
    else
      platform::Log("Cópia de segurança: " + from + " -> " + platform::ExtractFileName(to));
  }
  return std::nullopt;
}

// How two names of one file compare: separators and "..", then case, as Windows sees them.
std::string Chave(const std::string& path) {
  return platform::AsciiLower(platform::NormalizePath(path));
}

class Copia {
 public:
  explicit Copia(const std::vector<std::string>* somente) {
    if (somente == nullptr) return;
    filtro_ = true;
    for (const std::string& arquivo : *somente) {
      std::string chave = Chave(arquivo);
      // Every folder above a file is walked.
      for (size_t barra = chave.rfind('\\'); barra != std::string::npos && barra > 0;
           barra = chave.rfind('\\', barra - 1))
        pastas_.insert(chave.substr(0, barra));
      arquivos_.insert(std::move(chave));
    }
  }
  void Diretorio(const std::string& source, const std::string& destination,
                 const std::string& pattern);
  const std::vector<std::string>& Falhas() const { return falhas_; }

 private:
  void Arquivo(const std::string& origem, const std::string& destino, bool executavel);
  bool Incluido(const std::string& path, bool pasta) const {
    if (!filtro_) return true;
    return (pasta ? pastas_ : arquivos_).contains(Chave(path));
  }

  std::vector<std::string> falhas_;
  bool filtro_ = false;
  std::set<std::string> arquivos_, pastas_;
};

void Copia::Diretorio(const std::string& source, const std::string& destination,
                      const std::string& pattern) {
  const std::string origem = platform::IncludeTrailingPathDelimiter(source);
  const std::string destino = platform::IncludeTrailingPathDelimiter(destination);
  for (const platform::DirEntry& entry : platform::ListDirectory(origem, pattern)) {
    const std::string& name = entry.name;
    if (entry.directory) {
      if (name == "." || name == "..") continue;
      if (!Incluido(origem + name, true)) continue;
      // A directory that cannot be made shows up as the failures of the files it should hold.
      platform::ForceDirectories(destino + name);
      Diretorio(origem + name, destino + name, "*.*");
      continue;
    }
    if (NomeProtegido(name)) continue;
    // An unfinished download is not part of any update.
    if (platform::AsciiLower(name).ends_with(".part")) continue;
    if (!Incluido(origem + name, false)) continue;
    Arquivo(origem + name, destino + name, platform::AsciiLower(name) == kExecutavelPrincipal);
  }
}

// A failed file leaves the installed one as it was and is reported with its name; the walk
// goes on with the next entry.
void Copia::Arquivo(const std::string& origem, const std::string& destino, bool executavel) {
  const std::string novo = destino + kSufixoNovo;
  Descarta(novo);
  std::optional<std::string> motivo;
  if (!platform::CopyFileOverwrite(origem, novo)) {
    motivo = platform::LastFileErrorText();
  } else if (executavel) {
    motivo = RodaBackupsEInstala(novo, destino);
  } else if (!platform::RenameFileReplacing(novo, destino)) {
    motivo = platform::LastFileErrorText();
  } else {
    platform::Log("Copiado: " + destino);
  }
  if (!motivo) return;
  falhas_.push_back("Não foi possível atualizar o arquivo: " + destino + ". " + *motivo);
  platform::Log("Erro: " + falhas_.back());
  Descarta(novo);
}

}  // namespace

bool NomeProtegido(const std::string& name) {
  return std::string(kNomesProtegidos).find(platform::AsciiLower(name)) != std::string::npos;
}

void CopiaAtualizacao(const std::string& source, const std::string& destination,
                      const std::string& pattern, const std::vector<std::string>* somente) {
  Copia copia(somente);
  copia.Diretorio(source, destination, pattern);
  const std::vector<std::string>& falhas = copia.Falhas();
  if (falhas.empty()) return;
  std::string texto;
  for (size_t i = 0; i < falhas.size() && i < kFalhasMostradas; ++i) {
    if (i > 0) texto += '\n';
    texto += falhas[i];
  }
  if (falhas.size() > kFalhasMostradas) {
    texto += "\n(e mais " + std::to_string(falhas.size() - kFalhasMostradas) + " arquivos)";
  }
  throw Exception(texto);
}

}  // namespace vlt
