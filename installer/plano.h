#pragma once
// Everything one installation needs, decided before it starts: the wizard's pages and the
// command line each build a plan through the same checks, and the engine runs it. Nothing in a
// plan is read back from a window.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "installer/package_server.h"
#include "installer/proxy.h"

namespace vlt {

struct ParametrosInstalacao;

inline constexpr const char* kProdutoLoja = "Quenda";
inline constexpr const char* kProdutoPDV = "PDV NFCe";

enum class Produto { Loja, PDV };

// Where the packages come from: the build's settings unless a test points elsewhere.
struct ServidorPacotes {
  std::string Base = kPackageBase;       // Firebird, ERP, utilities, PDV
  std::string UpdateBase = kUpdateBase;  // the ERP update
  // A package without a published NAME.sha256 is refused (else installed unchecked).
  bool SomasObrigatorias = kPackageChecksumsRequired;
};

struct PlanoInstalacao {
  Produto produto = Produto::Loja;
  std::string tipo = "0";  // TipoInstalacao as GLOBAL.INI keeps it: "0" server, "1" workstation
  std::string servidor;    // ServidorIPNome, trimmed; may be empty for a server
  // The product's folder, without its one trailing backslash ("C:\Progs5\Berfon").
  std::string dir;
  // The ERP folder as the ERP page holds it: the Firebird setup and the utilities go beside it
  // ("C:\Progs5\Berfon\" + "/../Uteis/").
  std::string dir_loja;
  // PDV only: the ERP folder its GLOBAL.INI points at, exactly as typed.
  std::string dir_quenda;
  // Where the ERP update is unpacked before it is copied into the product's folder.
  std::string dir_atualiza = "C:\\Atualiza\\";
  ServidorPacotes pacotes;
  ConfiguracaoProxy proxy;  // found before the run; direct by default
  // A server that sends nothing is shown as waiting after the first, given up after the second.
  std::uint32_t silencio_mostrado_ms = 3000;
  std::int32_t silencio_maximo_ms = 30000;
  // A download that fails in a passing way is tried this many times in all.
  int tentativas_download = 6;
  bool silencioso = false;  // nobody is there to answer a box
  std::string log;          // "" : the default log in the temporary folder
  std::string resultado;    // "" : no result file

  // "Quenda" or "PDV NFCe", as the log and the process-wide settings name the product.
  const char* SistemaSelecionado() const {
    return produto == Produto::Loja ? kProdutoLoja : kProdutoPDV;
  }
  // A database of this name in the folder refuses the installation.
  const char* BaseDoProduto() const { return produto == Produto::Loja ? "Dados.gdb" : "DBECF.FDB"; }
  // Where the Firebird setup and the utilities are downloaded.
  std::string DirUteis() const { return dir_loja + "/../Uteis/"; }
};

// The checks a plan passes before it runs, each with the text the operator reads; "" when it
// passes.
//   A workstation needs its server's name or address.
std::string ValidaServidor(const std::string& tipo, const std::string& servidor);
//   A folder must be a full path: "C:\...", or "\\servidor\pasta".
std::string ValidaPasta(const std::string& dir);

// The folder as "Continuar" takes it: one trailing backslash dropped ("C:\Progs5\Berfon\\" ->
// "C:\Progs5\Berfon\").
std::string SemBarraFinal(std::string dir);

// The folders of the wizard's pages when nobody changed them.
std::string PastaPadraoLoja();
std::string PastaPadraoTerminal();

// The plan of an unattended run, from a command line already read; `erro` says why there is
// none (a workstation without its server).
// The proxy is found from `fontes` (the machine's, in the program), /proxy= first.
std::optional<PlanoInstalacao> PlanoDeParametros(const ParametrosInstalacao& parametros,
                                                 const ServidorPacotes& pacotes, std::string& erro,
                                                 const FontesProxy& fontes = {});

// The addresses the package downloads start from: what a proxy is chosen for.
std::vector<std::string> UrlsDosPacotes(const ServidorPacotes& pacotes);

}  // namespace vlt
