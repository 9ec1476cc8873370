// Every message box of the program goes through MsgBox, so that tests can
// see each one and answer it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "system/app.h"

namespace platform {

enum class MsgIcon { Information, Exclamation, Critical };
enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgResult { Ok, Yes, No, Cancel };

struct MsgBoxCall {
  std::wstring text;
  std::wstring title;
  MsgIcon icon;
  MsgButtons buttons;
};

MsgResult MsgBox(std::wstring_view text, MsgIcon icon, std::wstring_view title = kAppTitle,
                 MsgButtons buttons = MsgButtons::Ok);

// Replaces the real message box; an empty function restores it.
using MsgBoxHandler = std::function<MsgResult(const MsgBoxCall&)>;
void SetMsgBoxHandler(MsgBoxHandler handler);

}  // namespace platform
