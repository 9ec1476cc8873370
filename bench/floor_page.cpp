#include "floor_page.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <map>

#include "floor_window.h"
#include "ui/artwork.h"
#include "ui/controls.h"

namespace bench {

namespace {

constexpr int kFirstId = 100;
constexpr wchar_t kFloorClass[] = L"KorvaneFloorPage";

std::wstring WindowText(HWND hwnd) {
  wchar_t text[1024] = L"";
  GetWindowTextW(hwnd, text, 1024);
  return text;
}

// The open floor's state: one floor is open at a time.
struct Open {
  const FloorPage* page = nullptr;
  std::map<COLORREF, HBRUSH> brushes;
  std::vector<HFONT> fonts;
};
Open open;

HBRUSH Brush(COLORREF color) {
  HBRUSH& brush = open.brushes[color];
  if (!brush) brush = CreateSolidBrush(color);
  return brush;
}

const FloorControl* ControlOf(HWND child) {
  const int index = GetDlgCtrlID(child) - kFirstId;
  if (!open.page || index < 0 || index >= static_cast<int>(open.page->controls.size())) return nullptr;
  return &open.page->controls[static_cast<std::size_t>(index)];
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT: {
      const FloorControl* control = ControlOf(reinterpret_cast<HWND>(lParam));
      if (!control) break;
      const auto dc = reinterpret_cast<HDC>(wParam);
      if (msg == WM_CTLCOLOREDIT) {
        if (control->backColor == CLR_INVALID) break;
        SetBkColor(dc, control->backColor);
        return reinterpret_cast<LRESULT>(Brush(control->backColor));
      }
      SetTextColor(dc, control->textColor != CLR_INVALID ? control->textColor : GetSysColor(COLOR_WINDOWTEXT));
      COLORREF back = control->backColor;
      if (back == platform::kTransparent) SetBkMode(dc, TRANSPARENT);
      if (back == platform::kTransparent || back == CLR_INVALID) back = open.page->backColor;
      SetBkColor(dc, back);
      return reinterpret_cast<LRESULT>(Brush(back));
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      const FloorControl* control = ControlOf(item->hwndItem);
      if (!control) break;
      if (item->CtlType == ODT_STATIC) {
        platform::PaintLine(item->hDC, item->rcItem, platform::kTeal);
      } else {
        const HGDIOBJ old = SelectObject(item->hDC, reinterpret_cast<HFONT>(SendMessageW(item->hwndItem, WM_GETFONT, 0, 0)));
        platform::PaintButtonFace(item->hDC, item->rcItem, control->text, (item->itemState & ODS_SELECTED) != 0,
                                  (item->itemState & ODS_FOCUS) != 0);
        SelectObject(item->hDC, old);
      }
      return TRUE;
    }
    case WM_ERASEBKGND: {
      RECT rect;
      GetClientRect(hwnd, &rect);
      FillRect(reinterpret_cast<HDC>(wParam), &rect, Brush(open.page->backColor));
      return TRUE;
    }
    case WM_SETFOCUS:  // as a dialog does: the focus goes on to the first control
      if (const HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE)) SetFocus(first);
      return 0;
    case WM_DESTROY:
      for (auto& [color, brush] : open.brushes) DeleteObject(brush);
      open.brushes.clear();
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool Holds(const platform::LoadRule& rule) {
  BYTE data[512] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  DWORD type = 0;
  if (RegGetValueW(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(rule.root)), rule.key, rule.name,
                   RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data, &size) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring text = type == REG_DWORD ? std::to_wstring(*reinterpret_cast<const DWORD*>(data))
                                              : std::wstring(reinterpret_cast<const wchar_t*>(data));
  return rule.numeric ? text == std::to_wstring(rule.number) : text == rule.text;
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
      if (control->Name() == binding.control) made.load = &binding.load;
    }
    page.controls.push_back(std::move(made));
  }
  return page;
}

HWND OpenFloor(const FloorPage& page) {
  static bool registered = false;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!registered) {
    RegisterFloorClass(kFloorClass, &Proc);
    registered = true;
  }
  open.page = &page;
  HMENU menu = nullptr;
  if (!page.menu.empty()) {
    menu = CreateMenu();
    UINT id = 40000;
    for (const FloorMenu& popup : page.menu) {
      const HMENU sub = CreatePopupMenu();
      for (const std::wstring& entry : popup.entries) AppendMenuW(sub, MF_STRING, id++, entry.c_str());
      AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), popup.caption.c_str());
    }
  }
  const HWND hwnd = CreateWindowExW(0, kFloorClass, page.caption.c_str(), page.style, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, instance, nullptr);
  const UINT dpi = GetDpiForWindow(hwnd);
  CentreWindow(hwnd, page.client, page.style, menu != nullptr, dpi);

  std::vector<std::pair<LOGFONTW, HFONT>> fonts;
  HWND tips = nullptr;
  int id = kFirstId;
  for (const FloorControl& control : page.controls) {
    const RECT& at = control.place;
    int tall = at.bottom - at.top;
    if (control.className == L"ComboBox") tall *= static_cast<int>(control.items.size()) + 2;
    const HWND child = CreateWindowExW(control.exStyle, control.className.c_str(), control.text.c_str(), control.style,
                                       at.left, at.top, at.right - at.left, tall, hwnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
    HFONT font = nullptr;
    for (const auto& [logFont, made] : fonts) {
      if (memcmp(&logFont, &control.font, sizeof logFont) == 0) font = made;
    }
    if (!font) {
      font = CreateFontIndirectW(&control.font);
      fonts.emplace_back(control.font, font);
    }
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (const std::wstring& item : control.items) {
      SendMessageW(child, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    if (control.className == L"Button" && (control.style & BS_TYPEMASK) == BS_GROUPBOX) SetWindowTheme(child, L" ", L" ");
    if (!control.toolTip.empty()) {
      if (!tips) {
        tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, instance,
                               nullptr);
        SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, MulDiv(6000, static_cast<int>(dpi), 1440));
        SendMessageW(tips, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
      }
      TTTOOLINFOW tool{};
      tool.cbSize = sizeof tool;
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = hwnd;
      tool.uId = reinterpret_cast<UINT_PTR>(child);
      tool.lpszText = const_cast<wchar_t*>(control.toolTip.c_str());
      SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    if (control.load && Holds(*control.load)) SendMessageW(child, BM_SETCHECK, BST_CHECKED, 0);
  }
  open.fonts.clear();
  for (const auto& [logFont, font] : fonts) open.fonts.push_back(font);
  ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

void CloseFloor(HWND hwnd) {
  DestroyWindow(hwnd);
  for (const HFONT font : open.fonts) DeleteObject(font);
  open.fonts.clear();
  open.page = nullptr;
}

}  // namespace bench
