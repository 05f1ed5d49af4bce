// The real wizard window under Windows (Wine in CI): its frame, controls, texts and pages, and
// the error box that catches a failing handler.
// windows.h first: commctrl.h relies on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/exception.h"
#include "platform/shell.h"
#include "platform/win_text.h"

namespace vlt::app {
namespace {

using platform::Narrow;

std::string WindowText(HWND h) {
  wchar_t buffer[512] = {};
  GetWindowTextW(h, buffer, 512);
  return Narrow(buffer);
}

// A box the window opened, as seen from outside: its caption, message text and icon.
enum class BoxIcon { None, Warning, Stop, Other };
struct SeenBox {
  std::string caption, text;
  BoxIcon icon = BoxIcon::None;
};

BoxIcon IconOf(HWND box) {
  BoxIcon found = BoxIcon::None;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM out) -> BOOL {
        wchar_t cls[32] = {};
        GetClassNameW(child, cls, 32);
        if (_wcsicmp(cls, L"Static") != 0 ||
            (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON ||
            !IsWindowVisible(child)) {
          return TRUE;
        }
        const auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        *reinterpret_cast<BoxIcon*>(out) = icon == LoadIconW(nullptr, IDI_WARNING)
                                               ? BoxIcon::Warning
                                           : icon == LoadIconW(nullptr, IDI_ERROR) ? BoxIcon::Stop
                                                                                   : BoxIcon::Other;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}
std::vector<SeenBox> g_boxes;

// Runs inside the box's own modal loop: records the box and presses OK.
void CALLBACK DismissBoxes(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM) -> BOOL {
        wchar_t cls[64] = {};
        GetClassNameW(h, cls, 64);
        if (std::wstring(cls) != L"#32770" || !IsWindowVisible(h)) return TRUE;
        g_boxes.push_back({WindowText(h), WindowText(GetDlgItem(h, 0xFFFF)), IconOf(h)});
        PostMessageW(h, WM_COMMAND, IDOK, 0);
        return TRUE;
      },
      0);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    window.Create();
    window.Show();
    window.PumpEvents();
    g_boxes.clear();
  }
  platform::ComSession com;
  MainWindow window;
};

TEST_F(WindowTest, FrameIsAFixedToolWindowWithTheWizardCaption) {
  HWND h = window.Handle();
  EXPECT_EQ(WindowText(h), "Veltra Sistemas | Instalador");
  RECT client{};
  GetClientRect(h, &client);
  const UINT dpi = GetDpiForWindow(h);
  EXPECT_EQ(client.right, MulDiv(577, dpi, 96));
  EXPECT_EQ(client.bottom, MulDiv(355, dpi, 96));
  const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
  const LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(ex & WS_EX_APPWINDOW);  // its own taskbar button
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(IsWindowVisible(h));
}

TEST_F(WindowTest, EveryControlCarriesItsText) {
  for (const ControlLayout& c : WizardLayout()) {
    HWND h = window.ControlHandle(c.id);
    if (h == nullptr || c.kind == ControlKind::DropDownList) continue;
    EXPECT_EQ(WindowText(h), std::string(c.text)) << c.name;
  }
  HWND list = window.ControlHandle(Control::cbbTipoInstall);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(GetWindowLongPtrW(list, GWL_STYLE) & 3, CBS_DROPDOWNLIST);  // no free text
  ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 2);
  const char* items[] = {"Servidor", "Estação"};
  for (int i = 0; i < 2; ++i) {
    wchar_t item[64] = {};
    SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(Narrow(item), items[i]);
  }
  EXPECT_EQ(window.SelectedIndex(Control::cbbTipoInstall), 0);
  EXPECT_TRUE(GetWindowLongPtrW(window.ControlHandle(Control::edtIPNomeServidor), GWL_STYLE) &
              ES_CENTER);
  EXPECT_EQ(window.GetText(Control::edtDirZadoveve), "C:\\Progs5\\Berfon\\");
}

TEST_F(WindowTest, OnlyTheCurrentPageIsOnScreen) {
  const Page pages[] = {Page::tsHome, Page::tsTipoInstall, Page::tsZadoveve, Page::tsTerminal,
                        Page::tsFinal};
  for (Page page : pages) {
    window.ShowPage(page);
    for (const ControlLayout& c : WizardLayout()) {
      HWND h = window.ControlHandle(c.id);
      if (h == nullptr) continue;
      EXPECT_EQ(IsWindowVisible(h) != FALSE, c.page == page && c.visible)
          << c.name << " on page " << static_cast<int>(page);
    }
  }
}

TEST_F(WindowTest, HidingAPanelHidesWhatItHolds) {
  window.ShowPage(Page::tsZadoveve);
  EXPECT_TRUE(IsWindowVisible(window.ControlHandle(Control::edtDirZadoveve)));
  window.SetVisible(Control::pnDiretorio, false);
  window.SetVisible(Control::lbStatus, true);
  EXPECT_FALSE(IsWindowVisible(window.ControlHandle(Control::edtDirZadoveve)));
  EXPECT_FALSE(IsWindowVisible(window.ControlHandle(Control::Label14)));
  EXPECT_TRUE(IsWindowVisible(window.ControlHandle(Control::lbStatus)));
  window.SetEnabled(Control::btnContinuarZadoveve, false);
  EXPECT_FALSE(IsWindowEnabled(window.ControlHandle(Control::btnContinuarZadoveve)));
}

