#include "support/layout_helpers.h"

#include <commctrl.h>

#include <cstdio>
#include <iterator>
#include <vector>

namespace testing_support {

int Px(const platform::Form& form, int twips) {
  return MulDiv(twips, static_cast<int>(GetDpiForWindow(form.Hwnd())), 1440);
}

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

namespace {

SIZE TextSize(const platform::Control& control, UINT format, int width) {
  const HDC dc = GetDC(control.Hwnd());
  const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control.Hwnd(), WM_GETFONT, 0, 0)));
  RECT need{0, 0, width, 0};
  DrawTextW(dc, control.Text().c_str(), -1, &need, format | DT_CALCRECT | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(control.Hwnd(), dc);
  return {need.right, need.bottom};
}

}  // namespace

bool CaptionFits(const platform::Control& control) {
  RECT have;
  GetClientRect(control.Hwnd(), &have);
  const UINT dpi = GetDpiForWindow(control.Hwnd());
  if (dynamic_cast<const platform::CheckBox*>(&control)) {
    const SIZE need = TextSize(control, DT_SINGLELINE, 0);
    const int box = GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi) + MulDiv(3, static_cast<int>(dpi), 96);
    return box + need.cx <= have.right && need.cy <= have.bottom;
  }
  if (dynamic_cast<const platform::Button*>(&control)) {
    const SIZE need = TextSize(control, DT_SINGLELINE, 0);
    const int edges = 2 * MulDiv(3, static_cast<int>(dpi), 96);
    return need.cx + edges <= have.right && need.cy <= have.bottom;
  }
  const SIZE need = TextSize(control, DT_WORDBREAK, have.right);
  return need.cx <= have.right && need.cy <= have.bottom;
}

bool InsideParent(const platform::Control& control) {
  const RECT rect = InParent(control);
  RECT parent;
  GetClientRect(GetParent(control.Hwnd()), &parent);
  return rect.left >= 0 && rect.top >= 0 && rect.right <= parent.right && rect.bottom <= parent.bottom;
}

bool SaveWindowBitmap(HWND hwnd, const std::wstring& path) {
  RECT rect;
  GetWindowRect(hwnd, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  SelectObject(memory, old);
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD size = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof file + sizeof info.bmiHeader) + size, 0, 0,
                        static_cast<DWORD>(sizeof file + sizeof info.bmiHeader)};
  bool saved = false;
  if (FILE* out = _wfopen(path.c_str(), L"wb")) {
    saved = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
            fwrite(bits, size, 1, out) == 1;
    saved = fclose(out) == 0 && saved;
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
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
