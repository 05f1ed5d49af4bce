#include "installer/principal.h"

#include "installer/linha_comando.h"
#include "installer/observadores.h"
#include "installer/system_ops.h"
#include "installer/wizard_view.h"
#include "platform/flag_scope.h"
#include "platform/log.h"
#include "platform/text.h"

namespace vlt {

TfrmPrincipal::TfrmPrincipal(WizardView& view, SystemOps& system) : view_(view), system_(system) {}

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
  if (const std::string erro =
          ValidaServidor(std::to_string(tipo), view_.GetText(Control::edtIPNomeServidor));
      !erro.empty()) {
    platform::Log("Aviso: " + erro);
    view_.WarningBox(erro, "Atenção");
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
  InstalaPelaJanela(Produto::Loja);
}

void TfrmPrincipal::btnInstalTerminalClick() {
  InstalaPelaJanela(Produto::PDV);
}

PlanoInstalacao TfrmPrincipal::PlanoDaJanela(Produto produto) {
  PlanoInstalacao plano;
  plano.produto = produto;
  plano.tipo = settings_.TipoInstalacao;
  plano.servidor = settings_.ServidorIPNome;
  const Control campo = ObservadorJanela::PaginaDe(produto).diretorio;
  plano.dir = SemBarraFinal(view_.GetText(campo));
  plano.dir_loja = produto == Produto::Loja ? plano.dir : view_.GetText(Control::edtDirZadoveve);
  plano.dir_quenda = view_.GetText(Control::edtDirTerminalQuenda);
  plano.pacotes = servidor_;
  plano.proxy = proxy_;
  return plano;
}

Desfecho TfrmPrincipal::Instala(const PlanoInstalacao& plano, ObservadorInstalacao& observador) {
  diretorio_ = plano.dir;
  platform::FlagScope em_andamento(rotina_em_andamento_);
  MotorInstalacao motor(plano, observador, system_);
  desfecho_ = motor.Executa();
  return desfecho_;
}

void TfrmPrincipal::InstalaPelaJanela(Produto produto) {
  // "Continuar" takes the folder without its one trailing backslash, and the field shows it so.
  const Control campo = ObservadorJanela::PaginaDe(produto).diretorio;
  if (const std::string dir = view_.GetText(campo); SemBarraFinal(dir) != dir)
    view_.SetText(campo, SemBarraFinal(dir));
  ObservadorJanela janela(view_, produto, [this] { return cancelado_; });
  const Desfecho desfecho = Instala(PlanoDaJanela(produto), janela);
  if (desfecho.codigo == CodigoSaida::Cancelada) {
    view_.Quit();  // the operator closed the window and confirmed
    return;
  }
  if (desfecho.codigo != CodigoSaida::Instalado && !desfecho.mostrada)
    throw FalhaInstalacao(desfecho);
}

void TfrmPrincipal::ProcuraProxy(const FontesProxy& fontes, const std::string& usuario,
                                 const std::string& senha) {
  fontes_proxy_ = fontes;
  proxy_ = DescobreProxy(fontes, UrlsDosPacotes(servidor_));
  proxy_.usuario = usuario;
  proxy_.senha = senha;
}

void TfrmPrincipal::btnProxyClick() {
  const std::string url = servidor_.Base + "/";
  // What was found, as the field shows it: an address, "nenhum" when direct was asked for,
  // empty when nothing was found (empty: the system's).
  std::string endereco = proxy_.Descricao(url);
  if (endereco == "direto") endereco = proxy_.fonte == FonteProxy::Parametro ? "nenhum" : "";
  const std::string encontrado = endereco;
  const std::string texto =
      "Proxy usado para baixar os pacotes: " +
      (proxy_.Descricao(url) == "direto" ? std::string("nenhum (conexão direta)")
                                         : proxy_.Descricao(url)) +
      ".\nInforme HOST:PORTA, socks5://HOST:PORTA, nenhum para conectar direto, ou deixe em "
      "branco para usar o do sistema.";
  std::string usuario = proxy_.usuario, senha = proxy_.senha;
  for (;;) {
    const auto valores = view_.AskFields(
        "Proxy", texto,
        {{"Endereço:", endereco, false}, {"Usuário:", usuario, false}, {"Senha:", senha, true}});
    if (!valores || valores->size() != 3) return;  // cancelled: nothing changes
    endereco = platform::Trim((*valores)[0]);
    usuario = platform::Trim((*valores)[1]);
    senha = (*valores)[2];
    std::string erro;
    if (!endereco.empty() && platform::AsciiLower(endereco) != "nenhum" &&
        !LeEnderecoProxy(endereco, "", erro)) {
      view_.WarningBox(erro, "Atenção");
      continue;  // asked again, with what was typed
    }
    break;
  }
  // The same address as found keeps what was found with it (its exceptions, its source).
  if (endereco != encontrado) {
    FontesProxy fontes = fontes_proxy_;
    fontes.parametro = endereco;
    proxy_ = DescobreProxy(fontes, UrlsDosPacotes(servidor_));
    if (!endereco.empty())
      proxy_.registro.back() = "Proxy: informado no assistente (" + proxy_.Descricao(url) +
                               "); as demais fontes não são lidas";
  }
  proxy_.usuario = usuario;
  proxy_.senha = senha;
  platform::Log("Proxy alterado no assistente: " + proxy_.Descricao(url));
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
    case Control::btnProxy:
      btnProxyClick();
      return true;
    default:
      return false;
  }
}

bool TfrmPrincipal::AbreComParametros(const ParametrosInstalacao& p) {
  // The fields first, on their pages, then the choices the pages would have stored; the wizard
  // opens after the last page the command line answers.
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
  if (p.produto.empty()) return false;
  settings_.SistemaSelecionado = p.produto;
  if (p.tipo.empty() || !ValidaServidor(p.tipo, p.servidor.value_or("")).empty()) {
    view_.ShowPage(Page::tsTipoInstall);
    if (!p.tipo.empty()) view_.Focus(Control::edtIPNomeServidor);  // the one field left to fill
    return false;
  }
  settings_.TipoInstalacao = p.tipo;
  settings_.ServidorIPNome = platform::Trim(p.servidor.value_or(""));
  view_.ShowPage(p.produto == kProdutoPDV ? Page::tsTerminal : Page::tsZadoveve);
  return true;
}

}  // namespace vlt
