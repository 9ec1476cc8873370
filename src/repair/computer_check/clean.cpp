#include "repair/computer_check/clean.h"

#include <algorithm>
#include <map>
#include <set>
#include <thread>

#include "journal/journal_machine.h"
#include "repair/computer_check/launchers.h"
#include "repair/computer_check/places.h"
#include "repair/computer_check/processes.h"
#include "repair/computer_check/tasks.h"
#include "repair/drive_check/quarantine.h"
#include "system/file_ops.h"
#include "system/registry.h"
#include "system/system_text.h"

namespace repair::computer_check {

namespace {

namespace journal = platform::journal;

std::wstring Refusal(bool elevated) {
  if (!elevated) return L"needs administrator rights";
  return L"the change was refused: " + platform::SystemMessage(static_cast<DWORD>(platform::RegLastResult));
}

// Quarantine folders by drive, opened when first needed. A file from outside
// the user's profile goes to the machine-wide quarantine, which only
// administrators may write, so that nobody without rights can swap what undo
// would put back there; without rights to it, to the user's own.
class Quarantines {
 public:
  std::wstring Take(const std::wstring& file, CleanReport& report) {
    if (file.size() < 3 || file[1] != L':') return L"not a path on a drive";
    const auto drive = static_cast<wchar_t>(towupper(file[0]));
    const bool machineWide = journal::machine::IsMachineWidePath(file, L"");
    auto found = open_.find({drive, machineWide});
    if (found == open_.end()) {
      std::optional<drive_check::Quarantine> quarantine;
      if (machineWide) {
        const std::wstring machineFolder = journal::machine::EnsureFolder();
        if (!machineFolder.empty()) quarantine = drive_check::Quarantine::Open(drive, machineFolder + L"Quarantine");
      }
      if (!quarantine) quarantine = drive_check::Quarantine::Open(drive);
      found = open_.emplace(std::pair{drive, machineWide}, std::move(quarantine)).first;
    }
    if (!found->second) return L"the quarantine folder cannot be written, so nothing was moved";
    if (report.quarantineFolder.empty()) report.quarantineFolder = found->second->Folder();
    return found->second->Take(file, std::wstring(1, drive) + L":\\");
  }

