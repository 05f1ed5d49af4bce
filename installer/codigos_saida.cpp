#include "installer/codigos_saida.h"

#include <array>

namespace vlt {
namespace {

using C = CodigoSaida;

constexpr std::array<DescricaoSaida, 13> kCodigosSaida = {{
    {C::Instalado, "instalado", "Instalação concluída"},
    {C::Falha, "falha", "A instalação falhou em outra etapa (configuração, atalho)"},
    {C::Parametros, "parametros", "Parâmetros inválidos ou conflitantes; nada foi instalado"},
    {C::Firebird, "firebird", "O servidor Firebird não pôde ser instalado ou iniciado"},
    {C::Download, "download", "Não foi possível baixar um pacote"},
    {C::Verificacao, "verificacao",
     "Um pacote não confere com a soma de verificação SHA-256 publicada (ou ela falta)"},
    {C::Extracao, "extracao", "Não foi possível extrair um pacote"},
    {C::BancoDeDados, "banco", "Não foi possível conectar ao banco de dados"},
    {C::Atualizacao, "atualizacao",
     "A atualização falhou (banco de dados, atualizador do PDV ou cópia dos arquivos)"},
    {C::Cancelada, "cancelada", "A instalação foi interrompida antes do fim"},
    {C::Pasta, "pasta",
     "A pasta de instalação foi recusada (contém uma base de dados ou não pode ser gravada)"},
    {C::Proxy, "proxy", "O proxy recusou o usuário informado ou não pôde ser alcançado"},
    {C::EmAndamento, "em_andamento",
     "Já existe uma instalação em andamento; nada foi feito (tente de novo depois)"},
}};

}  // namespace

std::span<const DescricaoSaida> TabelaSaidas() {
  return kCodigosSaida;
}

const DescricaoSaida& DescricaoDe(CodigoSaida codigo) {
  for (const DescricaoSaida& d : kCodigosSaida)
    if (d.codigo == codigo) return d;
  return kCodigosSaida[1];
}

}  // namespace vlt
