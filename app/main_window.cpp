#include "app/main_window.h"

#include <shobjidl.h>

#include <stdexcept>

#include "app/field_dialog.h"
#include "installer/observadores.h"
#include "platform/log.h"
#include "platform/win_text.h"

namespace vlt::app {
namespace {

using platform::Narrow;
using platform::Widen;

constexpr wchar_t kClassName[] = L"VeltraInstaladorWindow";
constexpr int kFirstControlId = 1000;

int IdOf(Control c) {
  return kFirstControlId + static_cast<int>(c);
}
Control ControlOfId(int id) {
  return static_cast<Control>(id - kFirstControlId);
}

}  // namespace

MainWindow::MainWindow() = default;
MainWindow::~MainWindow() = default;

void MainWindow::Create(bool silencioso) {
  silencioso_ = silencioso;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &MainWindow::WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  // The caption and the taskbar take the small picture drawn for their size.
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // a second window reuses the class

  // A fixed-size tool window (small caption, no sizing) that still has a taskbar button.
  const DWORD ex_style = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  // WM_NCCREATE hands the new window to window_.
  CreateWindowExW(ex_style, kClassName, Widen(kCaption).c_str(), style, CW_USEDEFAULT,
                  CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
  if (!window_) throw std::runtime_error("Unable to create the wizard window");
  UINT dpi = GetDpiForWindow(window_.Get());
  if (dpi == 0) dpi = 96;
  theme_.SetDpi(dpi);
  RECT frame{0, 0, theme_.Scale(kClientWidth), theme_.Scale(kClientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  SetWindowPos(window_.Get(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  CreateControls();
  ApplyLayout();

  system_ = std::make_unique<PlatformSystemOps>();
  form_ = std::make_unique<TfrmPrincipal>(*this, *system_);
  form_->FormCreate();
}

void MainWindow::Show(int show_command) {
  if (!shown_) {
    // Centred on the monitor the first time it shows.
    RECT r{};
    GetWindowRect(window_.Get(), &r);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(window_.Get(), MONITOR_DEFAULTTOPRIMARY), &mi);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const RECT& work = mi.rcWork;
    SetWindowPos(window_.Get(), nullptr, work.left + (work.right - work.left - w) / 2,
                 work.top + (work.bottom - work.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    shown_ = true;
  }
  ShowWindow(window_.Get(), show_command);
  UpdateWindow(window_.Get());
}

Desfecho MainWindow::RunSilent(const PlanoInstalacao& plano) {
  const ObservadorJanela::Pagina& pagina = ObservadorJanela::PaginaDe(plano.produto);
  SetText(pagina.diretorio, plano.dir);
  ShowPage(plano.produto == Produto::Loja ? Page::tsZadoveve : Page::tsTerminal);
  ObservadorJanela janela(*this, plano.produto, [this] { return form_->Cancelado(); });
  ObservadorSilencioso silencioso(&janela);
  return form_->Instala(plano, silencioso);
}

int MainWindow::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchDialogMessage(msg);
  return static_cast<int>(msg.wParam);
}

bool MainWindow::DispatchDialogMessage(MSG& msg) {
  // Tab, Shift+Tab and Enter work as in a dialog; Enter asks the window which button it
  // presses (DM_GETDEFID). Esc sends IDCANCEL, which no control answers.
  if (!window_ || !IsDialogMessageW(window_.Get(), &msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (window_) UpdateDefaultLook();
  return true;
}

WizardControl* MainWindow::FocusedControl() const {
  HWND focus = GetFocus();
  if (focus == nullptr || focus == window_.Get()) return nullptr;
  for (const auto& control : controls_) {
    // A control made of several windows (the list's edit part) counts through its parts.
    HWND h = control->Handle();
    if (h != nullptr && (h == focus || IsChild(h, focus))) return control.get();
  }
  return nullptr;
}

void MainWindow::KeepFocusOnPage() {
  if (!window_ || GetActiveWindow() != window_.Get()) return;  // restored on activation
  const WizardControl* focused = FocusedControl();
  if (focused != nullptr && EffectivelyVisible(focused->Layout().id) &&
      IsWindowEnabled(focused->Handle())) {
    return;
  }
  // The page's first control in Tab order: its first input or its main button.
  if (HWND first = GetNextDlgTabItem(window_.Get(), nullptr, FALSE)) {
    SetFocus(first);
  } else {
    SetFocus(window_.Get());  // nothing on the page takes keys (a routine runs)
  }
  UpdateDefaultLook();
}

WizardControl* MainWindow::EnterTarget() const {
  if (WizardControl* focused = FocusedControl(); focused != nullptr && focused->PressedByEnter()) {
    return focused;
  }
  const Control id = DefaultButton(page_);
  if (id == Control::None || !EffectivelyVisible(id)) return nullptr;
  WizardControl* button = Find(id);
  if (button == nullptr || !IsWindowEnabled(button->Handle())) return nullptr;
  return button;
}

void MainWindow::UpdateDefaultLook() {
  // Asked of every button each time: the dialog keys take the look off a button on their own
  // when the focus moves.
  const WizardControl* target = EnterTarget();
  for (const auto& control : controls_) {
    if (control->Layout().page == page_ && control->PressedByEnter()) {
      control->SetDefaultLook(control.get() == target);
    }
  }
}

void MainWindow::CreateControls() {
  // In layout order, which is also the order of the Tab key.
  for (const ControlLayout& c : WizardLayout()) {
    visible_[c.id] = c.visible;
    std::unique_ptr<WizardControl> control = MakeWizardControl(c);
    control->Create(window_.Get(), IdOf(c.id));
    by_id_[c.id] = control.get();
    controls_.push_back(std::move(control));
  }
}

RECT MainWindow::Scaled(const ControlLayout& c) const {
  return RECT{theme_.Scale(c.x), theme_.Scale(c.y), theme_.Scale(c.x + c.width),
              theme_.Scale(c.y + c.height)};
}

WizardControl* MainWindow::Find(Control id) const {
  auto it = by_id_.find(id);
  return it == by_id_.end() ? nullptr : it->second;
}

void MainWindow::ApplyLayout() {
  for (const auto& control : controls_) control->Place(Scaled(control->Layout()), theme_);
  UpdateVisibility();
  InvalidateRect(window_.Get(), nullptr, TRUE);
}

bool MainWindow::EffectivelyVisible(Control id) const {
  const ControlLayout& c = LayoutOf(id);
  if (c.page != page_ || !visible_.at(id)) return false;
  return c.parent == Control::None || visible_.at(c.parent);
}

void MainWindow::UpdateVisibility() {
  for (const auto& control : controls_) {
    HWND h = control->Handle();
    if (h == nullptr) continue;
    const bool show = EffectivelyVisible(control->Layout().id);
    // The control's own flag, not IsWindowVisible: before the window is first shown every
    // child reads as invisible, and a hidden page's control would keep its flag and come on
    // screen (taking Tab, Enter and clicks) with the window.
    const bool shown = (GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown != show) ShowWindow(h, show ? SW_SHOWNA : SW_HIDE);
  }
  InvalidateRect(window_.Get(), nullptr, TRUE);
}

HWND MainWindow::ControlHandle(Control id) const {
  const WizardControl* control = Find(id);
  return control == nullptr ? nullptr : control->Handle();
}

void MainWindow::ShowPage(Page page) {
  page_ = page;
  UpdateVisibility();
  // A new page starts on its first control, not where the old page had the focus; a field
  // starts selected, as in a dialog, so that typing replaces it.
  if (window_ && GetActiveWindow() == window_.Get()) {
    if (HWND first = GetNextDlgTabItem(window_.Get(), nullptr, FALSE)) {
      SetFocus(first);
      if (SendMessageW(first, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
        SendMessageW(first, EM_SETSEL, 0, -1);
      }
    }
  }
  KeepFocusOnPage();
}

std::string MainWindow::GetText(Control edit) {
  const WizardControl* control = Find(edit);
  return control == nullptr ? std::string() : control->Text();
}

void MainWindow::SetText(Control control, const std::string& text) {
  if (WizardControl* c = Find(control)) c->SetText(text);
}

void MainWindow::SetVisible(Control control, bool visible) {
  visible_[control] = visible;
  UpdateVisibility();
  KeepFocusOnPage();
}

void MainWindow::SetEnabled(Control button, bool enabled) {
  if (WizardControl* c = Find(button)) c->SetEnabled(enabled);
  KeepFocusOnPage();
}

void MainWindow::Focus(Control edit) {
  if (WizardControl* c = Find(edit)) c->Focus();
}

int MainWindow::SelectedIndex(Control list) {
  const WizardControl* control = Find(list);
  return control == nullptr ? -1 : control->SelectedIndex();
}

void MainWindow::SetSelectedIndex(Control list, int index) {
  if (WizardControl* c = Find(list)) c->SetSelectedIndex(index);
}

void MainWindow::WarningBox(const std::string& text, const std::string& title) {
  MessageBoxW(window_.Get(), Widen(text).c_str(), Widen(title).c_str(), MB_OK | MB_ICONWARNING);
}

void MainWindow::InformationBox(const std::string& text) {
  MessageBoxW(window_.Get(), Widen(text).c_str(), kApplicationTitle, MB_OK);
}

std::optional<std::string> MainWindow::PickFolder(const std::string& title,
                                                  const std::string& ok_label,
                                                  const std::string& start_folder) {
  platform::ComPtr<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IFileOpenDialog, dialog.PutVoid()))) {
    throw std::runtime_error("Unable to create the folder picker");
  }
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(Widen(title).c_str());
  dialog->SetOkButtonLabel(Widen(ok_label).c_str());
  platform::ComPtr<IShellItem> start;
  if (SUCCEEDED(SHCreateItemFromParsingName(Widen(start_folder).c_str(), nullptr, IID_IShellItem,
                                            start.PutVoid()))) {
    dialog->SetFolder(start.Get());
  }
  if (FAILED(dialog->Show(window_.Get()))) return std::nullopt;  // cancelled
  platform::ComPtr<IShellItem> result;
  if (FAILED(dialog->GetResult(result.Put()))) return std::nullopt;
  platform::UniqueCoTaskString path;
  if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, path.Put())) || !path) {
    return std::nullopt;
  }
  return Narrow(path.Get());
}

std::optional<std::vector<std::string>> MainWindow::AskFields(
    const std::string& title, const std::string& text, const std::vector<FieldRequest>& fields) {
  if (silencioso_) return std::nullopt;  // an unattended window asks nothing of anyone
  return app::AskFields(window_.Get(), title, text, fields);
}

void MainWindow::PumpEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
      return;
    }
    DispatchDialogMessage(msg);
  }
}

