// The installation routines behind the two "Continuar" buttons, Firebird provisioning, and the
// download progress handlers. They run inside the click handler on the user-interface thread;
// long steps keep the window alive by pumping events at fixed points.
#include <string>

#include "archive/zip_file.h"
#include "database/version_probe.h"
#include "download/vlt_download.h"
#include "installer/copia_atualizacao.h"
#include "installer/linha_comando.h"
#include "installer/principal.h"
#include "installer/system_ops.h"
#include "installer/transfer_line.h"
#include "installer/wizard_view.h"
#include "net/sha256.h"
#include "net/text_functions.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/flag_scope.h"
#include "platform/ini.h"
#include "platform/locale.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vlt {

using download::protHTTP;
using download::stDownload;
using download::stStop;
using net::HR_Connect;
using net::HR_ReadCount;
using net::THookSocketReason;

namespace {

constexpr int kPausaMs = 2000;
// How long "Download concluído" stays on screen before the next step's text replaces it.
constexpr int kMostraConclusaoMs = 1000;
// A published digest is small: anything larger is not one.
constexpr std::int64_t kMaxSomaPublicada = 64 * 1024;

// Lies in the product folder while an installation of this program is unfinished: a database
// next to it is this installer's own half-done work, not a real installation to protect.
constexpr char kMarcaIncompleta[] = "InstaladorVeltra.incompleto";
constexpr char kBaseExistente[] =
    "O diretório selecionado contem uma base de dados a operação sera abortada";

using C = CodigoSaida;

// Runs one step of a routine; a failure says which step failed, then its detail, and carries
// the kind of step for the exit code. A cancellation, and a failure already named by an inner
// step, pass through as they are.
template <typename Passo>
void Etapa(CodigoSaida codigo, const std::string& etapa, Passo passo) {
  try {
    passo();
  } catch (const InstalacaoCancelada&) {
    throw;
  } catch (const FalhaInstalacao&) {
    throw;
  } catch (const std::exception& e) {
    throw FalhaInstalacao(codigo, etapa + "\r" + e.what());
  }
}

// How a routine that ended with an exception ended.
Desfecho DesfechoDe(const std::exception_ptr& erro) {
  try {
    std::rethrow_exception(erro);
  } catch (const InstalacaoCancelada&) {
    return {C::Cancelada, "A instalação foi interrompida antes do fim."};
  } catch (const FalhaInstalacao& e) {
    return {e.Codigo(), e.what()};
  } catch (const std::exception& e) {
    return {C::Falha, e.what()};
  } catch (...) {
    return {C::Falha, "Erro desconhecido."};
  }
}

// "2.35 s"
std::string Segundos(std::uint32_t ms) {
  return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) +
         std::to_string(ms % 100 / 10) + " s";
}

// Why files cannot be written into `dir`; empty when they can (the mark is written there).
std::string PastaInutilizavel(const std::string& dir) {
  if (!platform::DirectoryExists(dir))
    return "A pasta não existe e não pôde ser criada (verifique a unidade e o caminho).";
  // The mark of an unfinished installation is the test file: it stays until the end.
  platform::File arquivo;
  if (!arquivo.Open(dir + "\\" + kMarcaIncompleta, platform::FileAccess::Write,
                    platform::FileShare::Exclusive, platform::FileCreate::CreateAlways) ||
      !arquivo.Write("instalação em andamento\r\n", 27))
    return "Não há permissão para gravar arquivos nessa pasta (" + arquivo.ErrorText() + ").";
  return {};
}

// "http://127.0.0.1:8080/Drive/app/x.zip" -> "127.0.0.1:8080"
std::string ServidorDe(const std::string& url) {
  net::UrlParts partes;
  net::SplitUrl(url, partes);
  return partes.Host + ":" + partes.Port;
}

struct ControlesProduto {
  Control gauge, linha, status;
};
constexpr ControlesProduto kLoja{Control::Gauger1, Control::lConnectionInfo, Control::lbStatus};
constexpr ControlesProduto kTerminal{Control::Gauge1Terminal, Control::lConectionTerminal,
                                     Control::lbStatusInstallTerminal};

}  // namespace

template <typename Action>
void TfrmPrincipal::ParaCadaProduto(Action action) {
  // Two separate tests, "Quenda" first: a value that is neither changes nothing.
  if (settings_.SistemaSelecionado == kProdutoLoja) action(kLoja, true);
  if (settings_.SistemaSelecionado == kProdutoPDV) action(kTerminal, false);
}

