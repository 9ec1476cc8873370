// korvane.com: Korvane from a command line. It shares every rule with the
// windows; this front end only turns outcomes into lines and exit codes.
#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console_output.h"
#include "journal/journal.h"
#include "system/app.h"
#include "system/message_box.h"

namespace {

// A core path that still asks through a message box must never wait for a
// person who is not there: its text goes to standard error, and a question is
// answered No, which leaves things as they are.
platform::MsgResult PrintMessageBox(const platform::MsgBoxCall& call) {
  cli::PrintError(call.title + L": " + call.text);
  return call.buttons == platform::MsgButtons::YesNo ? platform::MsgResult::No : platform::MsgResult::Ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // No "insert a disk" or "cannot open file" boxes for a missing or empty drive.
  platform::QuietDriveErrors();
  // A script waits for an exit code, never for someone to close a crash box.
  SetErrorMode(GetErrorMode() | SEM_NOGPFAULTERRORBOX);
  platform::SetMsgBoxHandler(&PrintMessageBox);
  try {
    const int code = cli::Run(std::vector<std::wstring>(argv + 1, argv + argc));
    // Once a command that wrote the journal has run, off any click's path.
    if (platform::journal::AppendCount() > 0) {
      if (const std::uint64_t dropped = platform::journal::Tidy()) {
        cli::PrintError(L"korvane: the journal was full, so its " + std::to_wstring(dropped) +
                        L" oldest changes were let go (they can no longer be undone)");
      }
    }
    return code;
  } catch (const std::exception& e) {
    return cli::Fail(cli::kExitFailed, "failed", L"korvane: " + cli::FromUtf8(e.what()));
  } catch (...) {
    return cli::Fail(cli::kExitFailed, "failed", L"korvane: an unexpected error");
  }
}
