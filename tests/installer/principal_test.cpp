#include "installer/principal.h"

#include <gtest/gtest.h>

#include "installer/linha_comando.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "tests/installer/recording_system_ops.h"
#include "tests/installer/scripted_view.h"
#include "tests/support/temp_dir.h"

namespace vlt {
namespace {

using test::ScriptedView;

class WizardTest : public ::testing::Test {
 protected:
  WizardTest() : form(view, system) { form.FormCreate(); }

  // Operator actions, as the window would route them.
  void Click(Control c) { ASSERT_TRUE(form.Dispatch(c)); }
  void Select(int index) {
    view.selected = index;
    Click(Control::cbbTipoInstall);
  }

  ScriptedView view;
  test::RecordingSystemOps system;
  TfrmPrincipal form;
};

TEST_F(WizardTest, PageTransitionsFollowTheWizardTable) {
  struct Step {
    Control click;
    Page expected;
  };
  // Each row: the control pressed and the page that must then be visible.
  const Step walk[] = {
      {Control::btnZadoveve, Page::tsTipoInstall},
      {Control::VltButtonStyle2, Page::tsHome},
      {Control::btnZadoveve, Page::tsTipoInstall},
      {Control::VltButtonStyle3, Page::tsZadoveve},
      {Control::btnVoltar, Page::tsTipoInstall},
      {Control::VltButtonStyle2, Page::tsHome},
      {Control::btnPDV, Page::tsTipoInstall},
      {Control::VltButtonStyle3, Page::tsTerminal},
      {Control::btnVoltarTerminal, Page::tsTipoInstall},
  };
  EXPECT_EQ(view.page, Page::tsHome);
  for (const Step& s : walk) {
    Click(s.click);
    EXPECT_EQ(view.page, s.expected) << LayoutOf(s.click).name;
  }
  EXPECT_EQ(form.Settings().SistemaSelecionado, "PDV NFCe");

  view.ShowPage(Page::tsFinal);
  Click(Control::btnClose);
  EXPECT_TRUE(view.quit);
}

TEST_F(WizardTest, ContinuarWithoutAProductStaysOnThePage) {
  view.ShowPage(Page::tsTipoInstall);
  Click(Control::VltButtonStyle3);
  EXPECT_EQ(view.page, Page::tsTipoInstall);
  EXPECT_EQ(form.Settings().TipoInstalacao, "0");  // the settings are still written
}

TEST_F(WizardTest, EstacaoWithBlankServerNameWarnsAndWritesNothing) {
  Click(Control::btnZadoveve);
  Select(1);
  EXPECT_TRUE(view.visible[Control::lbIP_Nome_servidor]);
  EXPECT_TRUE(view.visible[Control::edtIPNomeServidor]);
  view.text[Control::edtIPNomeServidor] = " \t  ";
  Click(Control::VltButtonStyle3);

  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_EQ(view.warnings[0].text, "O campo \"IP/Nome Servidor\" não pode ficar vazio.");
  EXPECT_EQ(view.warnings[0].title, "Atenção");
  EXPECT_EQ(view.focused, Control::edtIPNomeServidor);
  EXPECT_EQ(view.page, Page::tsTipoInstall);
  EXPECT_EQ(form.Settings().TipoInstalacao, "");
  EXPECT_EQ(form.Settings().ServidorIPNome, "");
}

TEST_F(WizardTest, ServidorWithEmptyHiddenEditIsAccepted) {
  Click(Control::btnZadoveve);
  Click(Control::VltButtonStyle3);
  EXPECT_TRUE(view.warnings.empty());
  EXPECT_EQ(form.Settings().TipoInstalacao, "0");
  EXPECT_EQ(form.Settings().ServidorIPNome, "");
  EXPECT_EQ(view.page, Page::tsZadoveve);
}

TEST_F(WizardTest, NameTypedUnderEstacaoIsKeptWhenServidorIsChosen) {
  Click(Control::btnPDV);
  Select(1);
  view.text[Control::edtIPNomeServidor] = "  srv-loja01 \r\n";
  Select(0);
  EXPECT_FALSE(view.visible[Control::edtIPNomeServidor]);
  EXPECT_EQ(view.text[Control::edtIPNomeServidor], "  srv-loja01 \r\n");  // hiding keeps it
  Click(Control::VltButtonStyle3);
  EXPECT_EQ(form.Settings().TipoInstalacao, "0");
  EXPECT_EQ(form.Settings().ServidorIPNome, "srv-loja01");
  EXPECT_EQ(view.page, Page::tsTerminal);
}

TEST_F(WizardTest, EstacaoWithNameStoresTypeOne) {
  Click(Control::btnZadoveve);
  Select(1);
  view.text[Control::edtIPNomeServidor] = "192.168.0.10";
  Click(Control::VltButtonStyle3);
  EXPECT_EQ(form.Settings().TipoInstalacao, "1");
  EXPECT_EQ(form.Settings().ServidorIPNome, "192.168.0.10");
}

TEST_F(WizardTest, GoingBackKeepsEveryText) {
  Click(Control::btnZadoveve);
  Click(Control::VltButtonStyle3);
  view.text[Control::edtDirZadoveve] = "D:\\Loja\\";
  Click(Control::btnVoltar);
  Click(Control::VltButtonStyle2);
  Click(Control::btnPDV);
  Click(Control::VltButtonStyle3);
  EXPECT_EQ(view.page, Page::tsTerminal);
  EXPECT_EQ(view.text[Control::edtDirZadoveve], "D:\\Loja\\");
  EXPECT_EQ(view.text[Control::edtDirTerminal], "C:\\Progs5\\TerminalNFC-e\\");
  EXPECT_EQ(view.text[Control::edtDirTerminalQuenda], "C:\\Progs5\\Berfon\\");
}

TEST_F(WizardTest, FolderIconCreatesMissingDirectoryEvenWhenPickerIsCancelled) {
  test::TempDir tmp;
  const struct {
    Control icon, edit;
  } icons[] = {{Control::imgOpenDir, Control::edtDirZadoveve},
               {Control::Image5, Control::edtDirTerminal}};
  for (const auto& c : icons) {
    const std::string dir = tmp / (std::string(LayoutOf(c.edit).name) + "\\a\\b\\");
    view.text[c.edit] = dir;
    view.pickers.clear();
    system.created.clear();
    Click(c.icon);
    EXPECT_TRUE(platform::DirectoryExists(dir)) << dir;
    EXPECT_EQ(system.created, std::vector<std::string>{dir});
    ASSERT_EQ(view.pickers.size(), 1u);
    EXPECT_EQ(view.pickers[0].title, "Selecione o diretorio para instalação do sistema");
    EXPECT_EQ(view.pickers[0].ok_label, "Selecionar");
    EXPECT_EQ(view.pickers[0].start_folder, dir);
    EXPECT_EQ(view.text[c.edit], dir);  // cancelled: unchanged

    view.picker_answer = tmp / "escolhida";
    Click(c.icon);
    EXPECT_EQ(view.text[c.edit], tmp / "escolhida");
    EXPECT_EQ(system.created.size(), 1u);  // it exists now: nothing more to create
    view.picker_answer.reset();
  }
}

TEST_F(WizardTest, FolderIconWithEmptyEditRaisesBeforeThePicker) {
  view.text[Control::edtDirZadoveve] = "";
  try {
    form.imgOpenDirClick();
    FAIL() << "no error raised";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Unable to create directory");
  }
  EXPECT_TRUE(view.pickers.empty());
}

TEST_F(WizardTest, ControlsWithoutHandlersAreNotDispatched) {
  EXPECT_FALSE(form.Dispatch(Control::Label1));
  EXPECT_FALSE(form.Dispatch(Control::Gauger1));
}

}  // namespace
}  // namespace vlt

