// Starts a program again and again and measures how long its window takes to
// become visible, and how much memory the process holds once it is up.
// With --click, it instead clicks the buttons named in the main window in turn,
// the last one timed from the click to the window it opens visible and painted,
// as a user's click would come: from another process.
// Usage: start_timer [--click <caption>[/<caption>...]] <runs> <window title> <program> [arguments]
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "timing.h"

namespace {

using bench::Median;
using bench::Now;

struct Search {
  DWORD pid;
  const wchar_t* title;
  HWND found;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t title[256];
  if (pid == search->pid && IsWindowVisible(hwnd) && GetWindowTextW(hwnd, title, 256) &&
      std::wstring(title) == search->title) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Polls, 1 ms apart, until found() holds; false after 10 s.
template <class F>
bool Await(F found) {
  for (int spin = 0; spin < 10000; ++spin) {
    if (found()) return true;
    Sleep(1);
  }
  return false;
}

template <class F>
void EachChild(HWND hwnd, F visit) {
  EnumChildWindows(
      hwnd,
      [](HWND child, LPARAM data) -> BOOL {
        (*reinterpret_cast<F*>(data))(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&visit));
}

HWND VisibleChild(HWND hwnd, const std::wstring& text) {
  HWND found = nullptr;
  EachChild(hwnd, [&](HWND child) {
    wchar_t title[256] = L"";
    if (IsWindowVisible(child) && GetWindowTextW(child, title, 256) && text == title) found = child;
  });
  return found;
}

// Nothing of the window or its controls is left to paint.
bool Painted(HWND hwnd) {
  bool painted = !GetUpdateRect(hwnd, nullptr, FALSE);
  EachChild(hwnd, [&](HWND child) { painted = painted && !GetUpdateRect(child, nullptr, FALSE); });
  return painted;
}

// A top-level window of the process, other than its main window, that owns none.
HWND OpenedWindow(DWORD pid, HWND main) {
  struct Find {
    DWORD pid;
    HWND main;
    HWND found;
  } find{pid, main, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* f = reinterpret_cast<Find*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner != f->pid || hwnd == f->main || !IsWindowVisible(hwnd) || GetWindow(hwnd, GW_OWNER)) return TRUE;
        f->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.found;
}

// What the opened window holds, so that a page and its floor are seen to make
// the same: its controls, its check boxes, and the tools of its tool tips.
struct Made {
  int controls = 0;
  int boxes = 0;
  int tips = 0;
};

Made Count(HWND opened) {
  Made made;
  EachChild(opened, [&](HWND child) {
    ++made.controls;
    const auto type = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE)) & BS_TYPEMASK;
    wchar_t className[64] = L"";
    GetClassNameW(child, className, 64);
    if (_wcsicmp(className, L"Button") == 0 && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX)) ++made.boxes;
  });
  std::pair<HWND, Made*> owner{opened, &made};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* found = reinterpret_cast<std::pair<HWND, Made*>*>(data);
        wchar_t className[64] = L"";
        GetClassNameW(hwnd, className, 64);
        if (GetWindow(hwnd, GW_OWNER) == found->first && _wcsicmp(className, TOOLTIPS_CLASSW) == 0) {
          found->second->tips += static_cast<int>(SendMessageW(hwnd, TTM_GETTOOLCOUNT, 0, 0));
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&owner));
  return made;
}

// Clicks each button in turn, each once the one before has shown it, and
// times the last: from its click to its window visible and painted. The
// program is let settle first, so that no start-up work falls into the time.
double TimeClick(DWORD pid, HWND main, const std::vector<std::wstring>& captions, Made& made) {
  HWND button = nullptr;
  for (std::size_t i = 0; i < captions.size(); ++i) {
    if (!Await([&] { return (button = VisibleChild(main, captions[i])) != nullptr; })) return -1;
    if (i + 1 < captions.size()) PostMessageW(button, BM_CLICK, 0, 0);
  }
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
  if (!Await([&] { return Painted(main); })) return -1;
  Sleep(300);
  const double begin = Now();
  PostMessageW(button, BM_CLICK, 0, 0);
  HWND opened = nullptr;
  if (!Await([&] { return (opened = OpenedWindow(pid, main)) != nullptr; })) return -1;
  // Sent messages come before painting: once this is answered, the window's
  // thread is back in its message loop and the paint is what is left.
  SendMessageTimeoutW(opened, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
  if (!Await([&] { return Painted(opened); })) return -1;
  const double took = Now() - begin;
  made = Count(opened);
  PostMessageW(opened, WM_CLOSE, 0, 0);
  return took;
}

std::string ReadWhole(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string data;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) data.append(buffer, got);
  CloseHandle(file);
  return data;
}

