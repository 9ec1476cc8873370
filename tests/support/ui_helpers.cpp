#include "support/ui_helpers.h"

namespace testing_support {

void Pump() { platform::PumpMessages(); }

void EndAllForms() {
  platform::Form::EndProgram();
  Pump();
}

void Click(const platform::Control& control) {
  SendMessageW(control.Hwnd(), BM_CLICK, 0, 0);
  Pump();
}

void Type(const platform::Control& control, const std::wstring& text) {
  SetFocus(control.Hwnd());
  for (wchar_t c : text) SendMessageW(control.Hwnd(), WM_CHAR, c, 1);
  Pump();
}

void Paste(const platform::Control& control, const std::wstring& text) {
  SetFocus(control.Hwnd());
  SendMessageW(control.Hwnd(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  Pump();
}

void PressEnter(const platform::Control& control) {
  SetFocus(control.Hwnd());
  MSG msg{control.Hwnd(), WM_KEYDOWN, VK_RETURN, 0x001C0001, 0, {}};
  const HWND top = GetAncestor(control.Hwnd(), GA_ROOT);
  if (!IsDialogMessageW(top, &msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  Pump();
}

HWND TabFrom(platform::Form& form, const platform::Control& from, bool backwards) {
  SetFocus(from.Hwnd());
  MSG msg{from.Hwnd(), WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {}};
  if (backwards) return GetNextDlgTabItem(form.Hwnd(), from.Hwnd(), TRUE);
  IsDialogMessageW(form.Hwnd(), &msg);
  Pump();
  return GetFocus();
}

}  // namespace testing_support
