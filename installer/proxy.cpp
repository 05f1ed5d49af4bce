#include "installer/proxy.h"

#include <algorithm>
#include <cctype>

#include "net/address_text.h"
#include "net/text_functions.h"
#include "platform/numbers.h"
#include "platform/system_settings.h"
#include "platform/text.h"

namespace vlt {

using download::ptHTTP;
using download::ptSocks4;
using download::ptSocks4a;
using download::ptSocks5;
using download::ptSocks5h;
using platform::AsciiLower;
using platform::Trim;

namespace {

constexpr char kInternetSettings[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char kPortaCurl[] = "1080";       // curl's port for a proxy written without one
constexpr char kPortaWindows[] = "80";      // and Windows'
constexpr std::size_t kMaxWinHttp = 16384;  // the value is a few hundred bytes

// The entries of a list separated by any of `separadores`, blanks around them dropped.
std::vector<std::string> Entradas(std::string_view lista, std::string_view separadores) {
  std::vector<std::string> entradas;
  size_t inicio = 0;
  for (size_t i = 0; i <= lista.size(); ++i) {
    if (i < lista.size() && separadores.find(lista[i]) == std::string_view::npos) continue;
    std::string e = Trim(lista.substr(inicio, i - inicio));
    if (!e.empty()) entradas.push_back(std::move(e));
    inicio = i + 1;
  }
  return entradas;
}

// "[::1]" -> "::1", "Loja.Local." -> "loja.local"
std::string HostComparavel(std::string_view host) {
  std::string h = AsciiLower(Trim(host));
  if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  while (!h.empty() && h.back() == '.') h.pop_back();
  return h;
}

bool EhLoopback(const std::string& host) {
  if (host == "localhost" || host.ends_with(".localhost")) return true;
  if (net::IsIPv4Text(host)) return net::IPv4ToBytes(host)[0] == 127;
  if (net::IsIPv6Text(host)) {
    const std::string b = net::IPv6ToBytes(host);
    return b == std::string(15, '\0') + '\1';
  }
  return false;
}

// "*" matches any run of characters; both sides already lower case.
bool Casa(std::string_view padrao, std::string_view texto) {
  size_t p = 0, t = 0, estrela = std::string_view::npos, marca = 0;
  while (t < texto.size()) {
    if (p < padrao.size() && padrao[p] == '*') {
      estrela = p++;
      marca = t;
    } else if (p < padrao.size() && padrao[p] == texto[t]) {
      ++p;
      ++t;
    } else if (estrela != std::string_view::npos) {
      p = estrela + 1;
      t = ++marca;
    } else {
      return false;
    }
  }
  while (p < padrao.size() && padrao[p] == '*') ++p;
  return p == padrao.size();
}

// The address bytes of an IPv4 or IPv6 text; empty when it is neither.
std::string BytesDoEndereco(const std::string& host) {
  if (net::IsIPv4Text(host)) return net::IPv4ToBytes(host);
  // The address reader wants a last group: "fd00::" is read as "fd00::0".
  const std::string v6 = host.ends_with("::") ? host + "0" : host;
  if (net::IsIPv6Text(v6)) return net::IPv6ToBytes(v6);
  return {};
}

bool MesmoPrefixo(const std::string& a, const std::string& b, unsigned bits) {
  if (a.size() != b.size() || bits > a.size() * 8) return false;
  const size_t inteiros = bits / 8;
  if (a.compare(0, inteiros, b, 0, inteiros) != 0) return false;
  if (bits % 8 == 0) return true;
  const auto mascara = static_cast<unsigned char>(0xFF << (8 - bits % 8));
  return (static_cast<unsigned char>(a[inteiros]) & mascara) ==
         (static_cast<unsigned char>(b[inteiros]) & mascara);
}

std::uint32_t Palavra(std::string_view b, size_t em) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[em + i]);
  return v;
}

std::string Origem(std::string_view url) {
  net::UrlParts u;
  net::SplitUrl(url, u);
  return AsciiLower(u.Prot) + "://" + HostComparavel(u.Host) + ":" + u.Port;
}

std::string DescreveProxy(const std::optional<TVltProxy>& p) {
  if (!p || p->ProxyHost.empty()) return "direto";
  static constexpr const char* kEsquemas[] = {"", "socks4://", "socks4a://", "socks5://",
                                              "socks5h://"};
  const bool ipv6 = p->ProxyHost.find(':') != std::string::npos;
  return std::string(kEsquemas[p->ProxyTipo]) + (ipv6 ? "[" + p->ProxyHost + "]" : p->ProxyHost) +
         ":" + p->ProxyPort;
}

}  // namespace