// Wine leaves another process's private bytes at zero, so they come from the
// Linux process behind it: the one running this program in this prefix.
double UnixPrivateKb(const std::wstring& program) {
  std::wstring base = program.substr(program.find_last_of(L"\\/") + 1);
  std::string wantedName(base.begin(), base.end());
  char prefix[1024] = "";
  GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
  const std::string wantedPrefix = std::string("WINEPREFIX=") + prefix + '\0';
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  double kb = 0;
  do {
    const std::wstring dir = L"Z:\\proc\\" + std::wstring(found.cFileName);
    if (!iswdigit(found.cFileName[0])) continue;
    const std::string command = ReadWhole(dir + L"\\cmdline");
    const std::string first = command.substr(0, command.find('\0'));
    if (first.size() < wantedName.size() ||
        _stricmp(first.substr(first.size() - wantedName.size()).c_str(), wantedName.c_str()) != 0) {
      continue;
    }
    if (ReadWhole(dir + L"\\environ").find(wantedPrefix) == std::string::npos) continue;
    const std::string rollup = ReadWhole(dir + L"\\smaps_rollup");
    for (const char* field : {"Private_Clean:", "Private_Dirty:"}) {
      const std::size_t at = rollup.find(field);
      if (at != std::string::npos) kb += atof(rollup.c_str() + at + strlen(field));
    }
    break;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return kb;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> clicks;
  if (argc > 2 && std::wstring(argv[1]) == L"--click") {
    const std::wstring path = argv[2];
    for (std::size_t at = 0; at <= path.size();) {
      const std::size_t end = std::min(path.find(L'/', at), path.size());
      clicks.push_back(path.substr(at, end - at));
      at = end + 1;
    }
    argc -= 2;
    argv += 2;
  }
  if (argc < 4) {
    fwprintf(stderr, L"usage: start_timer [--click <caption>[/<caption>...]] <runs> <window title> <program> [arguments]\n");
    return 2;
  }
  const int runs = _wtoi(argv[1]);
  std::wstring command = L"\"" + std::wstring(argv[3]) + L"\"";
  for (int i = 4; i < argc; ++i) command += L" " + std::wstring(argv[i]);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> startMs, privateKb, workingKb, clickMs;
  for (int run = 0; run < runs; ++run) {
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    std::wstring line = command;
    LARGE_INTEGER begin, end;
    QueryPerformanceCounter(&begin);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      fwprintf(stderr, L"cannot start %ls\n", argv[3]);
      return 1;
    }
    Search search{process.dwProcessId, argv[2], nullptr};
    for (int spin = 0; spin < 200000 && !search.found; ++spin) {
      EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
      if (!search.found) Sleep(1);
    }
    QueryPerformanceCounter(&end);
    if (!search.found) {
      fwprintf(stderr, L"no window titled %ls\n", argv[2]);
      TerminateProcess(process.hProcess, 1);
      return 1;
    }
    startMs.push_back(static_cast<double>(end.QuadPart - begin.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
    if (!clicks.empty()) {
      Made made;
      const double took = TimeClick(process.dwProcessId, search.found, clicks, made);
      if (took < 0) {
        fwprintf(stderr, L"%ls: no window opened and painted\n", clicks.back().c_str());
        TerminateProcess(process.hProcess, 1);
        return 1;
      }
      clickMs.push_back(took);
      wprintf(L"click %ls: %.1f ms (%d controls, %d check boxes, %d tool tips)\n", clicks.back().c_str(), took,
              made.controls, made.boxes, made.tips);
      PostMessageW(search.found, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
      continue;
    }
    Sleep(300);  // settled: what the process holds once it is up
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    privateKb.push_back(memory.PrivateUsage ? static_cast<double>(memory.PrivateUsage) / 1024.0
                                            : UnixPrivateKb(argv[3]));
    workingKb.push_back(static_cast<double>(memory.WorkingSetSize) / 1024.0);
    PostMessageW(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (!clicks.empty()) {
    wprintf(L"%ls from another process: runs %d, click-to-visible median %.1f ms\n", clicks.back().c_str(), runs,
            Median(clickMs));
    return 0;
  }
  for (std::size_t i = 0; i < startMs.size(); ++i) {
    wprintf(L"run %.1f ms, private %.0f KiB, working set %.0f KiB\n", startMs[i], privateKb[i], workingKb[i]);
  }
  wprintf(L"%ls: runs %d, start-to-visible median %.1f ms (min %.1f, max %.1f), private %.0f KiB, working set %.0f KiB\n",
          argv[2], runs, Median(startMs), *std::min_element(startMs.begin(), startMs.end()),
          *std::max_element(startMs.begin(), startMs.end()), Median(privateKb), Median(workingKb));
  return 0;
}
