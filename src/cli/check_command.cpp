// check: the drive check of the Check a Drive window, its findings as lines or
// JSON, and with --clean what the window proposes by default; one drive, or
// every removable drive present.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "repair/computer_check/clean.h"
#include "repair/drive_check/clean.h"
#include "system/system_text.h"
#include "repair/drive_check/drives.h"
#include "repair/drive_check/rules.h"
#include "repair/drive_check/scan.h"
#include "repair/drive_check_words.h"

namespace cli {

namespace {

namespace dc = repair::drive_check;
using Json = nlohmann::ordered_json;

// The rename of a blank-named folder is offered unchecked, so --clean never does it.
std::vector<bool> DefaultSelection(const dc::ScanResult& scan) {
  std::vector<bool> selected(scan.findings.size());
  for (std::size_t i = 0; i < scan.findings.size(); ++i) {
    const dc::Finding& finding = scan.findings[i];
    selected[i] = finding.checked && finding.proposal != dc::Proposal::RenameToRecovered;
  }
  return selected;
}

// Worm evidence that calls for a change the selection leaves undone. Unusual
// findings are only listed, so they never make a check fail.
bool WormFindingsRemain(const dc::ScanResult& scan, const std::vector<bool>& done) {
  for (std::size_t i = 0; i < scan.findings.size(); ++i) {
    const dc::Finding& finding = scan.findings[i];
    if (finding.strength == dc::Strength::Worm && finding.checked && !done[i]) return true;
  }
  return false;
}

Json FindingsJson(const dc::ScanResult& scan) {
  Json findings = Json::array();
  for (const dc::Finding& finding : scan.findings) {
    findings.push_back({{"kind", std::string(dc::KindId(finding.kind))},
                        {"kindCaption", ToUtf8(dc::KindCaption(finding.kind))},
                        {"path", ToUtf8(finding.path)},
                        {"proposal", std::string(dc::ProposalId(finding.proposal))},
                        {"proposalCaption", ToUtf8(dc::ProposalCaption(finding.proposal))},
                        {"strength", std::string(dc::StrengthId(finding.strength))},
                        {"proposedByDefault", finding.checked},
                        {"details", ToUtf8(finding.details)}});
  }
  return findings;
}

Json CleanJson(const dc::CleanReport& report) {
  Json failures = Json::array();
  for (const dc::CleanFailure& failure : report.failures) {
    failures.push_back({{"path", ToUtf8(failure.path)}, {"reason", ToUtf8(failure.reason)}});
  }
  return {{"madeVisible", report.madeVisible},
          {"quarantined", report.quarantined},
          {"renamed", report.renamed},
          {"failures", failures},
          {"quarantineFolder", ToUtf8(report.quarantineFolder)},
          {"group", report.group ? Json(*report.group) : Json(nullptr)}};
}

void PrintFindings(const dc::ScanResult& scan) {
  PrintLine(repair::ScanSummary(scan));
  const dc::FindingKind* kind = nullptr;
  for (const dc::Finding& finding : scan.findings) {
    if (!kind || *kind != finding.kind) {
      kind = &finding.kind;
      PrintLine(std::wstring(dc::KindCaption(finding.kind)) + L":");
    }
    std::wstring details = finding.details;
    // The shown name already says what a blank name is made of, in words.
    if (const std::size_t codes = details.find(L"name made of U+"); codes != std::wstring::npos) {
      const std::size_t end = details.find(L"; ", codes);
      details.erase(codes, end == std::wstring::npos ? std::wstring::npos : end + 2 - codes);
    }
    std::wstring line = finding.checked ? L"  [x] " : L"  [ ] ";
    line += repair::ShownPath(finding.path);
    line += L" -> ";
    line += dc::ProposalCaption(finding.proposal);
    line += finding.strength == dc::Strength::Worm ? L"; worm: " : L"; unusual: ";
    line += details;
    PrintLine(line);
  }
  for (const std::wstring& folder : scan.unreadable) PrintLine(L"Could not be read: " + repair::ShownPath(folder));
}

// Fills `document` with the drive's result, or {"drive", "error"} when it failed; returns the exit code.
int Failed(Json& document, const std::wstring& drive, int exitCode, std::string_view code,
           const std::wstring& message) {
  // One drive of several: its failure is told and the others go on.
  PrintError(message);
  document = {{"drive", ToUtf8(drive)}, {"error", {{"code", std::string(code)}, {"message", ToUtf8(message)}}}};
  return exitCode;
}

int CheckOne(wchar_t letter, bool clean, Json& document) {
  const std::wstring drive = std::wstring(1, letter) + L":";
  if (dc::IsWindowsDrive(letter)) {
    return Failed(document, drive, kExitUsage, "windows-drive",
                  L"korvane check: drive " + drive +
                      L" is the drive Windows runs from; Korvane does not check it, since its rules would take "
                      L"the Start menu's shortcuts and their programs. Nothing was changed.");
  }
  dc::Progress progress;
  dc::ScanResult scan;
  {
    const StopOnCtrlC stop(progress.cancel);
    scan = dc::Scan(letter, {}, progress);
  }
  if (scan.end == dc::ScanEnd::DriveGone) {
    return Failed(document, drive, kExitFailed, "drive-missing",
                  L"korvane check: drive " + drive + L" could not be read; it may have been removed. Nothing was "
                                                     L"changed.");
  }
  if (scan.end == dc::ScanEnd::Cancelled) {
    return Failed(document, drive, kExitFailed, "stopped",
                  L"korvane check: the check of drive " + drive + L" was stopped; nothing was changed.");
  }
  const std::vector<bool> selected = DefaultSelection(scan);
  const bool proposed = std::find(selected.begin(), selected.end(), true) != selected.end();
  int exitCode = kExitDone;
  document = {{"drive", ToUtf8(drive)}, {"items", scan.items}, {"findings", FindingsJson(scan)}};
  Json unreadable = Json::array();
  for (const std::wstring& folder : scan.unreadable) unreadable.push_back(ToUtf8(folder));
  document["unreadable"] = unreadable;
  PrintFindings(scan);

  std::vector<bool> done(scan.findings.size(), false);
  if (clean && proposed) {
    const std::unique_ptr<bool[]> chosen = std::make_unique<bool[]>(selected.size());
    std::copy(selected.begin(), selected.end(), chosen.get());
    const dc::CleanReport report = dc::Clean(scan, std::span<const bool>(chosen.get(), selected.size()));
    if (report.cancelled && RefusedForJournal()) {
      return Failed(document, drive, kExitFailed, "no-journal",
                    L"korvane check: the change journal cannot be written, so the clean could not be undone; "
                    L"nothing on drive " + drive + L" was changed. Add --no-journal to clean without a record.");
    }
    document["clean"] = CleanJson(report);
    PrintLine(dc::DescribeClean(report, letter,
                                report.group ? L"To undo this clean: korvane undo " + std::to_wstring(*report.group)
                                             : std::wstring()));
    if (report.quarantined) {
      const std::wstring note = repair::computer_check::StillInfectedNote(L"To check it: korvane check computer");
      if (!note.empty()) PrintLine(note);
    }
    done = selected;
    if (report.cancelled || !report.failures.empty()) exitCode = kExitFailed;
  } else if (proposed && !clean) {
    PrintLine(L"To carry out what is marked [x]: korvane check " + drive + L" --clean");
  }
  const bool remain = WormFindingsRemain(scan, done);
  document["wormFindingsRemain"] = remain;
  if (exitCode == kExitDone && remain) exitCode = kExitFindings;
  return exitCode;
}

// 3 (failed) is worse than 2 (a drive not checked), which is worse than 1 (worm findings remain).
int Worst(int a, int b) { return std::max(a, b); }

int CheckRemovable(bool clean) {
  const std::vector<dc::DriveInfo> drives = dc::RemovableDrives();
  if (drives.empty()) PrintLine(L"No removable drive is present.");
  Json results = Json::array();
  int exitCode = kExitDone;
  for (const dc::DriveInfo& drive : drives) {
    if (&drive != &drives.front()) PrintLine(L"");
    Json result;
    exitCode = Worst(exitCode, CheckOne(drive.letter, clean, result));
    results.push_back(std::move(result));
  }
  PrintDocument({{"drives", results}});
  return exitCode;
}

}  // namespace

int CheckDrive(const Invocation& invocation) {
  const bool clean = invocation.Has(L"--clean");
  if (invocation.Has(L"--removable")) {
    if (!invocation.operands.empty()) return UsageErrorAt(invocation, 0, L"was not expected with --removable");
    return CheckRemovable(clean);
  }
  if (invocation.operands.empty()) return UsageError(invocation, L"name a drive, or give --removable");
  const wchar_t letter = platform::DriveLetterOf(invocation.operands[0]);
  if (!letter) return UsageErrorAt(invocation, 0, L"is not a drive letter");
  Json result;
  const int exitCode = CheckOne(letter, clean, result);
  if (const auto error = result.find("error"); error != result.end()) {
    // Its words are on standard error already; the document is the error alone.
    PrintDocument({{"error", *error}});
  } else {
    PrintDocument(result);
  }
  return exitCode;
}

}  // namespace cli