// ---- steps shared by the routines ----

namespace {

// Closes a failure's box: where support finds the whole story.
std::string NotaRegistro() {
  const std::string registro = platform::LogPath();
  return registro.empty() ? std::string() : "\r\rRegistro da instalação: " + registro;
}

}  // namespace

void TfrmPrincipal::Aviso(const std::string& texto, bool falha) {
  platform::Log("Aviso: " + texto);
  view_.WarningBox(falha ? texto + NotaRegistro() : texto, "Atenção");
}

void TfrmPrincipal::Informacao(const std::string& texto, bool falha) {
  platform::Log("Mensagem: " + texto);
  view_.InformationBox(falha ? texto + NotaRegistro() : texto);
}

void TfrmPrincipal::Termina(CodigoSaida codigo, const std::string& texto) {
  desfecho_ = {codigo, texto};
}

void TfrmPrincipal::Pausa() {
  // The routine waits and takes no input; the window keeps painting what it was told.
  view_.Wait(kPausaMs);
  VerificaCancelamento();
}

void TfrmPrincipal::AtendeJanela() {
  // Called for every block read or written: the window is let in at most every interval.
  const std::uint32_t agora = platform::TickMs();
  if (!pump_feito_ || static_cast<std::uint32_t>(agora - ultimo_pump_) >= kIntervaloJanelaMs) {
    pump_feito_ = true;
    ultimo_pump_ = agora;
    view_.PumpEvents();
  }
}

bool TfrmPrincipal::ProgressoDevido(std::int64_t feito, std::int64_t total) {
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
  return progresso_.mostrar;
}

void TfrmPrincipal::Extrai(const std::string& archive, const std::string& directory) {
  const std::string nome = archive.substr(archive.find_last_of("\\/") + 1);
  const std::uint32_t inicio = platform::TickMs();
  size_t arquivos = 0;
  Etapa(C::Extracao, "Falha ao extrair o pacote " + nome + ".", [&] {
    TZipFile zip;
    zip.Open(archive, zmRead);
    arquivos = zip.FileCount();
    platform::Log("Extraindo " + platform::NormalizePath(archive) + " em " +
                  platform::NormalizePath(directory) + " (" + std::to_string(arquivos) +
                  " arquivos)");
    // The page's gauge shows the extraction as it shows a download, and the window keeps
    // answering; closing it stops the extraction (the file being written is removed).
    progresso_ = {.tick = platform::TickMs()};
    pump_feito_ = false;
    auto linha = [](size_t feitos, size_t total) {
      return "Arquivo " + std::to_string(feitos) + " de " + std::to_string(total);
    };
    ParaCadaProduto([&](const ControlesProduto& c, bool loja) {
      view_.SetGaugeMax(c.gauge, 0);
      view_.SetGaugeProgress(c.gauge, 0);
      view_.SetText(c.linha, linha(0, zip.FileCount()));
      if (loja) view_.SetVisible(Control::VltGIF1, false);
      view_.SetVisible(c.gauge, true);
      view_.SetVisible(c.linha, true);
    });
    zip.OnProgress = [&](const TZipProgress& p) {
      const auto feito = static_cast<std::int64_t>(p.bytes_done + p.entries_done);
      const auto total = static_cast<std::int64_t>(p.bytes_total + p.entries_total);
      if (!ProgressoDevido(feito, total)) return;
      ParaCadaProduto([&](const ControlesProduto& c, bool) {
        view_.SetGaugeMax(c.gauge, total);
        view_.SetGaugeProgress(c.gauge, feito);
        view_.SetText(c.linha, linha(p.entries_done, p.entries_total));
      });
      AtendeJanela();
      VerificaCancelamento();
    };
    zip.ExtractAll(directory);
  });
  platform::Log("Extraído: " + nome + ", " + std::to_string(arquivos) + " arquivos em " +
                Segundos(platform::TickMs() - inicio));
  ParaCadaProduto([&](const ControlesProduto& c, bool) {
    view_.SetVisible(c.gauge, false);
    view_.SetVisible(c.linha, false);
  });
}

void TfrmPrincipal::VerificaCancelamento() {
  if (cancelado_) throw InstalacaoCancelada();
}

