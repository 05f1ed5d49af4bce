#include "installer/linha_comando.h"

#include "installer/codigos_saida.h"
#include "installer/plano.h"
#include "installer/proxy.h"
#include "platform/text.h"

namespace vlt {
namespace {

using platform::AsciiLower;

bool EhEstacao(const std::string& valor) {
  // AsciiLower leaves the accented letters as they are.
  return valor == "estacao" || valor == "estação" || valor == "estaÇÃo" || valor == "estaÇão";
}

enum class Opcao {
  produto,
  tipo,
  servidor,
  dir,
  dirquenda,
  silencioso,
  log,
  resultado,
  proxy,
  proxyusuario,
  proxysenha,
  ajuda
};

struct NomeOpcao {
  const char* nome;
  Opcao opcao;
};
constexpr NomeOpcao kOpcoes[] = {
    {"produto", Opcao::produto},
    {"tipo", Opcao::tipo},
    {"servidor", Opcao::servidor},
    {"dir", Opcao::dir},
    {"dirquenda", Opcao::dirquenda},
    {"silencioso", Opcao::silencioso},
    {"log", Opcao::log},
    {"resultado", Opcao::resultado},
    {"?", Opcao::ajuda},
    {"ajuda", Opcao::ajuda},
    {"proxy", Opcao::proxy},
    {"proxyusuario", Opcao::proxyusuario},
    {"proxysenha", Opcao::proxysenha},
};

// The first refusal is the one reported; the options after it are still read, so that a
// refused command line is logged and reported where it asked.
std::string Le(const std::vector<std::string>& argumentos, ParametrosInstalacao& p) {
  std::string erro;
  auto recusa = [&erro](const std::string& motivo) {
    if (erro.empty()) erro = motivo;
  };
  bool visto[static_cast<int>(Opcao::ajuda) + 1] = {};
  for (const std::string& argumento : argumentos) {
    if (argumento.empty() || argumento[0] != '/') {
      recusa("Parâmetro inválido: \"" + argumento + "\" (os parâmetros começam com \"/\").");
      continue;
    }
    const size_t igual = argumento.find('=');
    const bool com_valor = igual != std::string::npos;
    const std::string nome =
        AsciiLower(argumento.substr(1, com_valor ? igual - 1 : std::string::npos));
    const std::string valor = com_valor ? platform::Trim(argumento.substr(igual + 1)) : "";
    const NomeOpcao* achada = nullptr;
    for (const NomeOpcao& o : kOpcoes)
      if (nome == o.nome) achada = &o;
    if (achada == nullptr) {
      recusa("Parâmetro desconhecido: \"" + argumento + "\".");
      continue;
    }
    const Opcao opcao = achada->opcao;
    bool& ja_visto = visto[static_cast<int>(opcao)];
    if (ja_visto) {
      recusa("O parâmetro /" + nome + " foi informado mais de uma vez.");
      continue;
    }
    ja_visto = true;
    if (opcao == Opcao::silencioso || opcao == Opcao::ajuda) {
      if (com_valor) {
        recusa("O parâmetro /" + nome + " não leva valor: \"" + argumento + "\".");
        continue;
      }
    } else if (valor.empty()) {
      {
        recusa("O parâmetro /" + nome + " precisa de um valor: /" + nome + "=...");
        continue;
      }
    }
    const std::string minusculo = AsciiLower(valor);
    switch (opcao) {
      case Opcao::produto:
        if (minusculo == "loja")
          p.produto = std::string(kProdutoLoja);
        else if (minusculo == "pdv")
          p.produto = std::string(kProdutoPDV);
        else {
          recusa("Produto inválido: \"" + valor + "\" (use /produto=loja ou /produto=pdv).");
          continue;
        }
        break;
      case Opcao::tipo:
        if (minusculo == "servidor")
          p.tipo = std::string("0");
        else if (EhEstacao(minusculo))
          p.tipo = std::string("1");
        else {
          recusa("Tipo inválido: \"" + valor + "\" (use /tipo=servidor ou /tipo=estacao).");
          continue;
        }
        break;
      case Opcao::servidor:
        p.servidor = valor;
        break;
      case Opcao::dir:
        p.dir = valor;
        break;
      case Opcao::dirquenda:
        p.dirquenda = valor;
        break;
      case Opcao::silencioso:
        p.silencioso = true;
        break;
      case Opcao::log:
        p.log = valor;
        break;
      case Opcao::resultado:
        p.resultado = valor;
        break;
      case Opcao::proxy:
        if (minusculo != "nenhum") {
          std::string motivo;
          if (!LeEnderecoProxy(valor, "", motivo)) {
            recusa(motivo);
            continue;
          }
        }
        p.proxy = valor;
        break;
      case Opcao::proxyusuario:
        p.proxy_usuario = valor;
        break;
      case Opcao::proxysenha:
        p.proxy_senha = valor;
        break;
      case Opcao::ajuda:
        p.ajuda = true;
        break;
    }
  }
  if (!erro.empty()) return erro;
  // Options that only make sense together.
  if ((p.dir || p.dirquenda) && p.produto.empty())
    return "/dir e /dirquenda precisam de /produto: a pasta é de qual produto?";
  if (p.dirquenda && p.produto != kProdutoPDV)
    return "/dirquenda só vale para /produto=pdv (é a pasta do Quenda que o PDV usa).";
  if (p.silencioso && (p.produto.empty() || p.tipo.empty()))
    return "/silencioso precisa de /produto e /tipo: sem eles não há o que instalar sem "
           "perguntar.";
  if (!p.proxy_senha.empty() && p.proxy_usuario.empty())
    return "/proxysenha precisa de /proxyusuario: a senha é de qual usuário?";
  if (p.silencioso && p.tipo == "1" && !p.servidor)
    return "/tipo=estacao com /silencioso precisa de /servidor=NOME (o IP ou nome do "
           "servidor).";
  return {};
}

}  // namespace

LinhaComando LeLinhaComando(const std::vector<std::string>& argumentos) {
  LinhaComando linha;
  linha.erro = Le(argumentos, linha.parametros);
  // Nothing of a refused command line is used, but where to log and report it is.
  if (!linha.erro.empty()) {
    const ParametrosInstalacao lido = linha.parametros;
    linha.parametros = {};
    linha.parametros.log = lido.log;
    linha.parametros.resultado = lido.resultado;
    linha.parametros.silencioso = lido.silencioso;
  }
  return linha;
}

std::string TextoUso() {
  std::string texto =
      "Uso: InstaladorVeltra.exe [/produto=loja|pdv] [/tipo=servidor|estacao] [/servidor=NOME]\n"
      "         [/dir=PASTA] [/dirquenda=PASTA] [/silencioso] [/log=ARQUIVO] "
      "[/resultado=ARQUIVO]\n"
      "         [/proxy=ENDERECO|nenhum] [/proxyusuario=NOME] [/proxysenha=SENHA]\n"
      "\n"
      "  /produto=loja|pdv       o Quenda Loja (ERP) ou o Quenda PDV (terminal NFC-e)\n"
      "  /tipo=servidor|estacao  o tipo desta instalação\n"
      "  /servidor=NOME          IP ou nome do servidor (obrigatório para estacao com "
      "/silencioso)\n"
      "  /dir=PASTA              pasta de instalação do produto\n"
      "  /dirquenda=PASTA        pasta do Quenda usada pelo PDV (só com /produto=pdv)\n"
      "  /silencioso             instala sem perguntar nada (precisa de /produto e /tipo)\n"
      "                          e termina com um dos códigos de saída abaixo\n"
      "  /log=ARQUIVO            registro da instalação (sempre gravado; padrão:\n"
      "                          %TEMP%\\InstaladorVeltra-AAAAMMDD-HHMMSS.log)\n"
      "  /resultado=ARQUIVO      grava o resultado em linhas chave=valor\n"
      "  /proxy=ENDERECO         proxy dos downloads (HOST:PORTA, http://HOST:PORTA,\n"
      "                          socks5://HOST:PORTA); /proxy=nenhum conecta direto; sem ele,\n"
      "                          o proxy do sistema (variáveis, Opções da Internet, WinHTTP)\n"
      "  /proxyusuario=NOME      usuário do proxy (Basic); não é gravado em lugar nenhum\n"
      "  /proxysenha=SENHA       senha desse usuário\n"
      "\n"
      "Sem /silencioso, o assistente abre na página a que os parâmetros levam, com os campos\n"
      "preenchidos.\n"
      "\n"
      "Códigos de saída:\n";
  for (const DescricaoSaida& d : TabelaSaidas()) {
    const std::string numero = std::to_string(static_cast<int>(d.codigo));
    texto.append("  ").append(numero.size() < 2 ? " " : "").append(numero);
    texto.append("  ").append(d.significado).append("\n");
  }
  return texto;
}

std::string TextoUsoCurto() {
  return "Parâmetros aceitos:\n"
         "/produto=loja|pdv\n/tipo=servidor|estacao\n/servidor=NOME\n/dir=PASTA\n"
         "/dirquenda=PASTA\n/silencioso\n/log=ARQUIVO\n/resultado=ARQUIVO\n"
         "/proxy=ENDERECO|nenhum\n/proxyusuario=NOME\n/proxysenha=SENHA\n\n"
         "InstaladorVeltra.exe /? descreve cada um e os códigos de saída.";
}

}  // namespace vlt
