// Finds what a worm left running on this computer: autostart values and
// files, a hijacked Winlogon, tools blocked through a debugger or a policy,
// services, scheduled tasks and running script hosts. Nothing is changed.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "repair/drive_check/scan.h"
#include "system/registry.h"

namespace repair::computer_check {

using drive_check::Progress;
using drive_check::Strength;

// In the order the findings are listed.
enum class Kind { Process, Run, Startup, Winlogon, Debugger, HiddenFiles, Policy, Service, Task };
enum class Proposal { EndProcess, DeleteValue, Quarantine, RemoveExtras, SetValue, DisableService, DisableTask };

// One registry change of a clean: the value deleted (no `after`) or set to `after`.
struct RegStep {
  platform::RegRoot root = platform::kCurrentUser;
  std::wstring key;
  std::wstring name;
  std::optional<platform::RegState> after;
};

struct Finding {
  Kind kind = Kind::Run;
  Proposal proposal = Proposal::DeleteValue;
  Strength strength = Strength::Worm;
  bool checked = true;      // worm evidence is carried out by default; the unusual is not
  std::wstring item;        // "HKCU\...\Run\name", a file, "Task \Folder\Name", "wscript.exe (process 42)"
  std::wstring evidence;    // why, for a person
  std::vector<RegStep> registry;
  std::vector<std::wstring> files;  // to the quarantine
  std::wstring task;        // the task's path, for DisableTask
  DWORD process = 0;        // for EndProcess
  std::wstring commandLine; // what the item starts, as found
  bool needsAdmin = false;  // a clean without administrator rights refuses it
};

std::wstring_view KindCaption(Kind kind);
std::wstring_view ProposalCaption(Proposal proposal);
// Fixed words for scripts, never translated or reworded.
std::string_view KindId(Kind kind);
std::string_view ProposalId(Proposal proposal);
using drive_check::StrengthId;

struct ScanOptions {
  // Tests stand in for what a test machine cannot be (joined to a domain, unelevated).
  std::optional<bool> domainJoined;
  std::optional<bool> elevated;
};

struct ScanResult {
  bool cancelled = false;
  bool domainJoined = false;
  bool elevated = true;
  std::size_t places = 0;  // values, files, services and tasks read
  std::vector<Finding> findings;  // in the order of Kind
};

ScanResult Scan(const ScanOptions& options, Progress& progress);

// The one line both front ends give once a scan has ended: findings and places read.
std::wstring ScanSummary(const ScanResult& scan);

// Whether this process runs with administrator rights; whether the computer belongs to a domain.
bool RunningElevated();
bool DomainJoined();

}  // namespace repair::computer_check
