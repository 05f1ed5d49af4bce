// The real wizard window under Windows (Wine in CI): its frame, controls, texts and pages, and
// the error box that catches a failing handler.
// windows.h first: commctrl.h relies on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
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

// Calls `act` for every dialog window of this thread on screen (message boxes, the picker);
// used from timers, which run inside the dialogs' own modal loops.
template <class Act>
void EachDialogOnScreen(Act act) {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM data) -> BOOL {
        wchar_t cls[64] = {};
        GetClassNameW(h, cls, 64);
        if (std::wstring(cls) == L"#32770" && IsWindowVisible(h))
          (*reinterpret_cast<Act*>(data))(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&act));
}

// Records the box and presses OK.
void CALLBACK DismissBoxes(HWND, UINT, UINT_PTR, DWORD) {
  EachDialogOnScreen([](HWND h) {
    g_boxes.push_back({WindowText(h), WindowText(GetDlgItem(h, 0xFFFF)), IconOf(h)});
    PostMessageW(h, WM_COMMAND, IDOK, 0);
  });
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
  // An empty directory field: the folder icon cannot make the folder inside its click handler.
  window.ShowPage(Page::tsZadoveve);
  window.SetText(Control::edtDirZadoveve, "");
  UINT_PTR timer = SetTimer(nullptr, 0, 50, DismissBoxes);
  window.RunHandler(Control::imgOpenDir);
  KillTimer(nullptr, timer);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].caption, "InstaladorVeltra");
  EXPECT_EQ(g_boxes[0].text, "Unable to create directory");
  EXPECT_EQ(g_boxes[0].icon, BoxIcon::Stop);
  EXPECT_TRUE(IsWindow(window.Handle()));
  EXPECT_EQ(window.CurrentPage(), Page::tsZadoveve);

  // "Continuar" with it says in Portuguese what the folder must be, and the page stays usable.
  g_boxes.clear();
  timer = SetTimer(nullptr, 0, 50, DismissBoxes);
  SendMessageW(window.ControlHandle(Control::btnContinuarZadoveve), BM_CLICK, 0, 0);
  KillTimer(nullptr, timer);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].caption, "Atenção");
  EXPECT_TRUE(g_boxes[0].text.starts_with("Informe a pasta de instalação: um caminho completo"))
      << g_boxes[0].text;
  EXPECT_EQ(g_boxes[0].icon, BoxIcon::Warning);
  EXPECT_EQ(window.Form().UltimoDesfecho().codigo, CodigoSaida::Pasta);
  EXPECT_EQ(window.CurrentPage(), Page::tsZadoveve);
  EXPECT_TRUE(window.EffectivelyVisible(Control::edtDirZadoveve));
}

// Keys as the keyboard delivers them: posted to the focused control and taken out of the
// queue by the window's own loop (PumpEvents), where the dialog keys are handled.
class KeyboardTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SetForegroundWindow(window.Handle());
    window.PumpEvents();
  }
  void Press(UINT key, bool shift = false) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    HWND target = GetFocus() != nullptr ? GetFocus() : window.Handle();
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    window.PumpEvents();
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
  }
  HWND H(Control c) { return window.ControlHandle(c); }
  std::string FocusName() {
    for (const ControlLayout& c : WizardLayout()) {
      if (H(c.id) != nullptr && H(c.id) == GetFocus()) return std::string(c.name);
    }
    return GetFocus() == window.Handle() ? "(window)" : "(elsewhere)";
  }
};

TEST_F(KeyboardTest, EachPageStartsOnItsFirstControl) {
  EXPECT_EQ(FocusName(), "btnZadoveve");
  const std::pair<Page, const char*> pages[] = {{Page::tsTipoInstall, "cbbTipoInstall"},
                                                {Page::tsZadoveve, "edtDirZadoveve"},
                                                {Page::tsTerminal, "edtDirTerminal"},
                                                {Page::tsFinal, "btnClose"},
                                                {Page::tsHome, "btnZadoveve"}};
  for (const auto& [page, first] : pages) {
    window.ShowPage(page);
    EXPECT_EQ(FocusName(), first) << static_cast<int>(page);
  }
  // A field starts selected: typing replaces it.
  window.ShowPage(Page::tsZadoveve);
  DWORD from = 1, to = 0;
  SendMessageW(H(Control::edtDirZadoveve), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
               reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, std::string("C:\\Progs5\\Berfon\\").size());
}

