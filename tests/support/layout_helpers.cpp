#include "support/layout_helpers.h"

#include <commctrl.h>

#include <iterator>

namespace testing_support {

RECT InParent(const platform::Control& control) {
  RECT rect;
  GetWindowRect(control.Hwnd(), &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control.Hwnd()), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool TextFits(const platform::Control& control) {
  const HDC dc = GetDC(control.Hwnd());
  const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control.Hwnd(), WM_GETFONT, 0, 0)));
  RECT have;
  GetClientRect(control.Hwnd(), &have);
  RECT need = have;
  DrawTextW(dc, control.Text().c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(control.Hwnd(), dc);
  return need.right <= have.right && need.bottom <= have.bottom;
}

int PixelsOf(const platform::Control& control, COLORREF color) {
  RedrawWindow(control.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  RECT rect;
  GetClientRect(control.Hwnd(), &rect);
  const HDC dc = GetDC(control.Hwnd());
  int count = 0;
  for (int x = 0; x < rect.right; ++x) {
    for (int y = 0; y < rect.bottom; ++y) count += GetPixel(dc, x, y) == color;
  }
  ReleaseDC(control.Hwnd(), dc);
  return count;
}

std::wstring ShownTip(platform::Form& form, const platform::Control& control) {
  wchar_t text[512] = L"";
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = form.Hwnd();
  info.uId = reinterpret_cast<UINT_PTR>(control.Hwnd());
  info.lpszText = text;
  SendMessageW(form.ToolTips(), TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&info));
  return text;
}

}  // namespace testing_support
