#include "installer/principal.h"

#include "installer/linha_comando.h"
#include "installer/system_ops.h"
#include "installer/wizard_view.h"
#include "platform/log.h"
#include "platform/text.h"

namespace vlt {

TfrmPrincipal::TfrmPrincipal(WizardView& view, SystemOps& system) : view_(view), system_(system) {
  VltDownload.SetOnBeforeDownload(
      [this](download::TVltDownloadClass*) { VltDownloadBeforeDownload(); });
  VltDownload.SetOnHookStatus(
      [this](net::THookSocketReason reason, std::int64_t total, std::int64_t done) {
        VltDownloadHookStatus(reason, total, done);
      });
  VltDownload.SetOnHookMonitor(
      [this](std::int64_t total, std::int64_t done, double speed, std::uint32_t sec) {
        VltDownloadHookMonitor(total, done, speed, sec);
      });
  VltDownload.SetOnAfterDownload(
      [this](download::TVltDownloadClass*) { VltDownloadAfterDownload(); });
  VltDownload.SetHeartbeatRate(kIntervaloJanelaMs);
  VltDownload.SetOnHeartbeat(
      [this](download::TVltDownloadClass*, std::uint32_t) { VltDownloadHeartbeat(); });
}

void TfrmPrincipal::FormCreate() {
  view_.ShowPage(Page::tsHome);
}

void TfrmPrincipal::btnZadoveveClick() {
  settings_.SistemaSelecionado = kProdutoLoja;
  view_.ShowPage(Page::tsTipoInstall);
}

void TfrmPrincipal::btnPDVClick() {
  settings_.SistemaSelecionado = kProdutoPDV;
  view_.ShowPage(Page::tsTipoInstall);
}

void TfrmPrincipal::cbbTipoInstallChange() {
  const bool estacao = view_.SelectedIndex(Control::cbbTipoInstall) == 1;
  view_.SetVisible(Control::lbIP_Nome_servidor, estacao);
  view_.SetVisible(Control::edtIPNomeServidor, estacao);
}

void TfrmPrincipal::VltButtonStyle2Click() {
  view_.ShowPage(Page::tsHome);
}

void TfrmPrincipal::VltButtonStyle3Click() {
  const int tipo = view_.SelectedIndex(Control::cbbTipoInstall);
  if (platform::Trim(view_.GetText(Control::edtIPNomeServidor)).empty() && tipo == 1) {
    Aviso("O campo \"IP/Nome Servidor\" não pode ficar vazio.", false);
    view_.Focus(Control::edtIPNomeServidor);
    return;
  }
  settings_.TipoInstalacao = std::to_string(tipo);
  settings_.ServidorIPNome = platform::Trim(view_.GetText(Control::edtIPNomeServidor));
  // Two separate tests: a product that is neither leaves the page as it is.
  if (settings_.SistemaSelecionado == kProdutoLoja) view_.ShowPage(Page::tsZadoveve);
  if (settings_.SistemaSelecionado == kProdutoPDV) view_.ShowPage(Page::tsTerminal);
}

void TfrmPrincipal::btnVoltarClick() {
  view_.ShowPage(Page::tsTipoInstall);
}

void TfrmPrincipal::imgOpenDirClick() {
  EscolhePasta(Control::edtDirZadoveve);
}

void TfrmPrincipal::Image5Click() {
  EscolhePasta(Control::edtDirTerminal);
}

void TfrmPrincipal::EscolhePasta(Control edit) {
  const std::string current = view_.GetText(edit);
  // The empty text (or a relative one) raises "Unable to create directory" before the picker
  // shows; any other failure to create is left for the picker to cope with.
  if (!system_.DirectoryExists(current)) system_.ForceDirectories(current);
  const auto chosen =
      view_.PickFolder("Selecione o diretorio para instalação do sistema", "Selecionar", current);
  if (chosen) view_.SetText(edit, *chosen);
}

void TfrmPrincipal::btnContinuarZadoveveClick() {
  try {
    InstalaLoja();
  } catch (const InstalacaoCancelada&) {
    view_.Quit();  // the operator closed the window and confirmed
  }
}

void TfrmPrincipal::btnInstalTerminalClick() {
  try {
    InstalaTerminal();
  } catch (const InstalacaoCancelada&) {
    view_.Quit();
  }
}

void TfrmPrincipal::btnCloseClick() {
  view_.Quit();
}

bool TfrmPrincipal::Dispatch(Control control) {
  switch (control) {
    case Control::btnZadoveve:
      btnZadoveveClick();
      return true;
    case Control::btnPDV:
      btnPDVClick();
      return true;
    case Control::cbbTipoInstall:
      cbbTipoInstallChange();
      return true;
    case Control::VltButtonStyle2:
      VltButtonStyle2Click();
      return true;
    case Control::VltButtonStyle3:
      VltButtonStyle3Click();
      return true;
    case Control::btnVoltar:
    case Control::btnVoltarTerminal:
      btnVoltarClick();
      return true;
    case Control::imgOpenDir:
      imgOpenDirClick();
      return true;
    case Control::Image5:
      Image5Click();
      return true;
    case Control::btnContinuarZadoveve:
      btnContinuarZadoveveClick();
      return true;
    case Control::btnInstalTerminal:
      btnInstalTerminalClick();
      return true;
    case Control::btnClose:
      btnCloseClick();
      return true;
    default:
      return false;
  }
}

bool TfrmPrincipal::AplicaParametros(const ParametrosInstalacao& p) {
  // The fields first, on their pages; then the clicks an operator would make, so that the
  // wizard's own checks and settings apply as they do by hand.
  if (p.dir) {
    view_.SetText(p.produto == kProdutoPDV ? Control::edtDirTerminal : Control::edtDirZadoveve,
                  *p.dir);
  }
  if (p.dirquenda) view_.SetText(Control::edtDirTerminalQuenda, *p.dirquenda);
  if (p.servidor) view_.SetText(Control::edtIPNomeServidor, *p.servidor);
  if (!p.tipo.empty()) {
    view_.SetSelectedIndex(Control::cbbTipoInstall, p.tipo == "1" ? 1 : 0);
    cbbTipoInstallChange();
  }
  if (p.produto == kProdutoLoja) btnZadoveveClick();
  if (p.produto == kProdutoPDV) btnPDVClick();
  if (p.produto.empty() || p.tipo.empty()) return false;
  if (p.tipo == "1" && !p.servidor) {
    view_.Focus(Control::edtIPNomeServidor);  // the one field left to fill
    return false;
  }
  VltButtonStyle3Click();
  return true;
}

}  // namespace vlt
