// check computer: the computer check of the Check This Computer window, its
// findings as lines or JSON, with --clean what the window checks by default,
// then a second look at what the clean changed.
#include <chrono>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "repair/computer_check/clean.h"
#include "repair/computer_check/scan.h"

namespace cli {

namespace {

namespace cc = repair::computer_check;
using Json = nlohmann::ordered_json;

constexpr auto kSecondLookWait = std::chrono::seconds(5);

Json FindingsJson(const cc::ScanResult& scan) {
  Json findings = Json::array();
  for (const cc::Finding& finding : scan.findings) {
    findings.push_back({{"kind", cc::KindId(finding.kind)},
                        {"item", ToUtf8(finding.item)},
                        {"proposal", cc::ProposalId(finding.proposal)},
                        {"strength", cc::StrengthId(finding.strength)},
                        {"proposedByDefault", finding.checked},
                        {"needsAdministrator", finding.needsAdmin},
                        {"evidence", ToUtf8(finding.evidence)},
                        {"commandLine", ToUtf8(finding.commandLine)}});
  }
  return findings;
}

Json CleanJson(const cc::CleanReport& report) {
  Json failures = Json::array();
  for (const cc::CleanFailure& failure : report.failures) {
    failures.push_back({{"item", ToUtf8(failure.item)}, {"reason", ToUtf8(failure.reason)}});
  }
  Json clean = {{"valuesChanged", report.valuesChanged},
                {"quarantined", report.quarantined},
                {"tasksDisabled", report.tasksDisabled},
                {"processesEnded", report.processesEnded},
                {"failures", failures},
                {"quarantineFolder", ToUtf8(report.quarantineFolder)}};
  clean["group"] = report.group ? Json(*report.group) : Json(nullptr);
  return clean;
}

void PrintFindings(const cc::ScanResult& scan) {
  PrintLine(cc::ScanSummary(scan));
  const cc::Kind* kind = nullptr;
  for (const cc::Finding& finding : scan.findings) {
    if (!kind || *kind != finding.kind) {
      kind = &finding.kind;
      PrintLine(std::wstring(cc::KindCaption(finding.kind)) + L":");
    }
    PrintLine(std::wstring(finding.checked ? L"  [x] " : L"  [ ] ") + finding.item + L"  -> " +
              std::wstring(cc::ProposalCaption(finding.proposal)) + L" (" + finding.evidence + L")");
  }
}

}  // namespace

int CheckComputer(const Invocation& invocation) {
  const bool json = invocation.Has(L"--json");
  cc::Progress progress;
  cc::ScanResult scan;
  {
    const StopOnCtrlC stop(progress.cancel);
    scan = cc::Scan({}, progress);
  }
  if (scan.cancelled) {
    return Fail(kExitFailed, "stopped", L"korvane check computer: the check was stopped; nothing was changed.");
  }
  const auto selected = std::make_unique<bool[]>(scan.findings.size());
  bool worm = false;
  for (std::size_t i = 0; i < scan.findings.size(); ++i) {
    selected[i] = scan.findings[i].checked;
    worm = worm || selected[i];
  }
  Json document = {{"elevated", scan.elevated},
                   {"domainJoined", scan.domainJoined},
                   {"places", scan.places},
                   {"findings", FindingsJson(scan)}};
  if (!json) PrintFindings(scan);

  int exitCode = worm ? kExitFindings : kExitDone;
  if (invocation.Has(L"--clean") && worm) {
    const cc::CleanReport report = cc::Clean(scan, std::span<const bool>(selected.get(), scan.findings.size()));
    document["clean"] = CleanJson(report);
    if (!json) {
      const std::wstring undo = report.group ? L"korvane undo " + std::to_wstring(*report.group) : L"korvane undo last";
      PrintLine(cc::DescribeClean(report, L"To undo this clean: " + undo));
    }
    exitCode = report.cancelled || !report.failures.empty() ? kExitFailed : kExitDone;
    if (!report.cancelled && !invocation.Has(L"--no-recheck")) {
      if (!json) PrintLine(L"Looking again in 5 seconds...");
      const auto back = cc::SecondLook(report, kSecondLookWait);
      Json cameBack = Json::array();
      for (const cc::Changed& change : back) cameBack.push_back(ToUtf8(change.item));
      document["cameBack"] = cameBack;
      if (!back.empty()) {
        if (!json) PrintLine(cc::DescribeSecondLook(back));
        if (exitCode == kExitDone) exitCode = kExitFindings;
      }
    }
  }
  PrintDocument(document);
  return exitCode;
}

}  // namespace cli