void MainWindow::Wait(int ms) {
  // Everything but keyboard and mouse input (client and frame) is handled: paints, timers,
  // the system's probes. Input stays queued for after the pause.
  static constexpr struct {
    UINT first, last;
  } kNotInput[] = {{0, WM_NCMOUSEMOVE - 1},
                   {WM_NCXBUTTONDBLCLK + 1, WM_KEYFIRST - 1},
                   {WM_KEYLAST + 1, WM_MOUSEFIRST - 1},
                   {WM_MOUSELAST + 1, 0xFFFFFFFF}};
  const DWORD start = GetTickCount();
  for (;;) {
    for (const auto& range : kNotInput) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, range.first, range.last, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
          return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= static_cast<DWORD>(ms)) return;
    // Woken by anything but input; queued input alone does not wake it.
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms) - elapsed,
                                QS_PAINT | QS_TIMER | QS_POSTMESSAGE | QS_SENDMESSAGE, 0);
  }
}

void MainWindow::SetGaugeMax(Control gauge, std::int64_t value) {
  if (WizardControl* c = Find(gauge)) c->SetGaugeMax(value);
}

void MainWindow::SetGaugeProgress(Control gauge, std::int64_t value) {
  if (WizardControl* c = Find(gauge)) c->SetGaugeProgress(value);
}

