#pragma once
// One run of the installer as a whole: where its log goes, and the result file a fleet tool
// reads when the run ends.
#include <string>
#include <vector>

#include "installer/codigos_saida.h"
#include "platform/log.h"

namespace vlt {

class TfrmPrincipal;
struct PlanoInstalacao;

// What the result file holds, one "chave=valor" line each, in this order.
struct ResultadoInstalacao {
  std::string produto;    // "loja", "pdv" or ""
  std::string tipo;       // "servidor", "estacao" or ""
  std::string diretorio;  // the product's folder
  Desfecho desfecho;
  std::string registro;  // the log's path
  std::uint32_t duracao_ms = 0;
};

// The run's outcome as the wizard holds it now.
ResultadoInstalacao ResultadoDe(TfrmPrincipal& form, std::uint32_t duracao_ms);
// The outcome of an unattended run of `plano`.
ResultadoInstalacao ResultadoDe(const PlanoInstalacao& plano, const Desfecho& desfecho,
                                std::uint32_t duracao_ms);

// The result file's text: UTF-8, CR LF lines; a value's own line breaks become " | ".
//   produto=loja / tipo=servidor / diretorio=C:\Progs5\Berfon / codigo=0 / situacao=instalado /
//   mensagem=Instalação concluída / registro=C:\...\InstaladorVeltra-20260131-140507.log /
//   duracao=84 / etapa=uteis (the step that ended a failed run; empty otherwise)
std::string TextoResultado(const ResultadoInstalacao& resultado);
// Writes it beside its name first, then in its place: a reader never sees half of it. False
// with the system's reason.
bool GravaResultado(const std::string& arquivo, const ResultadoInstalacao& resultado,
                    std::string& erro);

// Whether the result file can be written where it was asked, tried before anything starts (its
// folder is made); false with the reason.
bool ResultadoGravavel(const std::string& arquivo, std::string& erro);

// Opens the run's log: the file asked for, else a new one in the temporary folder named for the
// moment (with "-2", "-3"... when a run in the same second took the name). False with the
// reason.
bool AbreRegistro(platform::LogFile& log, const std::string& pedido, std::string& erro);

// The command line as it was given, for the log ("/dir=C:\Lojas\PDV" "/silencioso"); a proxy
// password shows as "***".
std::string LinhaParaRegistro(const std::vector<std::string>& argumentos);

}  // namespace vlt
