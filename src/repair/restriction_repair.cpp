#include "repair/restriction_repair.h"

#include "journal/journal.h"
#include "system/message_box.h"
#include "system/registry.h"

namespace repair {

namespace {

using platform::MsgBox;
using platform::MsgIcon;

constexpr wchar_t kExplorerPolicies[] = L"Software\\Microsoft\\windows\\currentversion\\policies\\explorer";
constexpr wchar_t kSystemPolicies[] = L"Software\\Microsoft\\windows\\currentversion\\policies\\system";

constexpr wchar_t kRestartNeeded[] = L"Please restart the computer for any changes to take effect";
constexpr wchar_t kNotRemoved[] =
    L"Korvane could not remove the restriction. Administrator rights may be required.";
constexpr wchar_t kHelp[] =
    L"Fixing the folder options, task manager and registry editor inaccessibility may require administrator "
    L"privileges";
constexpr wchar_t kHelpTitle[] = L"Information";

struct RestrictionRow {
  const wchar_t* key;
  const wchar_t* valueRead;
  const wchar_t* valueDeleted;  // the same value; registry names ignore case
  const wchar_t* notFound;
  const wchar_t* repaired;
  bool askRestart;
  const wchar_t* action;  // the journal's name for the repair
};

// In the order of the Restriction enumeration.
constexpr RestrictionRow kRows[] = {
    {kExplorerPolicies, L"nofolderoptions", L"NoFolderOptions", L"No Folder Options restriction detected",
     L"Korvane successfully attempted to fix the folder options inaccessibility", true,
     L"Fix: Folder Options restriction"},
    {kSystemPolicies, L"disableregistrytools", L"disableregistrytools", L"No Registry Editor restriction detected",
     L"Korvane successfully attempted to fix the Registry Editor inaccessibility", false,
     L"Fix: Registry Editor restriction"},
    {kSystemPolicies, L"disabletaskmgr", L"disabletaskmgr", L"No Task Manager restriction detected",
     L"Korvane successfully attempted to fix the Task Manager inaccessibility", true,
     L"Fix: Task Manager restriction"},
};

}  // namespace

RestrictionRepair RemoveRestriction(Restriction restriction) {
  const RestrictionRow& row = kRows[static_cast<int>(restriction)];
  const platform::journal::Action action(row.action);
  if (action.Cancelled()) return RestrictionRepair::Cancelled;
  bool found = false;
  bool refused = false;
  for (const platform::RegRoot root : {platform::kCurrentUser, platform::kLocalMachine}) {
    if (!platform::RegGetValue(root, row.key, row.valueRead).EqualsNumber(1)) continue;
    found = true;
    const platform::RegOutcome deleted = platform::RegDeleteValue(root, row.key, row.valueDeleted);
    if (deleted == platform::RegOutcome::Cancelled) return RestrictionRepair::Cancelled;
    if (deleted == platform::RegOutcome::Refused) refused = true;
  }
  if (!found) return RestrictionRepair::NotFound;
  return refused ? RestrictionRepair::Refused : RestrictionRepair::Removed;
}

bool RestrictionSet(Restriction restriction) {
  const RestrictionRow& row = kRows[static_cast<int>(restriction)];
  return platform::RegGetValue(platform::kCurrentUser, row.key, row.valueRead).EqualsNumber(1) ||
         platform::RegGetValue(platform::kLocalMachine, row.key, row.valueRead).EqualsNumber(1);
}

void AllowUndoOfRestrictions() {
  for (const RestrictionRow& row : kRows) {
    for (const platform::RegRoot root : {platform::kCurrentUser, platform::kLocalMachine}) {
      platform::journal::AllowValue(root, row.key, row.valueDeleted);
    }
  }
}

std::vector<Message> RestrictionMessages(Restriction restriction, RestrictionRepair outcome) {
  const RestrictionRow& row = kRows[static_cast<int>(restriction)];
  switch (outcome) {
    case RestrictionRepair::NotFound:
      return {{row.notFound, MsgIcon::Exclamation}};
    case RestrictionRepair::Refused:
      return {{kNotRemoved, MsgIcon::Exclamation}};
    case RestrictionRepair::Cancelled:
      return {};
    case RestrictionRepair::Removed:
      break;
  }
  std::vector<Message> messages = {{row.repaired, MsgIcon::Information}};
  if (row.askRestart) messages.push_back({kRestartNeeded, MsgIcon::Information});
  return messages;
}

void FixRestriction(Restriction restriction) {
  ShowMessages(RestrictionMessages(restriction, RemoveRestriction(restriction)));
}

void ShowRestrictionHelp() { MsgBox(kHelp, MsgIcon::Information, kHelpTitle); }

}  // namespace repair
