// The commands' own functions, one file per group.
#pragma once

#include <optional>

#include "cli/command_line.h"
#include "journal/journal.h"

namespace cli {

int CheckDrive(const Invocation& invocation);
int CheckComputer(const Invocation& invocation);  // computer_command.cpp
int RepairAutorun(const Invocation& invocation);
int RepairFolderOptions(const Invocation& invocation);
int RepairTaskManager(const Invocation& invocation);
int RepairRegistryEditor(const Invocation& invocation);
int RestoreItem(const Invocation& invocation);
int ListTweaks(const Invocation& invocation);
int SetTweak(const Invocation& invocation);
int ListUndo(const Invocation& invocation);
int ShowUndo(const Invocation& invocation);
int UndoLast(const Invocation& invocation);
int UndoGroup(const Invocation& invocation);
int Integrate(const Invocation& invocation);

// The journal group a change made, for a script to undo by number: the
// newest group once the change is done, if it is newer than the one before.
class GroupWatch {
 public:
  GroupWatch();
  std::optional<platform::journal::GroupId> Made() const;

 private:
  platform::journal::GroupId newestBefore_ = 0;
};

}  // namespace cli
