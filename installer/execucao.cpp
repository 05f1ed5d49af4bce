#include "installer/execucao.h"

#include "installer/principal.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vlt {

ResultadoInstalacao ResultadoDe(TfrmPrincipal& form, std::uint32_t duracao_ms) {
  ResultadoInstalacao r;
  const InstallSettings& s = form.Settings();
  if (s.SistemaSelecionado == kProdutoLoja) r.produto = "loja";
  if (s.SistemaSelecionado == kProdutoPDV) r.produto = "pdv";
  r.diretorio = form.DiretorioInstalacao();
  if (s.TipoInstalacao == "0") r.tipo = "servidor";
  if (s.TipoInstalacao == "1") r.tipo = "estacao";
  r.desfecho = form.UltimoDesfecho();
  r.registro = platform::LogPath();
  r.duracao_ms = duracao_ms;
  return r;
}

ResultadoInstalacao ResultadoDe(const PlanoInstalacao& plano, const Desfecho& desfecho,
                                std::uint32_t duracao_ms) {
  ResultadoInstalacao r;
  r.produto = plano.produto == Produto::Loja ? "loja" : "pdv";
  r.tipo = plano.tipo == "1" ? "estacao" : "servidor";
  r.diretorio = plano.dir;
  r.desfecho = desfecho;
  r.registro = platform::LogPath();
  r.duracao_ms = duracao_ms;
  return r;
}

std::string TextoResultado(const ResultadoInstalacao& r) {
  std::string texto;
  auto linha = [&](const char* chave, const std::string& valor) {
    texto.append(chave).append("=").append(platform::OneLine(valor)).append("\r\n");
  };
  linha("produto", r.produto);
  linha("tipo", r.tipo);
  linha("diretorio", r.diretorio);
  linha("codigo", std::to_string(static_cast<int>(r.desfecho.codigo)));
  linha("situacao", DescricaoDe(r.desfecho.codigo).nome);
  linha("mensagem", r.desfecho.mensagem);
  linha("registro", r.registro);
  // Whole seconds, rounded.
  linha("duracao", std::to_string((r.duracao_ms + 500) / 1000));
  // Added after the first keys, which fleet tools already read in this order.
  linha("etapa", r.desfecho.codigo == CodigoSaida::Instalado ? std::string() : r.desfecho.etapa);
  return texto;
}

bool GravaResultado(const std::string& arquivo, const ResultadoInstalacao& resultado,
                    std::string& erro) {
  const std::string texto = TextoResultado(resultado);
  const std::string novo = arquivo + ".novo";
  if (const std::string pasta = platform::ExtractFileDir(arquivo);
      !pasta.empty() && !platform::DirectoryExists(pasta))
    platform::ForceDirectories(pasta);
  {
    platform::File f;
    if (!f.Open(novo, platform::FileAccess::Write, platform::FileShare::Exclusive,
                platform::FileCreate::CreateAlways) ||
        !f.Write(texto.data(), texto.size())) {
      erro = f.ErrorText();
      f.Close();
      platform::RemoveFile(novo);
      return false;
    }
  }
  if (!platform::RenameFileReplacing(novo, arquivo)) {
    erro = platform::LastFileErrorText();
    platform::RemoveFile(novo);
    return false;
  }
  return true;
}

bool ResultadoGravavel(const std::string& arquivo, std::string& erro) {
  // The file itself is written only at the end; its temporary neighbour is tried now.
  const std::string teste = arquivo + ".novo";
  if (const std::string pasta = platform::ExtractFileDir(arquivo);
      !pasta.empty() && !platform::DirectoryExists(pasta))
    platform::ForceDirectories(pasta);
  platform::File f;
  if (!f.Open(teste, platform::FileAccess::Write, platform::FileShare::Exclusive,
              platform::FileCreate::CreateAlways)) {
    erro = "Não é possível gravar o resultado em \"" + arquivo + "\": " + f.ErrorText();
    return false;
  }
  f.Close();
  platform::RemoveFile(teste);
  return true;
}

bool AbreRegistro(platform::LogFile& log, const std::string& pedido, std::string& erro) {
  if (!pedido.empty()) {
    // A deployment tool names a folder of its own for the logs of a fleet: made if missing.
    if (const std::string pasta = platform::ExtractFileDir(pedido);
        !pasta.empty() && !platform::DirectoryExists(pasta))
      platform::ForceDirectories(pasta);
    if (log.Open(pedido)) return true;
    erro = "Não foi possível abrir o registro da instalação \"" + pedido + "\": " + log.ErrorText();
    return false;
  }
  const std::string base = platform::DefaultLogPath();
  std::string caminho = base;
  for (int n = 2; platform::FileExists(caminho) && n < 100; ++n)
    caminho = base.substr(0, base.size() - 4) + "-" + std::to_string(n) + ".log";
  if (log.Open(caminho)) return true;
  erro = "Não foi possível criar o registro da instalação \"" + caminho + "\": " + log.ErrorText();
  return false;
}

std::string LinhaParaRegistro(const std::vector<std::string>& argumentos) {
  if (argumentos.empty()) return "(sem parâmetros)";
  std::string texto;
  for (std::string a : argumentos) {
    // A proxy's password is written nowhere: not in the log either.
    const std::string minusculo = platform::AsciiLower(a);
    if (minusculo.starts_with("/proxysenha=")) a = a.substr(0, 12) + "***";
    if (const size_t arroba = a.rfind('@');
        minusculo.starts_with("/proxy=") && arroba != std::string::npos) {
      const size_t sep = a.find("://");
      const size_t login = sep == std::string::npos ? 7 : sep + 3;
      if (login < arroba) a = a.substr(0, login) + "***" + a.substr(arroba);
    }
    if (!texto.empty()) texto += ' ';
    if (a.empty() || a.find_first_of(" \t\"") != std::string::npos)
      texto.append("\"").append(a).append("\"");
    else
      texto.append(a);
  }
  return texto;
}

}  // namespace vlt