std::optional<TVltProxy> LeEnderecoProxy(std::string_view texto, std::string_view porta_padrao,
                                         std::string& erro) {
  const std::string original = Trim(texto);
  auto recusa = [&](const std::string& motivo) -> std::optional<TVltProxy> {
    erro = "O endereço de proxy \"" + original + "\" não serve: " + motivo +
           " (use HOST:PORTA, http://HOST:PORTA, socks5://HOST:PORTA ou nenhum).";
    return std::nullopt;
  };
  if (original.empty()) return recusa("está vazio");
  TVltProxy proxy;
  std::string resto = original;
  if (const size_t sep = resto.find("://"); sep != std::string::npos) {
    const std::string esquema = AsciiLower(resto.substr(0, sep));
    static constexpr std::pair<const char*, download::TVltProxyTipo> kTipos[] = {
        {"http", ptHTTP},     {"socks4", ptSocks4},   {"socks4a", ptSocks4a},
        {"socks5", ptSocks5}, {"socks5h", ptSocks5h},
    };
    bool achado = false;
    for (const auto& [nome, tipo] : kTipos)
      if (esquema == nome) {
        proxy.ProxyTipo = tipo;
        achado = true;
      }
    if (!achado) return recusa("o tipo \"" + esquema + "\" não é conhecido");
    resto = resto.substr(sep + 3);
  }
  // Nothing after the address but one slash: "http://proxy:3128/".
  if (const size_t barra = resto.find('/'); barra != std::string::npos) {
    if (barra + 1 != resto.size()) return recusa("um proxy não tem caminho");
    resto.pop_back();
  }
  if (const size_t arroba = resto.rfind('@'); arroba != std::string::npos) {
    const std::string login = resto.substr(0, arroba);
    resto = resto.substr(arroba + 1);
    const size_t dois_pontos = login.find(':');
    proxy.ProxyUser = net::PercentDecode(login.substr(0, dois_pontos));
    if (dois_pontos != std::string::npos)
      proxy.ProxyPass = net::PercentDecode(login.substr(dois_pontos + 1));
  }
  std::string host, porta;
  if (resto.starts_with('[')) {
    const size_t fim = resto.find(']');
    if (fim == std::string::npos) return recusa("falta o \"]\" do endereço IPv6");
    host = resto.substr(1, fim - 1);
    if (!net::IsIPv6Text(host)) return recusa("o endereço IPv6 não é válido");
    const std::string depois = resto.substr(fim + 1);
    if (!depois.empty() && !depois.starts_with(':')) return recusa("sobra texto após o \"]\"");
    if (!depois.empty()) porta = depois.substr(1);
    if (depois.empty()) porta = std::string(porta_padrao);
  } else {
    const size_t dois_pontos = resto.find(':');
    if (dois_pontos != std::string::npos && resto.find(':', dois_pontos + 1) != std::string::npos)
      return recusa("um endereço IPv6 vai entre colchetes ([::1]:3128)");
    host = resto.substr(0, dois_pontos);
    porta = dois_pontos == std::string::npos ? std::string(porta_padrao)
                                             : resto.substr(dois_pontos + 1);
    if (host.empty()) return recusa("falta o nome ou endereço do proxy");
    for (const char c : host)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_')
        return recusa("o nome \"" + host + "\" tem caracteres inválidos");
  }
  if (porta.empty()) return recusa("falta a porta");
  const auto numero = platform::ParseUnsigned<std::uint32_t>(porta);
  if (!numero || *numero == 0 || *numero > 65535)
    return recusa("a porta \"" + porta + "\" não é um número entre 1 e 65535");
  proxy.ProxyHost = host;
  proxy.ProxyPort = std::to_string(*numero);
  return proxy;
}

