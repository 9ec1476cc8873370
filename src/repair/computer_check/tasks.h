// Scheduled tasks: read through the Task Scheduler's interface (hidden tasks
// too), and from their files under System32\Tasks when the interface lists
// none (Wine's lists none); disabled through the interface only.
#pragma once

#include <string>
#include <vector>

namespace repair::computer_check {

struct TaskAction {
  std::wstring command;  // the program, as stored
  std::wstring arguments;
};

struct ScheduledTask {
  std::wstring path;  // "\Folder\Name"
  bool enabled = true;
  std::vector<TaskAction> actions;  // the Exec actions
};

std::vector<ScheduledTask> ListTasks();
// The tasks described by the files under a folder laid out as System32\Tasks.
std::vector<ScheduledTask> ReadTaskFiles(const std::wstring& folder);

// Disables the task, then reads its state back. Empty on success, else why
// it is still enabled (a scheduler may say it did it and change nothing).
std::wstring DisableTask(const std::wstring& path);

}  // namespace repair::computer_check
