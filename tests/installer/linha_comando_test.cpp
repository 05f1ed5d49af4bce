#include "installer/linha_comando.h"

#include <gtest/gtest.h>

#include "installer/principal.h"

namespace vlt {
namespace {

std::vector<std::string> Args(std::initializer_list<const char*> a) {
  return {a.begin(), a.end()};
}

TEST(LinhaComandoTest, ValidCommandLines) {
  const struct {
    std::vector<std::string> args;
    std::string produto, tipo;
    std::optional<std::string> servidor, dir, dirquenda;
    bool silencioso;
    std::string log, resultado;
  } cases[] = {
      {Args({}), "", "", {}, {}, {}, false, "", ""},
      {Args({"/produto=loja", "/tipo=servidor", "/silencioso"}),
       kProdutoLoja,
       "0",
       {},
       {},
       {},
       true,
       "",
       ""},
      // Names and words without regard to case; blanks around a value dropped; the value is
      // everything after the first "=".
      {Args({"/PRODUTO=PDV", "/Tipo=Estação", "/servidor= caixa=01 ", "/SILENCIOSO",
             "/dir=C:\\Lojas\\PDV", "/dirquenda=D:\\Quenda\\", "/log=C:\\t\\x y.log",
             "/resultado=r.txt"}),
       kProdutoPDV, "1", "caixa=01", "C:\\Lojas\\PDV", "D:\\Quenda\\", true, "C:\\t\\x y.log",
       "r.txt"},
      {Args({"/tipo=ESTACAO"}), "", "1", {}, {}, {}, false, "", ""},
      // Without /silencioso an incomplete choice is fine: the wizard asks for the rest.
      {Args({"/produto=loja", "/tipo=estacao", "/dir=E:\\Berfon"}),
       kProdutoLoja,
       "1",
       {},
       "E:\\Berfon",
       {},
       false,
       "",
       ""},
      {Args({"/servidor=10.0.0.5", "/tipo=servidor"}), "", "0", "10.0.0.5", {}, {}, false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const LinhaComando l = LeLinhaComando(c.args);
    EXPECT_EQ(l.erro, "");
    const ParametrosInstalacao& p = l.parametros;
    EXPECT_EQ(p.produto, c.produto);
    EXPECT_EQ(p.tipo, c.tipo);
    EXPECT_EQ(p.servidor, c.servidor);
    EXPECT_EQ(p.dir, c.dir);
    EXPECT_EQ(p.dirquenda, c.dirquenda);
    EXPECT_EQ(p.silencioso, c.silencioso);
    EXPECT_EQ(p.log, c.log);
    EXPECT_EQ(p.resultado, c.resultado);
  }
  EXPECT_TRUE(LeLinhaComando(Args({"/?"})).parametros.ajuda);
}

TEST(LinhaComandoTest, RefusedCommandLinesUseNothingButWhereToReport) {
  const struct {
    std::vector<std::string> args;
    const char* erro_contem;
  } cases[] = {
      {Args({"/produto=erp"}), "Produto inválido: \"erp\""},
      {Args({"/tipo=cliente"}), "Tipo inválido"},
      {Args({"/produto="}), "precisa de um valor"},
      {Args({"/dir=  "}), "precisa de um valor"},
      {Args({"/silencioso=sim"}), "não leva valor"},
      {Args({"/instalar"}), "Parâmetro desconhecido: \"/instalar\""},
      {Args({"produto=loja"}), "começam com \"/\""},
      {Args({"-silencioso"}), "começam com \"/\""},
      {Args({"/produto=loja", "/Produto=pdv"}), "mais de uma vez"},
      {Args({"/dir=C:\\x"}), "precisam de /produto"},
      {Args({"/produto=loja", "/dirquenda=C:\\x"}), "só vale para /produto=pdv"},
      {Args({"/silencioso", "/produto=loja"}), "precisa de /produto e /tipo"},
      {Args({"/silencioso", "/tipo=servidor"}), "precisa de /produto e /tipo"},
      {Args({"/silencioso", "/produto=pdv", "/tipo=estacao", "/log=a.log", "/resultado=r.txt"}),
       "precisa de /servidor=NOME"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const LinhaComando l = LeLinhaComando(c.args);
    EXPECT_NE(l.erro.find(c.erro_contem), std::string::npos) << l.erro;
    // Nothing half-read is used: no product, no folders, no type.
    EXPECT_EQ(l.parametros.produto, "");
    EXPECT_EQ(l.parametros.tipo, "");
    EXPECT_FALSE(l.parametros.dir);
  }
  // Where the refusal is logged and reported survives it, also given after the refused option.
  const LinhaComando l = LeLinhaComando(
      Args({"/produto=erp", "/tipo=servidor", "/silencioso", "/log=a.log", "/resultado=r.txt"}));
  EXPECT_NE(l.erro.find("erp"), std::string::npos) << l.erro;
  EXPECT_EQ(l.parametros.log, "a.log");
  EXPECT_EQ(l.parametros.resultado, "r.txt");
  EXPECT_TRUE(l.parametros.silencioso);
}

TEST(LinhaComandoTest, UsageNamesEveryOptionAndExitCode) {
  const std::string uso = TextoUso();
  for (const char* opcao :
       {"/produto=loja|pdv", "/tipo=servidor|estacao", "/servidor=NOME", "/dir=PASTA",
        "/dirquenda=PASTA", "/silencioso", "/log=ARQUIVO", "/resultado=ARQUIVO"})
    EXPECT_NE(uso.find(opcao), std::string::npos) << opcao;
  for (const DescricaoSaida& d : TabelaSaidas())
    EXPECT_NE(uso.find(std::to_string(static_cast<int>(d.codigo)) + "  " + d.significado),
              std::string::npos)
        << d.nome;
  for (const char* opcao : {"/produto=loja|pdv", "/silencioso", "/resultado=ARQUIVO", "/?"})
    EXPECT_NE(TextoUsoCurto().find(opcao), std::string::npos) << opcao;
}

}  // namespace
}  // namespace vlt
