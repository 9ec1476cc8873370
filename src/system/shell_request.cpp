#include "system/shell_request.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {

namespace {

ShellOpenHandler& Handler() {
  static ShellOpenHandler handler;
  return handler;
}

}  // namespace

void SetShellOpenHandler(ShellOpenHandler handler) { Handler() = std::move(handler); }

void ShellOpen(std::wstring_view target) {
  const std::wstring text(target);
  if (Handler()) {
    Handler()(text);
    return;
  }
  // The outcome is not examined: a missing browser or mailer is not Korvane's to report.
  // shell32 is loaded here, not at start-up: under Wine it costs a good part of the start time.
  using Fn = decltype(&ShellExecuteW);
  if (const FARPROC proc = GetProcAddress(LoadLibraryW(L"shell32.dll"), "ShellExecuteW")) {
    reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc))(nullptr, L"open", text.c_str(), nullptr, nullptr,
                                                             SW_SHOWNORMAL);
  }
}

}  // namespace platform
