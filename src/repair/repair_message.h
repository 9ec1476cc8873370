// A line a repair tells the user: the window shows it in a message box, the
// command line prints it. Written once, here in the repairs.
#pragma once

#include <span>

#include "system/app.h"
#include "system/message_box.h"

namespace repair {

struct Message {
  const wchar_t* text;
  platform::MsgIcon icon;
  const wchar_t* title = platform::kAppTitle;
};

// Shows the lines one message box after another.
inline void ShowMessages(std::span<const Message> messages) {
  for (const Message& message : messages) platform::MsgBox(message.text, message.icon, message.title);
}

}  // namespace repair
