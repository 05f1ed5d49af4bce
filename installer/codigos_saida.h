#pragma once
// How an installation ended, as an unattended run tells it to the tool that started it (exit
// status and result file). Fleet tools read these numbers: keep them stable, add new ones at
// the end, and keep README.md's table in step with kCodigosSaida.
#include <span>
#include <string>

#include "platform/exception.h"

namespace vlt {

enum class CodigoSaida : int {
  Instalado = 0,
  Falha = 1,  // a step the other codes do not name (configuration, shortcut, ...)
  Parametros = 2,
  Firebird = 3,
  Download = 4,
  Verificacao = 5,
  Extracao = 6,
  BancoDeDados = 7,
  Atualizacao = 8,
  Cancelada = 9,
  Pasta = 10,
  Proxy = 11,  // the proxy refused the login, or could not be reached
  // The number deployment tools already read as "another installation is running, retry later".
  EmAndamento = 1618,
};

struct DescricaoSaida {
  CodigoSaida codigo;
  const char* nome;         // a short key for scripts ("download")
  const char* significado;  // what it means, as the operator reads it
};

// Every code, in order of its number.
std::span<const DescricaoSaida> TabelaSaidas();
const DescricaoSaida& DescricaoDe(CodigoSaida codigo);

// How an installation ended, and the one shape every failure takes on its way up: what failed
// (the code of the exit-code table), in which step of the plan ("firebird", "uteis"), and why,
// in the operator's words first and the technical detail after.
struct Desfecho {
  CodigoSaida codigo = CodigoSaida::Falha;
  std::string mensagem;
  std::string etapa;      // the step that ended it; "" when none had begun
  bool mostrada = false;  // a box already told the operator
};

// A failed step, thrown from where the failure is found up to the engine's step runner, which
// fills in the step when the thrower did not know it.
class FalhaInstalacao : public Exception {
 public:
  FalhaInstalacao(CodigoSaida codigo, const std::string& mensagem, std::string etapa = {},
                  bool mostrada = false)
      : Exception(mensagem), desfecho_{codigo, mensagem, std::move(etapa), mostrada} {}
  explicit FalhaInstalacao(Desfecho desfecho)
      : Exception(desfecho.mensagem), desfecho_(std::move(desfecho)) {}
  CodigoSaida Codigo() const { return desfecho_.codigo; }
  const Desfecho& Resultado() const { return desfecho_; }

 private:
  Desfecho desfecho_;
};

}  // namespace vlt