std::string TfrmPrincipal::SomaPublicada(const std::string& destino, const std::string& nome,
                                         const std::string& url, const std::string& falha) {
  net::UrlParts partes;
  net::SplitUrl(url, partes);
  const std::string remoto = platform::LastComponent(partes.Path);
  const std::string publicada = remoto + ".sha256";
  const std::string local = nome + ".sha256";
  const std::string caminho = net::PathWithSeparator(destino) + local;
  // Its own small download, with no progress of its own on the page; the window keeps
  // answering, and closing it stops this transfer too. A partial copy an earlier run left is
  // not resumed: it may be of another version.
  download::TVltDownload soma;
  soma.SetProtocolo(protHTTP);
  soma.SetProxy(VltDownload.Proxy());
  soma.SetDownloadDest(destino);
  soma.SetDownloadNomeArq(local);
  soma.SetDownloadUrl(url + ".sha256");
  soma.SetHeartbeatRate(kIntervaloJanelaMs);
  auto atende = [&] {
    AtendeJanela();
    if (cancelado_) soma.SetDownloadStatus(stStop);
  };
  soma.SetOnHeartbeat([&](download::TVltDownloadClass*, std::uint32_t) { atende(); });
  soma.SetOnHookMonitor([&](std::int64_t, std::int64_t, double, std::uint32_t) { atende(); });
  Etapa(C::Download, falha, [&] {
    platform::RemoveFile(caminho + ".part");
    soma.StartDownload();
  });
  VerificaCancelamento();
  const download::TVltDownloadClass& engine = soma.Engine();
  if (!engine.Finished()) {
    if (engine.ResultCode() == 404 || engine.ResultCode() == 410) {
      if (!servidor_.SomasObrigatorias) {
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
        C::Download,
        falha + "\rMotivo: não foi possível baixar a soma de verificação SHA-256 do pacote (" +
            publicada + "): " + engine.FailureText());
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

// The package is there, whole, under its final name, with the digest the server publishes for
// it, or the routine ends here: a file an earlier run left behind is never taken for it.
void TfrmPrincipal::Baixa(const std::string& destino, const std::string& nome,
                          const std::string& url) {
  const std::string falha =
      "Falha ao baixar o pacote " + nome + " do servidor " + ServidorDe(url) + ".";
  const std::string esperada = SomaPublicada(destino, nome, url, falha);
  Etapa(C::Download, falha, [&] {
    VltDownload.SetProtocolo(protHTTP);
    VltDownload.SetDownloadDest(destino);
    VltDownload.SetDownloadNomeArq(nome);
    VltDownload.SetDownloadUrl(url);
    VltDownload.SetExpectedSha256(esperada);
    VltDownload.StartDownload();
  });
  VerificaCancelamento();
  const download::TVltDownloadClass& engine = VltDownload.Engine();
  if (engine.DigestMismatch())
    throw FalhaInstalacao(
        C::Verificacao,
        falha +
            "\rMotivo: o pacote recebido não confere com a soma de verificação SHA-256 "
            "publicada pelo servidor e foi descartado.\rEsperada: " +
            esperada + "\rRecebida: " + engine.ReceivedSha256());
  if (!engine.Finished())
    throw FalhaInstalacao(C::Download, falha + "\rMotivo: " + engine.FailureText());
  if (!esperada.empty()) platform::Log("Conferido: " + nome + ", SHA-256 " + esperada);
}

std::string TfrmPrincipal::UrlPacote(const std::string& caminho) const {
  return servidor_.Base + caminho;
}

void TfrmPrincipal::EscreveGlobalIni(const std::string& arquivo, const std::string& caminho) {
  Etapa(C::Falha, "Falha ao gravar a configuração " + arquivo + ".", [&] {
    for (const auto& [chave, valor] : {std::pair<const char*, std::string>{"CAMINHO", caminho},
                                       {"TIPO", settings_.TipoInstalacao},
                                       {"IP", settings_.ServidorIPNome}}) {
      platform::WriteIniString(arquivo, "DADOS", chave, valor);
      platform::Log("Gravado: " + arquivo + " [DADOS] " + chave + "=" + valor);
    }
  });
}

// ---- Firebird ----

void TfrmPrincipal::StatusFirebird(const std::string& texto) {
  platform::Log("Etapa: " + texto);
  view_.SetText(Control::lbStatus, texto);
  view_.SetText(Control::lbStatusInstallTerminal, texto);
  view_.PumpEvents();
  Pausa();
}

void TfrmPrincipal::Executa(CodigoSaida codigo, const std::string& etapa,
                            const std::string& programa, const std::string& argumentos) {
  platform::Log("Executando: \"" + platform::NormalizePath(programa) + "\"" +
                (argumentos.empty() ? "" : " " + argumentos));
  const std::uint32_t inicio = platform::TickMs();
  Etapa(codigo, etapa, [&] { system_.ExecutaEAguarda(programa, argumentos); });
  platform::Log("Terminou: \"" + platform::ExtractFileName(programa) + "\" em " +
                Segundos(platform::TickMs() - inicio));
  VerificaCancelamento();
}

void TfrmPrincipal::RotinaFirebird() {
  // Whatever fails here (the setup's download included) leaves the machine without a database
  // server: one kind of failure for whoever reads the exit code.
  try {
    ProvisionaFirebird();
  } catch (const InstalacaoCancelada&) {
    throw;
  } catch (const std::exception& e) {
    throw FalhaInstalacao(C::Firebird, e.what());
  }
}

void TfrmPrincipal::ProvisionaFirebird() {
  // The cycle is bounded: a server that never starts (an unreachable package server, a setup
  // that fails) ends the routine with a message instead of cycling until the window is closed.
  for (int passada = 1;; ++passada) {
    StatusFirebird("Verificando Firebird");
    if (system_.FirebirdAtivo()) break;
    if (passada > kPassadasFirebird) {
      throw Exception(
          "Não foi possível iniciar o servidor Firebird depois de " +
          std::to_string(kPassadasFirebird) +
          " tentativas de instalação. Nada foi instalado; verifique a conexão com o servidor de "
          "pacotes e tente novamente.");
    }
    StatusFirebird("Firebird não está ativo");
    platform::Log("Etapa: Baixando Firebird");
    view_.SetText(Control::lbStatus, "Baixando Firebird");
    view_.SetText(Control::lbStatusInstallTerminal, "Baixando Firebird");
    const std::string uteis = view_.GetText(Control::edtDirZadoveve) + "/../Uteis/";
    if (!system_.DirectoryExists(uteis)) system_.ForceDirectories(uteis);
    Baixa(uteis, "Firebird-2.5.9x86.exe", UrlPacote("/Drive/app/Uteis/Firebird-2.5.9x86.exe"));
    StatusFirebird("Inicia instalação do Firebird");
    Executa(C::Firebird, "Falha ao instalar o Firebird.",
            VltDownload.DownloadDest() + VltDownload.DownloadNomeArq(),
            "/SILENT /TASKS /NORESTART");
    StatusFirebird("Inicia serviço do Firebird");
    Executa(C::Firebird, "Falha ao iniciar o serviço do Firebird.", "C:\\Windows\\System32\\cmd",
            "/c net start \"firebird guardian - defaultinstance\"");
  }
  StatusFirebird("Firebird está ativo");
}

// ---- the store ERP ----

bool TfrmPrincipal::PreparaInstalacao(const PaginaProduto& pagina) {
  std::string dir = view_.GetText(pagina.diretorio);
  if (!dir.empty() && dir.back() == '\\') {
    dir.pop_back();  // one backslash only
    view_.SetText(pagina.diretorio, dir);
  }
  platform::Log("Instalação de " + settings_.SistemaSelecionado + " em " + dir +
                " (TIPO=" + settings_.TipoInstalacao + ", IP=" + settings_.ServidorIPNome +
                (pagina.diretorio == Control::edtDirTerminal
                     ? ", pasta do Quenda " + view_.GetText(Control::edtDirTerminalQuenda)
                     : std::string()) +
                ")");
  if (platform::FileExists(dir + "\\" + pagina.base) &&
      !platform::FileExists(dir + "\\" + kMarcaIncompleta)) {
    Termina(C::Pasta, kBaseExistente);
    Aviso(kBaseExistente, true);
    return false;
  }
  // The folder must exist (or be made) and take files before anything is downloaded: a
  // missing drive or a read-only folder is said here, and the page stays as it was.
  if (!system_.DirectoryExists(dir)) system_.ForceDirectories(dir);
  if (const std::string motivo = PastaInutilizavel(dir); !motivo.empty()) {
    const std::string texto = "Não é possível instalar na pasta \"" + dir + "\".\r" + motivo;
    Termina(C::Pasta, texto);
    Aviso(texto, true);
    return false;
  }
  view_.SetVisible(pagina.painel, false);
  view_.SetVisible(pagina.status, true);
  view_.SetEnabled(pagina.voltar, false);
  view_.SetEnabled(pagina.continuar, false);
  return true;
}

template <typename Rotina>
void TfrmPrincipal::ExecutaComNovaTentativa(const PaginaProduto& pagina, Rotina rotina) {
  auto devolve_pagina = [&] {
    view_.SetVisible(pagina.status, false);
    // The transfer's gauge and line sit where the fields come back.
    for (Control c : {Control::Gauger1, Control::lConnectionInfo, Control::Gauge1Terminal,
                      Control::lConectionTerminal})
      view_.SetVisible(c, false);
    view_.SetVisible(pagina.painel, true);
    view_.SetEnabled(pagina.voltar, true);
    view_.SetEnabled(pagina.continuar, true);
    view_.Focus(pagina.continuar);
  };
  instalacao_concluida_ = false;
  try {
    platform::FlagScope em_andamento(rotina_em_andamento_);
    rotina();
  } catch (...) {
    desfecho_ = DesfechoDe(std::current_exception());
    platform::Log((desfecho_.codigo == C::Cancelada ? "Interrompida: " : "Erro: ") +
                  desfecho_.mensagem);
    if (desfecho_.codigo == C::Cancelada) throw;
    devolve_pagina();  // the failure box follows; then the page is there to try again
    throw;
  }
  if (!instalacao_concluida_) devolve_pagina();
}

void TfrmPrincipal::ConcluiInstalacao(const std::string& dir) {
  platform::RemoveFile(dir + "\\" + kMarcaIncompleta);
  instalacao_concluida_ = true;
  desfecho_ = {C::Instalado, "Instalação concluída"};
  platform::Log("Instalação concluída em " + dir);
  // Where support finds the record of this installation.
  const std::string registro = platform::LogPath();
  view_.SetText(Control::lbArquivoRegistro, registro);
  view_.SetVisible(Control::lbRegistro, !registro.empty());
  view_.SetVisible(Control::lbArquivoRegistro, !registro.empty());
  view_.ShowPage(Page::tsFinal);
}

void TfrmPrincipal::Instala(const PaginaProduto& pagina, void (TfrmPrincipal::*rotina)()) {
  desfecho_ = {C::Falha, "A instalação terminou sem ser concluída."};
  const bool preparada = PreparaInstalacao(pagina);
  diretorio_ = view_.GetText(pagina.diretorio);
  if (!preparada) return;
  ExecutaComNovaTentativa(pagina, [&] {
    const std::string d = view_.GetText(pagina.diretorio);
    if (!system_.DirectoryExists(d)) system_.ForceDirectories(d);
    RotinaFirebird();
    (this->*rotina)();
  });
}

Desfecho TfrmPrincipal::InstalaSemPerguntas(const ParametrosInstalacao& parametros) {
  if (!AplicaParametros(parametros)) {
    desfecho_ = {C::Parametros, "Faltam parâmetros para instalar sem perguntar."};
    return desfecho_;
  }
  try {
    if (settings_.SistemaSelecionado == kProdutoLoja) InstalaLoja();
    if (settings_.SistemaSelecionado == kProdutoPDV) InstalaTerminal();
  } catch (...) {
    desfecho_ = DesfechoDe(std::current_exception());
  }
  return desfecho_;
}

void TfrmPrincipal::InstalaLoja() {
  Instala({Control::edtDirZadoveve, "Dados.gdb", Control::pnDiretorio, Control::lbStatus,
           Control::btnVoltar, Control::btnContinuarZadoveve},
          &TfrmPrincipal::RotinaZadoveve);
}

void TfrmPrincipal::RotinaZadoveve() {
  auto dir = [&] { return view_.GetText(Control::edtDirZadoveve); };
  auto status = [&](const char* texto) {
    platform::Log(std::string("Etapa: ") + texto);
    view_.SetText(Control::lbStatus, texto);
  };

  status("Baixando Sistema");
  Pausa();
  Baixa(dir(), "quenda_2010.zip", UrlPacote("/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip"));
  status("Extraindo Sistema");
  Pausa();
  Extrai(dir() + "\\quenda_2010.zip", dir());
  EscreveGlobalIni(dir() + "\\GLOBAL.INI", dir() + "\\");
  RotinaUteis();

  // Only the attachment is guarded; reading the version after it is not.
  std::unique_ptr<TFbDatabase> base;
  platform::Log("Conectando ao banco de dados " + dir() + "\\DADOS.GDB");
  try {
    base = ConnectErpDatabase(dir());
  } catch (const Exception& e) {
    const std::string texto =
        std::string("Não foi possivel conectar ao banco de dados motivo:") + "\r" + e.what();
    Termina(C::BancoDeDados, texto);
    Informacao(texto, true);
    return;
  }
  std::string versao;
  Etapa(C::BancoDeDados, "Falha ao ler a versão do banco de dados.",
        [&] { versao = ReadServerVersion(*base); });
  base.reset();
  platform::Log("Versão do servidor de banco de dados: " + versao);
  if (versao.find("Firebird 2.5") == std::string::npos) {
    Aviso(
        "Foi encontrada uma versão incompatível do “Firebird” instalado nesse sistema, o Quenda "
        "pode não funcionar de forma correta.\rVersão Instalada: " +
            versao,
        false);
  }

  status("Baixando Atualização");
  Pausa();
  const std::string atualiza = "C:\\Atualiza\\";
  if (!system_.DirectoryExists(atualiza)) system_.ForceDirectories(atualiza);
  Baixa(atualiza, "estoque_2010.zip",
        servidor_.UpdateBase + "/Drive/app/Sistemas/estoque_2010.zip");
  status("Extraindo Atualização");
  view_.PumpEvents();
  Pausa();
  Extrai(VltDownload.DownloadDest() + VltDownload.DownloadNomeArq(), VltDownload.DownloadDest());

  if (settings_.TipoInstalacao == "0") {
    status("Atualizando Banco de Dados");
    view_.PumpEvents();
    Pausa();
    const std::string compara = dir() + "\\..\\Uteis\\VeltraDBCompare\\";
    Etapa(C::Atualizacao, "Falha ao atualizar o banco de dados.", [&] {
      for (const auto& [chave, valor] :
           {std::pair<const char*, std::string>{"MasterDB", "C:\\Atualiza\\DADOS.GDB"},
            {"TargetDB", dir() + "\\DADOS.GDB"}}) {
        platform::WriteIniString(compara + "CompDemo.Ini", "Databases", chave, valor);
        platform::Log("Gravado: " + platform::NormalizePath(compara + "CompDemo.Ini") +
                      " [Databases] " + chave + "=" + valor);
      }
    });
    Executa(C::Atualizacao, "Falha ao atualizar o banco de dados.", compara + "databasecompare.exe",
            "");
  }
  platform::Log("Copiando a atualização de C:\\Atualiza\\ para " + dir());
  Etapa(C::Atualizacao, "Falha ao copiar a atualização para " + dir() + ".",
        [&] { CopiaAtualizacao("C:\\Atualiza\\", dir(), "*.*"); });
  Etapa(C::Falha, "Falha ao criar o atalho na Área de Trabalho.",
        [&] { system_.CriaAtalho(dir() + "\\estoque.exe", "", dir(), "Quenda"); });
  ConcluiInstalacao(dir());
}

void TfrmPrincipal::RotinaUteis() {
  platform::Log("Etapa: Baixando Utilitários");
  view_.SetText(Control::lbStatus, "Baixando Utilitários");
  view_.PumpEvents();
  Pausa();
  const std::string destino = view_.GetText(Control::edtDirZadoveve) + "/../Uteis/";
  if (!system_.DirectoryExists(destino)) system_.ForceDirectories(destino);
  Baixa(destino, "Uteis.zip", UrlPacote("/Drive/app/Uteis/Uteis.zip"));
  platform::Log("Etapa: Extraindo Utilitários");
  view_.SetText(Control::lbStatus, "Extraindo Utilitários");
  Pausa();
  Extrai(VltDownload.DownloadDest() + VltDownload.DownloadNomeArq(), VltDownload.DownloadDest());
}

// ---- the PDV terminal ----

void TfrmPrincipal::InstalaTerminal() {
  Instala(
      {Control::edtDirTerminal, "DBECF.FDB", Control::pnLabelTerminal,
       Control::lbStatusInstallTerminal, Control::btnVoltarTerminal, Control::btnInstalTerminal},
      &TfrmPrincipal::RotinaTerminal);
}

void TfrmPrincipal::RotinaTerminal() {
  auto dir = [&] { return view_.GetText(Control::edtDirTerminal); };
  auto status = [&](const char* texto) {
    platform::Log(std::string("Etapa: ") + texto);
    view_.SetText(Control::lbStatusInstallTerminal, texto);
    Pausa();
  };
  status("Baixando Sistema");
  Baixa(dir(), "terminalnfce.zip",
        UrlPacote("/Drive/app/Sistemas/TerminalNFC-eInstalacaoLimpa.zip"));
  status("Extraindo Sistema");
  Extrai(dir() + "\\terminalnfce.zip", dir());
  // The ERP directory exactly as typed: its default already ends in a backslash.
  EscreveGlobalIni(dir() + "\\GLOBAL.INI", view_.GetText(Control::edtDirTerminalQuenda) + "\\");
  status("Atualizando Sistema...");
  Executa(C::Atualizacao, "Falha ao atualizar o sistema.", dir() + "\\Atualizador.exe", "/auto");
  status("Atualizando Sistema...");
  Etapa(C::Falha, "Falha ao criar o atalho na Área de Trabalho.",
        [&] { system_.CriaAtalho(dir() + "\\terminal.exe", "", dir(), "Veltra PDV NFC-e"); });
  ConcluiInstalacao(dir());
}

// ---- download progress ----

void TfrmPrincipal::VltDownloadBeforeDownload() {
  progresso_ = {.tick = platform::TickMs()};
  pump_feito_ = false;
  ParaCadaProduto([&](const ControlesProduto& c, bool loja) {
    view_.SetGaugeProgress(c.gauge, 0);
    if (loja) view_.SetVisible(Control::VltGIF1, false);
    view_.SetVisible(c.gauge, true);
    view_.SetVisible(c.linha, true);
  });
}

void TfrmPrincipal::VltDownloadHookStatus(THookSocketReason reason, std::int64_t bytes_to_download,
                                          std::int64_t bytes_downloaded) {
  ParaCadaProduto([&](const ControlesProduto& c, bool) {
    if (reason == HR_Connect) view_.SetGaugeProgress(c.gauge, 0);
    if (reason == HR_ReadCount && ProgressoDevido(bytes_downloaded, bytes_to_download)) {
      view_.SetGaugeMax(c.gauge, bytes_to_download);
      view_.SetGaugeProgress(c.gauge, bytes_downloaded);
    }
  });
}

void TfrmPrincipal::VltDownloadHookMonitor(std::int64_t bytes_to_download,
                                           std::int64_t bytes_downloaded, double average_speed,
                                           std::uint16_t sec) {
  // Each read brings this event; the window is told only now and then.
  if (ProgressoDevido(bytes_downloaded, bytes_to_download)) {
    ParaCadaProduto([&](const ControlesProduto& c, bool) {
      view_.SetGaugeProgress(c.gauge, bytes_downloaded);
      view_.SetText(c.linha, TransferLine(bytes_downloaded, bytes_to_download, average_speed, sec,
                                          platform::UserNumberSeparators()));
    });
  }
  AtendeJanela();
  // The operator asked to close the window: the transfer stops at its next block.
  if (cancelado_) VltDownload.SetDownloadStatus(stStop);
}

void TfrmPrincipal::VltDownloadHeartbeat() {
  AtendeJanela();
  if (cancelado_) VltDownload.SetDownloadStatus(stStop);
}

void TfrmPrincipal::VltDownloadAfterDownload() {
  // Only a file that is there, whole, is a finished download.
  if (VltDownload.DownloadStatus() != stDownload || !VltDownload.Engine().Finished()) return;
  ParaCadaProduto([&](const ControlesProduto& c, bool) {
    view_.SetText(c.status, "Download concluído");
    view_.SetVisible(c.gauge, false);
    view_.SetVisible(c.linha, false);
  });
  // Long enough to be read: the next step's text takes the same place at once.
  ParaCadaProduto([&](const ControlesProduto&, bool) { view_.Wait(kMostraConclusaoMs); });
}

}  // namespace vlt