namespace vlt {
namespace {

// Started with parameters, the wizard opens on the page they lead to, its fields filled, as if
// the operator had clicked that far; what is still missing is asked on its page.
TEST_F(WizardTest, ParametersOpenThePageTheyLeadTo) {
  const struct {
    const char* name;
    ParametrosInstalacao p;
    Page page;
    bool reached;
    Control focused;
  } cases[] = {
      {"none", {}, Page::tsHome, false, Control::None},
      {"type only", {.tipo = "1", .servidor = "srv"}, Page::tsHome, false, Control::None},
      {"product only", {.produto = kProdutoPDV}, Page::tsTipoInstall, false, Control::None},
      {"workstation without its server",
       {.produto = kProdutoLoja, .tipo = "1"},
       Page::tsTipoInstall,
       false,
       Control::edtIPNomeServidor},
      {"ERP server",
       {.produto = kProdutoLoja, .tipo = "0", .dir = "D:\\Lojas\\Berfon"},
       Page::tsZadoveve,
       true,
       Control::None},
      {"PDV workstation",
       {.produto = kProdutoPDV,
        .tipo = "1",
        .servidor = "caixa07",
        .dir = "D:\\PDV",
        .dirquenda = "D:\\Lojas\\Berfon"},
       Page::tsTerminal,
       true,
       Control::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedView v;
    TfrmPrincipal f(v, system);
    f.FormCreate();
    EXPECT_EQ(f.AbreComParametros(c.p), c.reached);
    EXPECT_EQ(v.page, c.page);
    EXPECT_EQ(v.focused, c.focused);
    EXPECT_EQ(f.Settings().SistemaSelecionado, c.p.produto);
    EXPECT_EQ(v.selected, c.p.tipo == "1" ? 1 : 0);
    EXPECT_EQ(v.visible[Control::edtIPNomeServidor], c.p.tipo == "1");
    EXPECT_EQ(v.text[Control::edtIPNomeServidor], c.p.servidor.value_or(""));
    if (c.reached) {
      EXPECT_EQ(f.Settings().TipoInstalacao, c.p.tipo);
      EXPECT_EQ(f.Settings().ServidorIPNome, c.p.servidor.value_or(""));
    }
    const Control dir =
        c.p.produto == kProdutoPDV ? Control::edtDirTerminal : Control::edtDirZadoveve;
    EXPECT_EQ(v.text[dir], c.p.dir.value_or(std::string(LayoutOf(dir).text)));
    EXPECT_EQ(v.text[Control::edtDirTerminalQuenda],
              c.p.dirquenda.value_or("C:\\Progs5\\Berfon\\"));
    EXPECT_TRUE(v.warnings.empty());
  }
}

// The pages and the command line build the same plan for the same choices: one installation,
// whichever way it was asked for.
TEST_F(WizardTest, ThePagesAndTheCommandLineBuildTheSamePlan) {
  const ParametrosInstalacao cases[] = {
      {.produto = kProdutoLoja, .tipo = "0", .dir = "D:\\Lojas\\Berfon\\"},
      {.produto = kProdutoLoja, .tipo = "1", .servidor = "srv01"},
      {.produto = kProdutoPDV, .tipo = "1", .servidor = "caixa07", .dirquenda = "E:\\Quenda"},
      {.produto = kProdutoPDV, .tipo = "0", .dir = "D:\\PDV"},
  };
  for (const ParametrosInstalacao& p : cases) {
    SCOPED_TRACE(p.produto + " " + p.tipo);
    ScriptedView v;
    TfrmPrincipal f(v, system);
    f.FormCreate();
    ASSERT_TRUE(f.AbreComParametros(p));
    const Produto produto = p.produto == kProdutoPDV ? Produto::PDV : Produto::Loja;
    const PlanoInstalacao janela = f.PlanoDaJanela(produto);
    std::string erro;
    const auto linha = PlanoDeParametros(p, f.Servidor(), erro);
    ASSERT_TRUE(linha) << erro;
    EXPECT_EQ(janela.produto, linha->produto);
    EXPECT_EQ(janela.tipo, linha->tipo);
    EXPECT_EQ(janela.servidor, linha->servidor);
    EXPECT_EQ(janela.dir, linha->dir);
    EXPECT_FALSE(janela.dir.ends_with("\\")) << janela.dir;
    EXPECT_EQ(janela.dir_loja, linha->dir_loja);
    EXPECT_EQ(janela.dir_quenda, linha->dir_quenda);
    EXPECT_EQ(janela.pacotes.Base, linha->pacotes.Base);
  }
  // The checks the type page makes are the plan's own, with the same text.
  std::string erro;
  EXPECT_FALSE(PlanoDeParametros({.produto = kProdutoLoja, .tipo = "1", .servidor = " "},
                                 ServidorPacotes{}, erro));
  EXPECT_EQ(erro, "O campo \"IP/Nome Servidor\" não pode ficar vazio.");
  EXPECT_EQ(ValidaPasta("C:\\Progs5\\Berfon"), "");
  EXPECT_EQ(ValidaPasta("\\\\servidor\\pasta"), "");
  EXPECT_NE(ValidaPasta("Berfon"), "");
  EXPECT_NE(ValidaPasta("C:Berfon"), "");
  EXPECT_NE(ValidaPasta(""), "");
}

}  // namespace
}  // namespace vlt

namespace vlt {
namespace {

// The "Proxy…" dialog of the first page: it shows what was found, takes an address checked as
// /proxy= is, empty for the system's, and the plan of the pages carries the choice.
TEST_F(WizardTest, TheProxyDialogShowsWhatWasFoundAndChangesIt) {
  form.Servidor().Base = "https://pacotes.veltra.com.br";
  form.Servidor().UpdateBase = "https://pacotes.veltra.com.br";
  FontesProxy sistema;
  sistema.proxy_enable = 1;
  sistema.proxy_server = "proxy.loja:3128";
  sistema.proxy_override = "<local>";
  form.ProcuraProxy(sistema, "", "");
  const std::string url = "https://pacotes.veltra.com.br/Drive/app/x.zip";
  auto para = [&] { return form.PlanoDaJanela(Produto::Loja).proxy.Para(url); };

  view.dialog_answers = {{"proxy.loja", "", ""}, {"socks5://10.0.0.1:1080", " ana ", "x"}};
  Click(Control::btnProxy);
  ASSERT_EQ(view.dialogs.size(), 2u);
  EXPECT_EQ(view.dialogs[0].fields[0].value, "proxy.loja:3128");  // prefilled with what was found
  EXPECT_TRUE(
      view.dialogs[0].text.starts_with("Proxy usado para baixar os pacotes: proxy.loja:3128.\n"))
      << view.dialogs[0].text;
  EXPECT_TRUE(view.dialogs[0].fields[2].secret);
  // An address without its port is refused with the command line's reason, and asked again.
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_TRUE(view.warnings[0].text.starts_with("O endereço de proxy \"proxy.loja\" não serve"));
  EXPECT_EQ(view.dialogs[1].fields[0].value, "proxy.loja");
  EXPECT_EQ(para().ProxyTipo, download::ptSocks5);
  EXPECT_EQ(para().ProxyHost, "10.0.0.1");
  EXPECT_EQ(para().ProxyUser, "ana");
  EXPECT_EQ(para().ProxyPass, "x");

  // "nenhum": direct, and shown so the next time; empty: the system's again.
  view.dialog_answers = {{"NENHUM", "", ""}};
  Click(Control::btnProxy);
  EXPECT_EQ(para().ProxyHost, "");
  view.dialog_answers = {{"", "", ""}};
  Click(Control::btnProxy);
  EXPECT_EQ(view.dialogs[3].fields[0].value, "nenhum");
  EXPECT_EQ(para().ProxyHost, "proxy.loja");
  EXPECT_EQ(form.Proxy().fonte, FonteProxy::Internet);

  // Cancelled: nothing changes.
  Click(Control::btnProxy);
  EXPECT_EQ(view.dialogs.size(), 5u);
  EXPECT_EQ(para().ProxyHost, "proxy.loja");
}

}  // namespace
}  // namespace vlt
