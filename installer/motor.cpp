// The installation engine. The steps of each product are listed in Passos(), in the order they
// run; everything else here is what those steps share.
#include "installer/motor.h"

#include <algorithm>
#include <string>

#include "archive/zip_file.h"
#include "database/version_probe.h"
#include "installer/copia_atualizacao.h"
#include "installer/system_ops.h"
#include "installer/transfer_line.h"
#include "net/sha256.h"
#include "net/text_functions.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/locale.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vlt {

using download::protHTTP;
using download::stDownload;
using download::stStop;
using C = CodigoSaida;

namespace {

constexpr int kPausaMs = 2000;
// How long "Download concluído" stays on screen before the next step's text replaces it.
constexpr int kMostraConclusaoMs = 1000;
// A published digest is small: anything larger is not one.
constexpr std::int64_t kMaxSomaPublicada = 64 * 1024;

constexpr char kBaseExistente[] =
    "O diretório selecionado contem uma base de dados a operação sera abortada";

// Runs part of a step; a failure says which part failed, then its detail, and carries the kind
// of step for the exit code. A cancellation, and a failure already named inside, pass through.
template <typename Acao>
void Parte(CodigoSaida codigo, const std::string& falha, Acao acao) {
  try {
    acao();
  } catch (const InstalacaoCancelada&) {
    throw;
  } catch (const FalhaInstalacao&) {
    throw;
  } catch (const std::exception& e) {
    throw FalhaInstalacao(codigo, falha + "\r" + e.what());
  }
}

// "http://127.0.0.1:8080/Drive/app/x.zip" -> "127.0.0.1:8080"
std::string ServidorDe(const std::string& url) {
  net::UrlParts partes;
  net::SplitUrl(url, partes);
  return partes.Host + ":" + partes.Port;
}

// A folder and a file name joined the way the downloads join them ("…/Uteis/" + "Uteis.zip").
std::string Junta(const std::string& pasta, const std::string& nome) {
  if (!pasta.empty() && (pasta.back() == '\\' || pasta.back() == '/')) return pasta + nome;
  return pasta + "\\" + nome;
}

// Why files cannot be written into `dir`; empty when they can. `marca` names a file that is
// left there (the mark of an unfinished installation), else a probe that is removed.
std::string PastaInutilizavel(const std::string& dir, const char* marca) {
  if (!platform::DirectoryExists(dir))
    return "A pasta não existe e não pôde ser criada (verifique a unidade e o caminho).";
  const std::string arquivo = Junta(dir, marca ? marca : "InstaladorVeltra.teste");
  platform::File f;
  if (!f.Open(arquivo, platform::FileAccess::Write, platform::FileShare::Exclusive,
              platform::FileCreate::CreateAlways) ||
      !f.Write("instalação em andamento\r\n", 27))
    return "Não há permissão para gravar arquivos nessa pasta (" + f.ErrorText() + ").";
  f.Close();
  if (marca == nullptr) platform::RemoveFile(arquivo);
  return {};
}

// How many attempts a failure took, after its reason; nothing for one.
std::string Tentativas(int n) {
  return n > 1 ? "\rTentativas: " + std::to_string(n) + "." : std::string();
}

}  // namespace

std::string MotivoDaFalha(const download::TFalhaDownload& f) {
  using namespace download;
  const std::string n = std::to_string(f.Codigo);
  std::string texto;
  switch (f.Tipo) {
    case ftConexao:
      texto = "não foi possível conectar ao servidor" + (f.Codigo ? " (erro " + n + ")" : "");
      break;
    case ftTempo:
      texto = "o servidor parou de enviar dados e não respondeu a tempo";
      break;
    case ftCertificado:
      texto = "a conexão segura foi recusada: o certificado do servidor não é confiável";
      break;
    case ftServidor:
      texto = "o servidor respondeu " + n;
      if (f.Codigo == 404 || f.Codigo == 410) texto += " (o arquivo não existe no servidor)";
      if (f.Codigo == 401 || f.Codigo == 403) texto += " (acesso negado)";
      if (f.Codigo >= 500) texto += " (erro no próprio servidor)";
      if (f.Codigo == 0) texto = "o servidor deu uma resposta que não pôde ser usada";
      break;
    case ftProxy:
      texto = f.Codigo == 407 ? "o proxy exige usuário e senha (407)"
                              : "o proxy recusou a conexão" + (f.Codigo ? " (" + n + ")" : "");
      break;
    case ftIncompleta:
      texto = "a transferência terminou antes de o arquivo chegar inteiro";
      break;
    case ftSoma:
      texto = "o arquivo recebido não confere com a soma de verificação SHA-256";
      break;
    case ftArquivo:
      texto = "não foi possível gravar o arquivo no disco";
      break;
    case ftInterrompida:
      texto = "a transferência foi interrompida";
      break;
    case ftNenhuma:
      texto = "o download não terminou";
      break;
  }
  // The technical detail after it, for support (in the log's words).
  return texto + "." + (f.Detalhe.empty() ? std::string() : "\rDetalhe: " + f.Detalhe);
}

