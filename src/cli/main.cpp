// korvane.com: Korvane from a command line. It shares every rule with the
// windows; this front end only turns outcomes into lines and exit codes.
#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console_output.h"
#include "system/app.h"
#include "journal/journal.h"
#include "system/message_box.h"

namespace {

// A core path that still asks through a message box must never wait for a
// person who is not there: its text goes to standard error, and a question is
// answered No, which leaves things as they are.
platform::MsgResult PrintMessageBox(const platform::MsgBoxCall& call) {
  cli::PrintError(call.title + L": " + call.text);
  return call.buttons == platform::MsgButtons::YesNo ? platform::MsgResult::No : platform::MsgResult::Ok;
}

// No one is there to answer whether to go on without the journal: the change
// is made, as the person asked, and the warning says it cannot be undone.
platform::journal::WithoutJournal WarnWithoutJournal(std::wstring_view what) {
  cli::PrintError(L"korvane: warning: the change journal cannot be written, so this change cannot be undone: " +
                  std::wstring(what));
  return platform::journal::WithoutJournal::GoOn;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // No "insert a disk" or "cannot open file" boxes for a missing or empty drive.
  platform::QuietDriveErrors();
  platform::SetMsgBoxHandler(&PrintMessageBox);
  platform::journal::SetJournalFailureHandler(&WarnWithoutJournal);
  cli::AllowUndo();
  try {
    return cli::Run(std::vector<std::wstring>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    cli::PrintError(L"korvane: " + cli::FromUtf8(e.what()));
  } catch (...) {
    cli::PrintError(L"korvane: an unexpected error");
  }
  return cli::kExitFailed;
}
