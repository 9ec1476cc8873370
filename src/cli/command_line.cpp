#include "cli/command_line.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "journal/journal.h"
#include "res/version.h"
#include "system/handle.h"
#include "system/system_text.h"

namespace cli {

namespace {

namespace journal = platform::journal;

const std::vector<OptionSpec> kForce = {{L"--force", false}};

std::vector<OptionSpec> With(std::vector<OptionSpec> options, const std::vector<OptionSpec>& more) {
  options.insert(options.end(), more.begin(), more.end());
  return options;
}

const std::vector<Command>& Table() {
  static const std::vector<Command> table = {
      {L"check", L"korvane check E: | --removable [--clean] [--json]",
       L"Checks a whole drive, or every removable drive present, for what a USB worm did; --clean carries out "
       L"what is proposed (never the rename). The drive Windows runs from is never checked.",
       0, 1, {{L"--clean", false}, {L"--removable", false}}, &CheckDrive, Scope::Machine},
      {L"check computer", L"korvane check computer [--clean] [--json] [--no-recheck]",
       L"Checks this computer for what keeps a worm running; --clean carries out what is proposed, then looks again "
       L"after 5 seconds (not with --no-recheck).",
       0, 0, {{L"--clean", false}, {L"--no-recheck", false}}, &CheckComputer, Scope::Machine},
      {L"repair autorun", L"korvane repair autorun E:",
       L"Empties the drive's autorun.inf and leaves it hidden and system.", 1, 1, {}, &RepairAutorun, Scope::Machine},
      {L"repair folder-options", L"korvane repair folder-options",
       L"Removes the policy that locks out Folder Options.", 0, 0, {}, &RepairFolderOptions, Scope::Machine},
      {L"repair task-manager", L"korvane repair task-manager", L"Removes the policy that locks out Task Manager.", 0,
       0, {}, &RepairTaskManager, Scope::Machine},
      {L"repair registry-editor", L"korvane repair registry-editor",
       L"Removes the policy that locks out the Registry Editor.", 0, 0, {}, &RepairRegistryEditor, Scope::Machine},
      {L"restore", L"korvane restore PATH",
       L"Clears read-only, hidden, system and archive of a file or folder a virus hid.", 1, 1, {}, &RestoreItem,
       Scope::Machine},
      {L"tweak list", L"korvane tweak list [--json]",
       L"Lists every tweak: its id, page, caption and whether it is in force now.", 0, 0, {}, &ListTweaks},
      {L"tweak set", L"korvane tweak set ID on|off [--password TEXT | --password-stdin]",
       L"Turns a tweak on or off, as a click of its box does. The security tweaks need the page's password when "
       L"one is set; --password-stdin reads it from the first line of standard input.",
       2, 2, kPasswordOptions, &SetTweak, Scope::Decides},
      {L"undo list", L"korvane undo list [--json]", L"Lists the recorded changes, newest first.", 0, 0, {},
       &ListUndo},
      {L"undo show", L"korvane undo show ID [--json]",
       L"Lists what one recorded change changed, item by item, and whether each can still be undone.", 1, 1, {}, &ShowUndo},
      {L"undo last", L"korvane undo last [--force] [--password TEXT | --password-stdin]",
       L"Undoes the newest recorded change. A change altered since by something else is skipped (exit 3) unless "
       L"--force; one of the security tweaks needs the page's password when one is set.",
       0, 0, With(kForce, kPasswordOptions), &UndoLast, Scope::Machine},
      {L"undo", L"korvane undo ID [--force] [--password TEXT | --password-stdin]", L"Undoes the recorded change with that number, as undo last does.", 1,
       1, With(kForce, kPasswordOptions), &UndoGroup, Scope::Machine},
      {L"integrate", L"korvane integrate [--menu on|off] [--autoplay on|off] [--json]",
       L"Adds or removes \"Check with Korvane\" on the drive menu and in AutoPlay, for this user; without options, shows both.",
       0, 0, {{L"--menu", true}, {L"--autoplay", true}}, &Integrate, Scope::PerUser},
  };
  return table;
}

const OptionSpec kJsonOption{L"--json", false};
const OptionSpec kNoJournalOption{L"--no-journal", false};


bool IsHelpSwitch(std::wstring_view word) {
  const std::wstring lower = platform::Lowered(word);
  return lower == L"/?" || lower == L"-h" || lower == L"--help" || lower == L"-?";
}

std::wstring WordAt(std::size_t position) { return L"word " + std::to_wstring(position); }

std::vector<std::wstring> Words(const wchar_t* text) {
  std::vector<std::wstring> words;
  std::wistringstream in(text);
  for (std::wstring word; in >> word;) words.push_back(word);
  return words;
}

// The longest command whose words begin the arguments, compared without case.
const Command* FindCommand(const std::vector<std::wstring>& args, std::size_t& used) {
  const Command* best = nullptr;
  used = 0;
  for (const Command& command : Table()) {
    const std::vector<std::wstring> words = Words(command.words);
    if (words.size() <= used || words.size() > args.size()) continue;
    bool match = true;
    for (std::size_t i = 0; i < words.size() && match; ++i) match = platform::Lowered(args[i]) == words[i];
    if (match) {
      best = &command;
      used = words.size();
    }
  }
  return best;
}

// The commands whose words begin with these: "undo" also shows undo list and undo last.
std::vector<const Command*> Family(std::wstring_view first) {
  std::vector<const Command*> family;
  for (const Command& command : Table()) {
    if (Words(command.words)[0] == first) family.push_back(&command);
  }
  return family;
}

int ShowUsage(std::span<const Command* const> commands) {
  for (const Command* command : commands) PrintLine(std::wstring(L"usage: ") + command->usage);
  if (commands.size() == 1) PrintLine(commands[0]->summary);
  PrintLine(L"Every command takes --json; a command that changes something takes --no-journal.");
  return kExitDone;
}

// "korvane repair frobnicate": the group's commands are the usage to show.
int UnknownCommand(const std::vector<std::wstring>& args) {
  const std::vector<const Command*> group = Family(platform::Lowered(args[0]));
  if (group.empty()) {
    return Fail(kExitUsage, "usage", L"korvane: word 1 is not a command; run 'korvane --help' for the commands.");
  }
  if (std::any_of(args.begin(), args.end(), IsHelpSwitch)) return ShowUsage(group);
  std::wstring message = L"korvane " + platform::Lowered(args[0]) + L": " +
                         (args.size() > 1 ? WordAt(2) + L" is not one of its commands" : std::wstring(L"which one?"));
  for (const Command* command : group) message += std::wstring(L"\r\nusage: ") + command->usage;
  return Fail(kExitUsage, "usage", message);
}

const OptionSpec* FindOption(const Command& command, std::wstring_view name) {
  if (name == kJsonOption.name) return &kJsonOption;
  if (name == kNoJournalOption.name && command.scope != Scope::Reads) return &kNoJournalOption;
  for (const OptionSpec& option : command.options) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

// The journal's answer when it cannot be written: a script is told and the
// change refused, unless it said --no-journal.
bool goWithoutJournal = false;
bool refusedForJournal = false;

journal::WithoutJournal OnJournalFailure(std::wstring_view what) {
  if (goWithoutJournal) {
    PrintError(L"korvane: warning: the change journal cannot be written, so this change cannot be undone: " +
               std::wstring(what));
    return journal::WithoutJournal::GoOn;
  }
  refusedForJournal = true;
  return journal::WithoutJournal::Cancel;
}

// The first line of standard input, typed at a console without echo.
std::wstring ReadInputLine() {
  constexpr std::size_t kMost = 4096;  // no password is longer; a stray file piped in is not read whole
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return {};
  DWORD mode = 0;
  std::wstring line;
  if (GetConsoleMode(input, &mode)) {
    SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    wchar_t buffer[512];
    DWORD got = 0;
    if (ReadConsoleW(input, buffer, static_cast<DWORD>(std::size(buffer)), &got, nullptr)) line.assign(buffer, got);
    SetConsoleMode(input, mode);
    PrintError(L"");
  } else {
    std::string bytes;
    char c = 0;
    DWORD got = 0;
    while (bytes.size() < kMost && ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n') bytes += c;
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);  // PowerShell's UTF-8 may carry a byte order mark
    line = FromUtf8(bytes);
  }
  const std::size_t end = line.find_first_of(L"\r\n");
  if (end != std::wstring::npos) line.resize(end);
  return line;
}

int Dispatch(const std::vector<std::wstring>& args) {
  if (args.empty()) {
    return Fail(kExitUsage, "usage", L"korvane: no command given; run 'korvane --help' for the commands.");
  }
  const std::wstring first = platform::Lowered(args[0]);
  if (IsHelpSwitch(first) || first == L"help") {
    PrintLine(HelpText());
    return kExitDone;
  }
  if (first == L"--version") {
    if (JsonMode()) PrintDocument({{"version", KORVANE_VERSION_TEXT}});
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
    const std::size_t position = i + 1;
    if (!optionsEnded && arg == L"--") {
      optionsEnded = true;
    } else if (!optionsEnded && IsHelpSwitch(arg)) {
      return ShowUsage(Family(Words(command->words)[0]));
    } else if (optionsEnded || !arg.starts_with(L"--")) {
      invocation.operands.push_back(arg);
      invocation.operandWords.push_back(position);
    } else {
      const std::size_t equals = arg.find(L'=');
      const std::wstring name = platform::Lowered(arg.substr(0, equals));
      const OptionSpec* option = FindOption(*command, name);
      if (!option) return UsageError(invocation, WordAt(position) + L" is not an option of this command");
      if (!option->takesValue) {
        if (equals != std::wstring::npos) return UsageError(invocation, WordAt(position) + L" takes no value");
        invocation.options[name] = std::wstring();
      } else if (equals != std::wstring::npos) {
        invocation.options[name] = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        invocation.options[name] = args[++i];
      } else {
        return UsageError(invocation, WordAt(position) + L" needs a value");
      }
    }
  }
  if (invocation.operands.size() < command->minOperands) return UsageError(invocation, L"missing operand");
  if (invocation.operands.size() > command->maxOperands) {
    return UsageError(invocation, WordAt(invocation.operandWords[command->maxOperands]) + L" was not expected");
  }
  if (invocation.Has(L"--password") && invocation.Has(L"--password-stdin")) {
    return UsageError(invocation, L"give the password one way, --password or --password-stdin");
  }
  goWithoutJournal = invocation.Has(L"--no-journal");
  if (command->scope == Scope::PerUser && RunsAsLocalSystem()) return RefuseAsLocalSystem(invocation);
  return command->run(invocation);
}

}  // namespace

std::span<const Command> Commands() { return Table(); }

std::wstring Invocation::Option(const std::wstring& option) const {
  const auto found = options.find(option);
  return found == options.end() ? std::wstring() : found->second;
}

int UsageError(const Invocation& invocation, std::wstring_view problem) {
  return Fail(kExitUsage, "usage",
              std::wstring(L"korvane ") + invocation.command->words + L": " + std::wstring(problem) +
                  L"\r\nusage: " + invocation.command->usage);
}

int UsageErrorAt(const Invocation& invocation, std::size_t operand, std::wstring_view problem) {
  return UsageError(invocation, WordAt(invocation.operandWords.at(operand)) + L" " + std::wstring(problem));
}

std::optional<std::wstring> Password(const Invocation& invocation) {
  if (invocation.Has(L"--password-stdin")) return ReadInputLine();
  if (invocation.Has(L"--password")) return invocation.Option(L"--password");
  return std::nullopt;
}

bool RunsAsLocalSystem() {
  platform::Handle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out())) return false;
  alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  const bool known = GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size) != FALSE;
  return known && IsWellKnownSid(reinterpret_cast<const TOKEN_USER*>(buffer)->User.Sid, WinLocalSystemSid);
}