bool FalhaPassageira(const download::TFalhaDownload& f) {
  using namespace download;
  const bool status_passageiro = f.Codigo == 408 || f.Codigo == 429 || f.Codigo >= 500;
  switch (f.Tipo) {
    case ftConexao:
    case ftTempo:
    case ftIncompleta:
      return true;
    case ftServidor:
      return status_passageiro;
    case ftProxy:
      // A proxy that cannot reach the server (502, 503, 504) may reach it later.
      return status_passageiro && f.Codigo != 407;
    default:
      return false;
  }
}

int PausaDaTentativa(int tentativa, std::int32_t retry_after, double sorteio) {
  if (retry_after >= 0) return std::min(retry_after, kRetryAfterMaximoS) * 1000;
  const int expoente = std::clamp(tentativa - 2, 0, 15);
  const double base = std::min(1000.0 * (1 << expoente), double(kPausaMaximaTentativaMs));
  const double pausa = base * (0.8 + 0.4 * std::clamp(sorteio, 0.0, 1.0));
  return std::min(static_cast<int>(pausa), kPausaMaximaTentativaMs);
}

MotorInstalacao::MotorInstalacao(const PlanoInstalacao& plano, ObservadorInstalacao& observador,
                                 SystemOps& system)
    : plano_(plano), observador_(observador), system_(system) {
  if (!plano_.proxy.usuario.empty())
    login_proxy_ = CredenciaisProxy{plano_.proxy.usuario, plano_.proxy.senha};
}

// ---- the steps of each product, in order ----

std::span<const MotorInstalacao::Passo> MotorInstalacao::Passos(Produto produto) {
  using M = MotorInstalacao;
  static constexpr Passo kLoja[] = {
      {"firebird", &M::ProvisionaFirebird},    // Verificando Firebird ... Firebird está ativo
      {"sistema", &M::SistemaLoja},            // Baixando Sistema, Extraindo Sistema
      {"configuracao", &M::ConfiguracaoLoja},  // GLOBAL.INI
      {"uteis", &M::Uteis},                    // Baixando Utilitários, Extraindo Utilitários
      {"banco", &M::VerificaBanco},            // the database's server version
      {"atualizacao", &M::BaixaAtualizacao},   // Baixando Atualização, Extraindo Atualização
      {"comparacao", &M::AtualizaBanco},       // Atualizando Banco de Dados (servers only)
      {"copia", &M::CopiaAtualizacao},         // the update into the product's folder
      {"atalho", &M::AtalhoLoja},              // the desktop shortcut
  };
  static constexpr Passo kTerminal[] = {
      {"firebird", &M::ProvisionaFirebird},
      {"sistema", &M::SistemaTerminal},
      {"configuracao", &M::ConfiguracaoTerminal},
      {"atualizador", &M::AtualizadorTerminal},  // Atualizando Sistema...
      {"atalho", &M::AtalhoTerminal},
  };
  if (produto == Produto::Loja) return kLoja;
  return kTerminal;
}

Desfecho MotorInstalacao::Executa() {
  Desfecho desfecho;
  const char* etapa = "pasta";
  try {
    platform::Log("Instalação de " + std::string(plano_.SistemaSelecionado()) + " em " +
                  plano_.dir + " (TIPO=" + plano_.tipo + ", IP=" + plano_.servidor +
                  (plano_.produto == Produto::PDV ? ", pasta do Quenda " + plano_.dir_quenda
                                                  : std::string()) +
                  ")");
    for (const std::string& linha : plano_.proxy.registro) platform::Log(linha);
    VerificaPastas();
    observador_.Comecou();
    for (const Passo& passo : Passos(plano_.produto)) {
      etapa = passo.etapa;
      (this->*passo.executa)();
    }
    Conclui();
    desfecho = {C::Instalado, "Instalação concluída", {}, false};
  } catch (const InstalacaoCancelada&) {
    desfecho = {C::Cancelada, "A instalação foi interrompida antes do fim.", etapa, false};
    platform::Log("Interrompida: " + desfecho.mensagem);
  } catch (const FalhaInstalacao& e) {
    desfecho = e.Resultado();
    if (desfecho.etapa.empty()) desfecho.etapa = etapa;
    platform::Log("Erro: " + desfecho.mensagem);
  } catch (const std::exception& e) {
    desfecho = {C::Falha, e.what(), etapa, false};
    platform::Log("Erro: " + desfecho.mensagem);
  }
  observador_.Terminou(desfecho);
  return desfecho;
}

