// The repairs of the policies that lock the user out of Folder Options, the
// Registry Editor and Task Manager.
#pragma once

namespace repair {

enum class Restriction { FolderOptions, RegistryEditor, TaskManager };

// Deletes the policy value wherever it is set to 1, current user first, then
// the machine, and tells the user what was found.
void FixRestriction(Restriction restriction);

// The "?" beside the repairs: they may need administrator rights.
void ShowRestrictionHelp();

}  // namespace repair