TEST_F(WindowTest, GaugeOperationsReachTheGauges) {
  HWND gauge = window.ControlHandle(Control::Gauge1Terminal);
  EXPECT_EQ(SendMessageW(gauge, PBM_GETPOS, 0, 0), 80);  // the stored setting
  window.SetGaugeMax(Control::Gauge1Terminal, 2000);
  window.SetGaugeProgress(Control::Gauge1Terminal, 500);
  EXPECT_EQ(SendMessageW(gauge, PBM_GETRANGE, FALSE, 0), 2000);
  EXPECT_EQ(SendMessageW(gauge, PBM_GETPOS, 0, 0), 500);
  EXPECT_EQ(SendMessageW(window.ControlHandle(Control::Gauger1), PBM_GETPOS, 0, 0), 80);
  // Kinds without a gauge take no notice.
  window.SetGaugeProgress(Control::lbStatus, 7);
  EXPECT_EQ(window.GetText(Control::lbStatus), "Aguarde...");
  EXPECT_EQ(window.SelectedIndex(Control::lbStatus), -1);
}

TEST_F(WindowTest, ClicksRunTheWizardAndItsWarning) {
  SendMessageW(window.ControlHandle(Control::btnZadoveve), BM_CLICK, 0, 0);
  EXPECT_EQ(window.CurrentPage(), Page::tsTipoInstall);
  HWND list = window.ControlHandle(Control::cbbTipoInstall);
  SendMessageW(list, CB_SETCURSEL, 1, 0);
  SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  EXPECT_TRUE(IsWindowVisible(window.ControlHandle(Control::edtIPNomeServidor)));

  const UINT_PTR timer = SetTimer(nullptr, 0, 50, DismissBoxes);
  SendMessageW(window.ControlHandle(Control::VltButtonStyle3), BM_CLICK, 0, 0);
  KillTimer(nullptr, timer);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].caption, "Atenção");
  EXPECT_EQ(g_boxes[0].text, "O campo \"IP/Nome Servidor\" não pode ficar vazio.");
  EXPECT_EQ(g_boxes[0].icon, BoxIcon::Warning);
  EXPECT_EQ(window.CurrentPage(), Page::tsTipoInstall);
  EXPECT_EQ(GetFocus(), window.ControlHandle(Control::edtIPNomeServidor));

  window.SetText(Control::edtIPNomeServidor, " servidor ");
  SendMessageW(window.ControlHandle(Control::VltButtonStyle3), BM_CLICK, 0, 0);
  EXPECT_EQ(window.CurrentPage(), Page::tsZadoveve);
  EXPECT_EQ(window.Form().Settings().ServidorIPNome, "servidor");
  EXPECT_EQ(window.Form().Settings().TipoInstalacao, "1");
}

TEST_F(WindowTest, AFailingHandlerShowsAnErrorBoxAndTheProgramGoesOn) {
  window.Form().OnInstalarLoja = [] { throw Exception("Erro de teste ç"); };
  window.ShowPage(Page::tsZadoveve);
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, DismissBoxes);
  SendMessageW(window.ControlHandle(Control::btnContinuarZadoveve), BM_CLICK, 0, 0);
  KillTimer(nullptr, timer);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].caption, "InstaladorVeltra");
  EXPECT_EQ(g_boxes[0].text, "Erro de teste ç");
  EXPECT_EQ(g_boxes[0].icon, BoxIcon::Stop);
  EXPECT_TRUE(IsWindow(window.Handle()));
  EXPECT_EQ(window.CurrentPage(), Page::tsZadoveve);
}

TEST_F(WindowTest, FecharEndsTheEventLoop) {
  window.ShowPage(Page::tsFinal);
  SendMessageW(window.ControlHandle(Control::btnClose), BM_CLICK, 0, 0);
  EXPECT_EQ(window.Handle(), nullptr);
  MSG msg;
  bool quit = false;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) quit |= msg.message == WM_QUIT;
  EXPECT_TRUE(quit);
}

TEST(WindowLifetimeTest, LettingTheWindowGoRaisesNoEvent) {
  platform::ComSession com;
  HWND handle = nullptr;
  {
    MainWindow window;
    window.Create();
    window.Show();
    handle = window.Handle();
    ASSERT_TRUE(IsWindow(handle));
  }
  EXPECT_FALSE(IsWindow(handle));
  // Only Quit() and the close control end the event loop; the destructor is neither.
  MSG msg;
  bool quit = false;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) quit |= msg.message == WM_QUIT;
  EXPECT_FALSE(quit);
}

}  // namespace
}  // namespace vlt::app