// ---- folders ----

void MotorInstalacao::VerificaPastas() {
  const std::string& dir = plano_.dir;
  const auto recusa = [&](const std::string& texto) {
    platform::Log("Aviso: " + texto);
    observador_.Caixa(TipoCaixa::Aviso, texto, true);
    throw FalhaInstalacao(C::Pasta, texto, "pasta", true);
  };
  if (const std::string erro = ValidaPasta(dir); !erro.empty()) recusa(erro);
  // The ERP folder a terminal's GLOBAL.INI points at is a full path too.
  if (plano_.produto == Produto::PDV)
    if (const std::string erro = ValidaPasta(plano_.dir_quenda); !erro.empty()) recusa(erro);
  if (platform::FileExists(dir + "\\" + plano_.BaseDoProduto()) &&
      !platform::FileExists(dir + "\\" + kMarcaIncompleta))
    recusa(kBaseExistente);
  // Every folder the plan writes into must exist (or be made) and take files before anything is
  // downloaded: a missing drive or a read-only folder is said here, and nothing has changed.
  struct Pasta {
    std::string caminho;
    const char* papel;  // "" for the product's own folder
  };
  std::vector<Pasta> pastas = {{dir, ""}};
  if (plano_.produto == Produto::Loja) {
    pastas.push_back({plano_.DirUteis(), "dos utilitários"});
    pastas.push_back({plano_.dir_atualiza, "da atualização"});
  }
  for (const Pasta& p : pastas) {
    if (!system_.DirectoryExists(p.caminho)) system_.ForceDirectories(p.caminho);
    const bool propria = *p.papel == '\0';
    const std::string motivo = PastaInutilizavel(p.caminho, propria ? kMarcaIncompleta : nullptr);
    if (motivo.empty()) continue;
    const std::string nome = platform::NormalizePath(p.caminho);
    recusa(propria ? "Não é possível instalar na pasta \"" + p.caminho + "\".\r" + motivo
                   : "Não é possível usar a pasta " + std::string(p.papel) + " \"" + nome +
                         "\".\r" + motivo);
  }
}

// ---- what the steps share ----

void MotorInstalacao::Status(const std::string& texto, bool atende) {
  platform::Log("Etapa: " + texto);
  observador_.Etapa(texto);
  if (atende) observador_.Atende();
}

void MotorInstalacao::Pausa() {
  // The installation waits; whatever shows it keeps painting what it was told.
  observador_.Aguarda(kPausaMs);
  VerificaCancelamento();
}

void MotorInstalacao::VerificaCancelamento() {
  if (observador_.Cancelado()) throw InstalacaoCancelada();
}

void MotorInstalacao::Atende() {
  // Called for every block read or written: the window is let in at most every interval.
  const std::uint32_t agora = platform::TickMs();
  if (!atende_feito_ || static_cast<std::uint32_t>(agora - ultimo_atende_) >= kIntervaloJanelaMs) {
    atende_feito_ = true;
    ultimo_atende_ = agora;
    observador_.Atende();
  }
}

bool MotorInstalacao::ProgressoDevido(std::int64_t feito, std::int64_t total) {
  // The status and monitor events of one read share one answer.
  if (progresso_.iniciado && feito == progresso_.feito) return progresso_.mostrar;
  const std::uint32_t agora = platform::TickMs();
  // The first read carries the reply's head and comes before its size is known ("64 / 0 KB"
  // and a full ring): the first showing waits for the size, or for the interval.
  const bool primeiro = total > 0 && !progresso_.com_total;
  progresso_.mostrar = primeiro || (total > 0 && feito >= total) ||
                       static_cast<std::uint32_t>(agora - progresso_.tick) >= kIntervaloProgressoMs;
  if (progresso_.mostrar) {
    progresso_.tick = agora;
    progresso_.com_total = total > 0;
  }
  progresso_.iniciado = true;
  progresso_.feito = feito;
  progresso_.total = total;
  return progresso_.mostrar;
}

