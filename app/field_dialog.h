#pragma once
// A small modal dialog of labelled text fields with OK and "Cancelar": the proxy's login prompt
// and the proxy settings of the first page. Built in memory, so it needs no resource script.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "installer/wizard_view.h"

namespace vlt::app {

// The fields' values when the operator presses OK (or Enter), nothing when the dialog is
// cancelled. `text` is shown above the fields, on up to three lines.
std::optional<std::vector<std::string>> AskFields(HWND owner, const std::string& title,
                                                  const std::string& text,
                                                  const std::vector<FieldRequest>& fields);

}  // namespace vlt::app
