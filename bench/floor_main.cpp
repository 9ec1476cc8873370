// The floor for start-up: the main window as it opens on its first page, made
// directly with Win32 and one window procedure. Same manifest, menu, client
// size, fonts, tab control, navigation buttons, picture, labels and page
// background as Korvane's; the settings it reads are read here too. Only the
// drawing code is Korvane's own (the pictures cost the same either way).
// Given a floors' file (tweak_timer --floors), its Tweak page opens the tweak
// pages' floors: "floor_main <file>".
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

#include "floor_page.h"
#include "floor_window.h"
#include "ui/artwork.h"

namespace {

constexpr int kClientWidth = 7650;  // twips
constexpr int kClientHeight = 5295;
constexpr int kHeaderHeight = 520;
constexpr int kNavWidth = 1530;
constexpr int kNavHeight = 375;
constexpr int kInset = 45;
constexpr int kPictureId = 200;
constexpr int kBackgroundId = 201;
constexpr int kFirstNavId = 100;
constexpr int kFirstWelcomeId = 110;
constexpr int kFirstTweakId = 120;
constexpr int kTweakPage = 3;

struct LabelRow {
  int left, top, width, height;
  bool bold;
  const wchar_t* text;
};

constexpr std::array<LabelRow, 6> kLabels = {{
    {2100, 780, 5300, 1000, false,
     L"Korvane is a useful tool that restores certain problems after a computer has been infected by a "
     L"virus.In addition it lets you perform various tweaks to optimize your pc."},
    {2100, 1860, 5300, 480, false, L"The info tab gives you more information on how to use korvane"},
    {2100, 2400, 5300, 480, false, L"To fix the various problems caused by viruses click the \"fix\" tab."},
    {2100, 2940, 5300, 300, false, L"To perform tweaks click the 'tweak' tab"},
    {2100, 3300, 5300, 480, false, L"To view contact information and credits click the \"About\" tab"},
    {2100, 4020, 5300, 300, true, L"To begin click one of the tabs..."},
}};
constexpr const wchar_t* kNavCaptions[] = {L"Welcome!", L"Info", L"Fix", L"Tweak", L"About"};

// The Tweak page: four intros, each with the button that opens its page.
struct TweakRow {
  int left, top, width, height;
  bool button;
  const wchar_t* text;
};
constexpr std::array<TweakRow, 8> kTweakControls = {{
    {600, 700, 6600, 300, false, L"Perform various security tweaks to restrict various features:"},
    {2880, 1030, 1935, 315, true, L"Security Tweaks"},
    {600, 1690, 6600, 300, false, L"Customize the look and feel of your pc with these appearance tweaks:"},
    {2880, 2020, 1935, 315, true, L"Appearance Tweaks"},
    {600, 2680, 6600, 300, false, L"Customize various features for Internet Explorer:"},
    {2880, 3010, 1935, 315, true, L"IE Tweaks"},
    {600, 3670, 6600, 300, false, L"Hide\\show rhe various control panel applets"},
    {2880, 4000, 1935, 315, true, L"Control Panel Tweaks"},
}};

UINT dpi = 96;
std::array<HBRUSH, 5> pageBrushes{};
HBRUSH faceBrush = nullptr;
HWND tabs = nullptr;
HFONT normalFont = nullptr;
int shownPage = 0;
std::vector<bench::FloorPage> floors;

int Px(int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

RECT PageRect() { return {Px(kInset), Px(kHeaderHeight + kInset), Px(kClientWidth - kInset), Px(kClientHeight - kInset)}; }

HFONT MessageFont(bool bold) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
  metrics.lfMessageFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

// The brush labels are painted with over the page's picture, cut once a page.
HBRUSH PageBrush(HWND hwnd) {
  HBRUSH& pageBrush = pageBrushes[static_cast<std::size_t>(shownPage)];
  if (pageBrush) return pageBrush;
  const RECT area = PageRect();
  const RECT local{0, 0, area.right - area.left, area.bottom - area.top};
  const HDC screen = GetDC(hwnd);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, local.right, local.bottom);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  platform::PaintPageBackground(memory, local, shownPage);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(hwnd, screen);
  pageBrush = CreatePatternBrush(bitmap);
  return pageBrush;
}

HBRUSH BrushBehind(HWND hwnd, HWND child, HDC dc) {
  RECT place;
  GetWindowRect(child, &place);
  MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&place), 2);
  const RECT area = PageRect();
  SetBrushOrgEx(dc, area.left - place.left, area.top - place.top, nullptr);
  return PageBrush(hwnd);
}

