// The repairs of the policies that lock the user out of Folder Options, the
// Registry Editor and Task Manager.
#pragma once

#include <vector>

#include "repair/repair_message.h"

namespace repair {

enum class Restriction { FolderOptions, RegistryEditor, TaskManager };

enum class RestrictionRepair {
  NotFound,  // set to 1 under neither root: nothing to do
  Removed,
  Refused,   // set, but a delete was refused
  Cancelled, // the journal could not be written and the user chose to change nothing
};

// Deletes the policy value wherever it is set to 1, current user first, then
// the machine, as one action of the change journal; shows nothing.
RestrictionRepair RemoveRestriction(Restriction restriction);

// Whether the policy value is set to 1 under either root (what the repair removes).
bool RestrictionSet(Restriction restriction);
// Lets undo write the values these repairs delete. Each front end calls it at start.
void AllowUndoOfRestrictions();

// The lines the window shows for an outcome, in order.
std::vector<Message> RestrictionMessages(Restriction restriction, RestrictionRepair outcome);

// Removes the restriction and tells the user what was found.
void FixRestriction(Restriction restriction);

// The "?" beside the repairs: they may need administrator rights.
void ShowRestrictionHelp();

}  // namespace repair
