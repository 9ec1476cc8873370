// Reading what a shortcut, an autorun.inf or a pointer file asks Windows to
// run: variables expanded, quoted command strings split, each named file
// looked up among the items the walk reached.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "repair/drive_check/rules.h"

namespace repair::drive_check {

// ".exe", lower-cased; empty without one.
std::wstring Extension(std::wstring_view name);
std::wstring Quoted(const std::wstring& text);
// %cd% as `currentFolder`, then the environment's variables (%COMSPEC%, %windir% ...).
std::wstring ExpandCommand(const std::wstring& text, const std::wstring& currentFolder);

struct CommandJudgement {
  std::wstring launcher;                 // the first launcher met ("wscript")
  std::vector<Reached> givenToLauncher;  // files here a launcher is given, whatever their extension
  std::vector<Reached> hidden;           // hidden or system files here that are started
  std::vector<Reached> programs;         // visible programs or scripts here that are started
  std::vector<std::wstring> missing;     // programs named on the drive that the walk did not reach
  std::vector<Reached> payloads;         // givenToLauncher and hidden, once each
};

// `base` is the folder relative names start from, also %cd%. `firstWordRuns`:
// the first word is run even without an extension (autorun.inf's open=setup).
void JudgeCommand(const std::wstring& command, const std::wstring& base, const DriveFacts& drive,
                  const WalkedItems& walked, CommandJudgement& into, bool firstWordRuns = false);
CommandJudgement JudgeCommand(const std::wstring& command, const std::wstring& base, const DriveFacts& drive,
                              const WalkedItems& walked);

// The first `limit` bytes of a file on the drive; empty when it cannot be read.
std::string ReadHead(const std::wstring& path, std::size_t limit, bool* cut = nullptr);
// The key=value lines of an autorun.inf's [autorun...] sections, in order.
std::vector<std::pair<std::wstring, std::wstring>> AutorunCommands(const std::string& bytes);
// The paths a .url or .scf (text) or a .pif (binary) names.
std::vector<std::wstring> NamedPaths(const std::string& bytes, bool binary);

}  // namespace repair::drive_check
