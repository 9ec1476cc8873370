#include "repair/drive_check/clean.h"

#include <windows.h>

#include <unordered_map>

#include "repair/drive_check/quarantine.h"
#include "repair/drive_check/walker.h"
#include "system/file_ops.h"
#include "system/handle.h"

namespace repair::drive_check {

namespace {

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool Present(const std::wstring& path) { return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// What one item's change came to: done, nothing left to do, or why it failed.
struct Outcome {
  bool changed = false;
  std::wstring failure;
};

std::wstring Reason(const platform::FileError& error) {
  if (error.Code() == ERROR_CANCELLED) return L"the change journal could not be written, so it was left as it is";
  return ErrorText(error.Code());
}

// The attributes are the scan's: the folder was listed again just before and
// matched, so the system is not asked once more for every item.
Outcome MakeVisible(const Finding& finding) {
  if (!(finding.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) return {};
  try {
    platform::SetAttr(LongPath(finding.path), finding.attributes, finding.attributes & kKeptAttributes);
    return {true, {}};
  } catch (const platform::FileError& error) {
    return {false, Reason(error)};
  }
}

// The journal records this many attribute changes in one write before making them.
constexpr std::size_t kBatch = 4096;

// The next batch of "make visible" changes from `from` on; `next` is where the one after starts.
std::vector<platform::journal::AttributeChange> VisibleBatch(const std::vector<const Finding*>& chosen, std::size_t from,
                                                             std::size_t& next) {
  std::vector<platform::journal::AttributeChange> changes;
  for (next = from; next < chosen.size() && changes.size() < kBatch; ++next) {
    const Finding& finding = *chosen[next];
    if (finding.proposal != Proposal::MakeVisible) continue;
    if (!(finding.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) continue;
    changes.push_back({LongPath(finding.path), finding.attributes, finding.attributes & kKeptAttributes});
  }
  return changes;
}

std::wstring FreeName(const std::wstring& folder) {
  std::wstring name = Join(folder, kRecoveredName);
  for (int n = 2; Present(name); ++n) name = Join(folder, std::wstring(kRecoveredName) + L" (" + std::to_wstring(n) + L")");
  return name;
}

Outcome RenameRecovered(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\');
  const std::wstring to = FreeName(path.substr(0, slash + 1));
  try {
    platform::Rename(LongPath(path), LongPath(to));
    return {true, {}};
  } catch (const platform::FileError& error) {
    return {false, Reason(error)};
  }
}

// The volume's flag where the system sets it; else a file of our own, made and
// gone at once (Wine reports no flag for a read-only mount).
bool WriteProtected(const std::wstring& root) {
  DWORD flags = 0;
  if (GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
      (flags & FILE_READ_ONLY_VOLUME)) {
    return true;
  }
  const std::wstring probe = LongPath(Join(root, L"korvane-write-check-" + std::to_wstring(GetTickCount64()) + L".tmp"));
  platform::Handle file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    return error == ERROR_WRITE_PROTECT || error == ERROR_ACCESS_DENIED;
  }
  file.Close();
  DeleteFileW(probe.c_str());
  return false;
}

std::wstring ParentOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  return path.substr(0, slash == 2 && path[1] == L':' ? slash + 1 : slash);
}

// Lists the drive's root and every folder holding a chosen item once more: the
// clean goes ahead only when each is as the scan saw it and still holds the
// item by its exact name and id. Empty when all agree, else what differed.
std::wstring SinceScan(const ScanResult& scan, const std::vector<const Finding*>& chosen) {
  const std::atomic<bool> never{false};
  std::vector<Entry> entries;
  FolderFacts facts;
  if (!ListFolder(scan.root, entries, facts, never) || facts.id != scan.rootId ||
      VolumeSerial(scan.root) != scan.volumeSerial) {
    return L"the drive in " + scan.root.substr(0, 2) + L" is not the one that was scanned";
  }
  std::unordered_map<std::wstring, const FolderSeal*> seals;
  for (const FolderSeal& seal : scan.folders) seals.emplace(seal.path, &seal);
  // Each folder's names with their ids, looked up by hash: one folder may hold 100,000 chosen items.
  std::unordered_map<std::wstring, std::unordered_map<std::wstring, std::uint64_t>> listed;
  for (const Finding* finding : chosen) {
    const std::wstring folder = ParentOf(finding->path);
    const auto seal = seals.find(folder);
    if (seal == seals.end()) return finding->path + L" lies in a folder the scan did not list";
    auto known = listed.find(folder);
    if (known == listed.end()) {
      if (!ListFolder(folder, entries, facts, never) || facts.id != seal->second->id ||
          Digest(entries) != seal->second->digest) {
        return folder + L" has changed since the scan";
      }
      known = listed.emplace(folder, std::unordered_map<std::wstring, std::uint64_t>()).first;
      known->second.reserve(entries.size());
      for (Entry& entry : entries) known->second.emplace(std::move(entry.name), entry.id);
    }
    const auto there = known->second.find(finding->path.substr(finding->path.find_last_of(L'\\') + 1));
    if (there == known->second.end() || there->second != finding->id) {
      return finding->path + L" is not the item the scan listed";
    }
  }
  return {};
}

}  // namespace

std::wstring CleanWhat(const ScanResult& scan) {
  std::wstring what = L"Check a Drive: clean of drive " + std::wstring(1, scan.drive) + L":";
  if (!scan.label.empty()) what += L" (" + scan.label + L")";
  return what;
}

CleanReport Clean(const ScanResult& scan, std::span<const bool> selected, CleanProgress* progress) {
  CleanReport report;
  std::vector<const Finding*> chosen;
  for (std::size_t i = 0; i < scan.findings.size() && i < selected.size(); ++i) {
    if (selected[i] && scan.findings[i].proposal != Proposal::LeaveAlone) chosen.push_back(&scan.findings[i]);
  }
  if (chosen.empty()) return report;
  if (!Present(scan.root)) {
    for (const Finding* finding : chosen) report.failures.push_back({finding->path, L"the drive is no longer there"});
    return report;
  }
  report.refusal = SinceScan(scan, chosen);
  if (!report.refusal.empty()) {
    // Each item named as not changed, so that a front end reading only the failures never calls this a success.
    report.rescanNeeded = true;
    for (const Finding* finding : chosen) {
      report.failures.push_back({finding->path, L"not changed: " + report.refusal + L"; scan the drive again"});
    }
    return report;
  }
  if (WriteProtected(scan.root)) {
    for (const Finding* finding : chosen) report.failures.push_back({finding->path, L"the drive is write-protected"});
    return report;
  }

  platform::journal::Action action(CleanWhat(scan), {.drives = std::wstring(1, scan.drive)});
  if (action.Cancelled()) {
    report.cancelled = true;
    return report;
  }
  std::optional<Quarantine> quarantine;
  bool quarantineFailed = false;
  std::size_t done = 0;
  // Renames come last: they change the paths of what lies inside.
  for (const Proposal pass : {Proposal::MakeVisible, Proposal::MoveToQuarantine, Proposal::RenameToRecovered}) {
    std::optional<platform::journal::AttributeBatch> batch;
    std::size_t batchEnd = 0;
    for (std::size_t at = 0; at < chosen.size(); ++at) {
      const Finding* finding = chosen[at];
      if (finding->proposal != pass || report.stopped) continue;
      if (pass == Proposal::MakeVisible && at >= batchEnd) {
        batch.reset();  // the last batch's changes never made are marked so first
        batch.emplace(VisibleBatch(chosen, at, batchEnd));
      }
      if (progress && progress->cancel.load()) {
        report.stopped = true;
        continue;
      }
      if (progress && progress->onProgress) progress->onProgress(done, chosen.size());
      ++done;
      Outcome outcome;
      if (pass == Proposal::MakeVisible) {
        outcome = MakeVisible(*finding);
        if (outcome.changed) ++report.madeVisible;
      } else if (pass == Proposal::MoveToQuarantine) {
        if (!quarantine && !quarantineFailed) {
          quarantine = Quarantine::Open(scan.drive);
          quarantineFailed = !quarantine;
          if (quarantine) report.quarantineFolder = quarantine->Folder();
        }
        outcome.failure = quarantine ? quarantine->Take(finding->path, scan.root)
                                     : L"the quarantine folder cannot be written, so nothing was moved";
        outcome.changed = outcome.failure.empty();
        if (outcome.changed) ++report.quarantined;
      } else {
        outcome = RenameRecovered(finding->path);
        if (outcome.changed) ++report.renamed;
      }
      // Asked only when something failed: once for every item would cost as much as the change.
      if (!outcome.failure.empty() && !Present(scan.root)) outcome.failure = L"the drive is no longer there";
      if (!outcome.failure.empty()) report.failures.push_back({finding->path, outcome.failure});
    }
  }
  if (progress && progress->onProgress) progress->onProgress(done, chosen.size());
  // The journal names the group with its first item.
  if (action.Id()) report.group = action.Id();
  // The group counts what the closing message counts, not the marks cleared on the way to the quarantine.
  action.Counted(report.madeVisible + report.quarantined + report.renamed);
  return report;
}

std::wstring DescribeClean(const CleanReport& report, wchar_t drive, std::wstring_view undoHint) {
  const std::wstring letter = std::wstring(1, drive) + L":";
  if (report.rescanNeeded) {
    return L"Nothing on drive " + letter + L" was changed: " + report.refusal +
           L".\r\n\r\nScan the drive again, then clean what the new scan lists.";
  }
  if (report.cancelled) return L"Nothing on drive " + letter + L" was changed.";
  const bool changed = report.madeVisible + report.quarantined + report.renamed > 0;
  std::wstring text = changed ? L"Drive " + letter + L" was cleaned." : L"Nothing on drive " + letter + L" was changed.";
  if (report.stopped) text += L" The clean was stopped before its end; what is counted below was done.";
  text += L"\r\n\r\nMade visible: " + std::to_wstring(report.madeVisible) + L"\r\nMoved to quarantine: " +
          std::to_wstring(report.quarantined);
  if (report.renamed) {
    text += L"\r\nRenamed to \"" + std::wstring(kRecoveredName) + L"\": " + std::to_wstring(report.renamed);
  }
  text += L"\r\nFailed: " + std::to_wstring(report.failures.size());
  for (const auto& failure : report.failures) text += L"\r\n    " + failure.path + L": " + failure.reason;
  if (report.quarantined) {
    text += L"\r\n\r\nThe quarantine is in " + report.quarantineFolder +
            L". Each file there is a whole copy made by the system's own copy call, which on NTFS keeps "
            L"a file's alternate data streams too.";
  }
  if (changed && !undoHint.empty()) text += L"\r\n\r\n" + std::wstring(undoHint);
  return text;
}

}  // namespace repair::drive_check
