#include "platform/message_box.h"

#include <windows.h>

namespace platform {

namespace {

MsgBoxHandler& Handler() {
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

}  // namespace

void SetMsgBoxHandler(MsgBoxHandler handler) { Handler() = std::move(handler); }

MsgResult MsgBox(std::wstring_view text, MsgIcon icon, std::wstring_view title, MsgButtons buttons) {
  MsgBoxCall call{std::wstring(text), std::wstring(title), icon, buttons};
  if (Handler()) return Handler()(call);
  // Owned by the active window so that it is modal to the window it answers.
  const UINT buttonFlag = buttons == MsgButtons::YesNo ? MB_YESNO : buttons == MsgButtons::YesNoCancel ? MB_YESNOCANCEL : MB_OK;
  const UINT flags = IconFlag(icon) | buttonFlag | MB_SETFOREGROUND;
  const int pressed = MessageBoxW(GetActiveWindow(), call.text.c_str(), call.title.c_str(), flags);
  if (buttons == MsgButtons::Ok) return MsgResult::Ok;
  if (pressed == IDCANCEL && buttons == MsgButtons::YesNoCancel) return MsgResult::Cancel;
  return pressed == IDYES ? MsgResult::Yes : MsgResult::No;
}

}  // namespace platform
