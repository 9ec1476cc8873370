#include "system/message_box.h"

#include <windows.h>

#include <vector>

#include "ui/form.h"

namespace platform {

namespace {

MsgBoxHandler& InstalledMsgBoxHandler() {
  static MsgBoxHandler handler;
  return handler;
}

UINT IconFlag(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Information:
      return MB_ICONINFORMATION;
    case MsgIcon::Exclamation:
      return MB_ICONEXCLAMATION;
    case MsgIcon::Critical:
      return MB_ICONERROR;
  }
  return 0;
}

UINT ButtonsFlag(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return MB_OK;
    case MsgButtons::YesNo:
      return MB_YESNO;
    case MsgButtons::YesNoCancel:
      return MB_YESNOCANCEL;
  }
  return MB_OK;
}

// The program's windows that take input now, frontmost first.
std::vector<HWND> EnabledForms() {
  std::vector<HWND> forms;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM list) {
        if (Form::FromHwnd(hwnd) && IsWindowEnabled(hwnd)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&forms));
  return forms;
}

// While a message box waits, every window of the program is held, not only the
// box's owner: a window closed meanwhile would end the program under the
// handler that is waiting for the answer.
class ProgramHold {
 public:
  ProgramHold() : held_(EnabledForms()) {
    owner_ = GetActiveWindow();
    if (!owner_) {
      for (HWND hwnd : held_) {
        if (IsWindowVisible(hwnd)) {
          owner_ = hwnd;
          break;
        }
      }
    }
    // The system's box disables its owner itself and gives it back the activation when it closes.
    for (HWND hwnd : held_) {
      if (hwnd != owner_) EnableWindow(hwnd, FALSE);
    }
  }
  ProgramHold(const ProgramHold&) = delete;
  ProgramHold& operator=(const ProgramHold&) = delete;
  ~ProgramHold() {
    for (HWND hwnd : held_) {
      if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
    }
  }
  HWND Owner() const { return owner_; }

 private:
  std::vector<HWND> held_;
  HWND owner_ = nullptr;
};

MsgResult ShowSystemBox(const MsgBoxCall& call, HWND owner) {
  const UINT flags = IconFlag(call.icon) | ButtonsFlag(call.buttons) | MB_SETFOREGROUND;
  const int pressed = MessageBoxW(owner, call.text.c_str(), call.title.c_str(), flags);
  if (call.buttons == MsgButtons::Ok) return MsgResult::Ok;
  if (pressed == IDYES) return MsgResult::Yes;
  if (pressed == IDNO) return MsgResult::No;
  return call.buttons == MsgButtons::YesNoCancel ? MsgResult::Cancel : MsgResult::No;
}

// A replaced box holds the owner too, as the system's does, and leaves the focus where it was.
MsgResult AskHandler(const MsgBoxCall& call, HWND owner) {
  const HWND focus = GetFocus();
  const bool ownerEnabled = owner && IsWindowEnabled(owner);
  if (ownerEnabled) EnableWindow(owner, FALSE);
  const MsgResult result = InstalledMsgBoxHandler()(call);
  if (ownerEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (focus && IsWindow(focus) && !GetFocus()) SetFocus(focus);
  return result;
}

}  // namespace

void SetMsgBoxHandler(MsgBoxHandler handler) { InstalledMsgBoxHandler() = std::move(handler); }

MsgResult MsgBox(std::wstring_view text, MsgIcon icon, std::wstring_view title, MsgButtons buttons) {
  const MsgBoxCall call{std::wstring(text), std::wstring(title), icon, buttons};
  const ProgramHold hold;
  return InstalledMsgBoxHandler() ? AskHandler(call, hold.Owner()) : ShowSystemBox(call, hold.Owner());
}

}  // namespace platform