int RefuseAsLocalSystem(const Invocation& invocation) {
  return Fail(kExitFailed, "local-system",
              std::wstring(L"korvane ") + invocation.command->words +
                  L": refused: this changes the settings of the user who runs it, and Korvane runs as LocalSystem, "
                  L"so it would change the SYSTEM account's own settings, not a person's. Run it as that person. "
                  L"Nothing was changed.");
}

bool RefusedForJournal() { return refusedForJournal; }

int NothingChanged(const Invocation& invocation) {
  const std::wstring name = std::wstring(L"korvane ") + invocation.command->words + L": ";
  if (refusedForJournal) {
    return Fail(kExitFailed, "no-journal",
                name + L"the change journal cannot be written, so this change could not be undone; nothing was "
                       L"changed. Add --no-journal to make it without a record.");
  }
  return Fail(kExitFailed, "cancelled", name + L"nothing was changed");
}

int Run(const std::vector<std::wstring>& args) {
  // Known before parsing, so that even a usage error comes as a document.
  const auto end = std::find(args.begin(), args.end(), L"--");
  SetJsonMode(std::any_of(args.begin(), end, [](const std::wstring& arg) { return platform::Lowered(arg) == L"--json"; }));
  journal::SetJournalFailureHandler(&OnJournalFailure);
  const int exitCode = Dispatch(args);
  FinishJson(exitCode);
  return exitCode;
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
      L"  korvane --help | --version\r\n"
      L"  korvane COMMAND /?   (or -h, --help anywhere after the command): that command's usage\r\n\r\n"
      L"Commands and switches may be written in any case; --option=value and --option value both work.\r\n"
      L"Every command takes --json; a command that changes something takes --no-journal.\r\n\r\n"
      L"Exit codes:\r\n"
      L"  0  done, nothing to do, or only unusual findings (they are listed)\r\n"
      L"  1  worm findings remain (a check without --clean found some)\r\n"
      L"  2  bad usage, or the drive Windows runs from (standard error says which)\r\n"
      L"  3  something was refused or failed\r\n\r\n"
      L"Output: plain lines for people, or with --json one JSON document with \"format\": 1; a failure is\r\n"
      L"then {\"format\":1,\"error\":{\"code\":...,\"message\":...}}. Text reaches a console as Unicode, and a\r\n"
      L"redirected file or a pipe as UTF-8. Korvane never asks a question or opens a window from the\r\n"
      L"command line; Ctrl+C stops a check cleanly. When the change journal cannot be written, a change\r\n"
      L"is refused (exit 3) unless --no-journal is given.";
  return text;
}

}  // namespace cli
