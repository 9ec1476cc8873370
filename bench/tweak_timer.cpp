// Times a click on each of the main window's four tweak buttons until the
// tweak window is up and painted, against creating and showing one empty
// window. Each run opens the page afresh (its window was unloaded before).
// Usage: tweak_timer <runs>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/form.h"
#include "shell/main_window.h"

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Others {
  HWND main;
  HWND found;
};

// The program's visible top-level window other than the main window.
HWND OpenedWindow(HWND main) {
  Others others{main, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* o = reinterpret_cast<Others*>(data);
        if (hwnd == o->main || !IsWindowVisible(hwnd) || GetParent(hwnd)) return TRUE;
        o->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&others));
  return others.found;
}

LRESULT CALLBACK EmptyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

double ShowEmptyWindow() {
  const double begin = Now();
  const HWND hwnd = CreateWindowExW(0, L"KorvaneBenchEmpty", L"Empty", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 510, 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(hwnd, SW_SHOW);
  platform::PumpMessages();
  const double took = Now() - begin;
  DestroyWindow(hwnd);
  platform::PumpMessages();
  return took;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? _wtoi(argv[1]) : 21;
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSW wc{};
  wc.lpfnWndProc = &EmptyProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"KorvaneBenchEmpty";
  RegisterClassW(&wc);

  auto& main = platform::Instance<shell::FrmMain>();
  main.Show();
  main.TabMain.SetTab(3);
  platform::PumpMessages();

  std::vector<double> empty;
  ShowEmptyWindow();  // warms the class and the desktop
  for (int run = 0; run < runs; ++run) empty.push_back(ShowEmptyWindow());
  const double emptyMs = Median(empty);
  wprintf(L"Empty window: runs %d, create-and-show median %.2f ms\n", runs, emptyMs);

  int status = 0;
  for (platform::Button* button : {&main.tweak.CmdSecTweak, &main.tweak.CmdAppTweak, &main.tweak.CmdIETweak,
                                   &main.tweak.CmdCplTweaks}) {
    std::vector<double> times;
    std::wstring title;
    for (int run = -1; run < runs; ++run) {  // run -1 warms the page's code and fonts
      const double begin = Now();
      SendMessageW(button->Hwnd(), BM_CLICK, 0, 0);
      platform::PumpMessages();
      const HWND opened = OpenedWindow(main.Hwnd());
      const double took = Now() - begin;
      if (!opened) {
        wprintf(L"%ls: no window opened\n", button->Text().c_str());
        status = 1;
        break;
      }
      wchar_t text[256] = L"";
      GetWindowTextW(opened, text, 256);
      title = text;
      if (run >= 0) times.push_back(took);
      platform::Form::FromHwnd(opened)->Unload();
      platform::PumpMessages();
    }
    if (times.empty()) continue;
    const double median = Median(times);
    wprintf(L"%ls (%ls): runs %d, click-to-visible median %.2f ms (min %.2f, max %.2f), %.2f times the empty window\n",
            button->Text().c_str(), title.c_str(), runs, median, *std::min_element(times.begin(), times.end()),
            *std::max_element(times.begin(), times.end()), median / emptyMs);
  }
  platform::Form::EndProgram();
  return status;
}
