// Waiting for timers and pressing shortcuts, for the shell's tests.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/form.h"
#include "support/ui_helpers.h"

namespace testing_support {

// Handles messages as they come until the condition holds; false on time-out.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
  return true;
}

inline void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

// A key pressed in the active window, through the message loop's accelerator
// handling, with Ctrl held or not.
inline void PressShortcut(const platform::Form& form, WORD key, bool ctrl) {
  BYTE saved[256];
  GetKeyboardState(saved);
  BYTE held[256];
  CopyMemory(held, saved, sizeof held);
  held[VK_CONTROL] = ctrl ? 0x80 : 0;
  held[VK_LCONTROL] = held[VK_CONTROL];
  SetKeyboardState(held);
  PostMessageW(form.Hwnd(), WM_KEYDOWN, key, 1);
  Pump();
  SetKeyboardState(saved);
}

// A press and release of the left mouse button over a label.
inline void ClickLabel(const platform::Control& label) {
  SendMessageW(label.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(label.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  Pump();
}

}  // namespace testing_support
