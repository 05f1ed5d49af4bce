#pragma once
// The wizard's logic: the handlers of the main window and the choices they collect.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "download/vlt_download.h"
#include "installer/codigos_saida.h"
#include "installer/package_server.h"
#include "installer/wizard_layout.h"
#include "net/block_socket.h"

namespace vlt {

class SystemOps;
class WizardView;
struct ParametrosInstalacao;

// The operator's choices, carried from the wizard to the installation routines. They start
// empty and are overwritten, never cleared.
struct InstallSettings {
  std::string SistemaSelecionado;  // "Quenda" or "PDV NFCe"
  std::string TipoInstalacao;      // "0" server, "1" workstation
  std::string ServidorIPNome;      // trimmed, may be empty
};

inline constexpr const char* kProdutoLoja = "Quenda";
inline constexpr const char* kProdutoPDV = "PDV NFCe";

// Where the packages come from: the build's settings unless a test points elsewhere.
struct ServidorPacotes {
  std::string Base = kPackageBase;       // Firebird, ERP, utilities, PDV
  std::string UpdateBase = kUpdateBase;  // the ERP update
  // A package without a published NAME.sha256 is refused (else installed unchecked).
  bool SomasObrigatorias = kPackageChecksumsRequired;
};

// Ends a routine whose window the operator asked to close; not an error to show.
class InstalacaoCancelada : public std::runtime_error {
 public:
  InstalacaoCancelada() : std::runtime_error("instalação cancelada") {}
};

// How often, at most, a running step lets the window handle its events (about 25 times a
// second) and shows its progress (10 times: each repaint of the gauge costs milliseconds).
inline constexpr std::uint32_t kIntervaloJanelaMs = 40;
inline constexpr std::uint32_t kIntervaloProgressoMs = 100;

// How many times Firebird provisioning downloads and runs the setup before it gives up.
inline constexpr int kPassadasFirebird = 3;

class TfrmPrincipal {
 public:
  TfrmPrincipal(WizardView& view, SystemOps& system);

  InstallSettings& Settings() { return settings_; }
  WizardView& View() { return view_; }
  SystemOps& System() { return system_; }

  void FormCreate();
  void btnZadoveveClick();
  void btnPDVClick();
  void cbbTipoInstallChange();
  void VltButtonStyle2Click();
  void VltButtonStyle3Click();
  void btnVoltarClick();  // both "Voltar" buttons of the product pages
  void imgOpenDirClick();
  void Image5Click();
  void btnContinuarZadoveveClick();
  void btnInstalTerminalClick();
  void btnCloseClick();

  // The download component of the wizard, and its four handlers (bound by the constructor).
  download::TVltDownload VltDownload;
  void VltDownloadBeforeDownload();
  void VltDownloadHookStatus(net::THookSocketReason reason, std::int64_t bytes_to_download,
                             std::int64_t bytes_downloaded);
  void VltDownloadHookMonitor(std::int64_t bytes_to_download, std::int64_t bytes_downloaded,
                              double average_speed, std::uint16_t sec);
  void VltDownloadAfterDownload();
  // While a slow server keeps a transfer waiting: the window keeps answering, and closing it
  // stops the transfer.
  void VltDownloadHeartbeat();

  // The routines (run from the two "Continuar" handlers).
  void RotinaFirebird();
  void RotinaZadoveve();
  void RotinaUteis();
  void RotinaTerminal();

  ServidorPacotes& Servidor() { return servidor_; }

  // Closing the window while a routine runs: the window asks the operator, then calls
  // Cancela; the routine stops its transfer and ends at its next step, and the window closes
  // when the handler returns.
  bool RotinaEmAndamento() const { return rotina_em_andamento_; }
  void Cancela() { cancelado_ = true; }
  bool Cancelado() const { return cancelado_; }

  // Routes a click or change of a control to its handler; false when it has none.
  bool Dispatch(Control control);

