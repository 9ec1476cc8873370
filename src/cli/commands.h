// The commands' own functions, one file per group.
#pragma once

#include "cli/command_line.h"

namespace cli {

int CheckDrive(const Invocation& invocation);
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

// Lets undo write what the pages, the repairs and the preferences change; once, at start.
void AllowUndo();

// "E:" or "e" -> L'E'; 0 when the text names no drive.
wchar_t DriveLetterOf(std::wstring_view text);

}  // namespace cli
