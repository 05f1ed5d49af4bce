#pragma once
// The wizard's logic: the handlers of the main window and the choices they collect.
#include <functional>
#include <string>

#include "installer/wizard_layout.h"

namespace vlt {

class SystemOps;
class WizardView;

// The operator's choices, carried from the wizard to the installation routines. They start
// empty and are overwritten, never cleared.
struct InstallSettings {
  std::string SistemaSelecionado;  // "Quenda" or "PDV NFCe"
  std::string TipoInstalacao;      // "0" server, "1" workstation
  std::string ServidorIPNome;      // trimmed, may be empty
};

inline constexpr const char* kProdutoLoja = "Quenda";
inline constexpr const char* kProdutoPDV = "PDV NFCe";

class TfrmPrincipal {
 public:
  TfrmPrincipal(WizardView& view, SystemOps& system) : view_(view), system_(system) {}

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

  // The installation routines behind the two "Continuar" buttons of the product pages.
  std::function<void()> OnInstalarLoja;
  std::function<void()> OnInstalarTerminal;

  // Routes a click or change of a control to its handler; false when it has none.
  bool Dispatch(Control control);

 private:
  void EscolhePasta(Control edit);

  WizardView& view_;
  SystemOps& system_;
  InstallSettings settings_;
};

}  // namespace vlt