void MotorInstalacao::Extrai(const std::string& archive, const std::string& directory,
                             std::vector<std::string>* extraidos) {
  const std::string nome = platform::ExtractFileName(archive);
  const std::uint32_t inicio = platform::TickMs();
  size_t arquivos = 0;
  Parte(C::Extracao, "Falha ao extrair o pacote " + nome + ".", [&] {
    TZipFile zip;
    zip.Open(archive, zmRead);
    arquivos = zip.FileCount();
    platform::Log("Extraindo " + platform::NormalizePath(archive) + " em " +
                  platform::NormalizePath(directory) + " (" + std::to_string(arquivos) +
                  " arquivos)");
    // The extraction shows as a download does, and whatever shows it keeps answering; a stop
    // asked meanwhile ends it (the file being written is removed).
    progresso_ = {.tick = platform::TickMs()};
    atende_feito_ = false;
    auto linha = [](size_t feitos, size_t total) {
      return "Arquivo " + std::to_string(feitos) + " de " + std::to_string(total);
    };
    observador_.ProgressoInicio(TipoProgresso::Extracao);
    observador_.Progresso(0, 0, linha(0, zip.FileCount()));
    zip.OnProgress = [&](const TZipProgress& p) {
      const auto feito = static_cast<std::int64_t>(p.bytes_done + p.entries_done);
      const auto total = static_cast<std::int64_t>(p.bytes_total + p.entries_total);
      if (!ProgressoDevido(feito, total)) return;
      observador_.Progresso(feito, total, linha(p.entries_done, p.entries_total));
      Atende();
      VerificaCancelamento();
    };
    if (extraidos != nullptr)
      zip.OnFileExtracted = [extraidos](const std::string& path) { extraidos->push_back(path); };
    zip.ExtractAll(directory);
  });
  platform::Log("Extraído: " + nome + ", " + std::to_string(arquivos) + " arquivos em " +
                platform::DurationText(platform::TickMs() - inicio));
  observador_.ProgressoFim("");
}

void MotorInstalacao::Prepara(download::TVltDownload& d, const std::string& destino,
                              const std::string& nome, const std::string& url, bool com_progresso) {
  d.SetProtocolo(protHTTP);
  download::TVltProxy proxy = plano_.proxy.Para(url);
  // SOCKS 4 has no login; any other proxy gets the one given this run.
  const bool com_login = proxy.ProxyTipo != download::ptSocks4 &&
                         proxy.ProxyTipo != download::ptSocks4a && !proxy.ProxyHost.empty();
  if (login_proxy_ && com_login) {
    proxy.ProxyUser = login_proxy_->usuario;
    proxy.ProxyPass = login_proxy_->senha;
  }
  d.SetProxy(proxy);
  d.SetDownloadDest(destino);
  d.SetDownloadNomeArq(nome);
  d.SetDownloadUrl(url);
  d.SetHeartbeatRate(kIntervaloJanelaMs);
  d.SetSilenceTimeout(plano_.silencio_maximo_ms);
  auto atende = [this, &d] {
    Atende();
    // A stop asked meanwhile ends the transfer at its next block (or wait).
    if (observador_.Cancelado()) d.SetDownloadStatus(stStop);
  };
  if (!com_progresso) {
    d.SetOnHeartbeat([atende](download::TVltDownloadClass*, std::uint32_t) { atende(); });
    d.SetOnHookMonitor([atende](std::int64_t, std::int64_t, double, std::uint32_t) { atende(); });
    return;
  }
  d.SetOnBeforeDownload([this](download::TVltDownloadClass*) {
    progresso_ = {.tick = platform::TickMs()};
    atende_feito_ = false;
    silencio_mostrado_s_ = 0;
    observador_.ProgressoInicio(TipoProgresso::Transferencia);
  });
  d.SetOnHookMonitor([this, atende](std::int64_t total, std::int64_t feito, double velocidade,
                                    std::uint32_t restante) {
    // Each read brings this event; whatever shows it is told only now and then.
    if (ProgressoDevido(feito, total) || silencio_mostrado_s_ > 0) {
      silencio_mostrado_s_ = 0;
      observador_.Progresso(
          feito, total,
          TransferLine(feito, total, velocidade, restante, platform::UserNumberSeparators()));
    }
    atende();
  });
  d.SetOnHeartbeat([this, atende](download::TVltDownloadClass*, std::uint32_t silencio) {
    // A server that stops sending is shown as one: no speed or time left as if data flowed.
    const std::uint32_t segundos = silencio / 1000;
    if (silencio >= plano_.silencio_mostrado_ms && segundos != silencio_mostrado_s_ &&
        progresso_.iniciado) {
      silencio_mostrado_s_ = segundos;
      observador_.Progresso(progresso_.feito, progresso_.total,
                            "Aguardando o servidor há " + std::to_string(segundos) + " s");
    }
    atende();
  });
  d.SetOnAfterDownload([this, &d](download::TVltDownloadClass*) {
    // Only a file that is there, whole, is a finished download.
    if (d.DownloadStatus() != stDownload || !d.Engine().Finished()) return;
    observador_.ProgressoFim("Download concluído");
    // Long enough to be read: the next step's text takes the same place at once.
    observador_.Aguarda(kMostraConclusaoMs);
  });
}

