// Drives real controls in-process, the way the user's input reaches them.
#pragma once

#include <string>

#include "ui/controls.h"
#include "ui/form.h"

namespace testing_support {

void Pump();
// Ends every form as ending the program does, and takes away the quit message
// that leaves behind, so the next test's windows run.
void EndAllForms();
// The form loaded and shown as a person first sees it.
template <class F>
F& ShowForm() {
  auto& form = platform::Instance<F>();
  form.Show();
  Pump();
  return form;
}
// A mouse-free press: BM_CLICK, which raises the same notification a click does.
void Click(const platform::Control& control);
// Types each character as keyboard input (WM_CHAR), so key handlers see them.
void Type(const platform::Control& control, const std::wstring& text);
// Pastes text the way the clipboard would: one replacement of the selection.
void Paste(const platform::Control& control, const std::wstring& text);
void PressEnter(const platform::Control& control);
// Tab-key navigation as the message loop does it: returns the control focused after.
HWND TabFrom(platform::Form& form, const platform::Control& from, bool backwards = false);

}  // namespace testing_support
