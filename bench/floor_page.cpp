#include "floor_page.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <type_traits>

#include "floor_window.h"
#include "ui/artwork.h"
#include "ui/controls.h"

namespace bench {

namespace {

constexpr int kFirstId = 100;
constexpr wchar_t kFloorClass[] = L"KorvaneFloorPage";

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

bool Holds(const FloorLoad& rule) {
  BYTE data[512] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  DWORD type = 0;
  if (RegGetValueW(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(rule.root)), rule.key.c_str(), rule.name.c_str(),
                   RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data, &size) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring text = type == REG_DWORD ? std::to_wstring(*reinterpret_cast<const DWORD*>(data))
                                              : std::wstring(reinterpret_cast<const wchar_t*>(data));
  return rule.numeric ? text == std::to_wstring(rule.number) : text == rule.text;
}

// Writes or reads the floors' file, with one description of its layout for both.
struct Archive {
  bool reading = false;
  std::string bytes;
  std::size_t at = 0;
  bool whole = true;

  void Raw(void* data, std::size_t size) {
    if (!reading) {
      bytes.append(static_cast<const char*>(data), size);
    } else if (whole && bytes.size() - at >= size) {
      memcpy(data, bytes.data() + at, size);
      at += size;
    } else {
      whole = false;
    }
  }
  // A count read is never trusted beyond the bytes left.
  std::uint32_t Count(std::size_t count, std::size_t itemSize) {
    auto value = static_cast<std::uint32_t>(count);
    Raw(&value, sizeof value);
    if (reading && value > (bytes.size() - at) / itemSize) whole = false;
    return whole ? value : 0;
  }
  template <class T>
    requires std::is_trivially_copyable_v<T>
  void operator()(T& value) {
    Raw(&value, sizeof value);
  }
  void operator()(std::wstring& text) {
    text.resize(Count(text.size(), sizeof(wchar_t)));
    Raw(text.data(), text.size() * sizeof(wchar_t));
  }
  template <class T>
  void operator()(std::vector<T>& items) {
    items.resize(Count(items.size(), 1));
    for (T& item : items) (*this)(item);
  }
  void operator()(FloorLoad& load) { Fields(load.root, load.key, load.name, load.numeric, load.number, load.text); }
  void operator()(FloorMenu& menu) { Fields(menu.caption, menu.entries); }
  void operator()(FloorControl& c) {
    Fields(c.className, c.style, c.exStyle, c.place, c.text, c.font, c.textColor, c.backColor, c.toolTip, c.items,
           c.loads, c.load);
  }
  void operator()(FloorPage& p) { Fields(p.button, p.caption, p.style, p.client, p.backColor, p.menu, p.controls); }
  template <class... T>
  void Fields(T&... fields) {
    ((*this)(fields), ...);
  }
};

constexpr std::uint32_t kFloorsMark = 0x31464B46;  // "FKF1"

}  // namespace

bool SaveFloors(const std::wstring& path, std::span<const FloorPage> pages) {
  Archive archive;
  std::uint32_t mark = kFloorsMark;
  archive(mark);
  std::vector<FloorPage> all(pages.begin(), pages.end());
  archive(all);
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool written = fwrite(archive.bytes.data(), 1, archive.bytes.size(), file) == archive.bytes.size();
  return fclose(file) == 0 && written;
}

std::vector<FloorPage> LoadFloors(const std::wstring& path) {
  Archive archive;
  archive.reading = true;
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    char buffer[65536];
    std::size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) archive.bytes.append(buffer, got);
    fclose(file);
  }
  std::uint32_t mark = 0;
  archive(mark);
  std::vector<FloorPage> pages;
  if (mark == kFloorsMark) archive(pages);
  return archive.whole && archive.at == archive.bytes.size() ? pages : std::vector<FloorPage>{};
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
    if (control.loads && Holds(control.load)) SendMessageW(child, BM_SETCHECK, BST_CHECKED, 0);
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
