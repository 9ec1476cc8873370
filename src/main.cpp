#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <thread>
#include <vector>

#include "journal/journal.h"
#include "system/app.h"
#include "system/message_box.h"
#include "ui/form.h"
#include "shell/handover.h"
#include "shell/main_window.h"
#include "shell/splash_window.h"
#include "shell/undo_window.h"

namespace {

// The running copy's main window follows its splash; one that never shows is not waited for longer.
constexpr DWORD kFindRunningCopyMs = 5000;

std::vector<std::wstring> Arguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> args;
  for (int i = 1; argv && i < count; ++i) args.emplace_back(argv[i]);
  if (argv) LocalFree(argv);
  return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  platform::QuietDriveErrors();
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  const auto request = shell::ParseStartArguments(Arguments());
  if (!request) {
    platform::MsgBox(L"--check takes one drive letter, such as: korvane.exe --check E:",
                     platform::MsgIcon::Exclamation);
    return 2;
  }
  // Held until the program ends; a copy started meanwhile hands its request over.
  const HANDLE running = CreateMutexW(nullptr, FALSE, L"Local\\Korvane.Running");
  const bool holdsName = running && GetLastError() != ERROR_ALREADY_EXISTS;
  if (running && !holdsName && shell::HandOver(*request, kFindRunningCopyMs)) {
    CloseHandle(running);
    return 0;
  }
  shell::SetTakesHandovers(holdsName);
  if (request->checkLetter) {
    shell::StartForCheck(request->checkLetter);
  } else {
    shell::StartUp();
  }
  // The journal is tidied beside the window at start-up, never inside a click.
  std::thread tidy([] { platform::journal::Tidy(); });
  const int code = platform::RunMessageLoop();
  tidy.join();
  if (running) CloseHandle(running);
  return code;
}
