// The installation routines end to end: the scripted view, the recording system operations,
// a clock that does not really pause, real downloads from the nginx fixture, real extraction,
// INI files and update copy, and the real database probe (natively the Firebird client library
// with its embedded engine; under Wine the stand-in gds32.dll beside the test programs).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "installer/linha_comando.h"
#include "installer/observadores.h"
#include "installer/principal.h"
#include "net/sha256.h"
#include "platform/clock.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"
#include "tests/archive/zip_builder.h"
#include "tests/installer/recording_system_ops.h"
#include "tests/installer/scripted_view.h"
#include "tests/net/script_server.h"
#include "tests/support/fixture_settings.h"
#include "tests/support/temp_dir.h"

#ifdef VLT_REAL_FIREBIRD
#include "tests/database/embedded_firebird.h"
#endif

namespace vlt {
namespace {

using test::ScriptedView;
using test::ZipEntry;

// A database the probe can attach to: a real one natively; any file for the stand-in.
std::string DatabaseBytes(const test::TempDir& tmp) {
#ifdef VLT_REAL_FIREBIRD
  const std::string path = tmp / "modelo.gdb";
  test::CreateFirebirdDatabase(path);
  std::string bytes = test::ReadFile(path);
  platform::RemoveFile(path);
  return bytes;
#else
  (void)tmp;
  return "base de dados de teste";
#endif
}

// The server's version text as the probe reads it in this build.
bool ProbeSeesFirebird25() {
#ifdef VLT_REAL_FIREBIRD
  return false;  // Debian's Firebird 3
#else
  return true;  // the stand-in answers "WI-V2.5.9.27139 Firebird 2.5"
#endif
}

class RotinasTest : public ::testing::Test {
 protected:
  std::map<std::string, std::string> nginx = test::FixtureSettings("VLT_NGINX");
  test::TempDir tmp;
  ScriptedView view;
  test::RecordingSystemOps system;
  TfrmPrincipal form{view, system};
  platform::ManualClock clock;
  platform::ScopedClock use_clock{clock};
  std::string site;  // host path of this test's package site
  const std::string erp = tmp / "Progs5\\Berfon";
  const std::string pdv = tmp / "Progs5\\TerminalNFC-e";
  TfrmPrincipal* form_silenciosa = nullptr;  // the unattended run under way, if any

  void SetUp() override {
    ASSERT_TRUE(nginx.count("http")) << "no nginx: run through ctest (fixture download_nginx)";
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    site = nginx["dir"] + "/www/rotinas/" + name;
    std::filesystem::remove_all(site);
    const std::string base = "http://127.0.0.1:" + nginx["http"] + "/rotinas/" + name;
    form.Servidor().Base = base;
    form.Servidor().UpdateBase = base + "/atualiza";
    form.FormCreate();
    view.SetText(Control::edtDirZadoveve, erp + "\\");
    view.SetText(Control::edtDirTerminal, pdv + "\\");
    view.SetText(Control::edtDirTerminalQuenda, erp + "\\");
    system.firebird_running = true;
  }

