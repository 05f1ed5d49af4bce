#include "installer/execucao.h"

#include <gtest/gtest.h>

#include "installer/motor.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

TEST(ResultadoTest, OneKeyPerLineInAFixedOrder) {
  ResultadoInstalacao r;
  r.produto = "loja";
  r.tipo = "servidor";
  r.diretorio = "C:\\Progs5\\Berfon";
  r.desfecho = {CodigoSaida::Download,
                "Falha ao baixar o pacote Uteis.zip do servidor 127.0.0.1:8080.\rMotivo: the "
                "server answered 404 Not Found",
                "uteis"};
  r.registro = "C:\\Temp\\InstaladorVeltra-20260131-140507.log";
  r.duracao_ms = 83'600;
  EXPECT_EQ(TextoResultado(r),
            "produto=loja\r\n"
            "tipo=servidor\r\n"
            "diretorio=C:\\Progs5\\Berfon\r\n"
            "codigo=4\r\n"
            "situacao=download\r\n"
            "mensagem=Falha ao baixar o pacote Uteis.zip do servidor 127.0.0.1:8080. | Motivo: "
            "the server answered 404 Not Found\r\n"
            "registro=C:\\Temp\\InstaladorVeltra-20260131-140507.log\r\n"
            "duracao=84\r\n"
            "etapa=uteis\r\n");
}

// What the operator reads of a failed download is Portuguese, the technical detail after it.
TEST(MotivoDaFalhaTest, PortugueseFirstThenTheDetail) {
  using namespace download;
  const struct {
    TFalhaDownload falha;
    const char* motivo;
  } cases[] = {
      {{ftServidor, 404, "the server answered 404 Not Found"},
       "o servidor respondeu 404 (o arquivo não existe no servidor).\r"
       "Detalhe: the server answered 404 Not Found"},
      {{ftServidor, 503, "x"}, "o servidor respondeu 503 (erro no próprio servidor).\rDetalhe: x"},
      {{ftProxy, 407, "the proxy answered 407 Proxy Authentication Required"},
       "o proxy exige usuário e senha (407).\r"
       "Detalhe: the proxy answered 407 Proxy Authentication Required"},
      {{ftProxy, 403, "y"}, "o proxy recusou a conexão (403).\rDetalhe: y"},
      {{ftConexao, 10061, "Connection refused"},
       "não foi possível conectar ao servidor (erro 10061).\rDetalhe: Connection refused"},
      {{ftTempo, 0, ""}, "o servidor parou de enviar dados e não respondeu a tempo."},
      {{ftArquivo, 0, "Cannot create file \"C:\\x.part\""},
       "não foi possível gravar o arquivo no disco.\rDetalhe: Cannot create file \"C:\\x.part\""},
  };
  for (const auto& c : cases) EXPECT_EQ(MotivoDaFalha(c.falha), c.motivo);
}

TEST(TentativasTest, WhatIsTriedAgainAndAfterWhatPause) {
  using namespace download;
  const struct {
    TFalhaDownload falha;
    bool passageira;
  } falhas[] = {
      {{ftConexao, 10061, "x"}, true},  {{ftConexao, 10054, "x"}, true},
      {{ftTempo, 0, "x"}, true},        {{ftIncompleta, 0, "x"}, true},
      {{ftServidor, 408, "x"}, true},   {{ftServidor, 429, "x"}, true},
      {{ftServidor, 500, "x"}, true},   {{ftServidor, 503, "x"}, true},
      {{ftProxy, 502, "x"}, true},      {{ftServidor, 404, "x"}, false},
      {{ftServidor, 403, "x"}, false},  {{ftServidor, 0, "x"}, false},
      {{ftProxy, 407, "x"}, false},     {{ftProxy, 403, "x"}, false},
      {{ftCertificado, 0, "x"}, false}, {{ftSoma, 0, "x"}, false},
      {{ftArquivo, 0, "x"}, false},     {{ftInterrompida, 0, "x"}, false},
  };
  for (const auto& f : falhas)
    EXPECT_EQ(FalhaPassageira(f.falha), f.passageira) << f.falha.Tipo << " " << f.falha.Codigo;

  const struct {
    int tentativa, retry_after;
    double sorteio;
    int ms;
  } pausas[] = {
      {2, -1, 0.5, 1000},   {3, -1, 0.5, 2000},      {4, -1, 0.5, 4000},    {5, -1, 0.5, 8000},
      {6, -1, 0.5, 16000},  {7, -1, 0.5, 30000},     {40, -1, 0.5, 30000},  {2, -1, 0.0, 800},
      {2, -1, 0.999, 1199}, {7, -1, 0.0, 24000},     {7, -1, 0.999, 30000}, {2, 7, 0.5, 7000},
      {6, 0, 0.5, 0},       {2, 86400, 0.5, 120000},
  };
  for (const auto& p : pausas)
    EXPECT_EQ(PausaDaTentativa(p.tentativa, p.retry_after, p.sorteio), p.ms)
        << p.tentativa << " " << p.retry_after << " " << p.sorteio;
}

