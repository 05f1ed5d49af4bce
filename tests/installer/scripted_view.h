#pragma once
// A WizardView without a window: it keeps the state the real window would show and records
// the boxes and pickers the logic asks for.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "installer/wizard_view.h"

namespace vlt::test {

class ScriptedView : public WizardView {
 public:
  ScriptedView() {
    for (const ControlLayout& c : WizardLayout()) {
      text[c.id] = std::string(c.text);
      visible[c.id] = c.visible;
      enabled[c.id] = true;
    }
    text[Control::cbbTipoInstall].clear();
  }

  void ShowPage(Page p) override { page = p; }
  std::string GetText(Control c) override { return text[c]; }
  void SetText(Control c, const std::string& t) override { text[c] = t; }
  void SetVisible(Control c, bool v) override { visible[c] = v; }
  void SetEnabled(Control c, bool e) override { enabled[c] = e; }
  void Focus(Control c) override { focused = c; }
  int SelectedIndex(Control) override { return selected; }
  void WarningBox(const std::string& t, const std::string& title) override {
    warnings.push_back({t, title});
  }
  void InformationBox(const std::string& t) override { information.push_back(t); }
  std::optional<std::string> PickFolder(const std::string& title, const std::string& ok,
                                        const std::string& start) override {
    pickers.push_back({title, ok, start});
    return picker_answer;
  }
  void PumpEvents() override {
    ++pumps;
    if (on_pump) on_pump();
  }
  void SetGaugeMax(Control c, int v) override { gauge_max[c] = v; }
  void SetGaugeProgress(Control c, int v) override { gauge_progress[c] = v; }
  void Quit() override { quit = true; }

  struct Box {
    std::string text, title;
  };
  struct Picker {
    std::string title, ok_label, start_folder;
  };

  std::optional<Page> page;
  std::map<Control, std::string> text;
  std::map<Control, bool> visible, enabled;
  std::map<Control, int> gauge_max, gauge_progress;
  Control focused = Control::None;
  int selected = 0;
  std::vector<Box> warnings;
  std::vector<std::string> information;
  std::vector<Picker> pickers;
  std::optional<std::string> picker_answer;  // what the operator picks; nothing = cancel
  int pumps = 0;
  std::function<void()> on_pump;  // what the operator does while events are pumped
  bool quit = false;
};

}  // namespace vlt::test
