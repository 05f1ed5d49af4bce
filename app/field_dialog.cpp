#include "app/field_dialog.h"

#include <cstdint>

#include "platform/win_text.h"

namespace vlt::app {

using platform::Narrow;
using platform::Widen;

namespace {

constexpr WORD kButtonClass = 0x0080, kEditClass = 0x0081, kStaticClass = 0x0082;
constexpr WORD kFirstEdit = 100;

// A DLGTEMPLATE and its items, laid out as DialogBoxIndirectParamW reads them: each item
// starts on a DWORD boundary, strings are NUL-terminated UTF-16.
class DialogTemplate {
 public:
  DialogTemplate(const std::wstring& title, short cx, short cy) {
    Dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    Dword(0);
    count_at_ = words_.size();
    words_.push_back(0);
    for (const short v : {short(0), short(0), cx, cy}) words_.push_back(static_cast<WORD>(v));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    Text(title);
    words_.push_back(9);  // points
    Text(L"MS Shell Dlg");
  }
  void Add(WORD id, WORD window_class, DWORD style, short x, short y, short cx, short cy,
           const std::wstring& text) {
    if (words_.size() % 2 != 0) words_.push_back(0);
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    for (const short v : {x, y, cx, cy}) words_.push_back(static_cast<WORD>(v));
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(window_class);
    Text(text);
    words_.push_back(0);  // no creation data
    ++words_[count_at_];
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Dword(DWORD v) {
    words_.push_back(static_cast<WORD>(v & 0xFFFF));
    words_.push_back(static_cast<WORD>(v >> 16));
  }
  void Text(const std::wstring& s) {
    words_.insert(words_.end(), s.begin(), s.end());
    words_.push_back(0);
  }
  std::vector<WORD> words_;  // new[] storage: aligned for the DWORDs
  size_t count_at_ = 0;
};

struct DialogState {
  const std::vector<FieldRequest>* fields;
  std::vector<std::string> values;
};

std::string EditText(HWND dialog, int id) {
  const HWND edit = GetDlgItem(dialog, id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
  std::string value = Narrow(text);
  SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));  // a password, perhaps
  return value;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      return TRUE;  // the focus goes to the first field
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK && state != nullptr) {
        for (size_t i = 0; i < state->fields->size(); ++i)
          state->values.push_back(EditText(dialog, kFirstEdit + static_cast<int>(i)));
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

std::optional<std::vector<std::string>> AskFields(HWND owner, const std::string& title,
                                                  const std::string& text,
                                                  const std::vector<FieldRequest>& fields) {
  // Dialog units: the text on top, one row per field, the buttons at the bottom right.
  constexpr short kWidth = 240, kMargin = 7, kRow = 18, kLabel = 70, kTextHeight = 30;
  const short height = static_cast<short>(kMargin + kTextHeight + kRow * fields.size() + 28);
  DialogTemplate t(Widen(title), kWidth, height);
  t.Add(static_cast<WORD>(-1), kStaticClass, SS_LEFT, kMargin, kMargin, kWidth - 2 * kMargin,
        kTextHeight - 4, Widen(text));
  short y = kMargin + kTextHeight;
  for (size_t i = 0; i < fields.size(); ++i, y += kRow) {
    t.Add(static_cast<WORD>(-1), kStaticClass, SS_LEFT, kMargin, y + 2, kLabel, 10,
          Widen(fields[i].label));
    t.Add(static_cast<WORD>(kFirstEdit + i), kEditClass,
          WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | (fields[i].secret ? ES_PASSWORD : 0),
          kMargin + kLabel, y, kWidth - 2 * kMargin - kLabel, 12, Widen(fields[i].value));
  }
  y += 4;
  t.Add(IDOK, kButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP, kWidth - kMargin - 2 * 50 - 4, y, 50, 14,
        L"OK");
  t.Add(IDCANCEL, kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, kWidth - kMargin - 50, y, 50, 14,
        L"Cancelar");
  DialogState state{&fields, {}};
  const INT_PTR answer = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner,
                                                 DialogProc, reinterpret_cast<LPARAM>(&state));
  if (answer != IDOK) return std::nullopt;
  return state.values;
}

}  // namespace vlt::app
