// The shortcut menu a right-click, Shift+F10 or the menu key opens, and the
// clipboard its "Copy" entries fill. Every such menu goes through PopupMenu,
// so that tests can see each one and choose from it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct PopupEntry {
  std::wstring caption;  // with its access key, "Copy &Path"; empty for a separator
  std::function<void()> run;
  bool enabled = true;
  bool isDefault = false;  // shown bold: what a double-click does
};

// Shows the menu at this point of the screen and runs the entry chosen, if any.
void PopupMenu(HWND owner, POINT screen, const std::vector<PopupEntry>& entries);

// Replaces the real menu: answers with the index of the entry chosen, or -1
// for none. A disabled entry is never run. An empty function restores it.
using PopupMenuHandler = std::function<int(const std::vector<PopupEntry>& entries)>;
void SetPopupMenuHandler(PopupMenuHandler handler);

// Puts the text on the clipboard; false when another program holds it.
bool CopyText(HWND owner, std::wstring_view text);

}  // namespace platform
