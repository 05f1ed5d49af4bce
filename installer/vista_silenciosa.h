#pragma once
// The window of an unattended installation: the real window (or none) shows the status and the
// progress, but nothing waits for a person. A box is kept, not shown (the routines have already
// logged it and recorded what it means for the outcome), and the folder picker is never shown.
#include <string>
#include <vector>

#include "installer/wizard_view.h"

namespace vlt {

class VistaSilenciosa final : public WizardView {
 public:
  explicit VistaSilenciosa(WizardView& janela) : janela_(janela) {}

  // The boxes the routines would have shown, in order.
  const std::vector<std::string>& Caixas() const { return caixas_; }

  void ShowPage(Page page) override { janela_.ShowPage(page); }
  std::string GetText(Control edit) override { return janela_.GetText(edit); }
  void SetText(Control control, const std::string& text) override {
    janela_.SetText(control, text);
  }
  void SetVisible(Control control, bool visible) override { janela_.SetVisible(control, visible); }
  void SetEnabled(Control button, bool enabled) override { janela_.SetEnabled(button, enabled); }
  void Focus(Control edit) override { janela_.Focus(edit); }
  int SelectedIndex(Control list) override { return janela_.SelectedIndex(list); }
  void SetSelectedIndex(Control list, int index) override { janela_.SetSelectedIndex(list, index); }
  void WarningBox(const std::string& text, const std::string& title) override {
    caixas_.push_back(title + ": " + text);
  }
  void InformationBox(const std::string& text) override { caixas_.push_back(text); }
  std::optional<std::string> PickFolder(const std::string&, const std::string&,
                                        const std::string&) override {
    return std::nullopt;
  }
  void PumpEvents() override { janela_.PumpEvents(); }
  void Wait(int ms) override { janela_.Wait(ms); }
  void SetGaugeMax(Control gauge, std::int64_t value) override {
    janela_.SetGaugeMax(gauge, value);
  }
  void SetGaugeProgress(Control gauge, std::int64_t value) override {
    janela_.SetGaugeProgress(gauge, value);
  }
  void Quit() override { janela_.Quit(); }

 private:
  WizardView& janela_;
  std::vector<std::string> caixas_;
};

}  // namespace vlt