 private:
  std::map<std::pair<wchar_t, bool>, std::optional<drive_check::Quarantine>> open_;
};

bool ApplyStep(const RegStep& step) {
  const platform::RegOutcome outcome = step.after ? platform::RegSetRaw(step.root, step.key, step.name, *step.after)
                                                  : platform::RegDeleteValue(step.root, step.key, step.name);
  return outcome == platform::RegOutcome::Done;
}

// Registry values first, then the files they start: a value that could not
// be changed leaves its file in place, so nothing is left half done.
std::wstring ChangeValuesAndFiles(const Finding& finding, bool elevated, Quarantines& quarantines,
                                  std::set<std::wstring>& taken, CleanReport& report) {
  for (const RegStep& step : finding.registry) {
    if (!ApplyStep(step)) return Refusal(elevated);
    ++report.valuesChanged;
    report.changed.push_back({platform::RegDescribe(step.root, step.key, step.name), step, {}});
  }
  for (const std::wstring& file : finding.files) {
    if (!taken.insert(platform::Lowered(file)).second || !Places::Exists(file)) continue;
    const std::wstring failure = quarantines.Take(file, report);
    if (!failure.empty()) return Cat(file, L": ", failure);
    ++report.quarantined;
    report.changed.push_back({file, {}, file});
  }
  return {};
}

}  // namespace

CleanReport Clean(const ScanResult& scan, std::span<const bool> selected) {
  CleanReport report;
  std::vector<const Finding*> chosen;
  for (std::size_t i = 0; i < scan.findings.size() && i < selected.size(); ++i) {
    if (selected[i]) chosen.push_back(&scan.findings[i]);
  }
  if (chosen.empty()) return report;
  journal::Action action(L"Check This Computer: clean");
  if (action.Cancelled()) {
    report.cancelled = true;
    return report;
  }
  Quarantines quarantines;
  std::set<std::wstring> taken;
  // The findings come in the order of Kind: running script hosts end first, so
  // that they cannot put back what the rest of the clean removes.
  for (const Finding* finding : chosen) {
    std::wstring failure;
    if (finding->needsAdmin) {
      failure = L"needs administrator rights";
    } else if (finding->proposal == Proposal::EndProcess) {
      action.Note(L"Ended " + finding->item + L", which ran " + finding->commandLine);
      failure = EndLauncher(finding->process, finding->commandLine);
      if (failure.empty()) ++report.processesEnded;
    } else if (finding->proposal == Proposal::DisableTask) {
      action.Note(L"Disabled the scheduled task " + finding->task + L"; the Task Scheduler can enable it again");
      failure = DisableTask(finding->task);
      if (failure.empty()) ++report.tasksDisabled;
    } else {
      failure = ChangeValuesAndFiles(*finding, scan.elevated, quarantines, taken, report);
    }
    if (!failure.empty() && (finding->proposal == Proposal::EndProcess || finding->proposal == Proposal::DisableTask)) {
      journal::RecordNotMade();
    }
    if (!failure.empty()) report.failures.push_back({finding->item, failure});
  }
  if (action.Id()) report.group = action.Id();
  return report;
}

std::wstring StillInfectedNote(std::wstring_view openCheck) {
  Progress progress;
  const ScanResult scan = Scan({}, progress);
  const auto worms = static_cast<std::size_t>(std::count_if(
      scan.findings.begin(), scan.findings.end(), [](const Finding& f) { return f.strength == Strength::Worm; }));
  if (worms == 0) return {};
  std::wstring text = L"This computer still runs what infected the drive (";
  text += std::to_wstring(worms) + (worms == 1 ? L" finding" : L" findings");
  text += L"), so the next drive plugged in may be infected again. ";
  text += openCheck;
  return text;
}

std::wstring DescribeClean(const CleanReport& report, std::wstring_view undoHint) {
  if (report.cancelled) return L"Nothing on this computer was changed.";
  const bool changed = report.valuesChanged + report.quarantined + report.tasksDisabled + report.processesEnded > 0;
  std::wstring text = changed ? L"This computer was cleaned." : L"Nothing on this computer could be changed.";
  text += L"\r\n\r\nRegistry values removed or set back: " + std::to_wstring(report.valuesChanged) +
          L"\r\nMoved to quarantine: " + std::to_wstring(report.quarantined);
  if (report.tasksDisabled) text += L"\r\nScheduled tasks disabled: " + std::to_wstring(report.tasksDisabled);
  if (report.processesEnded) text += L"\r\nProcesses ended: " + std::to_wstring(report.processesEnded);
  text += L"\r\nFailed: " + std::to_wstring(report.failures.size());
  for (const auto& failure : report.failures) text += L"\r\n    " + failure.item + L": " + failure.reason;
  if (report.quarantined) text += L"\r\n\r\nThe quarantine is in " + report.quarantineFolder;
  if (changed) {
    text += L"\r\n\r\n";
    text += undoHint;
    if (report.tasksDisabled + report.processesEnded > 0) {
      text += L" Ended processes stay ended, and disabled tasks are enabled again only in the Task Scheduler.";
    }
  }
  return text;
}

std::vector<Changed> SecondLook(const CleanReport& report, std::chrono::milliseconds wait) {
  std::this_thread::sleep_for(wait);
  std::vector<Changed> back;
  for (const Changed& change : report.changed) {
    bool returned = false;
    if (!change.file.empty()) {
      returned = Places::Exists(change.file);
    } else {
      const platform::RegState now = platform::RegGetRaw(change.value.root, change.value.key, change.value.name);
      returned = change.value.after ? now != *change.value.after : now.present;
    }
    if (returned) back.push_back(change);
  }
  return back;
}

std::wstring DescribeSecondLook(const std::vector<Changed>& back) {
  if (back.empty()) return {};
  std::wstring text = L"A program on this computer keeps setting this again:";
  for (const Changed& change : back) text += L"\r\n    " + change.item;
  text += L"\r\n\r\nCheck This Computer can look for what does it.";
  return text;
}

}  // namespace repair::computer_check
