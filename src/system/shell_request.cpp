#include "system/shell_request.h"

#include <windows.h>
#include <shellapi.h>

#include "system/late_load.h"

namespace platform {

namespace {

ShellOpenHandler& InstalledShellOpenHandler() {
  static ShellOpenHandler handler;
  return handler;
}

}  // namespace

void SetShellOpenHandler(ShellOpenHandler handler) { InstalledShellOpenHandler() = std::move(handler); }

void ShellOpen(std::wstring_view target) {
  const std::wstring text(target);
  if (InstalledShellOpenHandler()) {
    InstalledShellOpenHandler()(text);
    return;
  }
  // The outcome is not examined: a missing browser or mailer is not Korvane's to report.
  if (const auto shellExecute = LateProc<decltype(&ShellExecuteW)>(L"shell32.dll", "ShellExecuteW")) {
    shellExecute(nullptr, L"open", text.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
}

}  // namespace platform
