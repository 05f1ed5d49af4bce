#pragma once
// What the wizard logic, the installation routines and the progress handlers need of the
// window. The real window (app/) and the scripted test view implement it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "installer/wizard_layout.h"

namespace vlt {

// One field of a dialog: its label ("Usuário:"), what it shows at first, and whether what is
// typed is hidden.
struct FieldRequest {
  std::string label;
  std::string value;
  bool secret = false;
};

class WizardView {
 public:
  virtual ~WizardView() = default;

  virtual void ShowPage(Page page) = 0;
  virtual std::string GetText(Control edit) = 0;
  virtual void SetText(Control control, const std::string& text) = 0;
  virtual void SetVisible(Control control, bool visible) = 0;
  virtual void SetEnabled(Control button, bool enabled) = 0;
  virtual void Focus(Control edit) = 0;
  virtual int SelectedIndex(Control list) = 0;
  // Selects an item as the program's choice; the list's change handler is not run by it.
  virtual void SetSelectedIndex(Control list, int index) = 0;
  // Modal box with the warning icon and one OK button, owned by the wizard window.
  virtual void WarningBox(const std::string& text, const std::string& title) = 0;
  // Modal box with the application's title and one OK button.
  virtual void InformationBox(const std::string& text) = 0;
  // The chosen folder's full path, or nothing when the operator cancelled.
  virtual std::optional<std::string> PickFolder(const std::string& title,
                                                const std::string& ok_label,
                                                const std::string& start_folder) = 0;
  // Handles every pending window event, then returns.
  virtual void PumpEvents() = 0;
  // A modal dialog of labelled fields under a text, with OK and "Cancelar": the values typed,
  // or nothing when it is cancelled (or nobody can answer).
  virtual std::optional<std::vector<std::string>> AskFields(
      const std::string& title, const std::string& text,
      const std::vector<FieldRequest>& fields) = 0;
  // Holds the routine for `ms` milliseconds while the window repaints and answers the system;
  // what the operator types or clicks meanwhile waits until after, as in a plain pause.
  virtual void Wait(int ms) = 0;
  // The gauge's range and position are 64-bit: packages above 2 GiB show their progress.
  virtual void SetGaugeMax(Control gauge, std::int64_t value) = 0;
  // Clamped to the range from 0 to the gauge's maximum.
  virtual void SetGaugeProgress(Control gauge, std::int64_t value) = 0;
  // Ends the event loop and with it the program.
  virtual void Quit() = 0;
};

}  // namespace vlt
