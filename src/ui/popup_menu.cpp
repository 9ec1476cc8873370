#include "ui/popup_menu.h"

#include <cstring>

namespace platform {

namespace {

PopupMenuHandler& Handler() {
  static PopupMenuHandler handler;
  return handler;
}

int Choose(HWND owner, POINT screen, const std::vector<PopupEntry>& entries) {
  if (Handler()) return Handler()(entries);
  const HMENU menu = CreatePopupMenu();
  if (!menu) return -1;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PopupEntry& entry = entries[i];
    if (entry.caption.empty()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    AppendMenuW(menu, MF_STRING | (entry.enabled ? 0 : MF_GRAYED), i + 1, entry.caption.c_str());
    if (entry.isDefault) SetMenuDefaultItem(menu, static_cast<UINT>(i + 1), FALSE);
  }
  // The command comes back here instead of as WM_COMMAND, whose ids belong to the window's controls.
  const int chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, owner,
                                      nullptr);
  DestroyMenu(menu);
  return chosen - 1;
}

}  // namespace

void SetPopupMenuHandler(PopupMenuHandler handler) { Handler() = std::move(handler); }

void PopupMenu(HWND owner, POINT screen, const std::vector<PopupEntry>& entries) {
  const int chosen = Choose(owner, screen, entries);
  if (chosen < 0 || static_cast<std::size_t>(chosen) >= entries.size()) return;
  const PopupEntry& entry = entries[static_cast<std::size_t>(chosen)];
  if (entry.enabled && entry.run) entry.run();
}

bool CopyText(HWND owner, std::wstring_view text) {
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  bool placed = false;
  // The clipboard owns the memory once SetClipboardData has taken it.
  if (const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (auto* copy = static_cast<wchar_t*>(GlobalLock(memory))) {
      std::memcpy(copy, text.data(), text.size() * sizeof(wchar_t));
      copy[text.size()] = L'\0';
      GlobalUnlock(memory);
      placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    // A refused SetClipboardData leaves the memory ours to free.
    // cppcheck-suppress doubleFree
    if (!placed) GlobalFree(memory);
  }
  CloseClipboard();
  return placed;
}

}  // namespace platform