int MotorInstalacao::Transfere(download::TVltDownload& d, const std::string& falha,
                               bool com_progresso) {
  for (int tentativa = 1;; ++tentativa) {
    Parte(C::Download, falha, [&] { d.StartDownload(); });
    VerificaCancelamento();
    const download::TVltDownloadClass& engine = d.Engine();
    if (engine.Finished() || engine.DigestMismatch()) return tentativa;
    const download::TFalhaDownload& f = d.Falha();
    if (f.Tipo == download::ftProxy && f.Codigo == 407 && NovoLoginProxy(d, falha)) {
      // Tried again at once with the new login: it counts as no attempt.
      download::TVltProxy proxy = d.Proxy();
      proxy.ProxyUser = login_proxy_->usuario;
      proxy.ProxyPass = login_proxy_->senha;
      d.SetProxy(proxy);
      --tentativa;
      continue;
    }
    if (!FalhaPassageira(f) || tentativa >= plano_.tentativas_download) return tentativa;
    const int pausa = PausaDaTentativa(tentativa + 1, d.RetryAfter(),
                                       std::uniform_real_distribution<double>(0, 1)(sorteio_));
    platform::Log("Tentativa " + std::to_string(tentativa) + " de " +
                  std::to_string(plano_.tentativas_download) + " falhou (" + MotivoDaFalha(f) +
                  "); nova tentativa em " + platform::DurationText(pausa) +
                  (d.RetryAfter() >= 0 ? ", como o servidor pediu (Retry-After)" : "") +
                  ", continuando do que já chegou");
    AguardaNovaTentativa(pausa, tentativa + 1, com_progresso);
  }
}

bool MotorInstalacao::NovoLoginProxy(const download::TVltDownload& d, const std::string& falha) {
  const download::TVltProxy& proxy = d.Proxy();
  const std::string endereco = proxy.ProxyHost + ":" + proxy.ProxyPort;
  const bool enviado = !proxy.ProxyUser.empty();
  if (enviado) ++logins_recusados_;
  platform::Log("O proxy " + endereco +
                (enviado ? " recusou o usuário informado (407)" : " exige usuário e senha (407)"));
  // An unattended run has only the login it was given: another try would be refused again.
  const int limite = plano_.silencioso ? 1 : 3;
  if (logins_recusados_ >= limite)
    throw FalhaInstalacao(
        C::Proxy, falha + "\rMotivo: O proxy " + proxy.ProxyHost + " recusou o usuário informado.");
  auto resposta = observador_.PedeCredenciaisProxy(endereco, enviado);
  VerificaCancelamento();
  if (!resposta || resposta->usuario.empty()) {
    if (plano_.silencioso)
      throw FalhaInstalacao(C::Proxy, falha + "\rMotivo: O proxy " + endereco +
                                          " exige usuário e senha: informe /proxyusuario= e "
                                          "/proxysenha=.");
    throw FalhaInstalacao(C::Proxy,
                          falha + "\rMotivo: O proxy " + endereco + " exige usuário e senha.");
  }
  login_proxy_ = std::move(resposta);
  return true;
}

bool ProxyInalcancavel(const download::TVltDownload& d) {
  const download::TFalhaDownload& f = d.Falha();
  // Refused, unreachable, not found, no answer: the first connection, the proxy's, failed.
  const bool conexao_negada = f.Codigo == 10061 || f.Codigo == 10060 || f.Codigo == 10065 ||
                              f.Codigo == 10051 || f.Codigo == 11001 || f.Codigo == 11004;
  return !d.Proxy().ProxyHost.empty() && f.Tipo == download::ftConexao && conexao_negada &&
         !d.Engine().ReplyReceived();
}

std::string MotorInstalacao::Motivo(const download::TVltDownload& d) const {
  const download::TVltProxy& proxy = d.Proxy();
  const download::TFalhaDownload& f = d.Falha();
  if (ProxyInalcancavel(d))
    return "Não foi possível conectar ao proxy " + proxy.ProxyHost + ":" + proxy.ProxyPort + "." +
           (f.Detalhe.empty() ? std::string() : "\rDetalhe: " + f.Detalhe);
  return MotivoDaFalha(f);
}

void MotorInstalacao::AguardaNovaTentativa(int ms, int tentativa, bool com_progresso) {
  // A small download shows no progress of its own: its wait is shown as a transfer's.
  if (!com_progresso) {
    progresso_ = {.tick = platform::TickMs()};
    observador_.ProgressoInicio(TipoProgresso::Transferencia);
  }
  // Counted down a second at a time; closing the window ends the wait at the next second.
  for (int restante = ms; restante > 0;) {
    const int segundos = (restante + 999) / 1000;
    observador_.Progresso(progresso_.feito, progresso_.total,
                          "Nova tentativa em " + std::to_string(segundos) + " s (tentativa " +
                              std::to_string(tentativa) + " de " +
                              std::to_string(plano_.tentativas_download) + ")");
    const int fatia = restante - (segundos - 1) * 1000;
    observador_.Aguarda(fatia);
    observador_.Atende();
    VerificaCancelamento();
    restante -= fatia;
  }
  if (!com_progresso) observador_.ProgressoFim("");
}