std::optional<TVltProxy> ProxyServerPara(std::string_view proxy_server, std::string_view esquema) {
  const std::vector<std::string> entradas = Entradas(proxy_server, "; \t");
  auto le = [](std::string valor, download::TVltProxyTipo tipo) -> std::optional<TVltProxy> {
    // "https=https://p2:8443": the scheme names what is fetched, not how the proxy is spoken to.
    const std::string minusculo = AsciiLower(valor);
    if (minusculo.starts_with("http://")) valor = valor.substr(7);
    if (minusculo.starts_with("https://")) valor = valor.substr(8);
    std::string erro;
    auto proxy = LeEnderecoProxy(valor, kPortaWindows, erro);
    if (proxy && valor.find("://") == std::string::npos) proxy->ProxyTipo = tipo;
    return proxy;
  };
  std::optional<std::string> do_esquema, socks;
  for (const std::string& e : entradas) {
    const size_t igual = e.find('=');
    if (igual == std::string::npos) {
      // A list without schemes: its first proxy serves every request.
      if (!do_esquema && !socks) return le(e, ptHTTP);
      continue;
    }
    const std::string chave = AsciiLower(Trim(e.substr(0, igual)));
    const std::string valor = Trim(e.substr(igual + 1));
    if (chave == esquema && !do_esquema) do_esquema = valor;
    if (chave == "socks" && !socks) socks = valor;
  }
  if (do_esquema) return le(*do_esquema, ptHTTP);
  if (socks) return le(*socks, ptSocks4);
  return std::nullopt;
}

bool DiretoPorExcecaoWindows(std::string_view lista, std::string_view host_dado) {
  const std::string host = HostComparavel(host_dado);
  const std::vector<std::string> entradas = Entradas(lista, "; \t\r\n");
  bool loopback_pelo_proxy = false;
  for (const std::string& e : entradas)
    if (AsciiLower(e) == "<-loopback>") loopback_pelo_proxy = true;
  if (EhLoopback(host) && !loopback_pelo_proxy) return true;
  for (const std::string& e : entradas) {
    std::string padrao = AsciiLower(e);
    if (padrao == "<local>") {
      if (host.find('.') == std::string::npos && host.find(':') == std::string::npos) return true;
      continue;
    }
    if (padrao == "<-loopback>") continue;
    if (const size_t sep = padrao.find("://"); sep != std::string::npos)
      padrao = padrao.substr(sep + 3);
    // "[fe80::1]:8080", "loja.local:8080": the port is not compared.
    if (padrao.starts_with('[')) {
      padrao = net::TextBefore(padrao.substr(1), "]");
    } else if (std::count(padrao.begin(), padrao.end(), ':') == 1) {
      padrao = net::TextBefore(padrao, ":");
    }
    if (!padrao.empty() && Casa(padrao, host)) return true;
  }
  return false;
}

bool DiretoPorNoProxy(std::string_view no_proxy, std::string_view host_dado) {
  const std::string host = HostComparavel(host_dado);
  const std::string bytes_host = BytesDoEndereco(host);
  for (std::string e : Entradas(no_proxy, ", \t")) {
    if (e == "*") return true;
    e = AsciiLower(e);
    if (const size_t barra = e.find('/'); barra != std::string::npos) {
      const std::string rede = BytesDoEndereco(HostComparavel(e.substr(0, barra)));
      const auto bits = platform::ParseUnsigned<unsigned>(e.substr(barra + 1));
      if (!bytes_host.empty() && !rede.empty() && bits && MesmoPrefixo(bytes_host, rede, *bits))
        return true;
      continue;
    }
    while (e.starts_with('.')) e.erase(0, 1);
    e = HostComparavel(e);
    if (e.empty()) continue;
    if (!bytes_host.empty()) {
      if (BytesDoEndereco(e) == bytes_host) return true;
      continue;
    }
    if (host == e ||
        (host.size() > e.size() && host.ends_with(e) && host[host.size() - e.size() - 1] == '.'))
      return true;
  }
  return false;
}

