#pragma once
// The wizard's logic: the handlers of the main window and the choices they collect.
#include <functional>
#include <string>

#include "installer/codigos_saida.h"
#include "installer/motor.h"
#include "installer/plano.h"
#include "installer/wizard_layout.h"

namespace vlt {

class SystemOps;
class WizardView;
class ObservadorInstalacao;
struct ParametrosInstalacao;

// The operator's choices, carried from the wizard's pages to the plan. They start empty and are
// overwritten, never cleared.
struct InstallSettings {
  std::string SistemaSelecionado;  // "Quenda" or "PDV NFCe"
  std::string TipoInstalacao;      // "0" server, "1" workstation
  std::string ServidorIPNome;      // trimmed, may be empty
};

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
  // The proxy the installations go through, shown as found and changed by the operator.
  void btnProxyClick();

  ServidorPacotes& Servidor() { return servidor_; }
  // The proxy the installations of this window go through.
  ConfiguracaoProxy& Proxy() { return proxy_; }
  // Finds it from `fontes` (the machine's, in the program) for this window's package servers,
  // with a login given in advance; the dialog finds it again from them when its field is
  // emptied.
  void ProcuraProxy(const FontesProxy& fontes, const std::string& usuario,
                    const std::string& senha);

  // The plan the wizard's pages hold now for `produto` (the folder as "Continuar" takes it).
  PlanoInstalacao PlanoDaJanela(Produto produto);
  // Runs a plan, shown by `observador`; the window's close asks through RotinaEmAndamento and
  // Cancela meanwhile. Returns how it ended (also kept as UltimoDesfecho).
  Desfecho Instala(const PlanoInstalacao& plano, ObservadorInstalacao& observador);

  // Closing the window while an installation runs: the window asks the operator, then calls
  // Cancela; the engine stops its transfer and ends at its next step, and the window closes
  // when the handler returns.
  bool RotinaEmAndamento() const { return rotina_em_andamento_; }
  void Cancela() { cancelado_ = true; }
  bool Cancelado() const { return cancelado_; }

  // Routes a click or change of a control to its handler; false when it has none.
  bool Dispatch(Control control);

  // Opens the wizard where the command line leads: its choices in the settings and the fields,
  // and the page after the last one they answer (the type page while a workstation's server is
  // missing). True when that is the product's page.
  bool AbreComParametros(const ParametrosInstalacao& parametros);
  // How the latest installation ended (before any: closed without installing).
  const Desfecho& UltimoDesfecho() const { return desfecho_; }
  // The folder of the latest installation started ("" before any).
  const std::string& DiretorioInstalacao() const { return diretorio_; }

 private:
  void EscolhePasta(Control edit);
  // Both "Continuar" handlers: the plan of the page, run and shown on it. A failure that no box
  // has told yet leaves the handler as an exception, for the window's error box.
  void InstalaPelaJanela(Produto produto);

  WizardView& view_;
  SystemOps& system_;
  InstallSettings settings_;
  ServidorPacotes servidor_;
  ConfiguracaoProxy proxy_;
  FontesProxy fontes_proxy_;
  bool rotina_em_andamento_ = false;
  bool cancelado_ = false;
  std::string diretorio_;
  Desfecho desfecho_{CodigoSaida::Cancelada, "O instalador foi fechado sem instalar.", {}, false};
};

}  // namespace vlt