TEST_F(KeyboardTest, TabWalksThePageInBothDirections) {
  const std::pair<Page, std::vector<std::string>> orders[] = {
      {Page::tsHome, {"btnZadoveve", "btnPDV", "btnProxy"}},
      {Page::tsZadoveve, {"edtDirZadoveve", "imgOpenDir", "btnVoltar", "btnContinuarZadoveve"}},
      {Page::tsTerminal,
       {"edtDirTerminal", "Image5", "edtDirTerminalQuenda", "btnVoltarTerminal",
        "btnInstalTerminal"}},
  };
  for (const auto& [page, order] : orders) {
    window.ShowPage(page);
    std::vector<std::string> forward{FocusName()}, backward{FocusName()};
    for (size_t i = 1; i < order.size(); ++i) {
      Press(VK_TAB);
      forward.push_back(FocusName());
    }
    Press(VK_TAB);
    EXPECT_EQ(FocusName(), order.front()) << "Tab wraps round";
    for (size_t i = 1; i < order.size(); ++i) {
      Press(VK_TAB, true);
      backward.insert(backward.begin(), FocusName());
    }
    EXPECT_EQ(forward, order);
    backward.pop_back();
    backward.insert(backward.begin(), order.front());
    EXPECT_EQ(backward, order);
  }
}

