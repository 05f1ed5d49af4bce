#include "installer/observadores.h"

#include "installer/wizard_view.h"
#include "platform/clock.h"
#include "platform/log.h"

namespace vlt {

ObservadorJanela::ObservadorJanela(WizardView& view, Produto produto,
                                   std::function<bool()> cancelado)
    : view_(view), pagina_(PaginaDe(produto)), cancelado_(std::move(cancelado)) {}

const ObservadorJanela::Pagina& ObservadorJanela::PaginaDe(Produto produto) {
  static const Pagina kLoja{Control::edtDirZadoveve,
                            Control::pnDiretorio,
                            Control::lbStatus,
                            Control::btnVoltar,
                            Control::btnContinuarZadoveve,
                            Control::Gauger1,
                            Control::lConnectionInfo,
                            true};
  static const Pagina kTerminal{Control::edtDirTerminal,          Control::pnLabelTerminal,
                                Control::lbStatusInstallTerminal, Control::btnVoltarTerminal,
                                Control::btnInstalTerminal,       Control::Gauge1Terminal,
                                Control::lConectionTerminal,      false};
  return produto == Produto::Loja ? kLoja : kTerminal;
}

void ObservadorJanela::Comecou() {
  view_.SetVisible(pagina_.painel, false);
  view_.SetVisible(pagina_.status, true);
  view_.SetEnabled(pagina_.voltar, false);
  view_.SetEnabled(pagina_.continuar, false);
}

void ObservadorJanela::Etapa(const std::string& texto) {
  view_.SetText(pagina_.status, texto);
}

void ObservadorJanela::ProgressoInicio(TipoProgresso tipo) {
  if (tipo == TipoProgresso::Extracao) view_.SetGaugeMax(pagina_.gauge, 0);
  view_.SetGaugeProgress(pagina_.gauge, 0);
  if (pagina_.gif) view_.SetVisible(Control::VltGIF1, false);
  view_.SetVisible(pagina_.gauge, true);
  view_.SetVisible(pagina_.linha, true);
}

void ObservadorJanela::Progresso(std::int64_t feito, std::int64_t total, const std::string& linha) {
  view_.SetGaugeMax(pagina_.gauge, total);
  view_.SetGaugeProgress(pagina_.gauge, feito);
  if (!linha.empty()) view_.SetText(pagina_.linha, linha);
}

void ObservadorJanela::ProgressoFim(const std::string& concluido) {
  if (!concluido.empty()) view_.SetText(pagina_.status, concluido);
  view_.SetVisible(pagina_.gauge, false);
  view_.SetVisible(pagina_.linha, false);
}

void ObservadorJanela::Caixa(TipoCaixa tipo, const std::string& texto, bool falha) {
  const std::string caixa = falha ? texto + platform::LogNote() : texto;
  if (tipo == TipoCaixa::Aviso)
    view_.WarningBox(caixa, "Atenção");
  else
    view_.InformationBox(caixa);
}

std::optional<CredenciaisProxy> ObservadorJanela::PedeCredenciaisProxy(const std::string& proxy,
                                                                       bool recusado) {
  const std::string texto =
      recusado
          ? "O proxy " + proxy + " recusou o usuário informado.\nInforme outro usuário e senha."
          : "O proxy " + proxy + " pede usuário e senha para baixar os pacotes.";
  const auto valores =
      view_.AskFields("Proxy", texto, {{"Usuário:", "", false}, {"Senha:", "", true}});
  if (!valores || valores->size() != 2) return std::nullopt;
  return CredenciaisProxy{(*valores)[0], (*valores)[1]};
}

void ObservadorJanela::Aguarda(int ms) {
  view_.Wait(ms);
}

void ObservadorJanela::Atende() {
  view_.PumpEvents();
}

bool ObservadorJanela::Cancelado() {
  return cancelado_ && cancelado_();
}

void ObservadorJanela::Terminou(const Desfecho& desfecho) {
  if (desfecho.codigo == CodigoSaida::Instalado) {
    // Where support finds the record of this installation.
    const std::string registro = platform::LogPath();
    view_.SetText(Control::lbArquivoRegistro, registro);
    view_.SetVisible(Control::lbRegistro, !registro.empty());
    view_.SetVisible(Control::lbArquivoRegistro, !registro.empty());
    view_.ShowPage(Page::tsFinal);
    return;
  }
  // The page is the operator's again (its fields, "Voltar" and "Continuar"), so that the same
  // window tries again; a failure's box follows.
  view_.SetVisible(pagina_.status, false);
  view_.SetVisible(pagina_.gauge, false);  // the gauge and its line sit where the fields are
  view_.SetVisible(pagina_.linha, false);
  view_.SetVisible(pagina_.painel, true);
  view_.SetEnabled(pagina_.voltar, true);
  view_.SetEnabled(pagina_.continuar, true);
  view_.Focus(pagina_.continuar);
}

// ---- unattended ----

void ObservadorSilencioso::Comecou() {
  if (janela_) janela_->Comecou();
}

void ObservadorSilencioso::Etapa(const std::string& texto) {
  if (janela_) janela_->Etapa(texto);
}

void ObservadorSilencioso::ProgressoInicio(TipoProgresso tipo) {
  if (janela_) janela_->ProgressoInicio(tipo);
}

void ObservadorSilencioso::Progresso(std::int64_t feito, std::int64_t total,
                                     const std::string& linha) {
  if (janela_) janela_->Progresso(feito, total, linha);
}

void ObservadorSilencioso::ProgressoFim(const std::string& concluido) {
  if (janela_) janela_->ProgressoFim(concluido);
}

void ObservadorSilencioso::Caixa(TipoCaixa tipo, const std::string& texto, bool) {
  caixas_.push_back(tipo == TipoCaixa::Aviso ? "Atenção: " + texto : texto);
}

std::optional<CredenciaisProxy> ObservadorSilencioso::PedeCredenciaisProxy(const std::string&,
                                                                           bool) {
  return std::nullopt;  // nobody is there: only /proxyusuario= and /proxysenha= serve
}

void ObservadorSilencioso::Aguarda(int ms) {
  if (janela_)
    janela_->Aguarda(ms);
  else
    platform::SleepMs(ms);
}

void ObservadorSilencioso::Atende() {
  if (janela_) janela_->Atende();
}

bool ObservadorSilencioso::Cancelado() {
  return janela_ && janela_->Cancelado();
}

void ObservadorSilencioso::Terminou(const Desfecho& desfecho) {
  if (janela_) janela_->Terminou(desfecho);
}

}  // namespace vlt
