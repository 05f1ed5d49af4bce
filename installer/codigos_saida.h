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
};

struct DescricaoSaida {
  CodigoSaida codigo;
  const char* nome;         // a short key for scripts ("download")
  const char* significado;  // what it means, as the operator reads it
};

// Every code, in order of its number.
std::span<const DescricaoSaida> TabelaSaidas();
const DescricaoSaida& DescricaoDe(CodigoSaida codigo);

// A failed step of an installation: the message names the step, then its detail; the code
// says which kind of step it was.
class FalhaInstalacao : public Exception {
 public:
  FalhaInstalacao(CodigoSaida codigo, const std::string& mensagem)
      : Exception(mensagem), codigo_(codigo) {}
  CodigoSaida Codigo() const { return codigo_; }

 private:
  CodigoSaida codigo_;
};

// How the routine that ran last ended.
struct Desfecho {
  CodigoSaida codigo = CodigoSaida::Falha;
  std::string mensagem;
};

}  // namespace vlt