  // A package, and beside it its digest as sha256sum writes it.
  void Put(const std::string& path, const std::string& bytes) {
    PutRaw(path, bytes);
    PutRaw(path + ".sha256", net::Sha256Hex(bytes) + "  " + platform::LastComponent(path) + "\n");
  }
  void PutRaw(const std::string& path, const std::string& bytes) {
    const std::filesystem::path file = site + path;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
  }
  void PutZip(const std::string& path, const std::vector<ZipEntry>& entries) {
    Put(path, test::BuildZip(entries).bytes);
  }
  void PutErpPackages(bool with_database = true) {
    std::vector<ZipEntry> sistema = {{.name = "estoque.exe", .data = "estoque inicial"},
                                     {.name = "Relatorios/vendas.rtm", .data = "vendas"}};
    if (with_database) sistema.push_back({.name = "DADOS.GDB", .data = DatabaseBytes(tmp)});
    PutZip("/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip", sistema);
    PutZip("/Drive/app/Uteis/Uteis.zip",
           {{.name = "VeltraDBCompare/databasecompare.exe", .data = "comparador"}});
    PutZip("/atualiza/Drive/app/Sistemas/estoque_2010.zip",
           {{.name = "estoque.exe", .data = "estoque 2010"},
            {.name = "DADOS.GDB", .data = "base de referência"},
            {.name = "Relatorios/vendas.rtm", .data = "vendas 2010"}});
  }
  // The message of the error the button's handler ends with; "no error" when it ends well.
  // The installation's exit code and step are in form.UltimoDesfecho().
  std::string FailureOf(Control button) {
    try {
      form.Dispatch(button);
    } catch (const Exception& e) {
      return e.what();
    }
    return "no error";
  }
  void ExpectEnded(CodigoSaida codigo, const std::string& etapa) {
    EXPECT_EQ(form.UltimoDesfecho().codigo, codigo) << form.UltimoDesfecho().mensagem;
    EXPECT_EQ(form.UltimoDesfecho().etapa, etapa);
  }
  void ChooseProduct(const char* product, const std::string& tipo, const std::string& ip) {
    form.Settings().SistemaSelecionado = product;
    form.Settings().TipoInstalacao = tipo;
    form.Settings().ServidorIPNome = ip;
  }
};

TEST_F(RotinasTest, ErpServerInstallation) {
  PutErpPackages();
  // What an earlier installation left in the update folder is not part of this update.
  ASSERT_TRUE(platform::ForceDirectories("C:\\Atualiza\\Antigo"));
  test::WriteFile("C:\\Atualiza\\velho.dll", "velho");
  test::WriteFile("C:\\Atualiza\\Antigo\\velho.rtm", "velho");
  ChooseProduct(kProdutoLoja, "0", "");
  view.ShowPage(Page::tsZadoveve);
  ASSERT_TRUE(form.Dispatch(Control::btnContinuarZadoveve));

  EXPECT_EQ(view.page, Page::tsFinal);
  EXPECT_EQ(view.text[Control::edtDirZadoveve], erp);  // the trailing backslash went
  EXPECT_EQ(view.TextsOf(Control::lbStatus),
            (std::vector<std::string>{
                "Verificando Firebird", "Firebird está ativo", "Baixando Sistema",
                "Download concluído", "Extraindo Sistema", "Baixando Utilitários",
                "Download concluído", "Extraindo Utilitários", "Baixando Atualização",
                "Download concluído", "Extraindo Atualização", "Atualizando Banco de Dados"}));
  EXPECT_FALSE(view.visible[Control::pnDiretorio]);
  EXPECT_FALSE(view.enabled[Control::btnContinuarZadoveve]);

  EXPECT_EQ(test::ReadFile(erp + "\\GLOBAL.INI"),
            "[DADOS]\r\nCAMINHO=" + erp + "\\\r\nTIPO=0\r\nIP=\r\n");
  const std::string uteis = tmp / "Progs5\\Uteis\\VeltraDBCompare\\";
  EXPECT_EQ(
      test::ReadFile(uteis + "CompDemo.Ini"),
      "[Databases]\r\nMasterDB=C:\\Atualiza\\DADOS.GDB\r\nTargetDB=" + erp + "\\DADOS.GDB\r\n");
  ASSERT_EQ(system.runs.size(), 1u);
  EXPECT_EQ(system.runs[0].program, erp + "\\..\\Uteis\\VeltraDBCompare\\databasecompare.exe");
  EXPECT_EQ(system.runs[0].arguments, "");

  // The update is in place, its reference database is not, the old program is the backup.
  EXPECT_EQ(test::ReadFile(erp + "\\estoque.exe"), "estoque 2010");
  EXPECT_EQ(test::ReadFile(erp + "\\estoque.exe_antes1"), "estoque inicial");
  EXPECT_EQ(test::ReadFile(erp + "\\Relatorios\\vendas.rtm"), "vendas 2010");
  EXPECT_NE(test::ReadFile(erp + "\\DADOS.GDB"), "base de referência");
  EXPECT_TRUE(platform::FileExists(erp + "\\estoque_2010.zip"));
  EXPECT_FALSE(platform::FileExists(erp + "\\quenda_2010.zip.part"));
  EXPECT_FALSE(platform::FileExists(erp + "\\velho.dll"));
  EXPECT_FALSE(platform::DirectoryExists(erp + "\\Antigo"));

  ASSERT_EQ(system.shortcuts.size(), 1u);
  EXPECT_EQ(system.shortcuts[0].target, erp + "\\estoque.exe");
  EXPECT_EQ(system.shortcuts[0].working_directory, erp);
  EXPECT_EQ(system.shortcuts[0].name, "Quenda");

  if (ProbeSeesFirebird25()) {
    EXPECT_TRUE(view.warnings.empty());
  } else {
    ASSERT_EQ(view.warnings.size(), 1u);
    EXPECT_EQ(view.warnings[0].title, "Atenção");
    EXPECT_TRUE(view.warnings[0].text.starts_with(
        "Foi encontrada uma versão incompatível do “Firebird” instalado nesse sistema, o Quenda "
        "pode não funcionar de forma correta.\rVersão Instalada: "))
        << view.warnings[0].text;
  }
  // Progress: the gauge hidden at the end, the last line the update's extraction. (A package
  // that arrives in one block with its reply head is over before its size is known and shows
  // no transfer line; ProgressIsShownAtTheStartTheEndAndAtMostEvery40Ms checks a longer one.)
  const auto lines = view.TextsOf(Control::lConnectionInfo);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Arquivo 3 de 3");  // the update's extraction
  EXPECT_FALSE(view.visible[Control::Gauger1]);
  // Nine status pauses of 2 s and "Download concluído" held 1 s after each of the three
  // downloads, all in the window's waits (none really slept).
  EXPECT_EQ(std::count(view.waits.begin(), view.waits.end(), 2000), 9);
  EXPECT_EQ(std::count(view.waits.begin(), view.waits.end(), 1000), 3);
  EXPECT_EQ(view.waits.size(), 12u);
}

TEST_F(RotinasTest, ErpWorkstationSkipsTheDatabaseUpdate) {
  PutErpPackages();
  ChooseProduct(kProdutoLoja, "1", "servidor01");
  ASSERT_TRUE(form.Dispatch(Control::btnContinuarZadoveve));
  EXPECT_EQ(view.page, Page::tsFinal);
  EXPECT_EQ(test::ReadFile(erp + "\\GLOBAL.INI"),
            "[DADOS]\r\nCAMINHO=" + erp + "\\\r\nTIPO=1\r\nIP=servidor01\r\n");
  EXPECT_TRUE(system.runs.empty());
  EXPECT_FALSE(platform::FileExists(tmp / "Progs5\\Uteis\\VeltraDBCompare\\CompDemo.Ini"));
  EXPECT_EQ(test::ReadFile(erp + "\\estoque.exe"), "estoque 2010");
}

TEST_F(RotinasTest, ExistingDatabasesAreRefusedBeforeAnyDownload) {
  ChooseProduct(kProdutoLoja, "0", "");
  ASSERT_TRUE(platform::ForceDirectories(erp));
  test::WriteFile(erp + "\\Dados.gdb", "base");
  view.SetText(Control::edtDirZadoveve, erp + "\\\\");
  ASSERT_TRUE(form.Dispatch(Control::btnContinuarZadoveve));
  EXPECT_EQ(view.text[Control::edtDirZadoveve], erp + "\\");  // one backslash less
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_EQ(view.warnings[0].text,
            "O diretório selecionado contem uma base de dados a operação sera abortada");
  EXPECT_EQ(system.firebird_checks, 0);
  EXPECT_TRUE(view.visible[Control::pnDiretorio]);

  ChooseProduct(kProdutoPDV, "0", "");
  ASSERT_TRUE(platform::ForceDirectories(pdv));
  test::WriteFile(pdv + "\\DBECF.FDB", "base");
  ASSERT_TRUE(form.Dispatch(Control::btnInstalTerminal));
  EXPECT_EQ(view.text[Control::edtDirTerminal], pdv);
  EXPECT_EQ(view.warnings.size(), 2u);
  EXPECT_EQ(system.firebird_checks, 0);
  EXPECT_TRUE(system.created.empty());
}

// A folder that cannot be made is said before anything else happens, and the page stays usable.
TEST_F(RotinasTest, AFolderThatCannotBeMadeIsRefusedBeforeAnyDownload) {
  test::WriteFile(tmp / "arquivo", "a file where a folder would go");
  const std::string dir = tmp / "arquivo\\Berfon";
  ChooseProduct(kProdutoLoja, "0", "");
  view.SetText(Control::edtDirZadoveve, dir);
  ASSERT_TRUE(form.Dispatch(Control::btnContinuarZadoveve));
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_TRUE(view.warnings[0].text.starts_with("Não é possível instalar na pasta \"" + dir +
                                                "\".\rA pasta não existe"))
      << view.warnings[0].text;
  EXPECT_EQ(system.firebird_checks, 0);
  EXPECT_TRUE(view.visible[Control::pnDiretorio]);
  EXPECT_TRUE(view.enabled[Control::btnContinuarZadoveve]);
  EXPECT_EQ(view.TextsOf(Control::lbStatus).size(), 0u);
}

// After a failure the page is the operator's again, and the same window tries again: the half
// installed folder (its database included) is not refused, while a finished one still is.
TEST_F(RotinasTest, AFailedInstallationIsTriedAgainFromTheSamePage) {
  PutErpPackages();
  std::filesystem::remove(site + "/atualiza/Drive/app/Sistemas/estoque_2010.zip");
  ChooseProduct(kProdutoLoja, "0", "");
  view.ShowPage(Page::tsZadoveve);
  EXPECT_THROW(form.Dispatch(Control::btnContinuarZadoveve), Exception);
  EXPECT_TRUE(platform::FileExists(erp + "\\DADOS.GDB"));  // the first attempt got that far
  EXPECT_EQ(view.page, Page::tsZadoveve);
  EXPECT_TRUE(view.visible[Control::pnDiretorio]);
  EXPECT_FALSE(view.visible[Control::lbStatus]);
  EXPECT_FALSE(view.visible[Control::Gauger1]) << "the gauge would cover the fields";
  EXPECT_FALSE(view.visible[Control::lConnectionInfo]);
  EXPECT_TRUE(view.enabled[Control::btnVoltar]);
  EXPECT_TRUE(view.enabled[Control::btnContinuarZadoveve]);
  EXPECT_FALSE(form.RotinaEmAndamento());

  PutErpPackages();
  ASSERT_TRUE(form.Dispatch(Control::btnContinuarZadoveve));
  EXPECT_TRUE(view.warnings.empty() ||
              view.warnings.back().text.find("base de dados") == std::string::npos)
      << "the unfinished attempt's folder was refused";
  EXPECT_EQ(view.page, Page::tsFinal);
  EXPECT_FALSE(platform::FileExists(erp + "\\InstaladorVeltra.incompleto"));

  // A finished installation is protected as before (the name as the check spells it: the
  // native file system tells case apart).
  if (!platform::FileExists(erp + "\\Dados.gdb")) test::WriteFile(erp + "\\Dados.gdb", "base");
  view.ShowPage(Page::tsZadoveve);
  const size_t warnings = view.warnings.size();
  ASSERT_TRUE(form.Dispatch(Control::btnContinuarZadoveve));
  ASSERT_EQ(view.warnings.size(), warnings + 1);
  EXPECT_EQ(view.warnings.back().text,
            "O diretório selecionado contem uma base de dados a operação sera abortada");
}

// A failure names its step before the library's detail.
TEST_F(RotinasTest, AFailedStepIsNamedBeforeItsDetail) {
  PutErpPackages();
  Put("/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip", "not a zip at all");
  ChooseProduct(kProdutoLoja, "0", "");
  const std::string what = FailureOf(Control::btnContinuarZadoveve);
  EXPECT_TRUE(what.starts_with("Falha ao extrair o pacote quenda_2010.zip.\r")) << what;
  EXPECT_GT(what.size(), std::string("Falha ao extrair o pacote quenda_2010.zip.\r").size());
  ExpectEnded(CodigoSaida::Extracao, "sistema");
  EXPECT_FALSE(platform::FileExists(erp + "\\GLOBAL.INI"));
}

TEST_F(RotinasTest, AProbeFailureEndsTheRoutineWithItsBox) {
  PutErpPackages(/*with_database=*/false);
  ChooseProduct(kProdutoLoja, "0", "");
  view.ShowPage(Page::tsZadoveve);
  ASSERT_TRUE(form.Dispatch(Control::btnContinuarZadoveve));
  ASSERT_EQ(view.information.size(), 1u);
  EXPECT_TRUE(
      view.information[0].starts_with("Não foi possivel conectar ao banco de dados motivo:\r"))
      << view.information[0];
  EXPECT_GT(view.information[0].size(), 52u);  // the reason follows
  ExpectEnded(CodigoSaida::BancoDeDados, "banco");
  EXPECT_EQ(view.page, Page::tsZadoveve);
  EXPECT_TRUE(system.shortcuts.empty());
  EXPECT_TRUE(system.runs.empty());
  EXPECT_EQ(view.TextsOf(Control::lbStatus).back(), "Extraindo Utilitários");
  EXPECT_TRUE(platform::FileExists(erp + "\\GLOBAL.INI"));  // nothing is rolled back
}

// A package that cannot be downloaded ends the routine at once, naming the package, its server
// and the reason; files an earlier run left behind are never used in its place, and nothing
// after the download runs.
TEST_F(RotinasTest, AMissingPackageEndsTheRoutineNamingItAndItsServer) {
  const struct {
    const char* missing;  // the package path on the server
    const char* name;
    const char* last_status;
    const char* etapa;
  } cases[] = {
      {"/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip", "quenda_2010.zip", "Baixando Sistema",
       "sistema"},
      {"/Drive/app/Uteis/Uteis.zip", "Uteis.zip", "Baixando Utilitários", "uteis"},
      {"/atualiza/Drive/app/Sistemas/estoque_2010.zip", "estoque_2010.zip", "Baixando Atualização",
       "atualizacao"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(site);
    std::filesystem::remove_all(platform::HostPath(erp));
    std::filesystem::remove_all(platform::HostPath("C:\\Atualiza"));
    PutErpPackages();
    std::filesystem::remove(site + c.missing);
    // What an earlier, failed run left behind.
    const std::string velho = test::BuildZip({{.name = "estoque.exe", .data = "velho"}}).bytes;
    platform::ForceDirectories(erp);
    test::WriteFile(erp + "\\quenda_2010.zip", velho);
    platform::ForceDirectories("C:\\Atualiza");
    test::WriteFile("C:\\Atualiza\\estoque_2010.zip", velho);
    test::WriteFile("C:\\Atualiza\\estoque_2010.zip.part", "");
    system.runs.clear();
    ChooseProduct(kProdutoLoja, "0", "");
    try {
      form.Dispatch(Control::btnContinuarZadoveve);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with(
          std::string("Falha ao baixar o pacote ") + c.name +
          " do servidor 127.0.0.1:" + nginx["http"] +
          ".\rMotivo: o servidor respondeu 404 (o arquivo não existe no servidor).\r"
          "Detalhe: the server answered 404"))
          << e.what();
    }
    ExpectEnded(CodigoSaida::Download, c.etapa);
    EXPECT_EQ(view.TextsOf(Control::lbStatus).back(), c.last_status);
    EXPECT_NE(view.page, Page::tsFinal);
    EXPECT_TRUE(system.runs.empty()) << "the comparison tool ran";
    EXPECT_TRUE(system.shortcuts.empty());
    EXPECT_FALSE(platform::FileExists(erp + "\\estoque_2010.zip.part"));
    EXPECT_FALSE(platform::FileExists(erp + "\\estoque.exe") &&
                 test::ReadFile(erp + "\\estoque.exe") == "velho");
  }
}

// A package that is not the one the server publishes a digest for is thrown away before it is
// unpacked, and the box names it; nothing after the download runs.
TEST_F(RotinasTest, ATamperedPackageStopsTheRoutineBeforeItIsUnpacked) {
  const struct {
    const char* path;
    const char* name;
    std::string dir;  // where it is downloaded
    const char* last_status;
  } cases[] = {
      {"/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip", "quenda_2010.zip", erp, "Baixando Sistema"},
      {"/atualiza/Drive/app/Sistemas/estoque_2010.zip", "estoque_2010.zip", "C:\\Atualiza",
       "Baixando Atualização"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(site);
    std::filesystem::remove_all(platform::HostPath(erp));
    std::filesystem::remove_all(platform::HostPath("C:\\Atualiza"));
    PutErpPackages();
    const std::string published = net::Sha256Hex(test::ReadFile(platform::HostPath(site + c.path)));
    const std::string tampered =
        test::BuildZip({{.name = "estoque.exe", .data = "estoque adulterado"}}).bytes;
    PutRaw(c.path, tampered);
    system.runs.clear();
    ChooseProduct(kProdutoLoja, "0", "");
    EXPECT_EQ(FailureOf(Control::btnContinuarZadoveve),
              std::string("Falha ao baixar o pacote ") + c.name +
                  " do servidor 127.0.0.1:" + nginx["http"] +
                  ".\rMotivo: o pacote recebido não confere com a soma de verificação SHA-256 "
                  "publicada pelo servidor e foi descartado.\rEsperada: " +
                  published + "\rRecebida: " + net::Sha256Hex(tampered));
    EXPECT_EQ(form.UltimoDesfecho().codigo, CodigoSaida::Verificacao);
    EXPECT_EQ(view.TextsOf(Control::lbStatus).back(), c.last_status);
    EXPECT_FALSE(platform::FileExists(c.dir + "\\" + c.name));
    EXPECT_FALSE(platform::FileExists(c.dir + "\\" + c.name + ".part"));
    EXPECT_FALSE(platform::FileExists(c.dir + "\\" + c.name + ".sha256"));
    EXPECT_TRUE(system.runs.empty()) << "the comparison tool ran";
    EXPECT_TRUE(system.shortcuts.empty());
    if (platform::FileExists(erp + "\\estoque.exe")) {
      EXPECT_NE(test::ReadFile(erp + "\\estoque.exe"), "estoque adulterado");
    }
  }
}

// Whether a package may come without a published digest is the build's choice; a digest that
// is published but unusable is refused either way.
TEST_F(RotinasTest, APackageWithoutAUsableDigest) {
  const std::string sistema = "/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip";
  const std::string falha =
      "Falha ao baixar o pacote quenda_2010.zip do servidor 127.0.0.1:" + nginx["http"] +
      ".\rMotivo: ";
  const struct {
    const char* name;
    bool required;
    const char* listing;  // the published NAME.sha256; nullptr for none
    std::string failure;  // "no error" when the installation ends well
  } cases[] = {
      {"none, required", true, nullptr,
       falha + "o servidor não publica a soma de verificação SHA-256 do pacote "
               "(QuendaInstalacaoLimpa.zip.sha256)."},
      {"none, optional", false, nullptr, "no error"},
      {"another file's, optional", false,
       "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855  Outro.zip\n",
       falha + "a soma de verificação publicada pelo servidor (QuendaInstalacaoLimpa.zip.sha256) "
               "não traz uma soma SHA-256 válida para o pacote."},
      {"not a listing, required", true, "<html>erro</html>",
       falha + "a soma de verificação publicada pelo servidor (QuendaInstalacaoLimpa.zip.sha256) "
               "não traz uma soma SHA-256 válida para o pacote."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(site);
    std::filesystem::remove_all(platform::HostPath(erp));
    std::filesystem::remove_all(platform::HostPath("C:\\Atualiza"));
    PutErpPackages();
    if (c.listing == nullptr)
      std::filesystem::remove(site + sistema + ".sha256");
    else
      PutRaw(sistema + ".sha256", c.listing);
    form.Servidor().SomasObrigatorias = c.required;
    ChooseProduct(kProdutoLoja, "0", "");
    view.ShowPage(Page::tsZadoveve);
    EXPECT_EQ(FailureOf(Control::btnContinuarZadoveve), c.failure);
    const bool installed = c.failure == "no error";
    // A digest that is missing or unusable is a checksum failure, not a download failure.
    EXPECT_EQ(form.UltimoDesfecho().codigo,
              installed ? CodigoSaida::Instalado : CodigoSaida::Verificacao);
    EXPECT_EQ(view.page, installed ? Page::tsFinal : Page::tsZadoveve);
    EXPECT_EQ(platform::FileExists(erp + "\\quenda_2010.zip"), installed);
    EXPECT_FALSE(platform::FileExists(erp + "\\quenda_2010.zip.sha256"));
  }
}

// What the connection said reaches the box beside the package and its server.
TEST_F(RotinasTest, AnUnreachableServerIsShownWithTheReason) {
  const std::string porta = test::ClosedPort();
  form.Servidor().Base = "http://127.0.0.1:" + porta;
  ChooseProduct(kProdutoLoja, "0", "");
  const std::string what = FailureOf(Control::btnContinuarZadoveve);
  EXPECT_TRUE(what.starts_with(
      "Falha ao baixar o pacote quenda_2010.zip do servidor 127.0.0.1:" + porta + ".\rMotivo: "))
      << what;
  EXPECT_NE(what.find(": não foi possível conectar ao servidor (erro 10061).\rDetalhe: "),
            std::string::npos)
      << what;
  ExpectEnded(CodigoSaida::Download, "sistema");
  EXPECT_EQ(view.TextsOf(Control::lbStatus).back(), "Baixando Sistema");

  // The same outage on a machine without Firebird: what failed is still the download (4), and
  // the step says it was Firebird's setup.
  system.firebird_running = false;
  const std::string sem_firebird = FailureOf(Control::btnContinuarZadoveve);
  EXPECT_TRUE(
      sem_firebird.starts_with("Falha ao baixar o pacote Firebird-2.5.9x86.exe do servidor"))
      << sem_firebird;
  ExpectEnded(CodigoSaida::Download, "firebird");
  EXPECT_TRUE(system.runs.empty()) << "a setup ran";
}

TEST_F(RotinasTest, FirebirdIsDownloadedInstalledAndStarted) {
  Put("/Drive/app/Uteis/Firebird-2.5.9x86.exe", "instalador");
  ChooseProduct(kProdutoPDV, "0", "");
  system.firebird_running = false;
  system.on_run = [&](const test::RecordingSystemOps::Run& run) {
    if (run.arguments == "/SILENT /TASKS /NORESTART") system.firebird_running = true;
  };
  // The PDV installation downloads the setup into the ERP field's directory.
  view.SetText(Control::edtDirZadoveve, erp + "\\");
  try {
    form.Dispatch(Control::btnInstalTerminal);
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {  // no PDV package here: its download ends the routine
    EXPECT_EQ(std::string(e.what()),
              "Falha ao baixar o pacote terminalnfce.zip do servidor 127.0.0.1:" + nginx["http"] +
                  ".\rMotivo: o servidor não publica a soma de verificação SHA-256 do pacote "
                  "(TerminalNFC-eInstalacaoLimpa.zip.sha256).");
  }
  ExpectEnded(CodigoSaida::Verificacao, "sistema");
  const std::vector<std::string> expected = {
      "Verificando Firebird", "Firebird não está ativo",       "Baixando Firebird",
      "Download concluído",   "Inicia instalação do Firebird", "Inicia serviço do Firebird",
      "Verificando Firebird", "Firebird está ativo",           "Baixando Sistema"};
  EXPECT_EQ(view.TextsOf(Control::lbStatusInstallTerminal), expected);
  ASSERT_GE(system.runs.size(), 2u);
  EXPECT_EQ(system.runs[0].program, erp + "\\/../Uteis/Firebird-2.5.9x86.exe");
  EXPECT_EQ(test::ReadFile(system.runs[0].program), "instalador");
  EXPECT_EQ(system.runs[1].program, "C:\\Windows\\System32\\cmd");
  EXPECT_EQ(system.runs[1].arguments, "/c net start \"firebird guardian - defaultinstance\"");
}

TEST_F(RotinasTest, AServerThatNeverStartsEndsAfterThreeAttempts) {
  Put("/Drive/app/Uteis/Firebird-2.5.9x86.exe", "instalador");  // a setup that starts nothing
  ChooseProduct(kProdutoLoja, "0", "");
  system.firebird_running = false;
  try {
    form.Dispatch(Control::btnContinuarZadoveve);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("Firebird"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("Nada foi instalado"), std::string::npos);
  }
  ExpectEnded(CodigoSaida::Firebird, "firebird");
  EXPECT_EQ(system.firebird_checks, kPassadasFirebird + 1);
  EXPECT_EQ(system.runs.size(), 2u * kPassadasFirebird);
  EXPECT_FALSE(platform::FileExists(erp + "\\quenda_2010.zip"));
}

TEST_F(RotinasTest, PdvInstallation) {
  PutZip("/Drive/app/Sistemas/TerminalNFC-eInstalacaoLimpa.zip",
         {{.name = "Atualizador.exe", .data = "atualizador"},
          {.name = "terminal.exe", .data = "terminal"}});
  ChooseProduct(kProdutoPDV, "1", "192.168.0.10");
  ASSERT_TRUE(form.Dispatch(Control::btnInstalTerminal));
  EXPECT_EQ(view.page, Page::tsFinal);
  EXPECT_EQ(view.text[Control::edtDirTerminal], pdv);
  // The ERP field is used as typed: its trailing backslash and the added one both stay.
  EXPECT_EQ(test::ReadFile(pdv + "\\GLOBAL.INI"),
            "[DADOS]\r\nCAMINHO=" + erp + "\\\\\r\nTIPO=1\r\nIP=192.168.0.10\r\n");
  EXPECT_EQ(test::ReadFile(pdv + "\\terminal.exe"), "terminal");
  ASSERT_EQ(system.runs.size(), 1u);
  EXPECT_EQ(system.runs[0].program, pdv + "\\Atualizador.exe");
  EXPECT_EQ(system.runs[0].arguments, "/auto");
  ASSERT_EQ(system.shortcuts.size(), 1u);
  EXPECT_EQ(system.shortcuts[0].name, "Veltra PDV NFC-e");
  EXPECT_EQ(system.shortcuts[0].target, pdv + "\\terminal.exe");
  EXPECT_EQ(view.TextsOf(Control::lbStatusInstallTerminal).back(), "Atualizando Sistema...");
  EXPECT_FALSE(view.visible[Control::Gauge1Terminal]);
  EXPECT_TRUE(view.TextsOf(Control::lbStatus).empty()) << "the ERP page was written to";
}

// Every read of a transfer and every file of an extraction brings progress; the window is told
// only at the start, at the end and then at most every 40 ms. The test's clock stands still,
// so only the first and the last of each are shown.
TEST_F(RotinasTest, ProgressIsShownAtTheStartTheEndAndAtMostEvery40Ms) {
  std::string big(6 << 20, '\0');
  std::uint32_t x = 7;
  for (char& c : big) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  std::vector<ZipEntry> entries = {{.name = "Atualizador.exe", .data = "atualizador"},
                                   {.name = "terminal.exe", .data = "terminal"},
                                   {.name = "dados.bin", .data = big, .method = 0}};
  for (int i = 0; i < 40; ++i)
    entries.push_back({.name = "Relatorios/r" + std::to_string(i) + ".rtm", .data = "r"});
  PutZip("/Drive/app/Sistemas/TerminalNFC-eInstalacaoLimpa.zip", entries);
  ChooseProduct(kProdutoPDV, "1", "servidor");
  ASSERT_TRUE(form.Dispatch(Control::btnInstalTerminal));
  ASSERT_EQ(view.page, Page::tsFinal);

  std::vector<std::string> transfer, extraction;
  for (const std::string& t : view.TextsOf(Control::lConectionTerminal))
    (t.starts_with("Arquivo ") ? extraction : transfer).push_back(t);
  ASSERT_GE(transfer.size(), 1u);
  EXPECT_LE(transfer.size(), 2u) << "a line per read";
  // The last line shows the whole package arrived: "N / N KB  -  ...".
  const std::string sizes = transfer.back().substr(0, transfer.back().find(" KB"));
  const size_t slash = sizes.find(" / ");
  ASSERT_NE(slash, std::string::npos) << transfer.back();
  EXPECT_EQ(sizes.substr(0, slash), sizes.substr(slash + 3)) << transfer.back();
  EXPECT_EQ(extraction,
            (std::vector<std::string>{"Arquivo 0 de 43", "Arquivo 1 de 43", "Arquivo 43 de 43"}));
  EXPECT_LE(view.pumps, 10) << "events pumped per read or per file";
  EXPECT_EQ(test::ReadFile(pdv + "\\dados.bin"), big);
}

TEST_F(RotinasTest, ClosingTheWindowStopsTheTransferAndTheRoutine) {
  // A package big enough for several blocks; the operator closes during its download.
  std::string big(4 << 20, 'x');
  for (size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i / 4096);
  PutZip("/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip",
         {{.name = "estoque.exe", .data = big, .method = 0}});
  ChooseProduct(kProdutoLoja, "0", "");
  int monitors = 0;
  view.on_pump = [&] {
    if (view.text[Control::lbStatus] == "Baixando Sistema" && view.visible[Control::Gauger1] &&
        ++monitors == 1)
      form.Cancela();
  };
  ASSERT_TRUE(form.Dispatch(Control::btnContinuarZadoveve));
  EXPECT_TRUE(view.quit);  // the handler closed the window when the routine ended
  EXPECT_FALSE(form.RotinaEmAndamento());
  EXPECT_FALSE(platform::FileExists(erp + "\\quenda_2010.zip"));
  EXPECT_FALSE(platform::FileExists(erp + "\\quenda_2010.zip.part"));
  EXPECT_NE(view.TextsOf(Control::lbStatus).back(), "Extraindo Sistema");
}

}  // namespace
}  // namespace vlt

namespace vlt {
namespace {

// The unattended run: each way an installation ends gives its own code and names its step, and
// no box is shown (the unattended observer keeps them; the scripted window never sees one).
TEST_F(RotinasTest, UnattendedRunsEndWithTheCodeOfTheirStep) {
  const std::string uteis = "/Drive/app/Uteis/Uteis.zip";
  const struct {
    const char* name;
    CodigoSaida codigo;
    const char* etapa;
    std::function<void()> arrange;
    const char* mensagem;  // how the outcome's message begins
  } cases[] = {
      {"installed", CodigoSaida::Instalado, "", [] {}, "Instalação concluída"},
      {"package missing", CodigoSaida::Download, "uteis",
       [&] { std::filesystem::remove(site + uteis); }, "Falha ao baixar o pacote Uteis.zip"},
      {"package tampered", CodigoSaida::Verificacao, "uteis",
       [&] { PutRaw(uteis, test::BuildZip({{.name = "x", .data = "y"}}).bytes); },
       "Falha ao baixar o pacote Uteis.zip"},
      {"digest missing", CodigoSaida::Verificacao, "uteis",
       [&] { std::filesystem::remove(site + uteis + ".sha256"); },
       "Falha ao baixar o pacote Uteis.zip"},
      {"package not an archive", CodigoSaida::Extracao, "uteis", [&] { Put(uteis, "not a zip"); },
       "Falha ao extrair o pacote Uteis.zip."},
      {"no database", CodigoSaida::BancoDeDados, "banco", [&] { PutErpPackages(false); },
       "Não foi possivel conectar ao banco de dados motivo:\r"},
      {"comparison tool cannot start", CodigoSaida::Atualizacao, "comparacao",
       [&] {
         system.on_run = [](const test::RecordingSystemOps::Run&) {
           throw Exception("Não foi possível iniciar o programa");
         };
       },
       "Falha ao atualizar o banco de dados.\r"},
      {"comparison tool fails", CodigoSaida::Atualizacao, "comparacao",
       [&] { system.exit_code = 3; }, "Falha ao atualizar o banco de dados.\rO programa \""},
      {"Firebird never starts", CodigoSaida::Firebird, "firebird",
       [&] {
         system.firebird_running = false;
         Put("/Drive/app/Uteis/Firebird-2.5.9x86.exe", "instalador");
       },
       "Não foi possível iniciar o servidor Firebird"},
      {"Firebird setup fails", CodigoSaida::Firebird, "firebird",
       [&] {
         system.firebird_running = false;
         system.exit_code = 1;
         Put("/Drive/app/Uteis/Firebird-2.5.9x86.exe", "instalador");
       },
       "Falha ao instalar o Firebird.\rO programa \""},
      // What failed is the download, wherever it was needed.
      {"Firebird setup missing", CodigoSaida::Download, "firebird",
       [&] {
         system.firebird_running = false;
         PutRaw("/Drive/app/Uteis/Firebird-2.5.9x86.exe.sha256",
                std::string(64, 'a') + "  Firebird-2.5.9x86.exe\n");
       },
       "Falha ao baixar o pacote Firebird-2.5.9x86.exe"},
      {"folder holds a database", CodigoSaida::Pasta, "pasta",
       [&] {
         platform::ForceDirectories(erp);
         test::WriteFile(erp + "\\Dados.gdb", "base");
       },
       "O diretório selecionado contem uma base de dados"},
      {"window closed", CodigoSaida::Cancelada, "uteis",
       [&] {
         view.on_pump = [&] {
           if (view.text[Control::lbStatus] == "Baixando Utilitários") form_silenciosa->Cancela();
         };
       },
       "A instalação foi interrompida"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(site);
    std::filesystem::remove_all(platform::HostPath(erp));
    std::filesystem::remove_all(platform::HostPath(tmp / "Progs5\\Uteis"));
    std::filesystem::remove_all(platform::HostPath("C:\\Atualiza"));
    view = ScriptedView();
    system = test::RecordingSystemOps();
    system.firebird_running = true;
    PutErpPackages();
    TfrmPrincipal silencioso(view, system);
    form_silenciosa = &silencioso;
    c.arrange();
    ParametrosInstalacao p;
    p.produto = kProdutoLoja;
    p.tipo = std::string("0");  // GCC 12 -O3 sees a false overlap in the literal's copy
    p.silencioso = true;
    p.dir = erp;
    std::string erro;
    const auto plano = PlanoDeParametros(p, form.Servidor(), erro);
    ASSERT_TRUE(plano) << erro;
    ObservadorJanela janela(view, Produto::Loja, [&] { return silencioso.Cancelado(); });
    ObservadorSilencioso silenciosa(&janela);
    const Desfecho d = silencioso.Instala(*plano, silenciosa);
    EXPECT_EQ(d.codigo, c.codigo) << d.mensagem;
    EXPECT_EQ(d.etapa, c.etapa);
    EXPECT_TRUE(d.mensagem.starts_with(c.mensagem)) << d.mensagem;
    EXPECT_EQ(silencioso.DiretorioInstalacao(), erp);
    EXPECT_TRUE(view.warnings.empty() && view.information.empty()) << "a box waited for a person";
    EXPECT_EQ(view.page == Page::tsFinal, c.codigo == CodigoSaida::Instalado);
    // The boxes the run would have shown are its outcome's text (or a warning it went past).
    if (c.codigo == CodigoSaida::BancoDeDados || c.codigo == CodigoSaida::Pasta) {
      ASSERT_EQ(silenciosa.Caixas().size(), 1u);
      EXPECT_NE(silenciosa.Caixas()[0].find(d.mensagem), std::string::npos);
    }
    if (c.codigo == CodigoSaida::Instalado && !ProbeSeesFirebird25()) {
      ASSERT_EQ(silenciosa.Caixas().size(), 1u);  // the incompatible version: logged, went on
      EXPECT_TRUE(silenciosa.Caixas()[0].starts_with("Atenção: Foi encontrada uma versão"));
    }
    form_silenciosa = nullptr;
  }
}

// A server that stops sending in the middle of a package is shown as one (no speed or time
// left as if data flowed) and given up after the plan's silence, with its own reason and code.
TEST_F(RotinasTest, ASilentServerIsShownWaitingAndGivenUp) {
  const std::string pacote(2000, 'p');
  const std::string soma = std::string(64, 'a') + "  TerminalNFC-eInstalacaoLimpa.zip\n";
  test::ScriptServer server(std::vector<std::vector<test::Step>>{
      {test::RecvUntil("\r\n\r\n"),
       test::Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(soma.size()) + "\r\n\r\n" +
                  soma),
       test::Close()},
      {test::RecvUntil("\r\n\r\n"),
       test::Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + pacote),
       test::WaitSignal()}});
  form.Servidor().Base = "http://127.0.0.1:" + server.Port();
  ChooseProduct(kProdutoPDV, "0", "");
  // Silence is real time on the socket: the system's clock measures it here.
  platform::ScopedClock real_clock(platform::SystemClock());
  PlanoInstalacao plano = form.PlanoDaJanela(Produto::PDV);
  plano.silencio_mostrado_ms = 1000;
  plano.silencio_maximo_ms = 2500;
  plano.tentativas_download = 1;  // the silence is what is looked at here
  ObservadorJanela janela(view, Produto::PDV, [] { return false; });
  const Desfecho d = form.Instala(plano, janela);
  server.Signal();
  EXPECT_EQ(d.codigo, CodigoSaida::Download) << d.mensagem;
  EXPECT_NE(d.mensagem.find("Motivo: o servidor parou de enviar dados"), std::string::npos)
      << d.mensagem;
  const auto linhas = view.TextsOf(Control::lConectionTerminal);
  ASSERT_FALSE(linhas.empty());
  EXPECT_NE(std::find(linhas.begin(), linhas.end(), "Aguardando o servidor há 1 s"), linhas.end())
      << linhas.back();
  EXPECT_EQ(linhas.back(), "Aguardando o servidor há 2 s");
  EXPECT_FALSE(platform::FileExists(pdv + "\\terminalnfce.zip"));
  EXPECT_TRUE(platform::FileExists(pdv + "\\terminalnfce.zip.part"));  // its real bytes
}

// Started hidden, an unattended run has no window at all: the engine needs none.
TEST_F(RotinasTest, AnUnattendedRunNeedsNoWindow) {
  PutZip("/Drive/app/Sistemas/TerminalNFC-eInstalacaoLimpa.zip",
         {{.name = "Atualizador.exe", .data = "atualizador"},
          {.name = "terminal.exe", .data = "terminal"}});
  ParametrosInstalacao p;
  p.produto = kProdutoPDV;
  p.tipo = "1";
  p.servidor = "caixa01";
  p.silencioso = true;
  p.dir = pdv;
  std::string erro;
  const auto plano = PlanoDeParametros(p, form.Servidor(), erro);
  ASSERT_TRUE(plano) << erro;
  ObservadorSilencioso ninguem(nullptr);
  const Desfecho d = MotorInstalacao(*plano, ninguem, system).Executa();
  EXPECT_EQ(d.codigo, CodigoSaida::Instalado) << d.mensagem;
  EXPECT_EQ(test::ReadFile(pdv + "\\GLOBAL.INI"),
            "[DADOS]\r\nCAMINHO=C:\\Progs5\\Berfon\\\\\r\nTIPO=1\r\nIP=caixa01\r\n");
  EXPECT_EQ(system.shortcuts.size(), 1u);
  EXPECT_EQ(view.TextsOf(Control::lbStatusInstallTerminal).size(), 0u);

  // A folder that is not a full path is refused by name before anything is downloaded.
  for (const char* pasta : {"Progs5\\PDV", " "}) {
    SCOPED_TRACE(pasta);
    p.dir = pasta;
    const auto relativo = PlanoDeParametros(p, form.Servidor(), erro);
    ASSERT_TRUE(relativo) << erro;
    ObservadorSilencioso outro(nullptr);
    const Desfecho recusado = MotorInstalacao(*relativo, outro, system).Executa();
    EXPECT_EQ(recusado.codigo, CodigoSaida::Pasta) << recusado.mensagem;
    EXPECT_NE(recusado.mensagem.find("caminho completo, como C:\\Progs5\\Berfon"),
              std::string::npos)
        << recusado.mensagem;
    ASSERT_EQ(outro.Caixas().size(), 1u);
    EXPECT_EQ(system.firebird_checks, 1) << "the refused run went on";
  }
}

// What support reads after an installation: every step, download, file written and the
// database's version, one line each; a failure box and the closing page say where it is.
TEST_F(RotinasTest, TheLogTellsTheInstallationAndTheBoxesPointToIt) {
  PutErpPackages();
  platform::LogFile log;
  ASSERT_TRUE(log.Open(tmp / "instalacao.log"));
  platform::ScopedLog scope(log);
  ChooseProduct(kProdutoLoja, "0", "");
  ASSERT_TRUE(form.Dispatch(Control::btnContinuarZadoveve));
  ASSERT_EQ(view.page, Page::tsFinal);
  EXPECT_TRUE(view.visible[Control::lbArquivoRegistro]);
  EXPECT_EQ(view.text[Control::lbArquivoRegistro], tmp / "instalacao.log");

  const std::string texto = test::ReadFile(tmp / "instalacao.log");
  for (const std::string& evento : std::vector<std::string>{
           "  Instalação de Quenda em " + erp + " (TIPO=0, IP=)\r\n",
           "  Etapa: Verificando Firebird\r\n", "  Etapa: Extraindo Atualização\r\n",
           "  Download: " + form.Servidor().Base +
               "/Drive/app/Sistemas/QuendaInstalacaoLimpa.zip, HTTP 200, ",
           "  Conferido: quenda_2010.zip, SHA-256 ", "  Extraído: quenda_2010.zip, 3 arquivos em ",
           "  Gravado: " + erp + "\\GLOBAL.INI [DADOS] CAMINHO=" + erp + "\\\r\n",
           "  Versão do servidor de banco de dados: ",
           "CompDemo.Ini [Databases] TargetDB=" + erp + "\\DADOS.GDB\r\n",
           "  Executando: \"" + tmp / "Progs5\\Uteis\\VeltraDBCompare\\databasecompare.exe\"\r\n",
           "  Cópia de segurança: " + erp + "\\estoque.exe -> estoque.exe_antes1\r\n",
           "  Copiado: " + erp + "\\Relatorios\\vendas.rtm\r\n",
           "  Instalação concluída em " + erp + "\r\n"})
    EXPECT_NE(texto.find(evento), std::string::npos) << evento << "\n--- log:\n" << texto;

  // A failure: its box and its log line carry the whole message, the box the log's place.
  // (In a new folder: the finished installation's database refuses this one.)
  std::filesystem::remove(site + "/atualiza/Drive/app/Sistemas/estoque_2010.zip");
  std::filesystem::remove_all(platform::HostPath(erp));
  view.ShowPage(Page::tsZadoveve);
  const std::string what = FailureOf(Control::btnContinuarZadoveve);
  const std::string texto_falha = test::ReadFile(tmp / "instalacao.log");
  EXPECT_NE(texto_falha.find("  Download falhou: " + form.Servidor().UpdateBase +
                             "/Drive/app/Sistemas/estoque_2010.zip, HTTP 404, 0 bytes em "),
            std::string::npos)
      << texto_falha;
  std::string linha = what;
  for (size_t at; (at = linha.find('\r')) != std::string::npos;) linha.replace(at, 1, " | ");
  EXPECT_NE(texto_falha.find("  Erro: " + linha + "\r\n"), std::string::npos) << texto_falha;
  EXPECT_EQ(form.UltimoDesfecho().codigo, CodigoSaida::Download);

  // The boxes the routines show for a failure name the log too.
  PutErpPackages(/*with_database=*/false);
  std::filesystem::remove_all(platform::HostPath(erp));
  ASSERT_TRUE(form.Dispatch(Control::btnContinuarZadoveve));
  ASSERT_FALSE(view.information.empty());
  EXPECT_TRUE(
      view.information.back().ends_with("\r\rRegistro da instalação: " + tmp / "instalacao.log"))
      << view.information.back();
}

}  // namespace
}  // namespace vlt

namespace vlt {
namespace {

// Links that come and go: the scriptable server plays the package server of a PDV
// installation, whose package arrives in pieces.
class TentativasTest : public RotinasTest {
 protected:
  const std::string pacote =
      test::BuildZip({{.name = "Atualizador.exe", .data = "atualizador"},
                      {.name = "terminal.exe", .data = "terminal"},
                      {.name = "dados.bin", .data = std::string(3000, 'd'), .method = 0}})
          .bytes;
  static std::vector<test::Step> Responde(const std::string& resposta) {
    return {test::RecvUntil("\r\n\r\n"), test::Send(resposta), test::Close()};
  }
  static std::string Soma(const std::string& bytes) {
    const std::string linha = net::Sha256Hex(bytes) + "  TerminalNFC-eInstalacaoLimpa.zip\n";
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(linha.size()) +
           "\r\nConnection: close\r\n\r\n" + linha;
  }
  static std::string Cabeca(int status, const std::string& etag, std::int64_t de,
                            std::int64_t tamanho) {
    std::string h = "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Partial");
    h += "\r\nETag: " + etag + "\r\nContent-Length: " + std::to_string(tamanho - de);
    if (status == 206)
      h += "\r\nContent-Range: bytes " + std::to_string(de) + "-" + std::to_string(tamanho - 1) +
           "/" + std::to_string(tamanho);
    return h + "\r\nConnection: close\r\n\r\n";
  }
  // The transfer lines of the PDV page that announce another attempt.
  std::vector<std::string> Anuncios() const {
    std::vector<std::string> a;
    for (const std::string& l : view.TextsOf(Control::lConectionTerminal))
      if (l.starts_with("Nova tentativa")) a.push_back(l);
    return a;
  }
};

TEST_F(TentativasTest, ResetsAndABusyServerAreTriedAgainFromWhereTheyStopped) {
  const std::int64_t n = static_cast<std::int64_t>(pacote.size());
  const std::string v1 = "\"v1\"";
  test::ScriptServer server(std::vector<std::vector<test::Step>>{
      Responde(Soma(pacote)),
      // Cut twice, each time after some of the file...
      {test::RecvUntil("\r\n\r\n"), test::Send(Cabeca(200, v1, 0, n) + pacote.substr(0, 1000)),
       test::Reset()},
      {test::RecvUntil("\r\n\r\n"),
       test::Send(Cabeca(206, v1, 1000, n) + pacote.substr(1000, 1000)), test::Reset()},
      // ...then busy for a while, then the rest.
      Responde("HTTP/1.1 503 Busy\r\nRetry-After: 3\r\nContent-Length: 0\r\n"
               "Connection: close\r\n\r\n"),
      Responde(Cabeca(206, v1, 2000, n) + pacote.substr(2000)),
  });
  form.Servidor().Base = "http://127.0.0.1:" + server.Port();
  ChooseProduct(kProdutoPDV, "1", "servidor");
  ASSERT_TRUE(form.Dispatch(Control::btnInstalTerminal));
  EXPECT_EQ(view.page, Page::tsFinal) << form.UltimoDesfecho().mensagem;
  EXPECT_EQ(test::ReadFile(pdv + "\\terminal.exe"), "terminal");

  const std::string pedidos = server.Received();
  EXPECT_NE(pedidos.find("Range: bytes=1000-\r\n"), std::string::npos) << pedidos;
  EXPECT_NE(pedidos.find("If-Range: \"v1\"\r\n"), std::string::npos) << pedidos;
  // The busy answer and the last attempt both asked for the rest only.
  const size_t resto = pedidos.find("Range: bytes=2000-");
  ASSERT_NE(resto, std::string::npos) << pedidos;
  EXPECT_NE(pedidos.find("Range: bytes=2000-", resto + 1), std::string::npos) << pedidos;
  const auto anuncios = Anuncios();
  ASSERT_GE(anuncios.size(), 5u);
  // 1 s and 2 s, each moved by up to a fifth; then what the server asked, counted down.
  EXPECT_TRUE(anuncios[0] == "Nova tentativa em 1 s (tentativa 2 de 6)" ||
              anuncios[0] == "Nova tentativa em 2 s (tentativa 2 de 6)")
      << anuncios[0];
  EXPECT_NE(std::find(anuncios.begin(), anuncios.end(), "Nova tentativa em 2 s (tentativa 3 de 6)"),
            anuncios.end());
  const std::vector<std::string> fim(anuncios.end() - 3, anuncios.end());
  EXPECT_EQ(fim, (std::vector<std::string>{"Nova tentativa em 3 s (tentativa 4 de 6)",
                                           "Nova tentativa em 2 s (tentativa 4 de 6)",
                                           "Nova tentativa em 1 s (tentativa 4 de 6)"}));
  // Every pause went through the window's waits, a second at most at a time.
  EXPECT_TRUE(std::all_of(view.waits.begin(), view.waits.end(), [](int ms) { return ms <= 2000; }));
}

TEST_F(TentativasTest, AFileThatChangedBetweenAttemptsStartsOver) {
  const std::int64_t n = static_cast<std::int64_t>(pacote.size());
  const std::string velho(pacote.size(), 'v');
  test::ScriptServer server(std::vector<std::vector<test::Step>>{
      Responde(Soma(pacote)),
      {test::RecvUntil("\r\n\r\n"),
       test::Send(Cabeca(200, "\"velho\"", 0, n) + velho.substr(0, 1500)), test::Reset()},
      // The resume names the old version: the server sends the whole new one.
      Responde(Cabeca(200, "\"novo\"", 0, n) + pacote),
  });
  form.Servidor().Base = "http://127.0.0.1:" + server.Port();
  ChooseProduct(kProdutoPDV, "1", "servidor");
  ASSERT_TRUE(form.Dispatch(Control::btnInstalTerminal));
  EXPECT_EQ(view.page, Page::tsFinal) << form.UltimoDesfecho().mensagem;
  EXPECT_NE(server.Received().find("If-Range: \"velho\""), std::string::npos);
  EXPECT_EQ(test::ReadFile(pdv + "\\terminal.exe"), "terminal");
}

TEST_F(TentativasTest, PermanentFailuresAndTheLastAttemptEndTheInstallation) {
  // A refusal is not tried again.
  {
    test::ScriptServer server(std::vector<std::vector<test::Step>>{
        Responde(Soma(pacote)),
        Responde("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")});
    form.Servidor().Base = "http://127.0.0.1:" + server.Port();
    ChooseProduct(kProdutoPDV, "1", "servidor");
    EXPECT_THROW(form.Dispatch(Control::btnInstalTerminal), Exception);
    ExpectEnded(CodigoSaida::Download, "sistema");
    EXPECT_TRUE(Anuncios().empty());
  }
  // A server that never stays up is given up after the last attempt, which the reason counts.
  std::vector<std::vector<test::Step>> quedas = {Responde(Soma(pacote))};
  for (int i = 0; i < 3; ++i) quedas.push_back({test::RecvUntil("\r\n\r\n"), test::Reset()});
  test::ScriptServer server(quedas);
  form.Servidor().Base = "http://127.0.0.1:" + server.Port();
  PlanoInstalacao plano = form.PlanoDaJanela(Produto::PDV);
  plano.tentativas_download = 3;
  ObservadorJanela janela(view, Produto::PDV, [] { return false; });
  const Desfecho d = form.Instala(plano, janela);
  EXPECT_EQ(d.codigo, CodigoSaida::Download);
  EXPECT_TRUE(d.mensagem.ends_with("\rTentativas: 3.")) << d.mensagem;
  EXPECT_EQ(Anuncios().back(), "Nova tentativa em 1 s (tentativa 3 de 3)");
}

TEST_F(TentativasTest, ClosingTheWindowEndsTheWait) {
  test::ScriptServer server(std::vector<std::vector<test::Step>>{
      Responde(Soma(pacote)), {test::RecvUntil("\r\n\r\n"), test::Reset()}});
  form.Servidor().Base = "http://127.0.0.1:" + server.Port();
  ChooseProduct(kProdutoPDV, "1", "servidor");
  view.on_pump = [&] {
    if (!Anuncios().empty()) form.Cancela();
  };
  ASSERT_TRUE(form.Dispatch(Control::btnInstalTerminal));
  EXPECT_EQ(form.UltimoDesfecho().codigo, CodigoSaida::Cancelada);
  EXPECT_EQ(Anuncios().size(), 1u);
  EXPECT_EQ(server.Connections(), 2);
}

}  // namespace
}  // namespace vlt

namespace vlt {
namespace {

// Through the proxies fixture's Basic-login proxies, found as curl would find them in the
// variables: tinyproxy, and squid where a refused login matters (tinyproxy answers it 401).
class ProxyRotinasTest : public RotinasTest {
 protected:
  std::map<std::string, std::string> proxies = test::FixtureSettingsAt(VLT_PROXY_PORTS_FILE);
  std::map<std::string, std::string> ambiente;
  platform::LogFile log;

