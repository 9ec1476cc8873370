#include "cli/command_line.h"

#include <sstream>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "res/version.h"

namespace cli {

namespace {

const OptionSpec kJson{L"--json", false};

const std::vector<Command>& Table() {
  static const std::vector<Command> table = {
      {L"check", L"korvane check E: [--clean] [--json]",
       L"Checks a whole drive for what a USB worm did; --clean carries out what is proposed (never the rename).", 1,
       {{L"--clean", false}, kJson}, &CheckDrive},
      {L"repair autorun", L"korvane repair autorun E:",
       L"Empties the drive's autorun.inf and leaves it hidden and system.", 1, {}, &RepairAutorun},
      {L"repair folder-options", L"korvane repair folder-options",
       L"Removes the policy that locks out Folder Options.", 0, {}, &RepairFolderOptions},
      {L"repair task-manager", L"korvane repair task-manager", L"Removes the policy that locks out Task Manager.", 0,
       {}, &RepairTaskManager},
      {L"repair registry-editor", L"korvane repair registry-editor",
       L"Removes the policy that locks out the Registry Editor.", 0, {}, &RepairRegistryEditor},
      {L"restore", L"korvane restore PATH",
       L"Clears read-only, hidden, system and archive of a file or folder a virus hid.", 1, {}, &RestoreItem},
      {L"tweak list", L"korvane tweak list [--json]",
       L"Lists every tweak: its id, page, caption and whether it is in force now.", 0, {kJson}, &ListTweaks},
      {L"tweak set", L"korvane tweak set ID on|off [--password TEXT]",
       L"Turns a tweak on or off, as a click of its box does. The security tweaks need the page's password when "
       L"one is set.",
       2, {{L"--password", true}}, &SetTweak},
      {L"undo list", L"korvane undo list [--json]", L"Lists the recorded changes, newest first.", 0, {kJson},
       &ListUndo},
      {L"undo show", L"korvane undo show ID [--json]",
       L"Lists what one recorded change changed, item by item, and whether each can still be undone.", 1, {kJson},
       &ShowUndo},
      {L"undo last", L"korvane undo last [--force] [--password TEXT]",
       L"Undoes the newest recorded change. A change altered since by something else is skipped (exit 3) unless "
       L"--force; one of the security tweaks needs the page's password when one is set.",
       0, {{L"--force", false}, {L"--password", true}}, &UndoLast},
      {L"undo", L"korvane undo ID [--force] [--password TEXT]",
       L"Undoes the recorded change with that number, as undo last does.", 1,
       {{L"--force", false}, {L"--password", true}}, &UndoGroup},
  };
  return table;
}

std::vector<std::wstring> Words(const wchar_t* text) {
  std::vector<std::wstring> words;
  std::wistringstream in(text);
  for (std::wstring word; in >> word;) words.push_back(word);
  return words;
}

const Command* FindCommand(const std::vector<std::wstring>& args, std::size_t& used) {
  const Command* best = nullptr;
  used = 0;
  for (const Command& command : Table()) {
    const std::vector<std::wstring> words = Words(command.words);
    if (words.size() <= used || words.size() > args.size()) continue;
    bool match = true;
    for (std::size_t i = 0; i < words.size() && match; ++i) match = args[i] == words[i];
    if (match) {
      best = &command;
      used = words.size();
    }
  }
  return best;
}

// "korvane repair frobnicate": the group's commands are the usage to show.
int UnknownCommand(const std::vector<std::wstring>& args) {
  std::vector<const Command*> group;
  for (const Command& command : Table()) {
    const std::vector<std::wstring> words = Words(command.words);
    if (words.size() > 1 && words[0] == args[0]) group.push_back(&command);
  }
  if (group.empty()) {
    PrintError(L"korvane: unknown command '" + args[0] + L"'");
    PrintError(L"Run 'korvane --help' for the commands.");
    return kExitUsage;
  }
  PrintError(L"korvane " + args[0] + L": " +
             (args.size() > 1 ? L"unknown command '" + args[1] + L"'" : std::wstring(L"which one?")));
  for (const Command* command : group) PrintError(std::wstring(L"usage: ") + command->usage);
  return kExitUsage;
}

const OptionSpec* FindOption(const Command& command, std::wstring_view name) {
  for (const OptionSpec& option : command.options) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

}  // namespace

std::span<const Command> Commands() { return Table(); }

std::wstring Invocation::Option(const std::wstring& option) const {
  const auto found = options.find(option);
  return found == options.end() ? std::wstring() : found->second;
}

int UsageError(const Invocation& invocation, std::wstring_view problem) {
  PrintError(std::wstring(L"korvane ") + invocation.command->words + L": " + std::wstring(problem));
  PrintError(std::wstring(L"usage: ") + invocation.command->usage);
  return kExitUsage;
}

int Run(const std::vector<std::wstring>& args) {
  if (args.empty()) {
    PrintError(L"korvane: no command given");
    PrintError(L"Run 'korvane --help' for the commands.");
    return kExitUsage;
  }
  if (args[0] == L"--help" || args[0] == L"-h" || args[0] == L"/?" || args[0] == L"help") {
    PrintLine(HelpText());
    return kExitDone;
  }
  if (args[0] == L"--version") {
    PrintLine(L"korvane " KORVANE_VERSION_TEXT);
    return kExitDone;
  }
  std::size_t used = 0;
  const Command* command = FindCommand(args, used);
  if (!command) return UnknownCommand(args);

  Invocation invocation;
  invocation.command = command;
  bool optionsEnded = false;
  for (std::size_t i = used; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    if (optionsEnded || !arg.starts_with(L"--")) {
      invocation.operands.push_back(arg);
    } else if (arg == L"--") {
      optionsEnded = true;
    } else if (arg == L"--help") {
      PrintLine(std::wstring(L"usage: ") + command->usage);
      PrintLine(command->summary);
      return kExitDone;
    } else if (const OptionSpec* option = FindOption(*command, arg)) {
      if (option->takesValue && i + 1 >= args.size()) return UsageError(invocation, arg + L" needs a value");
      invocation.options[arg] = option->takesValue ? args[++i] : std::wstring();
    } else {
      return UsageError(invocation, L"unknown option '" + arg + L"'");
    }
  }
  if (invocation.operands.size() < command->operands) return UsageError(invocation, L"missing operand");
  if (invocation.operands.size() > command->operands) {
    return UsageError(invocation, L"unexpected '" + invocation.operands[command->operands] + L"'");
  }
  return command->run(invocation);
}

std::wstring HelpText() {
  std::wstring text =
      L"Korvane " KORVANE_VERSION_TEXT
      L": repairs what viruses on USB drives leave behind, and sets Windows tweaks.\r\n"
      L"Every change is recorded in the change journal and can be undone.\r\n\r\nCommands:\r\n";
  for (const Command& command : Table()) {
    text += std::wstring(L"  ") + command.usage + L"\r\n      " + command.summary + L"\r\n";
  }
  text +=
      L"  korvane --help | --version\r\n\r\n"
      L"Exit codes:\r\n"
      L"  0  done, or nothing to do\r\n"
      L"  1  a check without --clean found something that --clean would change\r\n"
      L"  2  bad usage (the command and its usage line are named on standard error)\r\n"
      L"  3  something was refused or failed\r\n\r\n"
      L"Output: plain lines for people, or with --json one JSON document. Text reaches a console as\r\n"
      L"Unicode, and a redirected file or a pipe as UTF-8. Korvane never asks a question or opens a\r\n"
      L"window from the command line; Ctrl+C stops a check cleanly. When the change journal cannot\r\n"
      L"be written, a warning says so on standard error and the change is made all the same.";
  return text;
}

}  // namespace cli