// From the very start, before any page change, the other pages' controls take neither keys
// nor clicks: Tab stays on the home page, and a click where another page's "Fechar" lies does
// nothing.
TEST_F(KeyboardTest, AtTheStartOnlyTheHomePageTakesKeysAndClicks) {
  for (const ControlLayout& c : WizardLayout()) {
    HWND h = H(c.id);
    if (h == nullptr || (c.page == Page::tsHome && c.visible)) continue;
    EXPECT_EQ(GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE, 0) << c.name;
  }
  for (int i = 0; i < 6; ++i) {
    Press(VK_TAB);
    const std::string name = FocusName();
    EXPECT_TRUE(name == "btnZadoveve" || name == "btnPDV" || name == "btnProxy") << name;
  }
  RECT r{};
  GetWindowRect(H(Control::btnClose), &r);
  POINT p{r.left, r.top};
  ScreenToClient(window.Handle(), &p);
  const LPARAM at = MAKELPARAM(p.x, p.y);
  PostMessageW(window.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(window.Handle(), WM_LBUTTONUP, 0, at);
  window.PumpEvents();
  EXPECT_NE(window.Handle(), nullptr) << "a click on the hidden Fechar closed the program";
}

TEST_F(KeyboardTest, EnterPressesTheFocusedButtonElseTheDefaultOne) {
  // Home: Enter on the focused card button.
  Press(VK_RETURN);
  ASSERT_EQ(window.CurrentPage(), Page::tsTipoInstall);
  // Esc does nothing.
  Press(VK_ESCAPE);
  EXPECT_EQ(window.CurrentPage(), Page::tsTipoInstall);
  EXPECT_TRUE(IsWindow(window.Handle()));
  // "Estação" with the arrow key; the name field comes and Tab reaches it.
  Press(VK_DOWN);
  ASSERT_TRUE(IsWindowVisible(H(Control::edtIPNomeServidor)));
  Press(VK_TAB);
  EXPECT_EQ(FocusName(), "edtIPNomeServidor");
  // "Continuar" shows the default look while the focus is in the field, and Enter there
  // continues.
  EXPECT_TRUE(GetWindowLongPtrW(H(Control::VltButtonStyle3), GWL_STYLE) & BS_DEFPUSHBUTTON);
  window.SetText(Control::edtIPNomeServidor, "servidor01");
  Press(VK_RETURN);
  ASSERT_EQ(window.CurrentPage(), Page::tsZadoveve);
  EXPECT_EQ(window.Form().Settings().ServidorIPNome, "servidor01");
  EXPECT_EQ(FocusName(), "edtDirZadoveve");
  // On "Voltar", Enter goes back, not on.
  Press(VK_TAB);
  Press(VK_TAB);
  ASSERT_EQ(FocusName(), "btnVoltar");
  EXPECT_TRUE(GetWindowLongPtrW(H(Control::btnVoltar), GWL_STYLE) & BS_DEFPUSHBUTTON);
  EXPECT_FALSE(GetWindowLongPtrW(H(Control::btnContinuarZadoveve), GWL_STYLE) & BS_DEFPUSHBUTTON);
  Press(VK_RETURN);
  EXPECT_EQ(window.CurrentPage(), Page::tsTipoInstall);
  EXPECT_EQ(FocusName(), "cbbTipoInstall");
}

TEST_F(KeyboardTest, ADisabledOrHiddenFocusMovesOn) {
  window.ShowPage(Page::tsZadoveve);
  Press(VK_TAB);
  Press(VK_TAB);
  ASSERT_EQ(FocusName(), "btnVoltar");
  window.SetEnabled(Control::btnVoltar, false);
  EXPECT_EQ(FocusName(), "edtDirZadoveve");
  // As a routine leaves the page: nothing takes keys, and Enter presses nothing.
  window.SetVisible(Control::pnDiretorio, false);
  window.SetEnabled(Control::btnContinuarZadoveve, false);
  EXPECT_EQ(FocusName(), "(window)");
  Press(VK_RETURN);
  EXPECT_EQ(window.CurrentPage(), Page::tsZadoveve);
}

// The folder picker, seen from inside its modal loop: its caption, once per dialog, then
// Cancel (again at every tick until it goes: a picker still starting may miss the first).
std::vector<std::string> g_pickers;
std::set<HWND> g_picker_windows;
void CALLBACK CancelPicker(HWND, UINT, UINT_PTR, DWORD) {
  EachDialogOnScreen([](HWND h) {
    if (g_picker_windows.insert(h).second) g_pickers.push_back(WindowText(h));
    PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
  });
}

TEST_F(KeyboardTest, TheFolderIconOpensThePickerFromTheKeyboard) {
  window.ShowPage(Page::tsZadoveve);
  Press(VK_TAB);
  ASSERT_EQ(FocusName(), "imgOpenDir");
  for (UINT key : {VK_SPACE, VK_RETURN}) {
    g_pickers.clear();
    g_picker_windows.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, CancelPicker);
    Press(key);
    KillTimer(nullptr, timer);
    ASSERT_EQ(g_pickers.size(), 1u) << key;
    EXPECT_EQ(g_pickers[0], "Selecione o diretorio para instalação do sistema");
    // Back in the window, the focus is where it was (once the window is active again).
    for (int i = 0; i < 150 && FocusName() != "imgOpenDir"; ++i) {
      Sleep(20);
      window.PumpEvents();
    }
    EXPECT_EQ(FocusName(), "imgOpenDir");
    EXPECT_EQ(window.CurrentPage(), Page::tsZadoveve);
  }
  EXPECT_EQ(window.GetText(Control::edtDirZadoveve), "C:\\Progs5\\Berfon\\");
}

TEST_F(WindowTest, TheProgramHasItsIcon) {
  HICON icon = reinterpret_cast<HICON>(GetClassLongPtrW(window.Handle(), GCLP_HICON));
  HICON small = reinterpret_cast<HICON>(GetClassLongPtrW(window.Handle(), GCLP_HICONSM));
  ASSERT_NE(icon, nullptr);
  ASSERT_NE(small, nullptr);
  // Drawn in the product's colours: the purple ground at a corner, the orange ring on the
  // right-hand side.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT r{0, 0, 32, 32};
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
  const COLORREF corner = GetPixel(dc, 6, 26), ring = GetPixel(dc, 26, 16);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(corner, RGB(102, 45, 145));
  EXPECT_GT(GetRValue(ring), 200);
  EXPECT_LT(GetBValue(ring), 80);
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
