// Times the Check a Drive window from another process, as a person sees it:
// from a press on "Scan" to the last row listed, on a drive where every item
// is hidden and system, beside a bare FindFirstFileExW walk of the same drive
// in the same run. While the window fills, a message is sent to it every few
// milliseconds and the slowest answer is kept.
// Usage: window_timer <runs> <files> <drive letter> <korvane.exe>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "timing.h"

namespace {

using bench::Median;
using bench::Now;

constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr int kFilesPerFolder = 1000;

// The drive as a worm's `attrib +h +s /s /d` leaves it; made only when it is not there yet.
int Populate(const std::wstring& root, int files) {
  int items = 0;
  for (int made = 0, folder = 0; made < files; ++folder) {
    const std::wstring dir = root + L"album" + std::to_wstring(folder);
    CreateDirectoryW(dir.c_str(), nullptr);
    for (int i = 0; i < kFilesPerFolder && made < files; ++i, ++made, ++items) {
      const std::wstring file = dir + L"\\IMG_" + std::to_wstring(10000 + i) + L".JPG";
      if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
      const HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, kHiddenSystem, nullptr);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
      SetFileAttributesW(file.c_str(), kHiddenSystem);
    }
    SetFileAttributesW(dir.c_str(), kHiddenSystem);
    ++items;
  }
  return items;
}

struct Window {
  DWORD pid = 0;
  HWND form = nullptr;
  HWND scan = nullptr;
  HWND list = nullptr;
};

BOOL CALLBACK FindForm(HWND hwnd, LPARAM data) {
  auto* window = reinterpret_cast<Window*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t title[64] = {};
  GetWindowTextW(hwnd, title, 64);
  if (pid == window->pid && IsWindowVisible(hwnd) && std::wstring(title) == L"Check a Drive") {
    window->form = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindControls(HWND hwnd, LPARAM data) {
  auto* window = reinterpret_cast<Window*>(data);
  wchar_t text[64] = {};
  wchar_t type[64] = {};
  GetWindowTextW(hwnd, text, 64);
  GetClassNameW(hwnd, type, 64);
  if (std::wstring(text) == L"&Scan") window->scan = hwnd;
  if (std::wstring(type) == WC_LISTVIEWW) window->list = hwnd;
  return TRUE;
}

// The rows listed, asked of the window; -1 when it did not answer within a second.
int Rows(const Window& window) {
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(window.list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 1000, &count)) return -1;
  return static_cast<int>(count);
}

struct Run {
  double firstRow = 0;  // ms from the press to the first row listed
  double lastRow = 0;   // ms from the press to the scan's end with every row listed
  double slowest = 0;   // ms, the slowest answer to a message meanwhile
  int rows = 0;
};

// Presses Scan as a click reports it, then watches the list until the scan has ended and every row is there.
Run Scan(const Window& window, int expected) {
  Run run;
  const double start = Now();
  PostMessageW(window.form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window.scan), BN_CLICKED),
               reinterpret_cast<LPARAM>(window.scan));
  bool started = false;
  while (Now() - start < 600000) {
    const double asked = Now();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window.form, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored);
    run.slowest = std::max(run.slowest, Now() - asked);
    const bool scanEnabled = IsWindowEnabled(window.scan) != FALSE;
    started = started || !scanEnabled;
    run.rows = Rows(window);
    if (started && run.rows > 0 && run.firstRow == 0) run.firstRow = Now() - start;
    if (started && scanEnabled && run.rows >= expected) break;
    Sleep(5);
  }
  run.lastRow = Now() - start;
  return run;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) {
    std::printf("Usage: window_timer <runs> <files> <drive letter> <korvane.exe>\n");
    return 2;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  const int files = std::max(1, _wtoi(argv[2]));
  const std::wstring root = std::wstring(1, argv[3][0]) + L":\\";
  const int expected = Populate(root, files);  // every file and folder is a finding

  std::wstring command = L"\"" + std::wstring(argv[4]) + L"\" --check " + root.substr(0, 2);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::printf("Window check: could not start Korvane (error %lu)\n", GetLastError());
    return 1;
  }
  Window window;
  window.pid = process.dwProcessId;
  for (const double until = Now() + 60000; !window.form && Now() < until; Sleep(50)) {
    EnumWindows(&FindForm, reinterpret_cast<LPARAM>(&window));
  }
  if (window.form) EnumChildWindows(window.form, &FindControls, reinterpret_cast<LPARAM>(&window));
  if (!window.scan || !window.list) {
    std::printf("Window check: the Check a Drive window was not found\n");
    TerminateProcess(process.hProcess, 1);
    return 1;
  }
  // The scan the start asked for warms the caches, as the bare walk's first pass does. A drive
  // the window does not offer (not removable) leaves Scan unpressable and the list empty.
  bool warmed = false;
  for (const double until = Now() + 600000; !warmed && Now() < until; Sleep(50)) {
    warmed = IsWindowEnabled(window.scan) && Rows(window) >= expected;
    if (!warmed && Now() > until - 480000 && Rows(window) == 0 && !IsWindowEnabled(window.scan)) break;
  }
  if (!warmed) {
    std::printf("Window check: the window did not list drive %ls (is it removable?)\n", root.c_str());
    TerminateProcess(process.hProcess, 1);
    return 1;
  }
  bench::BareWalk(root.substr(0, 2));

  std::vector<double> firstRows, lastRows, walks, slowest;
  int rows = 0;
  for (int i = 0; i < runs; ++i) {
    const Run run = Scan(window, expected);
    firstRows.push_back(run.firstRow);
    lastRows.push_back(run.lastRow);
    slowest.push_back(run.slowest);
    rows = run.rows;
    const double start = Now();
    bench::BareWalk(root.substr(0, 2));
    walks.push_back(Now() - start);
    std::printf("run %d: Scan to first row %.0f ms, to last row %.0f ms; bare walk %.0f ms; slowest answer %.0f ms\n",
                i + 1, run.firstRow, run.lastRow, walks.back(), run.slowest);
  }
  TerminateProcess(process.hProcess, 0);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  const double walk = Median(walks);
  std::printf("Window check of %d hidden items (%d rows listed): Scan to last row listed median %.0f ms, "
              "first row %.0f ms; bare walk median %.0f ms; ratio %.2f; slowest answer to a message while it "
              "filled %.0f ms (worst run)\n",
              expected, rows, Median(lastRows), Median(firstRows), walk, walk > 0 ? Median(lastRows) / walk : 0.0,
              *std::max_element(slowest.begin(), slowest.end()));
  return 0;
}
