// check: the drive check of the Check a Drive window, its findings as lines or
// JSON, and with --clean what the window proposes by default.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "repair/drive_check/clean.h"
#include "repair/drive_check/scan.h"

namespace cli {

namespace {

namespace dc = repair::drive_check;
using Json = nlohmann::ordered_json;

std::atomic<dc::Progress*> scanning{nullptr};

// Ctrl+C or Ctrl+Break during a scan stops the scan, which then ends cleanly
// with nothing changed; at any other time the console's own handling applies.
BOOL WINAPI StopScan(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  dc::Progress* progress = scanning.load();
  if (!progress) return FALSE;
  progress->cancel = true;
  return TRUE;
}

class ScanGuard {
 public:
  explicit ScanGuard(dc::Progress& progress) {
    scanning = &progress;
    SetConsoleCtrlHandler(&StopScan, TRUE);
  }
  ~ScanGuard() {
    SetConsoleCtrlHandler(&StopScan, FALSE);
    scanning = nullptr;
  }
  ScanGuard(const ScanGuard&) = delete;
  ScanGuard& operator=(const ScanGuard&) = delete;
};

// The rename of a blank-named folder is offered unchecked, so --clean never does it.
std::unique_ptr<bool[]> DefaultSelection(const dc::ScanResult& scan, bool& any) {
  auto selected = std::make_unique<bool[]>(scan.findings.size());
  any = false;
  for (std::size_t i = 0; i < scan.findings.size(); ++i) {
    const dc::Finding& finding = scan.findings[i];
    selected[i] = finding.checked && finding.proposal != dc::Proposal::RenameToRecovered;
    any = any || selected[i];
  }
  return selected;
}

Json FindingsJson(const dc::ScanResult& scan) {
  Json findings = Json::array();
  for (const dc::Finding& finding : scan.findings) {
    findings.push_back({{"kind", ToUtf8(dc::KindCaption(finding.kind))},
                        {"path", ToUtf8(finding.path)},
                        {"proposal", ToUtf8(dc::ProposalCaption(finding.proposal))},
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
  Json clean = {{"madeVisible", report.madeVisible},
                {"quarantined", report.quarantined},
                {"renamed", report.renamed},
                {"failures", failures},
                {"quarantineFolder", ToUtf8(report.quarantineFolder)}};
  clean["journalGroup"] = report.group ? Json(*report.group) : Json(nullptr);
  return clean;
}

void PrintFindings(const dc::ScanResult& scan, const std::wstring& drive) {
  if (scan.findings.empty()) {
    PrintLine(L"Nothing was found on drive " + drive + L" (" + std::to_wstring(scan.items) + L" items seen).");
  } else {
    PrintLine(std::to_wstring(scan.findings.size()) + L" findings on drive " + drive + L" (" +
              std::to_wstring(scan.items) + L" items seen):");
  }
  const dc::FindingKind* kind = nullptr;
  for (const dc::Finding& finding : scan.findings) {
    if (!kind || *kind != finding.kind) {
      kind = &finding.kind;
      PrintLine(std::wstring(dc::KindCaption(finding.kind)) + L":");
    }
    PrintLine(std::wstring(finding.checked ? L"  [x] " : L"  [ ] ") + finding.path + L"  -> " +
              std::wstring(dc::ProposalCaption(finding.proposal)) + L" (" + finding.details + L")");
  }
  for (const std::wstring& folder : scan.unreadable) PrintLine(L"Could not be read: " + folder);
}

}  // namespace

int CheckDrive(const Invocation& invocation) {
  const wchar_t letter = DriveLetterOf(invocation.operands[0]);
  if (!letter) return UsageError(invocation, L"'" + invocation.operands[0] + L"' is not a drive letter");
  const std::wstring drive = std::wstring(1, letter) + L":";
  const bool json = invocation.Has(L"--json");
  dc::Progress progress;
  dc::ScanResult scan;
  {
    const ScanGuard guard(progress);
    scan = dc::Scan(letter, {}, progress);
  }
  if (scan.end == dc::ScanEnd::DriveGone) {
    PrintError(L"korvane check: drive " + drive + L" could not be read; it may have been removed. Nothing was changed.");
    return kExitFailed;
  }
  if (scan.end == dc::ScanEnd::Cancelled) {
    PrintError(L"korvane check: the check of drive " + drive + L" was stopped; nothing was changed.");
    return kExitFailed;
  }
  bool proposed = false;
  const std::unique_ptr<bool[]> selected = DefaultSelection(scan, proposed);
  Json document = {{"drive", ToUtf8(drive)}, {"items", scan.items}, {"findings", FindingsJson(scan)}};
  Json unreadable = Json::array();
  for (const std::wstring& folder : scan.unreadable) unreadable.push_back(ToUtf8(folder));
  document["unreadable"] = unreadable;
  if (!json) PrintFindings(scan, drive);

  int exitCode = proposed ? kExitFindings : kExitDone;
  if (invocation.Has(L"--clean") && proposed) {
    const dc::CleanReport report = dc::Clean(scan, std::span<const bool>(selected.get(), scan.findings.size()));
    document["clean"] = CleanJson(report);
    if (!json) {
      PrintLine(dc::DescribeClean(report, letter));
      if (report.group) PrintLine(L"From here: korvane undo " + std::to_wstring(*report.group));
    }
    exitCode = report.cancelled || !report.failures.empty() ? kExitFailed : kExitDone;
  }
  if (json) PrintUtf8(document.dump(2, ' ', false, Json::error_handler_t::replace));
  return exitCode;
}

}  // namespace cli
