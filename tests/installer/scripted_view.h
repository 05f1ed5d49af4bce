#pragma once
// A WizardView without a window: it keeps the state the real window would show and records
// the boxes and pickers the logic asks for.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "installer/wizard_view.h"
#include "platform/clock.h"

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
  void SetText(Control c, const std::string& t) override {
    text[c] = t;
    text_log.push_back({c, t});
  }
  // The texts one control was given, in order.
  std::vector<std::string> TextsOf(Control c) const {
    std::vector<std::string> out;
    for (const auto& [control, t] : text_log)
      if (control == c) out.push_back(t);
    return out;
  }
  void SetVisible(Control c, bool v) override { visible[c] = v; }
  void SetEnabled(Control c, bool e) override { enabled[c] = e; }
  void Focus(Control c) override { focused = c; }
  int SelectedIndex(Control) override { return selected; }
  void SetSelectedIndex(Control, int index) override { selected = index; }
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
  std::optional<std::vector<std::string>> AskFields(
      const std::string& title, const std::string& text,
      const std::vector<FieldRequest>& fields) override {
    dialogs.push_back({title, text, fields});
    if (dialog_answers.empty()) return std::nullopt;
    std::vector<std::string> answer = dialog_answers.front();
    dialog_answers.erase(dialog_answers.begin());
    return answer;
  }
  void Wait(int ms) override {
    waits.push_back(ms);
    platform::SleepMs(ms);  // the test's clock
  }
  void SetGaugeMax(Control c, std::int64_t v) override { gauge_max[c] = v; }
  void SetGaugeProgress(Control c, std::int64_t v) override {
    const std::int64_t max = gauge_max.contains(c) ? gauge_max[c] : 100;
    gauge_progress[c] = std::clamp<std::int64_t>(v, 0, max);
  }
  void Quit() override { quit = true; }

  struct Box {
    std::string text, title;
  };
  struct Picker {
    std::string title, ok_label, start_folder;
  };

  std::optional<Page> page;
  std::map<Control, std::string> text;
  std::vector<std::pair<Control, std::string>> text_log;
  std::map<Control, bool> visible, enabled;
  std::map<Control, std::int64_t> gauge_max, gauge_progress;
  Control focused = Control::None;
  int selected = 0;
  std::vector<Box> warnings;
  std::vector<std::string> information;
  std::vector<Picker> pickers;
  std::optional<std::string> picker_answer;  // what the operator picks; nothing = cancel
  int pumps = 0;
  std::vector<int> waits;         // the routine's pauses, in order
  std::function<void()> on_pump;  // what the operator does while events are pumped
  bool quit = false;
  struct Dialog {
    std::string title, text;
    std::vector<FieldRequest> fields;
  };
  std::vector<Dialog> dialogs;
  std::vector<std::vector<std::string>> dialog_answers;  // in order; none left = cancel
};

}  // namespace vlt::test
