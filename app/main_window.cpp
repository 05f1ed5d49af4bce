#include "app/main_window.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <stdexcept>

#include "app/glyphs.h"
#include "platform/win_text.h"

namespace vlt::app {
namespace {

using platform::Narrow;
using platform::Widen;

constexpr wchar_t kClassName[] = L"VeltraInstaladorWindow";
constexpr int kFirstControlId = 1000;

// The wizard's palette.
constexpr COLORREF kPageColour = RGB(255, 255, 255);
constexpr COLORREF kCardColour = RGB(245, 246, 248);
constexpr COLORREF kCardBorder = RGB(222, 226, 230);
constexpr COLORREF kHeaderColour = RGB(36, 41, 47);
constexpr COLORREF kAccent = RGB(255, 128, 0);
constexpr COLORREF kTitleText = RGB(31, 35, 40);
constexpr COLORREF kBodyText = RGB(87, 96, 106);
constexpr COLORREF kHeaderText = RGB(255, 255, 255);

int IdOf(Control c) {
  return kFirstControlId + static_cast<int>(c);
}
Control ControlOfId(int id) {
  return static_cast<Control>(id - kFirstControlId);
}

bool HasWindow(ControlKind kind) {
  switch (kind) {
    case ControlKind::Panel:
    case ControlKind::Header:
    case ControlKind::Picture:
    case ControlKind::FolderIcon:
      return false;
    default:
      return true;
  }
}

platform::UniqueGdiObject MakeFont(int height, int weight) {
  return platform::UniqueGdiObject(CreateFontW(
      -height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
      CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Segoe UI"));
}

}  // namespace

MainWindow::MainWindow() = default;

MainWindow::~MainWindow() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

void MainWindow::Create() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &MainWindow::WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // a second window reuses the class

  // A fixed-size tool window (small caption, no sizing) that still has a taskbar button.
  const DWORD ex_style = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  window_ =
      CreateWindowExW(ex_style, kClassName, Widen(kCaption).c_str(), style, CW_USEDEFAULT,
                      CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
  if (window_ == nullptr) throw std::runtime_error("Unable to create the wizard window");
  dpi_ = GetDpiForWindow(window_);
  if (dpi_ == 0) dpi_ = 96;
  RECT frame{0, 0, Scale(kClientWidth), Scale(kClientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  brush_page_ = platform::UniqueGdiObject(CreateSolidBrush(kPageColour));
  brush_card_ = platform::UniqueGdiObject(CreateSolidBrush(kCardColour));
  brush_header_ = platform::UniqueGdiObject(CreateSolidBrush(kHeaderColour));
  CreateFonts();
  CreateControls();
  ApplyLayout();

  system_ = std::make_unique<PlatformSystemOps>(*this);
  form_ = std::make_unique<TfrmPrincipal>(*this, *system_);
  form_->FormCreate();
}

void MainWindow::Show() {
  if (!shown_) {
    // Centred on the monitor the first time it shows.
    RECT r{};
    GetWindowRect(window_, &r);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &mi);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const RECT& work = mi.rcWork;
    SetWindowPos(window_, nullptr, work.left + (work.right - work.left - w) / 2,
                 work.top + (work.bottom - work.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    shown_ = true;
  }
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
}

int MainWindow::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchDialogMessage(msg);
  return static_cast<int>(msg.wParam);
}

bool MainWindow::DispatchDialogMessage(MSG& msg) {
  // Tab and the arrow keys move between the controls as in a dialog.
  if (window_ != nullptr && IsDialogMessageW(window_, &msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

void MainWindow::CreateFonts() {
  font_normal_ = MakeFont(Scale(15), FW_NORMAL);
  font_title_ = MakeFont(Scale(24), FW_SEMIBOLD);
  font_caption_ = MakeFont(Scale(19), FW_BOLD);
  font_button_ = MakeFont(Scale(15), FW_SEMIBOLD);
}

void MainWindow::CreateControls() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (const ControlLayout& c : WizardLayout()) {
    visible_[c.id] = c.visible;
    if (!HasWindow(c.kind)) continue;
    const DWORD center = c.align == TextAlign::Center;
    const wchar_t* cls = L"STATIC";
    DWORD style = WS_CHILD;
    DWORD ex_style = 0;
    switch (c.kind) {
      case ControlKind::Title:
      case ControlKind::Label:
      case ControlKind::Caption:
        style |= SS_NOPREFIX | SS_ENDELLIPSIS | (center ? SS_CENTER : SS_LEFT);
        break;
      case ControlKind::Button:
        cls = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case ControlKind::Edit:
        cls = L"EDIT";
        ex_style = WS_EX_CLIENTEDGE;
        style |= WS_TABSTOP | ES_AUTOHSCROLL | (center ? ES_CENTER : ES_LEFT);
        break;
      case ControlKind::DropDownList:
        cls = L"COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;  // a list, no free text
        break;
      case ControlKind::Gauge:
        cls = PROGRESS_CLASSW;
        break;
      default:  // the animated picture's placeholder
        break;
    }
    const std::wstring text = c.kind == ControlKind::DropDownList ? L"" : Widen(c.text);
    HWND h = CreateWindowExW(ex_style, cls, text.c_str(), style, 0, 0, 0, 0, window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(c.id))), instance,
                             nullptr);
    controls_[c.id] = h;
    if (c.kind == ControlKind::DropDownList) {
      std::string_view items = c.text;
      while (!items.empty()) {
        const size_t nl = items.find('\n');
        const std::wstring item = Widen(items.substr(0, nl));
        SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        items = nl == std::string_view::npos ? std::string_view() : items.substr(nl + 1);
      }
      SendMessageW(h, CB_SETCURSEL, 0, 0);
    }
    if (c.kind == ControlKind::Gauge) {
      // The gauge's stored settings: Min 0, Progress 80 (of the default maximum 100).
      SendMessageW(h, PBM_SETRANGE32, 0, 100);
      SendMessageW(h, PBM_SETPOS, 80, 0);
      SendMessageW(h, PBM_SETBARCOLOR, 0, kAccent);
      gauge_max_[c.id] = 100;
    }
  }
}

RECT MainWindow::Scaled(const ControlLayout& c) const {
  return RECT{Scale(c.x), Scale(c.y), Scale(c.x + c.width), Scale(c.y + c.height)};
}

void MainWindow::ApplyLayout() {
  for (const ControlLayout& c : WizardLayout()) {
    auto it = controls_.find(c.id);
    if (it == controls_.end()) continue;
    const RECT r = Scaled(c);
    MoveWindow(it->second, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    HGDIOBJ font = c.kind == ControlKind::Title     ? font_title_.Get()
                   : c.kind == ControlKind::Caption ? font_caption_.Get()
                   : c.kind == ControlKind::Button  ? font_button_.Get()
                                                    : font_normal_.Get();
    SendMessageW(it->second, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  UpdateVisibility();
  InvalidateRect(window_, nullptr, TRUE);
}

bool MainWindow::EffectivelyVisible(Control id) const {
  const ControlLayout& c = LayoutOf(id);
  if (c.page != page_ || !visible_.at(id)) return false;
  return c.parent == Control::None || visible_.at(c.parent);
}

void MainWindow::UpdateVisibility() {
  for (const auto& [id, h] : controls_) {
    const bool show = EffectivelyVisible(id);
    if ((IsWindowVisible(h) != FALSE) != show) ShowWindow(h, show ? SW_SHOWNA : SW_HIDE);
  }
  InvalidateRect(window_, nullptr, TRUE);
}

HWND MainWindow::ControlHandle(Control id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void MainWindow::ShowPage(Page page) {
  page_ = page;
  UpdateVisibility();
}

std::string MainWindow::GetText(Control edit) {
  HWND h = ControlHandle(edit);
  if (h == nullptr) return {};
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

void MainWindow::SetText(Control control, const std::string& text) {
  if (HWND h = ControlHandle(control)) {
    SetWindowTextW(h, Widen(text).c_str());
    InvalidateRect(h, nullptr, TRUE);
  }
}

void MainWindow::SetVisible(Control control, bool visible) {
  visible_[control] = visible;
  UpdateVisibility();
}

void MainWindow::SetEnabled(Control button, bool enabled) {
  if (HWND h = ControlHandle(button)) EnableWindow(h, enabled ? TRUE : FALSE);
}

void MainWindow::Focus(Control edit) {
  if (HWND h = ControlHandle(edit)) SetFocus(h);
}

int MainWindow::SelectedIndex(Control list) {
  HWND h = ControlHandle(list);
  return h == nullptr ? -1 : static_cast<int>(SendMessageW(h, CB_GETCURSEL, 0, 0));
}

void MainWindow::WarningBox(const std::string& text, const std::string& title) {
  MessageBoxW(window_, Widen(text).c_str(), Widen(title).c_str(), MB_OK | MB_ICONWARNING);
}

void MainWindow::InformationBox(const std::string& text) {
  MessageBoxW(window_, Widen(text).c_str(), kApplicationTitle, MB_OK);
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
  if (FAILED(dialog->Show(window_))) return std::nullopt;  // cancelled
  platform::ComPtr<IShellItem> result;
  if (FAILED(dialog->GetResult(result.Put()))) return std::nullopt;
  wchar_t* path = nullptr;
  if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || path == nullptr) {
    return std::nullopt;
  }
  std::string chosen = Narrow(path);
  CoTaskMemFree(path);
  return chosen;
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

void MainWindow::SetGaugeMax(Control gauge, int value) {
  gauge_max_[gauge] = value;
  if (HWND h = ControlHandle(gauge)) SendMessageW(h, PBM_SETRANGE32, 0, value);
}

void MainWindow::SetGaugeProgress(Control gauge, int value) {
  if (HWND h = ControlHandle(gauge)) SendMessageW(h, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void MainWindow::Quit() {
  DestroyWindow(window_);
}

void MainWindow::RunHandler(Control control) {
  try {
    form_->Dispatch(control);
  } catch (const std::exception& e) {
    MessageBoxW(window_, Widen(e.what()).c_str(), kApplicationTitle, MB_OK | MB_ICONSTOP);
  }
}

std::optional<Control> MainWindow::HitFolderIcon(POINT p) const {
  for (const ControlLayout& c : WizardLayout()) {
    if (c.kind != ControlKind::FolderIcon || !EffectivelyVisible(c.id)) continue;
    const RECT r = Scaled(c);
    if (PtInRect(&r, p)) return c.id;
  }
  return std::nullopt;
}

HBRUSH MainWindow::BackgroundFor(Control id, HDC dc) {
  const ControlLayout& c = LayoutOf(id);
  const ControlKind parent_kind =
      c.parent == Control::None ? ControlKind::Label : LayoutOf(c.parent).kind;
  SetBkMode(dc, OPAQUE);
  if (parent_kind == ControlKind::Header) {
    SetTextColor(dc, kHeaderText);
    SetBkColor(dc, kHeaderColour);
    return static_cast<HBRUSH>(brush_header_.Get());
  }
  SetTextColor(
      dc, c.kind == ControlKind::Title || c.kind == ControlKind::Caption ? kTitleText : kBodyText);
  if (parent_kind == ControlKind::Panel) {
    SetBkColor(dc, kCardColour);
    return static_cast<HBRUSH>(brush_card_.Get());
  }
  SetBkColor(dc, kPageColour);
  return static_cast<HBRUSH>(brush_page_.Get());
}

void MainWindow::Paint(HDC dc, const RECT& area) {
  FillRect(dc, &area, static_cast<HBRUSH>(brush_page_.Get()));
  for (const ControlLayout& c : WizardLayout()) {
    if (c.page != page_ || !EffectivelyVisible(c.id)) continue;
    const RECT r = Scaled(c);
    switch (c.kind) {
      case ControlKind::Panel:
        DrawCard(dc, r, kCardColour, kCardBorder, Scale(10));
        break;
      case ControlKind::Header:
        DrawHeader(dc, r, kHeaderColour, kAccent, Scale(3));
        break;
      case ControlKind::Picture:
        DrawGlyph(dc, r, c.glyph, kAccent);
        break;
      case ControlKind::FolderIcon:
        DrawFolder(dc, r);
        break;
      default:
        break;
    }
  }
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* self = static_cast<MainWindow*>(cs->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->window_ == nullptr) {
    return DefWindowProcW(window, message, wparam, lparam);
  }
  return self->Handle(message, wparam, lparam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      if (id < kFirstControlId) break;
      const Control control = ControlOfId(id);
      const ControlKind kind = LayoutOf(control).kind;
      if ((kind == ControlKind::Button && code == BN_CLICKED) ||
          (kind == ControlKind::DropDownList && code == CBN_SELCHANGE)) {
        RunHandler(control);
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      const POINT p{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      if (auto icon = HitFolderIcon(p)) RunHandler(*icon);
      return 0;
    }
    case WM_SETCURSOR: {
      POINT p;
      GetCursorPos(&p);
      ScreenToClient(window_, &p);
      if (LOWORD(lparam) == HTCLIENT && HitFolderIcon(p)) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLORSTATIC: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
      if (id >= kFirstControlId) {
        return reinterpret_cast<LRESULT>(
            BackgroundFor(ControlOfId(id), reinterpret_cast<HDC>(wparam)));
      }
      break;
    }
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers everything
    case WM_PAINT: {
      platform::PaintScope paint(window_);
      platform::DoubleBuffer buffer(paint.Dc(), paint.Area());
      Paint(buffer.Dc(), paint.Area());
      return 0;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wparam);
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      CreateFonts();
      ApplyLayout();
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

}  // namespace vlt::app
