// The Fix page's repairs and the hidden item restore, told as lines of text.
#include <string>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "repair/drive_repair.h"
#include "repair/hidden_restore.h"
#include "repair/restriction_repair.h"

namespace cli {

namespace {

// A cancel comes only from the journal; a file it cannot keep a copy of fails with the system's own reason.
std::wstring Reason(DWORD error) {
  if (error == ERROR_CANCELLED) return L"the change journal could not be written";
  return SystemMessage(error);
}

int NothingChanged() {
  PrintError(L"korvane: nothing was changed");
  return kExitFailed;
}

void PrintMessages(std::span<const repair::Message> messages) {
  for (const repair::Message& message : messages) PrintLine(message.text);
}

int RemoveAndTell(repair::Restriction restriction) {
  const repair::RestrictionRepair outcome = repair::RemoveRestriction(restriction);
  const std::vector<repair::Message> messages = repair::RestrictionMessages(restriction, outcome);
  if (outcome == repair::RestrictionRepair::Cancelled) return NothingChanged();
  if (outcome == repair::RestrictionRepair::Refused) {
    for (const repair::Message& message : messages) PrintError(message.text);
    return kExitFailed;
  }
  PrintMessages(messages);
  return kExitDone;
}

}  // namespace

wchar_t DriveLetterOf(std::wstring_view text) {
  if (text.size() == 2 && text[1] == L':') text.remove_suffix(1);
  if (text.size() != 1) return 0;
  const wchar_t c = text[0];
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
  return c >= L'A' && c <= L'Z' ? c : 0;
}

int RepairAutorun(const Invocation& invocation) {
  const wchar_t letter = DriveLetterOf(invocation.operands[0]);
  if (!letter) return UsageError(invocation, L"'" + invocation.operands[0] + L"' is not a drive letter");
  const repair::AutorunRepair result = repair::EmptyAutorun(std::wstring(1, letter));
  using Outcome = repair::AutorunRepair::Outcome;
  switch (result.outcome) {
    case Outcome::Healed:
      PrintMessages(repair::DriveRepairMessages(repair::DriveRepair::Healed));
      return kExitDone;
    case Outcome::NoAutorun:
      PrintLine(repair::DriveRepairMessages(repair::DriveRepair::NothingFound)[0].text);
      return kExitDone;
    case Outcome::NoDrive:
      PrintError(std::wstring(L"korvane repair autorun: drive ") + letter + L": is not there");
      return kExitFailed;
    case Outcome::Cancelled:
      return NothingChanged();
    case Outcome::NotALetter:
    case Outcome::Failed:
      break;
  }
  PrintError(L"korvane repair autorun: could not repair " + result.path + L": " + Reason(result.error));
  return kExitFailed;
}

int RepairFolderOptions(const Invocation&) { return RemoveAndTell(repair::Restriction::FolderOptions); }
int RepairTaskManager(const Invocation&) { return RemoveAndTell(repair::Restriction::TaskManager); }
int RepairRegistryEditor(const Invocation&) { return RemoveAndTell(repair::Restriction::RegistryEditor); }

int RestoreItem(const Invocation& invocation) {
  const std::wstring& path = invocation.operands[0];
  const repair::HiddenRestore result = repair::ClearHiddenAttributes(path);
  const std::wstring said = repair::RestoreMessages(result.outcome == repair::HiddenRestore::Outcome::Restored)[0].text;
  switch (result.outcome) {
    case repair::HiddenRestore::Outcome::Restored:
      PrintLine(said + L": " + path);
      return kExitDone;
    case repair::HiddenRestore::Outcome::Invalid:
      PrintError(said + L": " + path + L" names a device");
      return kExitFailed;
    case repair::HiddenRestore::Outcome::Cancelled:
      return NothingChanged();
    case repair::HiddenRestore::Outcome::Failed:
      break;
  }
  PrintError(said + L": " + path + L": " + Reason(result.error));
  return kExitFailed;
}

}  // namespace cli