std::optional<ProxyWinHttp> LeWinHttpSettings(std::string_view blob) {
  constexpr std::uint32_t kProxyNomeado = 2;
  if (blob.size() < 16) return std::nullopt;
  if ((Palavra(blob, 8) & kProxyNomeado) == 0) return std::nullopt;
  size_t em = 12;
  // Each length is checked against what is left before it is used.
  auto texto = [&](std::string& saida) {
    if (blob.size() - em < 4) return false;
    const std::uint32_t n = Palavra(blob, em);
    em += 4;
    if (n > blob.size() - em) return false;
    saida = std::string(blob.substr(em, n));
    em += n;
    return true;
  };
  ProxyWinHttp w;
  if (!texto(w.proxy) || Trim(w.proxy).empty()) return std::nullopt;
  texto(w.excecoes);  // may be missing
  return w;
}

TVltProxy ConfiguracaoProxy::Para(std::string_view url) const {
  net::UrlParts u;
  net::SplitUrl(url, u);
  const std::string esquema = AsciiLower(u.Prot);
  std::optional<TVltProxy> escolhido;
  switch (fonte) {
    case FonteProxy::Parametro:
      escolhido = fixo;
      break;
    case FonteProxy::Ambiente:
      if (!DiretoPorNoProxy(excecoes, u.Host)) escolhido = esquema == "https" ? https : http;
      break;
    case FonteProxy::Internet:
    case FonteProxy::WinHttp:
      if (!DiretoPorExcecaoWindows(excecoes, u.Host))
        escolhido = ProxyServerPara(servidor, esquema);
      break;
    case FonteProxy::AutoConfig: {
      const std::string origem = Origem(url);
      for (const auto& [o, p] : por_origem)
        if (o == origem) escolhido = p;
      break;
    }
    case FonteProxy::Direto:
      break;
  }
  if (!escolhido) return {};
  // SOCKS 4 has no password.
  const bool com_login = escolhido->ProxyTipo != ptSocks4 && escolhido->ProxyTipo != ptSocks4a;
  if (escolhido->ProxyUser.empty() && !usuario.empty() && com_login) {
    escolhido->ProxyUser = usuario;
    escolhido->ProxyPass = senha;
  }
  return *escolhido;
}

std::string ConfiguracaoProxy::Descricao(std::string_view url) const {
  const TVltProxy p = Para(url);
  return DescreveProxy(p.ProxyHost.empty() ? std::nullopt : std::optional<TVltProxy>(p));
}

FontesProxy FontesDoSistema(const std::string& parametro) {
  using platform::RegistryRoot;
  FontesProxy f;
  f.parametro = parametro;
  f.ambiente = [](std::string_view nome) { return platform::EnvironmentVariable(nome); };
  const auto usuario = RegistryRoot::CurrentUser;
  f.proxy_enable = platform::ReadRegistryDword(usuario, kInternetSettings, "ProxyEnable");
  f.proxy_server = platform::ReadRegistryText(usuario, kInternetSettings, "ProxyServer");
  f.proxy_override = platform::ReadRegistryText(usuario, kInternetSettings, "ProxyOverride");
  f.auto_config_url = platform::ReadRegistryText(usuario, kInternetSettings, "AutoConfigURL");
  f.winhttp = platform::ReadRegistryBinary(RegistryRoot::LocalMachine,
                                           std::string(kInternetSettings) + "\\Connections",
                                           "WinHttpSettings", kMaxWinHttp);
  f.auto_config = [](std::string_view script, std::string_view url) {
    return platform::ResolveAutoProxy(script, url);
  };
  return f;
}

