#pragma once
// The installer's command line, read in one place: what a deployment tool (or a shortcut) may
// choose in advance, and whether the installation runs without asking anything.
//   InstaladorVeltra.exe [/produto=loja|pdv] [/tipo=servidor|estacao] [/servidor=NOME]
//     [/dir=PASTA] [/dirquenda=PASTA] [/silencioso] [/log=ARQUIVO] [/resultado=ARQUIVO]
//     [/proxy=ENDEREÇO|nenhum] [/proxyusuario=NOME] [/proxysenha=SENHA]
#include <optional>
#include <string>
#include <vector>

namespace vlt {

struct ParametrosInstalacao {
  std::string produto;                   // kProdutoLoja, kProdutoPDV or "" (not given)
  std::string tipo;                      // "0" server, "1" workstation, "" (not given)
  std::optional<std::string> servidor;   // trimmed, never empty when given
  std::optional<std::string> dir;        // the product's folder
  std::optional<std::string> dirquenda;  // the ERP folder the PDV points at
  bool silencioso = false;
  std::string log;        // "" : the default log in the temporary folder
  std::string resultado;  // "" : no result file
  // "" (not given), "nenhum" (direct) or an address LeEnderecoProxy reads.
  std::string proxy;
  std::string proxy_usuario, proxy_senha;  // a login for the proxy, asked for nowhere
  bool ajuda = false;                      // "/?": only the usage text
};

struct LinhaComando {
  ParametrosInstalacao parametros;
  std::string erro;  // why the command line cannot be used; "" when it can
};

// Option names are read without regard to case ("/SILENCIOSO"), and so are the words
// "loja", "pdv", "servidor" and "estacao" (also "estação"). A value is what follows the first
// "=", blanks around it dropped. Unknown, repeated, empty or conflicting options are refused
// as a whole: nothing of such a command line is used.
LinhaComando LeLinhaComando(const std::vector<std::string>& argumentos);

// What the options are and what the exit codes mean, in Portuguese.
std::string TextoUso();
// The valid options in one paragraph, for a box (the whole text is too wide for one).
std::string TextoUsoCurto();

}  // namespace vlt