HWND Child(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, int left, int top,
           int width, int height, int id, HFONT font) {
  const HWND hwnd = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, Px(left),
                                    Px(top), Px(width), Px(height), parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

// As Korvane does: the other page's windows hidden, the Tweak page's made when it first shows.
void ShowPage(HWND hwnd, int page) {
  shownPage = page;
  TabCtrl_SetCurSel(tabs, page);
  for (int id = kFirstWelcomeId; id < kFirstWelcomeId + static_cast<int>(kLabels.size()); ++id) {
    ShowWindow(GetDlgItem(hwnd, id), page == 0 ? SW_SHOW : SW_HIDE);
  }
  ShowWindow(GetDlgItem(hwnd, kPictureId), page == 0 ? SW_SHOW : SW_HIDE);
  for (int i = 0; i < static_cast<int>(kTweakControls.size()); ++i) {
    const HWND control = GetDlgItem(hwnd, kFirstTweakId + i);
    if (control || page != kTweakPage) {
      if (control) ShowWindow(control, page == kTweakPage ? SW_SHOW : SW_HIDE);
      continue;
    }
    const TweakRow& row = kTweakControls[static_cast<std::size_t>(i)];
    const HWND made = Child(hwnd, row.button ? L"BUTTON" : L"STATIC", row.text,
                            row.button ? WS_TABSTOP | BS_OWNERDRAW : SS_NOTIFY | SS_NOPREFIX | SS_LEFT, 0, row.left,
                            row.top, row.width, row.height, kFirstTweakId + i, normalFont);
    // above the page's picture and the tab control, as Korvane places a control made late
    SetWindowPos(made, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  SetWindowTextW(hwnd, page == kTweakPage ? L"Korvane - Tweak Main Menu" : L"Korvane");
  InvalidateRect(hwnd, nullptr, TRUE);
}

void OpenTweakFloor(const wchar_t* button) {
  for (const bench::FloorPage& page : floors) {
    if (page.button == button) bench::OpenFloor(page);
  }
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CTLCOLORSTATIC: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(BrushBehind(hwnd, reinterpret_cast<HWND>(lParam), dc));
    }
    case WM_CTLCOLORBTN:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(faceBrush);
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID == kBackgroundId) {
        platform::PaintPageBackground(item->hDC, item->rcItem, shownPage);
      } else if (item->CtlID == kPictureId) {
        FillRect(item->hDC, &item->rcItem, BrushBehind(hwnd, item->hwndItem, item->hDC));
        platform::PaintLogo(item->hDC, item->rcItem);
      } else {
        const int target = static_cast<int>(item->CtlID) - kFirstNavId;
        const bool pressed = (item->itemState & ODS_SELECTED) != 0;
        const bool focused = (item->itemState & ODS_FOCUS) != 0;
        const HGDIOBJ old = SelectObject(item->hDC, reinterpret_cast<HFONT>(SendMessageW(item->hwndItem, WM_GETFONT, 0, 0)));
        if (static_cast<int>(item->CtlID) >= kFirstTweakId) {
          platform::PaintButtonFace(item->hDC, item->rcItem, kTweakControls[item->CtlID - kFirstTweakId].text, pressed,
                                    focused);
        } else {
          platform::PaintNavButton(item->hDC, item->rcItem, kNavCaptions[target], pressed, focused, target == shownPage);
        }
        SelectObject(item->hDC, old);
      }
      return TRUE;
    }
    case WM_ERASEBKGND: {
      RECT rect;
      GetClientRect(hwnd, &rect);
      FillRect(reinterpret_cast<HDC>(wParam), &rect, faceBrush);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) >= kFirstNavId && LOWORD(wParam) < kFirstNavId + 5) ShowPage(hwnd, LOWORD(wParam) - kFirstNavId);
      if (LOWORD(wParam) >= kFirstTweakId && LOWORD(wParam) < kFirstTweakId + kTweakControls.size()) {
        OpenTweakFloor(kTweakControls[LOWORD(wParam) - kFirstTweakId].text);
      }
      return 0;
    case WM_SETFOCUS:  // as a dialog does: the focus goes on to the first control
      if (const HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE)) SetFocus(first);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