std::string MotorInstalacao::SomaPublicada(const std::string& destino, const std::string& nome,
                                           const std::string& url, const std::string& falha) {
  net::UrlParts partes;
  net::SplitUrl(url, partes);
  const std::string remoto = platform::LastComponent(partes.Path);
  const std::string publicada = remoto + ".sha256";
  const std::string local = nome + ".sha256";
  const std::string caminho = Junta(destino, local);
  // Its own small download, with no progress of its own. A partial copy an earlier run left is
  // not resumed: it may be of another version.
  download::TVltDownload soma;
  Prepara(soma, destino, local, url + ".sha256", false);
  platform::RemoveFile(caminho + ".part");
  const int tentativas = Transfere(soma, falha, false);
  const download::TVltDownloadClass& engine = soma.Engine();
  if (!engine.Finished()) {
    if (engine.ResultCode() == 404 || engine.ResultCode() == 410) {
      if (!plano_.pacotes.SomasObrigatorias) {
        platform::Log("Aviso: o servidor não publica " + publicada +
                      "; o pacote será instalado sem conferência.");
        return {};
      }
      throw FalhaInstalacao(
          C::Verificacao,
          falha + "\rMotivo: o servidor não publica a soma de verificação SHA-256 do pacote (" +
              publicada + ").");
    }
    throw FalhaInstalacao(
        ProxyInalcancavel(soma) ? C::Proxy : C::Download,
        falha + "\rMotivo: não foi possível baixar a soma de verificação SHA-256 do pacote (" +
            publicada + "): " + Motivo(soma) + Tentativas(tentativas));
  }
  std::string conteudo, erro;
  const bool lida = platform::ReadWholeFile(caminho, kMaxSomaPublicada, conteudo, erro);
  platform::RemoveFile(caminho);
  const std::string digest = lida ? net::Sha256sumDigestFor(conteudo, remoto) : std::string();
  if (digest.empty())
    throw FalhaInstalacao(C::Verificacao,
                          falha + "\rMotivo: a soma de verificação publicada pelo servidor (" +
                              publicada + ") não traz uma soma SHA-256 válida para o pacote.");
  return digest;
}

std::string MotorInstalacao::Baixa(const std::string& destino, const std::string& nome,
                                   const std::string& url) {
  const std::string falha =
      "Falha ao baixar o pacote " + nome + " do servidor " + ServidorDe(url) + ".";
  const std::string esperada = SomaPublicada(destino, nome, url, falha);
  download::TVltDownload pacote;
  Prepara(pacote, destino, nome, url, true);
  pacote.SetExpectedSha256(esperada);
  const int tentativas = Transfere(pacote, falha, true);
  const download::TVltDownloadClass& engine = pacote.Engine();
  if (!engine.Finished()) observador_.ProgressoFim("");
  if (engine.DigestMismatch())
    throw FalhaInstalacao(
        C::Verificacao,
        falha +
            "\rMotivo: o pacote recebido não confere com a soma de verificação SHA-256 "
            "publicada pelo servidor e foi descartado.\rEsperada: " +
            esperada + "\rRecebida: " + engine.ReceivedSha256());
  if (!engine.Finished())
    throw FalhaInstalacao(ProxyInalcancavel(pacote) ? C::Proxy : C::Download,
                          falha + "\rMotivo: " + Motivo(pacote) + Tentativas(tentativas));
  if (!esperada.empty()) platform::Log("Conferido: " + nome + ", SHA-256 " + esperada);
  return Junta(destino, nome);
}

std::string MotorInstalacao::BaixaEExtrai(const Pacote& p, std::vector<std::string>* extraidos) {
  Status("Baixando " + p.o_que, p.atende_ao_baixar);
  Pausa();
  if (!system_.DirectoryExists(p.destino)) system_.ForceDirectories(p.destino);
  const std::string arquivo = Baixa(p.destino, p.nome, p.url);
  Status("Extraindo " + p.o_que, p.atende_ao_extrair);
  Pausa();
  if (extraidos != nullptr) extraidos->clear();
  Extrai(arquivo, p.destino, extraidos);
  return arquivo;
}

std::string MotorInstalacao::UrlPacote(const std::string& caminho) const {
  return plano_.pacotes.Base + caminho;
}