ConfiguracaoProxy DescobreProxy(const FontesProxy& fontes, const std::vector<std::string>& urls) {
  ConfiguracaoProxy c;
  auto registra = [&c](const std::string& linha) { c.registro.push_back("Proxy: " + linha); };
  auto escolhas = [&] {
    std::string texto;
    for (const std::string& url : urls)
      texto += (texto.empty() ? "" : "; ") + Origem(url) + " -> " + c.Descricao(url);
    return texto;
  };

  // 1. The command line (or the dialog), read and checked before it got here.
  if (!fontes.parametro.empty()) {
    c.fonte = FonteProxy::Parametro;
    std::string erro;
    if (AsciiLower(fontes.parametro) != "nenhum")
      c.fixo = LeEnderecoProxy(fontes.parametro, "", erro);
    registra("informado em /proxy= (" + DescreveProxy(c.fixo) +
             "); as demais fontes não são lidas");
    return c;
  }

  // 2. The variables, as curl reads them: lower case first; http_proxy for http, https_proxy
  //    for https, all_proxy for either when its own is not set.
  auto variavel = [&](const char* nome) -> std::pair<std::string, std::optional<std::string>> {
    if (!fontes.ambiente) return {nome, std::nullopt};
    for (const std::string& n : {std::string(nome), platform::AsciiUpper(nome)})
      if (auto v = fontes.ambiente(n); v && !Trim(*v).empty()) return {n, Trim(*v)};
    return {nome, std::nullopt};
  };
  std::vector<std::string> lidas;
  auto proxy_da = [&](const char* nome) -> std::optional<TVltProxy> {
    const auto [n, valor] = variavel(nome);
    if (!valor) return std::nullopt;
    std::string erro;
    auto p = LeEnderecoProxy(*valor, kPortaCurl, erro);
    if (!p) {
      registra("a variável " + n + " foi ignorada: " + erro);
      return std::nullopt;
    }
    lidas.push_back(n);
    return p;
  };
  const auto https = proxy_da("https_proxy"), http = proxy_da("http_proxy"),
             todos = proxy_da("all_proxy");
  if (https || http || todos) {
    c.fonte = FonteProxy::Ambiente;
    c.https = https ? https : todos;
    c.http = http ? http : todos;
    const auto [n, no_proxy] = variavel("no_proxy");
    c.excecoes = no_proxy.value_or("");
    std::string nomes;
    for (const std::string& l : lidas) nomes += (nomes.empty() ? "" : ", ") + l;
    registra("variáveis de ambiente (" + nomes + (no_proxy ? ", " + n + "=" + *no_proxy : "") +
             "): " + escolhas());
    return c;
  }

  // 3. The user's Internet settings.
  const std::string servidor = Trim(fontes.proxy_server.value_or(""));
  if (fontes.proxy_enable.value_or(0) != 0 && !servidor.empty()) {
    c.fonte = FonteProxy::Internet;
    c.servidor = servidor;
    c.excecoes = fontes.proxy_override.value_or("");
    registra("configurações de Internet do usuário (ProxyEnable=1, ProxyServer=" + servidor +
             ", ProxyOverride=" + c.excecoes + "): " + escolhas());
    return c;
  }
  registra(
      std::string("nenhuma variável de proxy definida; configurações de Internet do usuário ") +
      (fontes.proxy_enable.value_or(0) == 0 ? "sem proxy (ProxyEnable ausente ou 0)"
                                            : "com ProxyEnable=1 mas sem ProxyServer"));

  // 4. The machine's WinHTTP proxy.
  if (fontes.winhttp) {
    if (const auto w = LeWinHttpSettings(*fontes.winhttp)) {
      c.fonte = FonteProxy::WinHttp;
      c.servidor = Trim(w->proxy);
      c.excecoes = w->excecoes;
      registra("proxy WinHTTP da máquina (" + c.servidor + ", exceções " + c.excecoes +
               "): " + escolhas());
      return c;
    }
  }

  // 5. The auto-config script, run by the system for each origin.
  const std::string script = Trim(fontes.auto_config_url.value_or(""));
  if (!script.empty() && fontes.auto_config) {
    ConfiguracaoProxy pac;
    pac.fonte = FonteProxy::AutoConfig;
    bool resolvido = true;
    for (const std::string& url : urls) {
      const platform::AutoProxyAnswer r = fontes.auto_config(script, url);
      if (!r.resolved) {
        registra("o sistema não conseguiu resolver o script de configuração automática " + script +
                 " (" + r.error + "); ele não será usado");
        resolvido = false;
        break;
      }
      net::UrlParts u;
      net::SplitUrl(url, u);
      pac.por_origem.emplace_back(Origem(url), ProxyServerPara(r.proxy, AsciiLower(u.Prot)));
    }
    if (resolvido) {
      pac.registro = std::move(c.registro);
      c = std::move(pac);
      registra("script de configuração automática " + script + ": " + escolhas());
      return c;
    }
  }

  c.fonte = FonteProxy::Direto;
  registra("nenhum proxy configurado; conexão direta");
  return c;
}

}  // namespace vlt