std::wstring ReadSetting(const wchar_t* name) {
  wchar_t text[256] = L"";
  DWORD size = sizeof text;
  RegGetValueW(HKEY_CURRENT_USER, L"Software\\Korvane", name, RRF_RT_ANY, nullptr, text, &size);
  return text;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (__argc > 1) floors = bench::LoadFloors(__wargv[1]);
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  ReadSetting(L"splash");
  bench::RegisterFloorClass(L"FloorMain", &Proc);

  const HMENU menu = CreateMenu();
  const HMENU tools = CreatePopupMenu();
  const HMENU help = CreatePopupMenu();
  AppendMenuW(tools, MF_STRING, 40000, L"Preferences\tCtrl+P");
  AppendMenuW(help, MF_STRING, 40001, L"FAQ\tF1");
  AppendMenuW(help, MF_STRING, 40002, L"About");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), L"Tools");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"Help");
  ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'P', 40000}, {FVIRTKEY, VK_F1, 40001}};
  const HACCEL accel = CreateAcceleratorTableW(keys, 2);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_MINIMIZEBOX;
  const HWND hwnd = CreateWindowExW(0, L"FloorMain", L"Korvane", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, nullptr, menu, instance, nullptr);
  dpi = GetDpiForWindow(hwnd);
  faceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  bench::CentreWindow(hwnd, {Px(kClientWidth), Px(kClientHeight)}, style, true, dpi);

  const HFONT normal = MessageFont(false);
  normalFont = normal;
  const HFONT bold = MessageFont(true);
  for (int target = 0; target < 5; ++target) {
    Child(hwnd, L"BUTTON", kNavCaptions[target], WS_TABSTOP | BS_OWNERDRAW, 0, target * kNavWidth, 0, kNavWidth,
          kNavHeight, kFirstNavId + target, bold);
  }
  Child(hwnd, L"STATIC", L"", SS_OWNERDRAW, 0, 300, 840, 1500, 1500, kPictureId, normal);
  int id = kFirstWelcomeId;
  for (const LabelRow& label : kLabels) {
    Child(hwnd, L"STATIC", label.text, SS_NOTIFY | SS_NOPREFIX | SS_LEFT, 0, label.left, label.top, label.width,
          label.height, id++, label.bold ? bold : normal);
  }
  Child(hwnd, L"STATIC", L"", SS_OWNERDRAW, 0, kInset, kHeaderHeight + kInset, kClientWidth - 2 * kInset,
        kClientHeight - kHeaderHeight - 2 * kInset, kBackgroundId, normal);
  tabs = Child(hwnd, WC_TABCONTROLW, L"", TCS_FIXEDWIDTH | TCS_FOCUSNEVER, 0, 0, 0, kClientWidth, kClientHeight, 300,
               normal);
  for (int i = 0; i < 5; ++i) {
    wchar_t caption[] = L"Tab 0";
    caption[4] = static_cast<wchar_t>(L'0' + i);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption;
    SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  SendMessageW(tabs, TCM_SETITEMSIZE, 0, MAKELPARAM((Px(kClientWidth) - 4) / 5, Px(kHeaderHeight)));
  ReadSetting(L"opentab");

  ShowWindow(hwnd, SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorW(hwnd, accel, &msg) || IsDialogMessageW(hwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
