// Times a click on each of the main window's four tweak buttons until the
// tweak window is up and painted, against the same page made directly (its
// floor, floor_page.h) and against creating and showing one empty window.
// Each run opens the page afresh (its window was unloaded before).
// Usage: tweak_timer <runs>
//        tweak_timer --floors <file>: writes the four pages' floors for floor_main
//        and ends, so that the floor never runs Korvane's code itself.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <string>
#include <vector>

#include "floor_page.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "shell/main_window.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "tweaks/ie/ie_page.h"
#include "tweaks/security/security_bindings.h"
#include "tweaks/security/security_page.h"

#include "timing.h"

namespace {

using bench::Median;
using bench::Now;

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

// Where a window's opening time goes: creating the window with its controls and
// running its load (registry reads included), reading the registry once more
// alone, showing, and painting.
template <class F>
void Profile(const wchar_t* name, int runs) {
  std::vector<double> create, registry, show, paint;
  for (int run = -1; run < runs; ++run) {
    const double t0 = Now();
    F& form = platform::Instance<F>();
    const double t1 = Now();
    double t2 = t1;
    if constexpr (requires { form.boxes.LoadAll(); }) {
      form.boxes.LoadAll();
      t2 = Now();
    }
    form.Show();
    const double t3 = Now();
    platform::PumpMessages();
    const double t4 = Now();
    if (run >= 0) {
      create.push_back(t1 - t0);
      registry.push_back(t2 - t1);
      show.push_back(t3 - t2);
      paint.push_back(t4 - t3);
    }
    form.Unload();
    platform::PumpMessages();
  }
  wprintf(L"Profile %ls: create and load %.2f ms (of which the registry reads alone take %.2f ms), show %.2f ms, "
          L"paint %.2f ms, %zu controls\n",
          name, Median(create), Median(registry), Median(show), Median(paint),
          platform::Instance<F>().Controls().size());
  platform::Instance<F>().Unload();
  platform::PumpMessages();
}

// What the page shows, read once from the page itself; the page is unloaded again.
template <class F>
bench::FloorPage Floor(const platform::Button& button, std::span<const platform::TweakBinding> table) {
  bench::FloorPage floor = bench::Snapshot(platform::Instance<F>(), table, platform::kWhite);
  floor.button = button.Text();
  platform::Instance<F>().Unload();
  platform::PumpMessages();
  return floor;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool floorsOnly = argc > 2 && std::wstring(argv[1]) == L"--floors";
  const std::wstring floorsFile = floorsOnly ? argv[2] : L"";
  const int runs = argc > 1 && !floorsOnly ? _wtoi(argv[1]) : 21;
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSW wc{};
  wc.lpfnWndProc = &EmptyProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"KorvaneBenchEmpty";
  RegisterClassW(&wc);

  // The main window once, cold, as at start-up.
  const double t0 = Now();
  auto& main = platform::Instance<shell::FrmMain>();
  const double t1 = Now();
  main.Show();
  const double t2 = Now();
  platform::PumpMessages();
  const double t3 = Now();
  std::size_t made = 0;
  for (const platform::Control* control : main.Controls()) made += control->Hwnd() ? 1 : 0;
  wprintf(L"Profile main window (cold, one run): create and load %.2f ms, show %.2f ms, paint %.2f ms, "
          L"%zu of its %zu controls made\n",
          t1 - t0, t2 - t1, t3 - t2, made, main.Controls().size());
  main.TabMain.SetTab(3);
  platform::PumpMessages();

  std::vector<double> empty;
  ShowEmptyWindow();  // warms the class and the desktop
  for (int run = 0; run < runs; ++run) empty.push_back(ShowEmptyWindow());
  const double emptyMs = Median(empty);
  wprintf(L"Empty window: runs %d, create-and-show median %.2f ms\n", runs, emptyMs);

  // Each page beside its floor, run for run, so that a busy moment of the
  // machine falls on both alike.
  struct Tweak {
    platform::Button* button;
    bench::FloorPage floor;
  };
  const auto& tweak = main.tweak;
  std::vector<Tweak> pages = {
      {&main.tweak.CmdSecTweak, Floor<tweaks::FrmSecTweaks>(tweak.CmdSecTweak, tweaks::SecurityBindings())},
      {&main.tweak.CmdAppTweak, Floor<tweaks::FrmAppTweaks>(tweak.CmdAppTweak, tweaks::AppearanceBindings())},
      {&main.tweak.CmdIETweak, Floor<tweaks::FrmProgTweaks>(tweak.CmdIETweak, tweaks::IEBindings())},
      {&main.tweak.CmdCplTweaks, Floor<tweaks::FrmCpl>(tweak.CmdCplTweaks, tweaks::CplBindings())},
  };
  if (!floorsFile.empty()) {
    std::vector<bench::FloorPage> floors;
    for (const Tweak& page : pages) floors.push_back(page.floor);
    const bool saved = bench::SaveFloors(floorsFile, floors);
    if (!saved) fwprintf(stderr, L"cannot write %ls\n", floorsFile.c_str());
    platform::Form::EndProgram();
    return saved ? 0 : 1;
  }
  int status = 0;
  for (const Tweak& page : pages) {
    platform::Button* button = page.button;
    std::vector<double> times, floorTimes;
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

      // The same click on the same button, which opens the floor instead: the
      // button's press, its painting and the main window's deactivation cost
      // both alike.
      HWND floor = nullptr;
      const std::function<void()> opensPage = button->onClick;
      button->onClick = [&floor, &page] { floor = bench::OpenFloor(page.floor); };
      const double floorBegin = Now();
      SendMessageW(button->Hwnd(), BM_CLICK, 0, 0);
      platform::PumpMessages();
      const double floorTook = Now() - floorBegin;
      button->onClick = opensPage;
      if (run >= 0) floorTimes.push_back(floorTook);
      bench::CloseFloor(floor);
      platform::PumpMessages();
    }
    if (times.empty()) continue;
    const double median = Median(times);
    wprintf(L"%ls (%ls): runs %d, click-to-visible median %.2f ms (min %.2f, max %.2f), %.2f times the empty window\n",
            button->Text().c_str(), title.c_str(), runs, median, *std::min_element(times.begin(), times.end()),
            *std::max_element(times.begin(), times.end()), median / emptyMs);
    wprintf(L"Floor %ls: runs %d, click-to-visible median %.2f ms (min %.2f, max %.2f), %zu controls\n",
            button->Text().c_str(), runs, Median(floorTimes), *std::min_element(floorTimes.begin(), floorTimes.end()),
            *std::max_element(floorTimes.begin(), floorTimes.end()), page.floor.controls.size());
  }
  Profile<tweaks::FrmSecTweaks>(L"Security Tweaks", runs);
  Profile<tweaks::FrmAppTweaks>(L"Appearance Tweaks", runs);
  Profile<tweaks::FrmProgTweaks>(L"IE Tweaks", runs);
  Profile<tweaks::FrmCpl>(L"Control Panel Tweaks", runs);
  platform::Form::EndProgram();
  return status;
}
