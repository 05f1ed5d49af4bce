#pragma once
// The installation engine: runs one plan, step by step, in the order listed in motor.cpp, and
// tells an observer what happens. It reads nothing from a window and shows nothing itself.
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "download/vlt_download.h"
#include "installer/codigos_saida.h"
#include "installer/observador.h"
#include "installer/plano.h"

namespace vlt {

class SystemOps;

// Why a download failed, as the operator reads it: Portuguese first, the technical detail after
// ("o servidor respondeu 404 (o arquivo não existe no servidor).\rDetalhe: the server ...").
std::string MotivoDaFalha(const download::TFalhaDownload& falha);

// The download failed because its proxy could not be reached at all.
bool ProxyInalcancavel(const download::TVltDownload& d);

// How often, at most, a running step lets whatever shows it handle its events (about 25 times
// a second) and shows its progress (10 times: each repaint of the gauge costs milliseconds).
inline constexpr std::uint32_t kIntervaloJanelaMs = 40;
inline constexpr std::uint32_t kIntervaloProgressoMs = 100;

inline constexpr int kPausaMaximaTentativaMs = 30000;
// A server's Retry-After is honoured up to this: a stray header does not hold an installation
// for hours.
inline constexpr int kRetryAfterMaximoS = 120;

// Whether another attempt may succeed where this one failed: no connection, a reset, a silent
// server, a cut transfer, 408, 429 and 5xx (also from a proxy). A refusal (other 4xx), a
// checksum mismatch, a refused certificate or a local file fault is not tried again.
bool FalhaPassageira(const download::TFalhaDownload& falha);

// The pause before attempt `tentativa` (2 is the first one again): 1, 2, 4, 8… s capped at
// kPausaMaximaTentativaMs, each moved by up to a fifth either way by `sorteio` (in [0, 1)) so
// that many machines cut off together do not come back together. A server's Retry-After
// (seconds; -1 when it sent none) is waited instead, up to kRetryAfterMaximoS.
int PausaDaTentativa(int tentativa, std::int32_t retry_after, double sorteio);

// How many times Firebird provisioning downloads and runs the setup before it gives up.
inline constexpr int kPassadasFirebird = 3;

// Lies in the product folder while an installation of this program is unfinished: a database
// next to it is this installer's own half-done work, not a real installation to protect.
inline constexpr char kMarcaIncompleta[] = "InstaladorVeltra.incompleto";

// Ends an installation whose window the operator asked to close; not an error to show.
class InstalacaoCancelada : public std::runtime_error {
 public:
  InstalacaoCancelada() : std::runtime_error("instalação cancelada") {}
};

class MotorInstalacao {
 public:
  MotorInstalacao(const PlanoInstalacao& plano, ObservadorInstalacao& observador,
                  SystemOps& system);

  // Runs the plan to its end and tells the observer how it ended. Never throws: a failure is
  // the outcome.
  Desfecho Executa();

  // One step of an installation: its name in the log and the result file, and what it does.
  struct Passo {
    const char* etapa;
    void (MotorInstalacao::*executa)();
  };
  // The steps of the plan's product, in the order they run.
  static std::span<const Passo> Passos(Produto produto);

 private:
  // The folders the plan writes into, checked before anything is downloaded.
  void VerificaPastas();
  // The steps.
  void ProvisionaFirebird();
  void SistemaLoja();
  void ConfiguracaoLoja();
  void Uteis();
  void VerificaBanco();
  void BaixaAtualizacao();
  void AtualizaBanco();
  void CopiaAtualizacao();
  void AtalhoLoja();
  void SistemaTerminal();
  void ConfiguracaoTerminal();
  void AtualizadorTerminal();
  void AtalhoTerminal();
  void Conclui();

  // What the steps share.
  void Status(const std::string& texto, bool atende);
  void Pausa();
  void VerificaCancelamento();
  void Atende();
  bool ProgressoDevido(std::int64_t feito, std::int64_t total);
  // Unpacks `archive` into `directory`; the files written are added to `extraidos` when given.
  void Extrai(const std::string& archive, const std::string& directory,
              std::vector<std::string>* extraidos = nullptr);
  // Starts a program and waits for it; a program that cannot start, or that ends with another
  // code than 0 when `zero_sucesso`, fails the step with `codigo`.
  void Executa(CodigoSaida codigo, const std::string& etapa, const std::string& programa,
               const std::string& argumentos, bool zero_sucesso);
  // The package is there, whole, under its final name, with the digest the server publishes
  // for it, or the step fails; returns where it is.
  std::string Baixa(const std::string& destino, const std::string& nome, const std::string& url);
  // One package of a step: "Baixando X", its download, "Extraindo X", its extraction into the
  // folder it was downloaded to. The window is let in before the texts the step asks it for.
  struct Pacote {
    std::string o_que;  // "Sistema", "Utilitários", "Atualização"
    bool atende_ao_baixar, atende_ao_extrair;
    std::string destino, nome, url;
  };
  std::string BaixaEExtrai(const Pacote& pacote, std::vector<std::string>* extraidos = nullptr);
  std::string SomaPublicada(const std::string& destino, const std::string& nome,
                            const std::string& url, const std::string& falha);
  // Runs the download until its file is there, or it fails in a way another attempt would not
  // mend, or the attempts run out; says how many attempts it took (at least 1).
  int Transfere(download::TVltDownload& d, const std::string& falha, bool com_progresso);
  // The pause before another attempt, counted down on the transfer line.
  void AguardaNovaTentativa(int ms, int tentativa, bool com_progresso);
  // Hands the transfer's settings to a download component and binds its events here.
  void Prepara(download::TVltDownload& d, const std::string& destino, const std::string& nome,
               const std::string& url, bool com_progresso);
  void EscreveGlobalIni(const std::string& arquivo, const std::string& caminho);
  std::string UrlPacote(const std::string& caminho) const;
  // Why the download failed, in the operator's words: a proxy that is not there is named.
  std::string Motivo(const download::TVltDownload& d) const;
  // The proxy asked for a login (407): asks for one and says whether to try again, or ends
  // the installation.
  bool NovoLoginProxy(const download::TVltDownload& d, const std::string& falha);

  const PlanoInstalacao plano_;
  ObservadorInstalacao& observador_;
  SystemOps& system_;
  struct Progresso {
    std::uint32_t tick = 0;  // of the last showing, or of the start
    bool iniciado = false, mostrar = false, com_total = false;
    std::int64_t feito = 0, total = 0;
  } progresso_;  // of the transfer or extraction under way
  // What this run's update put into the update folder: only these are copied into the product.
  std::vector<std::string> atualizacao_;
  std::uint32_t silencio_mostrado_s_ = 0;  // the silence the transfer line shows; 0: none
  std::uint32_t ultimo_atende_ = 0;        // when a running step last let the window handle events
  bool atende_feito_ = false;              // since the start of the transfer or extraction
  std::mt19937 sorteio_{std::random_device{}()};  // the pauses' jitter
  // The proxy login the operator gave this run (or the plan's); never written anywhere.
  std::optional<CredenciaisProxy> login_proxy_;
  int logins_recusados_ = 0;
};

}  // namespace vlt
