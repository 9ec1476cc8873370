// Reads a tweak page's floor from the page itself; only the timers that run
// Korvane's code link this.
#include "floor_page.h"

#include <commctrl.h>

#include "ui/controls.h"

namespace bench {

namespace {

std::wstring WindowText(HWND hwnd) {
  wchar_t text[1024] = L"";
  GetWindowTextW(hwnd, text, 1024);
  return text;
}

}  // namespace

FloorPage Snapshot(const platform::Form& form, std::span<const platform::TweakBinding> table, COLORREF backColor) {
  FloorPage page;
  page.caption = form.Caption();
  page.style = static_cast<DWORD>(GetWindowLongPtrW(form.Hwnd(), GWL_STYLE)) & ~WS_VISIBLE;
  RECT client;
  GetClientRect(form.Hwnd(), &client);
  page.client = {client.right, client.bottom};
  page.backColor = backColor;
  if (const HMENU menu = GetMenu(form.Hwnd())) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      wchar_t text[256] = L"";
      GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
      FloorMenu popup{text, {}};
      const HMENU sub = GetSubMenu(menu, i);
      for (int j = 0; j < GetMenuItemCount(sub); ++j) {
        GetMenuStringW(sub, static_cast<UINT>(j), text, 256, MF_BYPOSITION);
        popup.entries.emplace_back(text);
      }
      page.menu.push_back(std::move(popup));
    }
  }
  for (const platform::Control* control : form.Controls()) {
    const HWND hwnd = control->Hwnd();
    FloorControl made;
    wchar_t className[64] = L"";
    GetClassNameW(hwnd, className, 64);
    made.className = className;
    made.style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    made.exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    if (made.className == L"KorvanePicture") {  // drawn by the floor's own procedure
      made.className = L"STATIC";
      made.style = (made.style & ~0xFFFFu) | SS_OWNERDRAW;
    }
    GetWindowRect(hwnd, &made.place);
    MapWindowPoints(HWND_DESKTOP, form.Hwnd(), reinterpret_cast<POINT*>(&made.place), 2);
    made.text = WindowText(hwnd);
    if (const auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0))) {
      GetObjectW(font, sizeof made.font, &made.font);
    }
    made.textColor = control->TextColor();
    made.backColor = control->BackColor();
    made.toolTip = control->ToolTip();
    if (made.className == L"ComboBox") {
      const int count = static_cast<int>(SendMessageW(hwnd, CB_GETCOUNT, 0, 0));
      for (int i = 0; i < count; ++i) {
        wchar_t item[256] = L"";
        SendMessageW(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        made.items.emplace_back(item);
      }
    }
    for (const auto& binding : table) {
      if (control->Name() != binding.control) continue;
      const platform::LoadRule& rule = binding.load;
      made.loads = true;
      made.load = {rule.root, rule.key, rule.name, rule.numeric, rule.number, rule.text};
    }
    page.controls.push_back(std::move(made));
  }
  return page;
}

}  // namespace bench