  // Fills the wizard's fields from the command line and takes the steps an operator's clicks
  // would take towards the product page; true when it got there (false leaves the wizard on the
  // page where a choice is still missing).
  bool AplicaParametros(const ParametrosInstalacao& parametros);
  // The unattended installation: the parameters' product page, then its "Continuar", with
  // nothing asked of anyone (the view keeps the boxes to itself). Returns how it ended.
  Desfecho InstalaSemPerguntas(const ParametrosInstalacao& parametros);
  // How the latest installation ended (before any: closed without installing).
  const Desfecho& UltimoDesfecho() const { return desfecho_; }
  // The folder of the latest installation started ("" before any).
  const std::string& DiretorioInstalacao() const { return diretorio_; }

 private:
  void EscolhePasta(Control edit);
  // The boxes the routines show, logged first; a failure's box also says where the log is.
  void Aviso(const std::string& texto, bool falha);
  void Informacao(const std::string& texto, bool falha);
  // The routine ends here, without an error box of its own: `codigo` and the box's text are its
  // outcome.
  void Termina(CodigoSaida codigo, const std::string& texto);
  // The controls of one product's directory page.
  struct PaginaProduto {
    Control diretorio;
    const char* base;  // a database of this name in the directory refuses the installation
    Control painel, status, voltar, continuar;
  };
  // The first steps of both "Continuar" handlers; false when the directory was refused.
  bool PreparaInstalacao(const PaginaProduto& pagina);
  // Runs a routine; when it ends without reaching the closing page, the page is given back to
  // the operator (its fields, "Voltar" and "Continuar") so that the same window tries again.
  template <typename Rotina>
  void ExecutaComNovaTentativa(const PaginaProduto& pagina, Rotina rotina);
  void ConcluiInstalacao(const std::string& dir);
  // Both "Continuar" handlers: the directory checked, Firebird, then the product's routine.
  void Instala(const PaginaProduto& pagina, void (TfrmPrincipal::*rotina)());
  void InstalaLoja();
  void InstalaTerminal();
  void Pausa();
  // Whether progress at `feito` of `total` is shown now (first, last, or after an interval).
  bool ProgressoDevido(std::int64_t feito, std::int64_t total);
  // Lets the window handle its events, at most every kIntervaloJanelaMs.
  void AtendeJanela();
  void Extrai(const std::string& archive, const std::string& directory);
  void VerificaCancelamento();
  void StatusFirebird(const std::string& texto);
  void ProvisionaFirebird();
  // Starts a program and waits for it, logged; a program that cannot start fails the step.
  void Executa(CodigoSaida codigo, const std::string& etapa, const std::string& programa,
               const std::string& argumentos);
  void Baixa(const std::string& destino, const std::string& nome, const std::string& url);
  // The SHA-256 the server publishes for the package at `url` (in "URL.sha256"); empty when it
  // publishes none and the build lets that pass. `falha` begins the message of a failure.
  std::string SomaPublicada(const std::string& destino, const std::string& nome,
                            const std::string& url, const std::string& falha);
  std::string UrlPacote(const std::string& caminho) const;
  void EscreveGlobalIni(const std::string& arquivo, const std::string& caminho);
  template <typename Action>
  void ParaCadaProduto(Action action);

  WizardView& view_;
  SystemOps& system_;
  InstallSettings settings_;
  ServidorPacotes servidor_;
  bool rotina_em_andamento_ = false;
  bool instalacao_concluida_ = false;  // the running routine reached the closing page
  bool cancelado_ = false;
  std::string diretorio_;
  Desfecho desfecho_{CodigoSaida::Cancelada, "O instalador foi fechado sem instalar."};
  struct Progresso {
    std::uint32_t tick = 0;  // of the last showing, or of the start
    bool iniciado = false, mostrar = false, com_total = false;
    std::int64_t feito = 0;
  } progresso_;                    // of the transfer or extraction under way
  std::uint32_t ultimo_pump_ = 0;  // when a running step last let the window handle events
  bool pump_feito_ = false;        // since the start of the transfer or extraction
};

}  // namespace vlt