void MainWindow::Quit() {
  // Through WM_DESTROY, which ends the event loop.
  DestroyWindow(window_.Get());
}

void MainWindow::RunHandler(Control control) {
  try {
    form_->Dispatch(control);
  } catch (const std::exception& e) {
    // The box says where support finds the log of what led here.
    const std::string text = e.what() + platform::LogNote();
    MessageBoxW(window_.Get(), Widen(text).c_str(), kApplicationTitle, MB_OK | MB_ICONSTOP);
  }
}

HBRUSH MainWindow::StaticColours(Control id, HDC dc) {
  const WizardControl* control = Find(id);
  const Control parent = control->Layout().parent;
  std::optional<Surface> surface;
  if (parent != Control::None) surface = Find(parent)->ChildSurface(theme_);
  if (!surface) surface = Surface{kPageColour, theme_.PageBrush(), std::nullopt};
  SetBkMode(dc, OPAQUE);
  SetTextColor(dc, surface->text.value_or(control->TextColour()));
  SetBkColor(dc, surface->fill);
  return surface->brush;
}

void MainWindow::Paint(HDC dc, const RECT& area) {
  FillRect(dc, &area, theme_.PageBrush());
  for (const auto& control : controls_) {
    const ControlLayout& c = control->Layout();
    if (c.page != page_ || !EffectivelyVisible(c.id)) continue;
    control->Paint(dc, Scaled(c), theme_);
  }
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* self = static_cast<MainWindow*>(cs->lpCreateParams);
    self->window_.Reset(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || !self->window_) return DefWindowProcW(window, message, wparam, lparam);
  return self->Handle(message, wparam, lparam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  HWND window = window_.Get();
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (id < kFirstControlId) break;
      const Control control = ControlOfId(id);
      if (const WizardControl* c = Find(control); c != nullptr && c->Activates(HIWORD(wparam))) {
        RunHandler(control);
      }
      return 0;
    }
    case DM_GETDEFID:
      // Asked by the dialog keys when Enter is pressed outside a button.
      if (const WizardControl* target = EnterTarget()) {
        return MAKELRESULT(IdOf(target->Layout().id), DC_HASDEFID);
      }
      return 0;
    case WM_ACTIVATE:
      // As a dialog does: the focus goes back where it was when the window is activated
      // again (after a message box, the folder picker or another program), not to the frame.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        focus_before_deactivation_ = focus != nullptr && IsChild(window, focus) ? focus : nullptr;
      } else {
        if (focus_before_deactivation_ != nullptr && IsWindow(focus_before_deactivation_)) {
          SetFocus(focus_before_deactivation_);
        }
        KeepFocusOnPage();
      }
      return 0;
    case WM_CTLCOLORSTATIC: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
      if (id >= kFirstControlId) {
        return reinterpret_cast<LRESULT>(
            StaticColours(ControlOfId(id), reinterpret_cast<HDC>(wparam)));
      }
      break;
    }
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers everything
    case WM_PAINT: {
      platform::PaintScope paint(window);
      platform::DoubleBuffer buffer(paint.Dc(), paint.Area());
      Paint(buffer.Dc(), paint.Area());
      return 0;
    }
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      // The controls get the new fonts at once, before anything paints with the old ones gone.
      theme_.SetDpi(HIWORD(wparam));
      ApplyLayout();
      return 0;
    }
    case WM_CLOSE:
      // While a routine runs inside a click handler the window must outlive it: ask, and on
      // yes let the routine stop its transfer and end at its next step; the handler then
      // closes the window.
      if (form_->RotinaEmAndamento()) {
        // Nobody is there to answer an unattended run's question (a deployment tool closing
        // it, or the system shutting down): it stops.
        if (silencioso_) {
          platform::Log("Pedido de fechamento da janela durante a instalação.");
          form_->Cancela();
          return 0;
        }
        if (!closing_prompt_ && !form_->Cancelado()) {
          closing_prompt_ = true;
          const int answer = MessageBoxW(
              window,
              L"A instalação está em andamento. Deseja interrompê-la e fechar o instalador?\r"
              L"O que já foi instalado permanece no computador.",
              L"Atenção", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
          closing_prompt_ = false;
          if (answer == IDYES) form_->Cancela();
        }
        return 0;
      }
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      // Destroyed by the close control or Quit(): the window is gone, and so is the loop.
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_.Release();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace vlt::app
