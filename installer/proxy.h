#pragma once
// Which proxy the installation's requests go through: the first of these that applies, in
// this order, and the log says which and why.
//   1. /proxy=ENDEREÇO (or /proxy=nenhum: direct), or the wizard's "Proxy…" dialog;
//   2. https_proxy / http_proxy / all_proxy / no_proxy, either case, as curl reads them;
//   3. the user's Internet settings (ProxyEnable, ProxyServer, ProxyOverride);
//   4. the machine's WinHTTP proxy (what "netsh winhttp set proxy" writes);
//   5. the auto-config script of the Internet settings (AutoConfigURL), run by the system;
//   6. direct.
// The strings are read here, portably; what reads them from the machine is in platform/.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "download/download_types.h"
#include "platform/proxy_auto.h"

namespace vlt {

using download::TVltProxy;

// A proxy's address as an operator or a variable writes it: "HOST:PORT", "[::1]:3128",
// "http://[USUARIO[:SENHA]@]HOST[:PORT][/]", "socks4://", "socks4a://", "socks5://",
// "socks5h://". Without a port, `porta_padrao`. nullopt, with the reason in Portuguese in
// `erro`, when it is not one.
std::optional<TVltProxy> LeEnderecoProxy(std::string_view texto, std::string_view porta_padrao,
                                         std::string& erro);

// The proxy a ProxyServer value (or a WinHTTP proxy list) names for a request of `esquema`
// ("http" or "https"); nullopt when it names none for it:
//   "proxy:8080"                               every request
//   "p1:8080;p2:8080"                          the first
//   "http=p1:80;https=p2:8443;socks=p3:1080"   by scheme; "socks" (SOCKS 4) for any other
//   "https=https://p2:8443"                    a scheme's proxy may be written as a URL
std::optional<TVltProxy> ProxyServerPara(std::string_view proxy_server, std::string_view esquema);

// Whether a ProxyOverride (or a WinHTTP bypass list) sends `host` direct. Entries are
// separated by ";" or blanks: "*.loja.local;10.0.*;<local>". "<local>" is any name without a
// dot. Loopback addresses (localhost, 127.x.x.x, ::1) always go direct, as Windows sends
// them, unless the list holds "<-loopback>".
bool DiretoPorExcecaoWindows(std::string_view lista, std::string_view host);

// Whether NO_PROXY sends `host` direct, as curl reads it: entries separated by commas (or
// blanks); "*" alone is every host; a name matches itself and the names below it
// ("loja.local" and ".loja.local" both match "pdv.loja.local"); an address matches itself,
// or a range with "/bits" ("10.0.0.0/8", "fd00::/8").
bool DiretoPorNoProxy(std::string_view no_proxy, std::string_view host);

// The machine's WinHTTP proxy, from the WinHttpSettings value: a 12-byte head (whose third
// word holds the flags, 2 for a named proxy) and then the proxy list and the bypass list, each
// a 32-bit little-endian length and that many bytes. nullopt when it says direct or is not
// such a value.
struct ProxyWinHttp {
  std::string proxy;
  std::string excecoes;
};
std::optional<ProxyWinHttp> LeWinHttpSettings(std::string_view blob);

enum class FonteProxy { Parametro, Ambiente, Internet, WinHttp, AutoConfig, Direto };

// The proxy chosen for this installation: where it was found, and how it answers for one
// address.
struct ConfiguracaoProxy {
  FonteProxy fonte = FonteProxy::Direto;
  // What was looked at and why this source was taken: lines for the log.
  std::vector<std::string> registro;
  // Parametro: every request. Ambiente: by scheme, with `excecoes` read as NO_PROXY.
  // Internet and WinHttp: `servidor` read as ProxyServer, `excecoes` as ProxyOverride.
  // AutoConfig: what the script answered for each origin ("https://host:port").
  std::optional<TVltProxy> fixo;
  std::optional<TVltProxy> http, https;
  std::string servidor;
  std::string excecoes;
  std::vector<std::pair<std::string, std::optional<TVltProxy>>> por_origem;
  // A login given in advance (/proxyusuario=, /proxysenha=), for proxies that name none.
  std::string usuario, senha;

  // The proxy for a request to `url`; an empty ProxyHost: direct.
  TVltProxy Para(std::string_view url) const;
  // "127.0.0.1:3128" or "socks5://127.0.0.1:1080", or "direto", for the log and the dialog.
  std::string Descricao(std::string_view url) const;
};

// Where the sources are read from: the machine's (FontesDoSistema) or a test's.
struct FontesProxy {
  std::string parametro;  // /proxy= as given; "" when not given
  std::function<std::optional<std::string>(std::string_view nome)> ambiente;
  std::optional<std::uint32_t> proxy_enable;
  std::optional<std::string> proxy_server, proxy_override, auto_config_url;
  std::optional<std::string> winhttp;  // the WinHttpSettings bytes
  std::function<platform::AutoProxyAnswer(std::string_view script, std::string_view url)>
      auto_config;
};

FontesProxy FontesDoSistema(const std::string& parametro);

// The first source that applies; `urls` are the addresses the installation will fetch from
// (the auto-config script is asked about each of their origins). A /proxy= that cannot be
// read is refused before this (LeEnderecoProxy).
ConfiguracaoProxy DescobreProxy(const FontesProxy& fontes, const std::vector<std::string>& urls);

}  // namespace vlt
