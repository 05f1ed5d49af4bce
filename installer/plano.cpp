#include "installer/plano.h"

#include "installer/linha_comando.h"
#include "installer/wizard_layout.h"
#include "platform/text.h"

namespace vlt {

std::string ValidaServidor(const std::string& tipo, const std::string& servidor) {
  if (tipo == "1" && platform::Trim(servidor).empty())
    return "O campo \"IP/Nome Servidor\" não pode ficar vazio.";
  return {};
}

std::string ValidaPasta(const std::string& dir) {
  const auto letra = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  const bool unidade =
      dir.size() >= 3 && letra(dir[0]) && dir[1] == ':' && (dir[2] == '\\' || dir[2] == '/');
  const bool rede = dir.size() >= 3 && dir.starts_with("\\\\") && dir[2] != '\\';
  if (unidade || rede) return {};
  if (platform::Trim(dir).empty())
    return "Informe a pasta de instalação: um caminho completo, como C:\\Progs5\\Berfon.";
  // A relative folder would land wherever the program happened to start.
  return "A pasta \"" + dir +
         "\" não serve: a pasta de instalação deve ser um caminho completo, como "
         "C:\\Progs5\\Berfon.";
}

std::string SemBarraFinal(std::string dir) {
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();  // one backslash only
  return dir;
}

std::string PastaPadraoLoja() {
  return std::string(LayoutOf(Control::edtDirZadoveve).text);
}

std::string PastaPadraoTerminal() {
  return std::string(LayoutOf(Control::edtDirTerminal).text);
}

std::optional<PlanoInstalacao> PlanoDeParametros(const ParametrosInstalacao& p,
                                                 const ServidorPacotes& pacotes, std::string& erro,
                                                 const FontesProxy& fontes) {
  PlanoInstalacao plano;
  plano.produto = p.produto == kProdutoPDV ? Produto::PDV : Produto::Loja;
  plano.tipo = p.tipo;
  plano.servidor = p.servidor.value_or("");
  plano.pacotes = pacotes;
  plano.silencioso = p.silencioso;
  plano.log = p.log;
  plano.resultado = p.resultado;
  FontesProxy f = fontes;
  f.parametro = p.proxy;
  plano.proxy = DescobreProxy(f, UrlsDosPacotes(pacotes));
  plano.proxy.usuario = p.proxy_usuario;
  plano.proxy.senha = p.proxy_senha;
  const bool loja = plano.produto == Produto::Loja;
  const std::string pasta = p.dir.value_or(loja ? PastaPadraoLoja() : PastaPadraoTerminal());
  plano.dir = SemBarraFinal(pasta);
  plano.dir_loja = loja ? plano.dir : PastaPadraoLoja();
  plano.dir_quenda = p.dirquenda.value_or(PastaPadraoLoja());
  // The folders are the engine's to check, with the others it writes into.
  erro = ValidaServidor(plano.tipo, plano.servidor);
  if (!erro.empty()) return std::nullopt;
  return plano;
}

std::vector<std::string> UrlsDosPacotes(const ServidorPacotes& pacotes) {
  std::vector<std::string> urls = {pacotes.Base + "/"};
  if (pacotes.UpdateBase != pacotes.Base) urls.push_back(pacotes.UpdateBase + "/");
  return urls;
}

}  // namespace vlt
