// What both floors do as Korvane's forms do: a window class with the
// program's icon, and a window sized to its client area at its DPI and
// centred on its monitor's work area.
#pragma once

#include <windows.h>

namespace bench {

inline void RegisterFloorClass(const wchar_t* name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

inline void CentreWindow(HWND hwnd, SIZE client, DWORD style, bool menu, UINT dpi) {
  RECT rect{0, 0, client.cx, client.cy};
  AdjustWindowRectExForDpi(&rect, style, menu, 0, dpi);
  MONITORINFO info{sizeof info};
  GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &info);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  SetWindowPos(hwnd, nullptr, info.rcWork.left + (info.rcWork.right - info.rcWork.left - width) / 2,
               info.rcWork.top + (info.rcWork.bottom - info.rcWork.top - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace bench