  void SetUp() override {
    RotinasTest::SetUp();
    ASSERT_TRUE(proxies.count("http")) << "no tinyproxy: run through ctest (fixture net_proxies)";
    PutZip("/Drive/app/Sistemas/TerminalNFC-eInstalacaoLimpa.zip",
           {{.name = "Atualizador.exe", .data = "atualizador"},
            {.name = "terminal.exe", .data = "terminal"}});
    ChooseProduct(kProdutoPDV, "1", "servidor");
    ASSERT_TRUE(log.Open(tmp / "instalacao.log"));
  }
  Desfecho Instala(PlanoInstalacao plano) {
    platform::ScopedLog scope(log);
    ObservadorJanela janela(view, Produto::PDV, [] { return false; });
    return form.Instala(plano, janela);
  }
  PlanoInstalacao PlanoPeloAmbiente() {
    FontesProxy f;
    f.ambiente = [this](std::string_view nome) -> std::optional<std::string> {
      const auto it = ambiente.find(std::string(nome));
      if (it == ambiente.end()) return std::nullopt;
      return it->second;
    };
    PlanoInstalacao plano = form.PlanoDaJanela(Produto::PDV);
    plano.proxy = DescobreProxy(f, UrlsDosPacotes(plano.pacotes));
    return plano;
  }
  std::string ProxyLog() const { return test::ReadFile(proxies.at("dir") + "/tinyproxy.log"); }
};

TEST_F(ProxyRotinasTest, TheVariablesProxyAsksForALoginAndTheOperatorGivesIt) {
  ambiente["HTTP_PROXY"] = "http://127.0.0.1:" + proxies["http"];
  ambiente["no_proxy"] = "pacotes.veltra.com.br";
  view.dialog_answers = {{proxies["http_user"], proxies["http_password"]}};
  const std::string pacote =
      form.Servidor().Base + "/Drive/app/Sistemas/TerminalNFC-eInstalacaoLimpa.zip";
  const Desfecho d = Instala(PlanoPeloAmbiente());
  EXPECT_EQ(d.codigo, CodigoSaida::Instalado) << d.mensagem;
  ASSERT_EQ(view.dialogs.size(), 1u);  // asked once, then kept for the package
  EXPECT_EQ(view.dialogs[0].text, "O proxy 127.0.0.1:" + proxies["http"] +
                                      " pede usuário e senha para baixar os pacotes.");
  ASSERT_EQ(view.dialogs[0].fields.size(), 2u);
  EXPECT_TRUE(view.dialogs[0].fields[1].secret);
  // The package server was reached through the proxy, both files.
  const std::string pelo_proxy = ProxyLog();
  EXPECT_NE(pelo_proxy.find(pacote + ".sha256"), std::string::npos) << pelo_proxy;
  EXPECT_NE(pelo_proxy.find(pacote + " "), std::string::npos) << pelo_proxy;
  const std::string texto = test::ReadFile(tmp / "instalacao.log");
  EXPECT_NE(
      texto.find("  Proxy: variáveis de ambiente (HTTP_PROXY, no_proxy=pacotes.veltra.com.br): "
                 "http://127.0.0.1:" +
                 nginx["http"] + " -> 127.0.0.1:" + proxies["http"]),
      std::string::npos)
      << texto;
  EXPECT_NE(texto.find("exige usuário e senha (407)"), std::string::npos) << texto;
  EXPECT_EQ(texto.find(proxies["http_password"]), std::string::npos) << texto;
}

TEST_F(ProxyRotinasTest, ALoginRefusedThreeTimesEndsTheInstallation) {
  ambiente["http_proxy"] = "127.0.0.1:" + proxies["squid"];
  view.dialog_answers = {{"ana", "1"}, {"ana", "2"}, {"ana", "3"}, {"joe", "s3cret"}};
  const Desfecho d = Instala(PlanoPeloAmbiente());
  EXPECT_EQ(d.codigo, CodigoSaida::Proxy);
  EXPECT_TRUE(d.mensagem.ends_with("\rMotivo: O proxy 127.0.0.1 recusou o usuário informado."))
      << d.mensagem;
  ASSERT_EQ(view.dialogs.size(), 3u);
  EXPECT_TRUE(view.dialogs[0].text.ends_with(" pede usuário e senha para baixar os pacotes."));
  EXPECT_TRUE(view.dialogs[2].text.ends_with(
      " recusou o usuário informado.\nInforme outro usuário e senha."));
  // Cancelling the prompt ends it too, saying what the proxy wants.
  view.dialogs.clear();
  view.dialog_answers.clear();
  const Desfecho cancelado = Instala(PlanoPeloAmbiente());
  EXPECT_EQ(cancelado.codigo, CodigoSaida::Proxy);
  EXPECT_TRUE(cancelado.mensagem.ends_with(" exige usuário e senha.")) << cancelado.mensagem;
}

TEST_F(ProxyRotinasTest, UnattendedRunsUseTheLoginTheyWereGivenOnly) {
  ParametrosInstalacao p{
      .produto = kProdutoPDV, .tipo = "1", .servidor = "caixa01", .dir = pdv, .silencioso = true};
  p.proxy = "http://127.0.0.1:" + proxies["http"];
  p.proxy_usuario = proxies["http_user"];
  p.proxy_senha = proxies["http_password"];
  std::string erro;
  auto plano = PlanoDeParametros(p, form.Servidor(), erro);
  ASSERT_TRUE(plano) << erro;
  ObservadorSilencioso silencioso(nullptr);
  {
    platform::ScopedLog scope(log);
    EXPECT_EQ(MotorInstalacao(*plano, silencioso, system).Executa().codigo, CodigoSaida::Instalado);
  }
  EXPECT_EQ(test::ReadFile(tmp / "instalacao.log").find(proxies["http_password"]),
            std::string::npos);

  std::filesystem::remove_all(platform::HostPath(pdv));
  plano->proxy.fixo->ProxyPort = proxies["squid"];
  plano->proxy.senha = "errada";
  Desfecho d = MotorInstalacao(*plano, silencioso, system).Executa();
  EXPECT_EQ(d.codigo, CodigoSaida::Proxy);
  EXPECT_TRUE(d.mensagem.ends_with("Motivo: O proxy 127.0.0.1 recusou o usuário informado."))
      << d.mensagem;
  plano->proxy.usuario.clear();
  d = MotorInstalacao(*plano, silencioso, system).Executa();
  EXPECT_TRUE(
      d.mensagem.ends_with(" exige usuário e senha: informe /proxyusuario= e "
                           "/proxysenha=."))
      << d.mensagem;
}

TEST_F(ProxyRotinasTest, AProxyThatIsNotThereIsNamed) {
  const std::string porta = test::ClosedPort();
  PlanoInstalacao plano = form.PlanoDaJanela(Produto::PDV);
  std::string erro;
  plano.proxy.fonte = FonteProxy::Parametro;
  plano.proxy.fixo = LeEnderecoProxy("127.0.0.1:" + porta, "", erro);
  plano.tentativas_download = 2;
  const Desfecho d = Instala(plano);
  EXPECT_EQ(d.codigo, CodigoSaida::Proxy);
  EXPECT_NE(d.mensagem.find("Não foi possível conectar ao proxy 127.0.0.1:" + porta + "."),
            std::string::npos)
      << d.mensagem;
  EXPECT_TRUE(d.mensagem.ends_with("\rTentativas: 2.")) << d.mensagem;
}

}  // namespace
}  // namespace vlt
