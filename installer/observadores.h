#pragma once
// The two ways an installation is shown: on the wizard's product page, and unattended (on the
// same page when there is a window, with every box kept for the log instead of shown; or with
// nothing on screen at all).
#include <functional>
#include <string>
#include <vector>

#include "installer/codigos_saida.h"
#include "installer/observador.h"
#include "installer/plano.h"
#include "installer/wizard_layout.h"

namespace vlt {

class WizardView;

// The product page of the wizard: its status line, gauge and transfer line; the page goes back
// to the operator when the installation ends without reaching the closing page.
class ObservadorJanela final : public ObservadorInstalacao {
 public:
  // `cancelado` says whether the operator asked to close the window.
  ObservadorJanela(WizardView& view, Produto produto, std::function<bool()> cancelado);

  void Comecou() override;
  void Etapa(const std::string& texto) override;
  void ProgressoInicio(TipoProgresso tipo) override;
  void Progresso(std::int64_t feito, std::int64_t total, const std::string& linha) override;
  void ProgressoFim(const std::string& concluido) override;
  void Caixa(TipoCaixa tipo, const std::string& texto, bool falha) override;
  std::optional<CredenciaisProxy> PedeCredenciaisProxy(const std::string& proxy,
                                                       bool recusado) override;
  void Aguarda(int ms) override;
  void Atende() override;
  bool Cancelado() override;
  void Terminou(const Desfecho& desfecho) override;

  // The controls of one product's page.
  struct Pagina {
    Control diretorio, painel, status, voltar, continuar, gauge, linha;
    bool gif;  // the ERP page's animation gives its place to the gauge
  };
  static const Pagina& PaginaDe(Produto produto);

 private:
  WizardView& view_;
  const Pagina& pagina_;
  std::function<bool()> cancelado_;
};

// An unattended run: nothing waits for a person. Boxes are kept (the engine has logged them);
// the rest goes to the window when there is one.
class ObservadorSilencioso final : public ObservadorInstalacao {
 public:
  // `janela`: the page that shows the run, or nullptr when it runs with no window at all.
  explicit ObservadorSilencioso(ObservadorInstalacao* janela) : janela_(janela) {}

  // The boxes the installation would have shown, in order ("Atenção: ..." for a warning).
  const std::vector<std::string>& Caixas() const { return caixas_; }

  void Comecou() override;
  void Etapa(const std::string& texto) override;
  void ProgressoInicio(TipoProgresso tipo) override;
  void Progresso(std::int64_t feito, std::int64_t total, const std::string& linha) override;
  void ProgressoFim(const std::string& concluido) override;
  void Caixa(TipoCaixa tipo, const std::string& texto, bool falha) override;
  std::optional<CredenciaisProxy> PedeCredenciaisProxy(const std::string& proxy,
                                                       bool recusado) override;
  void Aguarda(int ms) override;
  void Atende() override;
  bool Cancelado() override;
  void Terminou(const Desfecho& desfecho) override;

 private:
  ObservadorInstalacao* janela_;
  std::vector<std::string> caixas_;
};

}  // namespace vlt
