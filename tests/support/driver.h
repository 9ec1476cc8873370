// Drives a running korvane.exe from outside, the way a person uses it: finds
// windows by their titles and controls by their captions (a text box by the
// label beside it), clicks, types, reads and answers message boxes. It talks
// to the process only through Win32 messages; nothing of Korvane is linked in.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

inline constexpr DWORD kWaitMs = 8000;  // a loaded machine under Wine is slow, but never this slow

struct ShownBox {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring text;
};

// The visible child windows of a window, in z-order (creation order).
std::vector<HWND> VisibleChildren(HWND window);
std::wstring ClassOf(HWND hwnd);
// A control's text as it shows now (WM_GETTEXT, answered across processes).
std::wstring TextOf(HWND hwnd);
// A caption as read: "&Yes" reads "Yes".
std::wstring WithoutMnemonics(const std::wstring& caption);

// A visible control with exactly this caption; nullptr if none.
HWND FindControl(HWND window, const std::wstring& caption);
// The text box that a label names: the one following it in z-order, else the
// nearest one beside (right of) or below it.
HWND FindTextBoxAfterLabel(HWND window, const std::wstring& label);
// The control with this caption on the same row as the label ("Fix" beside
// "Fix Task Manager inaccessibility").
HWND FindInRow(HWND window, const std::wstring& label, const std::wstring& caption);
HWND FindTextBox(HWND window);  // the one text box of a small window
bool IsChecked(HWND checkBox);

// One korvane.exe process, started in the build folder next to the tests.
class Korvane {
 public:
  Korvane();
  // Started from exactly this command line, as Explorer would start a registered command.
  explicit Korvane(const std::wstring& commandLine);
  ~Korvane();
  Korvane(const Korvane&) = delete;
  Korvane& operator=(const Korvane&) = delete;

  static std::wstring ExePath();
  bool Started() const { return process_.hProcess != nullptr; }
  DWORD Pid() const { return process_.dwProcessId; }
  bool Running() const;
  bool WaitForExit(DWORD timeoutMs = kWaitMs);
  DWORD ExitCode() const;  // STILL_ACTIVE while it runs

  // A visible top-level window of this process with exactly this title.
  HWND FindWindowTitled(const std::wstring& title) const;
  HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs = kWaitMs) const;
  bool WaitHidden(HWND window, DWORD timeoutMs = kWaitMs) const;
  // The tool tip a control of this program shows, as a person reads it when hovering.
  std::wstring ToolTipOf(HWND control) const;
  // The splash: a visible window of ours that shows "Loading...".
  HWND FindSplash() const;

  std::optional<ShownBox> CurrentMessageBox() const;
  std::optional<ShownBox> WaitForMessageBox(DWORD timeoutMs = kWaitMs);
  // Presses the box's button with that caption and waits for the box to go.
  bool Answer(const ShownBox& box, const std::wstring& button);
  // Reads and OKs every box that follows, until the action is done; their texts as "title: text".
  std::vector<std::wstring> OkAll(DWORD timeoutMs = kWaitMs);

  // Each action returns when Korvane has handled it, or when it asks something in a message box.
  void Click(HWND control, bool settle = true);  // a button or check box (BM_CLICK)
  void ClickLabel(HWND label);    // the mouse button down and up on a label
  void ClickInto(HWND textBox);   // the same, into a text box
  void Type(HWND textBox, const std::wstring& text);  // one WM_CHAR per character
  void ClearAndType(HWND textBox, const std::wstring& text);
  void Choose(HWND comboBox, const std::wstring& item);  // picks a drop-down list's item
  void PressKey(HWND window, WORD key);  // a key the window's accelerators see (no modifiers)
  // The menu bar's entry at these positions (Tools is menu 0, Preferences its entry 0).
  void Menu(HWND window, int menuPosition, int entryPosition);
  void CloseWindow(HWND window);  // the title bar's close button
  // Waits for the last action to finish or to show a message box; false on time-out.
  bool Settle(DWORD timeoutMs = kWaitMs);
  void Kill();

 private:
  void SendAsync(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void JoinPending();

  PROCESS_INFORMATION process_{};
  std::thread pending_;
  std::atomic<bool> pendingDone_{true};
};

}  // namespace testing_support
