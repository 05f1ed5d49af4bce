#pragma once
// The wizard window: builds its controls from the wizard layout, shows one page at a time and
// routes clicks to the wizard logic. Implements WizardView for the logic and the routines.
#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/wizard_controls.h"
#include "installer/codigos_saida.h"
#include "installer/plano.h"
#include "installer/principal.h"
#include "installer/system_ops.h"
#include "installer/wizard_view.h"
#include "platform/win_handle.h"

namespace vlt::app {

inline constexpr const wchar_t* kApplicationTitle = L"InstaladorVeltra";
inline constexpr const char* kCaption = "Veltra Sistemas | Instalador";

class MainWindow final : public WizardView {
 public:
  MainWindow();
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls (runs FormCreate); Show() puts it on screen, centred
  // the first time. An unattended window asks nothing of anyone: its boxes go to the log only,
  // and closing it stops the installation without a question.
  void Create(bool silencioso = false);
  void Show(int show_command = SW_SHOW);
  // Runs the event loop until Quit(); returns the exit code.
  int Run();
  // Runs an unattended installation of `plano` on its product's page, start to end, without the
  // event loop's help: nothing waits for a person. Returns how it ended.
  Desfecho RunSilent(const PlanoInstalacao& plano);

  HWND Handle() const { return window_.Get(); }
  HWND ControlHandle(Control id) const;
  TfrmPrincipal& Form() { return *form_; }
  // Page whose controls are on screen.
  Page CurrentPage() const { return page_; }
  // Whether the control is shown (its page, its own flag and its panel's flag).
  bool EffectivelyVisible(Control id) const;

  // WizardView
  void ShowPage(Page page) override;
  std::string GetText(Control edit) override;
  void SetText(Control control, const std::string& text) override;
  void SetVisible(Control control, bool visible) override;
  void SetEnabled(Control button, bool enabled) override;
  void Focus(Control edit) override;
  int SelectedIndex(Control list) override;
  void SetSelectedIndex(Control list, int index) override;
  void WarningBox(const std::string& text, const std::string& title) override;
  void InformationBox(const std::string& text) override;
  std::optional<std::string> PickFolder(const std::string& title, const std::string& ok_label,
                                        const std::string& start_folder) override;
  void PumpEvents() override;
  std::optional<std::vector<std::string>> AskFields(
      const std::string& title, const std::string& text,
      const std::vector<FieldRequest>& fields) override;
  void Wait(int ms) override;
  void SetGaugeMax(Control gauge, std::int64_t value) override;
  void SetGaugeProgress(Control gauge, std::int64_t value) override;
  void Quit() override;

  // Runs a handler; an exception that leaves it is shown in an error box and the program goes
  // on.
  void RunHandler(Control control);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void ApplyLayout();
  void UpdateVisibility();
  void Paint(HDC dc, const RECT& area);
  RECT Scaled(const ControlLayout& c) const;
  WizardControl* Find(Control id) const;
  bool DispatchDialogMessage(MSG& msg);
  // The control of ours that has the keyboard focus, if any.
  WizardControl* FocusedControl() const;
  // Keeps the focus on a control of the current page that can take it: after a page change,
  // when the focused control was hidden or disabled, and when the window is activated.
  void KeepFocusOnPage();
  // The button Enter presses now: the focused button, else the page's default button.
  WizardControl* EnterTarget() const;
  void UpdateDefaultLook();
  HBRUSH StaticColours(Control id, HDC dc);

  // Declared before the window: the fonts it uses outlive it.
  Theme theme_;
  bool shown_ = false;
  Page page_ = Page::tsHome;
  std::vector<std::unique_ptr<WizardControl>> controls_;  // in layout order
  std::map<Control, WizardControl*> by_id_;
  std::map<Control, bool> visible_;
  bool silencioso_ = false;
  std::unique_ptr<PlatformSystemOps> system_;
  std::unique_ptr<TfrmPrincipal> form_;
  platform::UniqueWindow window_;
  bool closing_prompt_ = false;  // the close question is on screen
  HWND focus_before_deactivation_ = nullptr;
};

}  // namespace vlt::app