void MotorInstalacao::EscreveGlobalIni(const std::string& arquivo, const std::string& caminho) {
  Parte(C::Falha, "Falha ao gravar a configuração " + arquivo + ".", [&] {
    for (const auto& [chave, valor] : {std::pair<const char*, std::string>{"CAMINHO", caminho},
                                       {"TIPO", plano_.tipo},
                                       {"IP", plano_.servidor}}) {
      platform::WriteIniString(arquivo, "DADOS", chave, valor);
      platform::Log("Gravado: " + arquivo + " [DADOS] " + chave + "=" + valor);
    }
  });
}

void MotorInstalacao::Executa(CodigoSaida codigo, const std::string& etapa,
                              const std::string& programa, const std::string& argumentos,
                              bool zero_sucesso) {
  platform::Log("Executando: \"" + platform::NormalizePath(programa) + "\"" +
                (argumentos.empty() ? "" : " " + argumentos));
  const std::uint32_t inicio = platform::TickMs();
  std::int64_t saida = -1;
  Parte(codigo, etapa,
        [&] { saida = system_.ExecutaEAguarda(programa, argumentos, [this] { Atende(); }); });
  const std::string nome = platform::ExtractFileName(programa);
  platform::Log("Terminou: \"" + nome + "\" em " +
                platform::DurationText(platform::TickMs() - inicio) +
                (saida >= 0 ? ", código de saída " + std::to_string(saida) : std::string()));
  VerificaCancelamento();
  // These programs end with 0 when they did their work.
  if (zero_sucesso && saida > 0)
    throw FalhaInstalacao(codigo, etapa + "\rO programa \"" + platform::NormalizePath(programa) +
                                      "\" terminou com o código de saída " + std::to_string(saida) +
                                      ".");
}

// ---- Firebird ----

void MotorInstalacao::ProvisionaFirebird() {
  auto status = [&](const char* texto) {
    Status(texto, true);
    Pausa();
  };
  // The cycle is bounded: a server that never starts (a setup that fails) ends the
  // installation with a message instead of cycling until the window is closed.
  for (int passada = 1;; ++passada) {
    status("Verificando Firebird");
    if (system_.FirebirdAtivo()) break;
    if (passada > kPassadasFirebird) {
      throw FalhaInstalacao(
          C::Firebird,
          "Não foi possível iniciar o servidor Firebird depois de " +
              std::to_string(kPassadasFirebird) +
              " tentativas de instalação. Nada foi instalado; verifique a conexão com o servidor "
              "de pacotes e tente novamente.");
    }
    status("Firebird não está ativo");
    Status("Baixando Firebird", false);
    const std::string uteis = plano_.DirUteis();
    if (!system_.DirectoryExists(uteis)) system_.ForceDirectories(uteis);
    if (const std::string motivo = PastaInutilizavel(uteis, nullptr); !motivo.empty())
      throw FalhaInstalacao(C::Pasta, "Não é possível usar a pasta do instalador do Firebird \"" +
                                          platform::NormalizePath(uteis) + "\".\r" + motivo);
    // A package server that cannot be reached is a download failure (4, or 5 for its
    // checksum) whatever the package: the exit code says what failed, the step says where.
    const std::string setup =
        Baixa(uteis, "Firebird-2.5.9x86.exe", UrlPacote("/Drive/app/Uteis/Firebird-2.5.9x86.exe"));
    status("Inicia instalação do Firebird");
    Executa(C::Firebird, "Falha ao instalar o Firebird.", setup, "/SILENT /TASKS /NORESTART", true);
    status("Inicia serviço do Firebird");
    // "net start" of a service the setup already started ends with 2: the next look at the
    // processes says whether the server runs.
    Executa(C::Firebird, "Falha ao iniciar o serviço do Firebird.", "C:\\Windows\\System32\\cmd",
            "/c net start \"firebird guardian - defaultinstance\"", false);
  }
  status("Firebird está ativo");
}

// ---- the store ERP ----

void MotorInstalacao::SistemaLoja() {
  BaixaEExtrai({"Sistema", false, false, plano_.dir, "quenda_2010.zip",
                UrlPacote("/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip")});
}

void MotorInstalacao::ConfiguracaoLoja() {
  EscreveGlobalIni(plano_.dir + "\\GLOBAL.INI", plano_.dir + "\\");
}

void MotorInstalacao::Uteis() {
  BaixaEExtrai({"Utilitários", true, false, plano_.DirUteis(), "Uteis.zip",
                UrlPacote("/Drive/app/Uteis/Uteis.zip")});
}

