// The commands as a table: their words, usage lines, what they take, and the
// function that runs each. Parsing, help and usage errors come from the table.
#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

namespace cli {

// The exit codes scripts rely on.
inline constexpr int kExitDone = 0;      // done, or nothing to do
inline constexpr int kExitFindings = 1;  // a check without --clean found something
inline constexpr int kExitUsage = 2;     // bad usage
inline constexpr int kExitFailed = 3;    // something was refused or failed

struct Command;

// One run of a command: what followed its words.
struct Invocation {
  const Command* command = nullptr;
  std::vector<std::wstring> operands;
  std::map<std::wstring, std::wstring> options;  // "--json" -> "", "--password" -> its value

  bool Has(const std::wstring& option) const { return options.contains(option); }
  std::wstring Option(const std::wstring& option) const;
};

struct OptionSpec {
  const wchar_t* name;  // "--json"
  bool takesValue;
};

struct Command {
  const wchar_t* words;  // "repair autorun"
  const wchar_t* usage;  // "korvane repair autorun E:"
  const wchar_t* summary;
  std::size_t operands;
  std::vector<OptionSpec> options;
  int (*run)(const Invocation&);
};

std::span<const Command> Commands();

// Prints the command's name, the problem and its usage line; returns kExitUsage.
int UsageError(const Invocation& invocation, std::wstring_view problem);

// Parses the words and runs the command they name.
int Run(const std::vector<std::wstring>& args);

std::wstring HelpText();

}  // namespace cli