TEST(ResultadoTest, WrittenWholeInPlaceOfAnOlderOne) {
  test::TempDir tmp;
  const std::string arquivo = tmp / "resultado.txt";
  test::WriteFile(arquivo, "codigo=7\r\n(de uma execução anterior, mais longa do que esta)\r\n");
  ResultadoInstalacao r;
  r.desfecho = {CodigoSaida::Instalado, "Instalação concluída"};
  std::string erro;
  ASSERT_TRUE(GravaResultado(arquivo, r, erro)) << erro;
  EXPECT_EQ(test::ReadFile(arquivo), TextoResultado(r));
  EXPECT_FALSE(platform::FileExists(arquivo + ".novo"));

  // A missing folder is made; a file where the folder should be is not replaced.
  ASSERT_TRUE(GravaResultado(tmp / "frota\\pdv01\\resultado.txt", r, erro)) << erro;
  EXPECT_EQ(test::ReadFile(tmp / "frota\\pdv01\\resultado.txt"), TextoResultado(r));
  EXPECT_FALSE(GravaResultado(arquivo + "\\resultado.txt", r, erro));
  EXPECT_FALSE(erro.empty());

  // Whether it can be written is known before the installation starts, and the try leaves
  // nothing behind.
  erro.clear();
  EXPECT_TRUE(ResultadoGravavel(tmp / "novo\\resultado.txt", erro)) << erro;
  EXPECT_FALSE(platform::FileExists(tmp / "novo\\resultado.txt"));
  EXPECT_FALSE(platform::FileExists(tmp / "novo\\resultado.txt.novo"));
  EXPECT_FALSE(ResultadoGravavel(arquivo + "\\resultado.txt", erro));
  EXPECT_TRUE(erro.starts_with("Não é possível gravar o resultado em \"")) << erro;
}

// The default log is named for the moment; a second run in the same second gets a name of its
// own instead of writing into the first one's log.
TEST(RegistroTest, TheDefaultLogNeverMixesTwoRuns) {
  platform::ManualClock clock;
  platform::ScopedClock use_clock(clock);
  clock.SetLocalTime({2031, 7, 4, 9, 8, 7, 0});
  const std::string primeiro = platform::DefaultLogPath();
  const std::string segundo = primeiro.substr(0, primeiro.size() - 4) + "-2.log";
  platform::RemoveFile(primeiro);
  platform::RemoveFile(segundo);
  {
    platform::LogFile a, b;
    std::string erro;
    ASSERT_TRUE(AbreRegistro(a, "", erro)) << erro;
    ASSERT_TRUE(AbreRegistro(b, "", erro)) << erro;
    EXPECT_EQ(a.Path(), primeiro);
    EXPECT_EQ(b.Path(), segundo);
  }
  platform::RemoveFile(primeiro);
  platform::RemoveFile(segundo);

  test::TempDir tmp;
  platform::LogFile pedido;
  std::string erro;
  test::WriteFile(tmp / "arquivo", "");
  EXPECT_FALSE(AbreRegistro(pedido, tmp / "arquivo\\x.log", erro));
  EXPECT_NE(erro.find("arquivo\\x.log"), std::string::npos) << erro;
  ASSERT_TRUE(AbreRegistro(pedido, tmp / "logs\\frota\\x.log", erro)) << erro;
}

TEST(RegistroTest, TheCommandLineAsGiven) {
  EXPECT_EQ(LinhaParaRegistro({}), "(sem parâmetros)");
  EXPECT_EQ(LinhaParaRegistro({"/produto=pdv", "/dir=C:\\Meus Programas\\PDV", ""}),
            "/produto=pdv \"/dir=C:\\Meus Programas\\PDV\" \"\"");
}

}  // namespace
}  // namespace vlt