void MotorInstalacao::VerificaBanco() {
  const std::string& dir = plano_.dir;
  // Only the attachment is guarded by its own box; reading the version after it is a failure
  // of its step.
  std::unique_ptr<TFbDatabase> base;
  platform::Log("Conectando ao banco de dados " + dir + "\\DADOS.GDB");
  try {
    base = ConnectErpDatabase(dir);
  } catch (const Exception& e) {
    const std::string texto =
        std::string("Não foi possivel conectar ao banco de dados motivo:") + "\r" + e.what();
    platform::Log("Mensagem: " + texto);
    observador_.Caixa(TipoCaixa::Informacao, texto, true);
    throw FalhaInstalacao(C::BancoDeDados, texto, "banco", true);
  }
  std::string versao;
  Parte(C::BancoDeDados, "Falha ao ler a versão do banco de dados.",
        [&] { versao = ReadServerVersion(*base); });
  base.reset();
  platform::Log("Versão do servidor de banco de dados: " + versao);
  if (versao.find("Firebird 2.5") == std::string::npos) {
    const std::string texto =
        "Foi encontrada uma versão incompatível do “Firebird” instalado nesse sistema, o Quenda "
        "pode não funcionar de forma correta.\rVersão Instalada: " +
        versao;
    platform::Log("Aviso: " + texto);
    observador_.Caixa(TipoCaixa::Aviso, texto, false);
  }
}

void MotorInstalacao::BaixaAtualizacao() {
  // What the update unpacks is what is copied into the product's folder, with the package
  // itself, as it always has been.
  const std::string pacote =
      BaixaEExtrai({"Atualização", false, true, plano_.dir_atualiza, "estoque_2010.zip",
                    plano_.pacotes.UpdateBase + "/Drive/app/Sistemas/estoque_2010.zip"},
                   &atualizacao_);
  atualizacao_.push_back(pacote);
}

void MotorInstalacao::AtualizaBanco() {
  if (plano_.tipo != "0") return;  // the database is the server's: a workstation leaves it
  const std::string& dir = plano_.dir;
  Status("Atualizando Banco de Dados", true);
  Pausa();
  const std::string compara = dir + "\\..\\Uteis\\VeltraDBCompare\\";
  const std::string falha = "Falha ao atualizar o banco de dados.";
  Parte(C::Atualizacao, falha, [&] {
    for (const auto& [chave, valor] :
         {std::pair<const char*, std::string>{"MasterDB", plano_.dir_atualiza + "DADOS.GDB"},
          {"TargetDB", dir + "\\DADOS.GDB"}}) {
      platform::WriteIniString(compara + "CompDemo.Ini", "Databases", chave, valor);
      platform::Log("Gravado: " + platform::NormalizePath(compara + "CompDemo.Ini") +
                    " [Databases] " + chave + "=" + valor);
    }
  });
  Executa(C::Atualizacao, falha, compara + "databasecompare.exe", "", true);
}

void MotorInstalacao::CopiaAtualizacao() {
  const std::string& dir = plano_.dir;
  platform::Log("Copiando a atualização de " + plano_.dir_atualiza + " para " + dir);
  Parte(C::Atualizacao, "Falha ao copiar a atualização para " + dir + ".",
        [&] { vlt::CopiaAtualizacao(plano_.dir_atualiza, dir, "*.*", &atualizacao_); });
}

void MotorInstalacao::AtalhoLoja() {
  const std::string& dir = plano_.dir;
  Parte(C::Falha, "Falha ao criar o atalho na Área de Trabalho.",
        [&] { system_.CriaAtalho(dir + "\\estoque.exe", "", dir, "Quenda"); });
}

// ---- the PDV terminal ----

void MotorInstalacao::SistemaTerminal() {
  BaixaEExtrai({"Sistema", false, false, plano_.dir, "terminalnfce.zip",
                UrlPacote("/Drive/app/Sistemas/TerminalNFC-eInstalacaoLimpa.zip")});
}

void MotorInstalacao::ConfiguracaoTerminal() {
  // The ERP folder exactly as typed: its default already ends in a backslash.
  EscreveGlobalIni(plano_.dir + "\\GLOBAL.INI", plano_.dir_quenda + "\\");
}

void MotorInstalacao::AtualizadorTerminal() {
  Status("Atualizando Sistema...", false);
  Pausa();
  Executa(C::Atualizacao, "Falha ao atualizar o sistema.", plano_.dir + "\\Atualizador.exe",
          "/auto", true);
}

void MotorInstalacao::AtalhoTerminal() {
  const std::string& dir = plano_.dir;
  Status("Atualizando Sistema...", false);
  Pausa();
  Parte(C::Falha, "Falha ao criar o atalho na Área de Trabalho.",
        [&] { system_.CriaAtalho(dir + "\\terminal.exe", "", dir, "Veltra PDV NFC-e"); });
}

void MotorInstalacao::Conclui() {
  platform::RemoveFile(plano_.dir + "\\" + kMarcaIncompleta);
  platform::Log("Instalação concluída em " + plano_.dir);
}

}  // namespace vlt
