// The commands as a table: their words, usage lines, what they take, and the
// function that runs each. Parsing, help, usage errors, the journal's policy
// and the LocalSystem refusal come from the table, so every command follows
// the same conventions.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The exit codes scripts rely on; the same meaning for every command.
inline constexpr int kExitDone = 0;      // done, nothing to do, or only unusual findings
inline constexpr int kExitFindings = 1;  // worm findings remain
inline constexpr int kExitUsage = 2;     // bad usage, or a drive Korvane does not check
inline constexpr int kExitFailed = 3;    // something was refused or failed

struct Command;

// One run of a command: what followed its words.
struct Invocation {
  const Command* command = nullptr;
  std::vector<std::wstring> operands;
  std::vector<std::size_t> operandWords;  // where each operand was typed: 1 is the first word after "korvane"
  std::map<std::wstring, std::wstring> options;  // by their lower-case names: "--json" -> "", "--password" -> its value

  bool Has(const std::wstring& option) const { return options.contains(option); }
  std::wstring Option(const std::wstring& option) const;
  bool Json() const { return Has(L"--json"); }
};

struct OptionSpec {
  const wchar_t* name;  // "--clean", in lower case
  bool takesValue;
};

// Whose settings a command changes. Run as LocalSystem, the current user is
// SYSTEM itself, so a per-user change would land in SYSTEM's own profile.
enum class Scope {
  Reads,    // changes nothing
  Machine,  // drives, files, machine-wide values: fine as LocalSystem
  PerUser,  // refused as LocalSystem
  Decides,  // the command judges for itself (RefuseAsLocalSystem)
};

struct Command {
  const wchar_t* words;  // "repair autorun", in lower case
  const wchar_t* usage;  // "korvane repair autorun E:"
  const wchar_t* summary;
  std::size_t minOperands;
  std::size_t maxOperands;
  // Besides --json and the help switches, which every command takes, and
  // --no-journal, which every command that changes something takes.
  std::vector<OptionSpec> options;
  int (*run)(const Invocation&);
  Scope scope = Scope::Reads;
};

// --password TEXT and --password-stdin, for a command that takes a password.
inline const std::vector<OptionSpec> kPasswordOptions = {{L"--password", true}, {L"--password-stdin", false}};

std::span<const Command> Commands();

// Prints the command's name, the problem and its usage line; returns kExitUsage.
// Under --json the same goes out as an error document with the code "usage".
int UsageError(const Invocation& invocation, std::wstring_view problem);
// The same, naming the operand by where it was typed ("word 3 is not a drive
// letter"), never repeating it: it may be a password typed in the wrong place.
int UsageErrorAt(const Invocation& invocation, std::size_t operand, std::wstring_view problem);

// The password given with --password or as the first line of standard input
// with --password-stdin; nothing when neither was given.
std::optional<std::wstring> Password(const Invocation& invocation);

bool RunsAsLocalSystem();
// Refuses a change to the settings of the user running the command (exit 3).
int RefuseAsLocalSystem(const Invocation& invocation);

// True once the journal could not be written and the change was refused for it.
bool RefusedForJournal();
// A change that was not made: why, as an error (exit 3).
int NothingChanged(const Invocation& invocation);

// Parses the words and runs the command they name.
int Run(const std::vector<std::wstring>& args);

std::wstring HelpText();

}  // namespace cli
