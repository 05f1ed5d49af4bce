// InstaladorVeltra: program start.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <exception>

#include "app/main_window.h"
#include "controls/gdiplus_api.h"
#include "installer/execucao.h"
#include "installer/linha_comando.h"
#include "installer/motor.h"
#include "installer/observadores.h"
#include "installer/plano.h"
#include "installer/system_ops.h"
#include "net/socket_layer.h"
#include "net/ssl_stream.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/instance_lock.h"
#include "platform/log.h"
#include "platform/shell.h"
#include "platform/win_text.h"

namespace {

using vlt::platform::Log;

// A windowed program has no console of its own: what it must say about its command line goes
// to standard error when that leads somewhere (a deployment tool's capture, a redirection),
// else to a box. An unattended run never waits on a box: its log and exit code say it.
void Diz(const std::string& texto, const std::string& uso, bool erro, bool silencioso) {
  if (vlt::platform::StderrAttached()) {
    std::string linhas = texto + uso;
    if (!linhas.ends_with('\n')) linhas += '\n';
    vlt::platform::WriteStderr(linhas);
  } else if (!silencioso) {
    const std::string caixa = erro ? texto + vlt::TextoUsoCurto() : uso;
    MessageBoxW(nullptr, vlt::platform::Widen(caixa).c_str(), vlt::app::kApplicationTitle,
                MB_OK | (erro ? MB_ICONSTOP : MB_ICONINFORMATION));
  }
}

// The result file, when one was asked for; a failure to write it is logged, not fatal.
void Conclui(const std::string& arquivo, const vlt::ResultadoInstalacao& resultado);

// A run that ends without an installation's own outcome (bad parameters, another installation
// running, a failed start): logged and written as the others. Returns the exit code.
int Termina(const std::string& arquivo, vlt::CodigoSaida codigo, const std::string& mensagem,
            std::uint32_t inicio, const vlt::ParametrosInstalacao* parametros = nullptr) {
  vlt::ResultadoInstalacao resultado;
  // What the command line asked for, when it was read: a fleet tool tells its runs apart by it.
  if (parametros != nullptr) {
    if (parametros->produto == vlt::kProdutoLoja) resultado.produto = "loja";
    if (parametros->produto == vlt::kProdutoPDV) resultado.produto = "pdv";
    if (parametros->tipo == "0") resultado.tipo = "servidor";
    if (parametros->tipo == "1") resultado.tipo = "estacao";
    resultado.diretorio = parametros->dir.value_or("");
  }
  resultado.desfecho = {codigo, mensagem, {}, false};
  resultado.registro = vlt::platform::LogPath();
  resultado.duracao_ms = vlt::platform::TickMs() - inicio;
  Conclui(arquivo, resultado);
  return static_cast<int>(codigo);
}

void Conclui(const std::string& arquivo, const vlt::ResultadoInstalacao& resultado) {
  Log("Fim: código " + std::to_string(static_cast<int>(resultado.desfecho.codigo)) + " (" +
      vlt::DescricaoDe(resultado.desfecho.codigo).nome + ") em " +
      std::to_string((resultado.duracao_ms + 500) / 1000) + " s: " + resultado.desfecho.mensagem);
  if (arquivo.empty()) return;
  std::string erro;
  if (vlt::GravaResultado(arquivo, resultado, erro))
    Log("Resultado gravado em " + arquivo);
  else
    Log("Erro: não foi possível gravar o resultado em " + arquivo + ": " + erro);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  const std::uint32_t inicio = vlt::platform::TickMs();
  const std::vector<std::string> argumentos = vlt::platform::CommandLineArguments(0, nullptr);
  const vlt::LinhaComando linha = vlt::LeLinhaComando(argumentos);
  const vlt::ParametrosInstalacao& p = linha.parametros;

  // The log is always written; a run without one still installs, unless the log it was asked
  // to write cannot be.
  vlt::platform::LogFile log;
  std::string erro_registro;
  const bool registrando = vlt::AbreRegistro(log, p.log, erro_registro);
  vlt::platform::ScopedLog registro(log);
  Log("InstaladorVeltra 1.0.0.0; parâmetros: " + vlt::LinhaParaRegistro(argumentos));
  std::string erro = linha.erro;
  if (erro.empty() && !registrando && !p.log.empty()) erro = erro_registro;
  // A result nobody could read back is found now, not after the installation.
  if (erro.empty() && !p.resultado.empty()) vlt::ResultadoGravavel(p.resultado, erro);
  if (!erro.empty()) {
    // Nothing is started: no window, no installation.
    Log("Erro: " + erro);
    Diz(erro + "\n\n", vlt::TextoUso(), true, p.silencioso);
    return Termina(p.resultado, vlt::CodigoSaida::Parametros, erro, inicio);
  }
  if (p.ajuda) {
    Diz("", vlt::TextoUso(), false, false);
    return 0;
  }
  Log(p.silencioso ? "Modo: silencioso" : "Modo: assistente");

  // One installation at a time on this machine: a second one would unpack over the first as it
  // runs and scramble its backups. It is held until the process ends.
  vlt::platform::InstanceLock instalacao;
  if (!instalacao.Acquire("InstaladorVeltra")) {
    const std::string texto = "Já existe uma instalação em andamento.";
    Log("Erro: " + texto);
    if (!p.silencioso)
      MessageBoxW(nullptr, vlt::platform::Widen(texto).c_str(), vlt::app::kApplicationTitle,
                  MB_OK | MB_ICONWARNING);
    return Termina(p.resultado, vlt::CodigoSaida::EmAndamento, texto, inicio, &p);
  }

  // COM on the user-interface thread, for the desktop shortcut and the folder picker.
  vlt::platform::ComSession com;
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  try {
    // The socket library first: without it nothing can be downloaded, and the start stops
    // with its message.
    vlt::net::SocketLayer sockets;
    // https package hosts: every socket gets the system's TLS.
    vlt::net::DefaultSecurityPlugin = vlt::net::SystemSecurityPlugin;
    if (p.silencioso) {
      std::string erro_plano;
      const auto plano = vlt::PlanoDeParametros(p, vlt::ServidorPacotes{}, erro_plano,
                                                vlt::FontesDoSistema(p.proxy));
      vlt::Desfecho desfecho{vlt::CodigoSaida::Parametros, erro_plano, {}, false};
      if (plano && show_command == SW_HIDE) {
        // Started hidden: nobody sees it, so no window is made at all.
        vlt::PlatformSystemOps system;
        vlt::ObservadorSilencioso observador(nullptr);
        desfecho = vlt::MotorInstalacao(*plano, observador, system).Executa();
      } else if (plano) {
        // The window shows the status and the progress; closing it stops the installation.
        vlt::controls::GdiplusSession gdiplus;
        vlt::app::MainWindow window;
        window.Create(true);
        window.Show(show_command);
        desfecho = window.RunSilent(*plano);
      }
      if (!plano) return Termina(p.resultado, desfecho.codigo, desfecho.mensagem, inicio);
      Conclui(p.resultado, vlt::ResultadoDe(*plano, desfecho, vlt::platform::TickMs() - inicio));
      return static_cast<int>(desfecho.codigo);
    }
    // The drawing library of the gauges and the button pictures; without it they leave out
    // what only it draws.
    vlt::controls::GdiplusSession gdiplus;
    vlt::app::MainWindow window;
    window.Create();
    window.Form().AbreComParametros(p);
    window.Form().ProcuraProxy(vlt::FontesDoSistema(p.proxy), p.proxy_usuario, p.proxy_senha);
    window.Show();
    window.Run();
    Conclui(p.resultado, vlt::ResultadoDe(window.Form(), vlt::platform::TickMs() - inicio));
    return 0;
  } catch (const std::exception& e) {
    Log(std::string("Erro: ") + e.what());
    if (!p.silencioso)
      MessageBoxW(nullptr, vlt::platform::Widen(e.what()).c_str(), vlt::app::kApplicationTitle,
                  MB_OK | MB_ICONSTOP);
    return Termina(p.resultado, vlt::CodigoSaida::Falha, e.what(), inicio);
  }
}
