#include "repair/drive_check/clean.h"

#include <windows.h>

#include "system/file_ops.h"
#include "repair/drive_check/quarantine.h"
#include "repair/drive_check/walker.h"

namespace repair::drive_check {

namespace {

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool Present(const std::wstring& path) {
  return GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring MakeVisible(const std::wstring& path) {
  try {
    const DWORD attributes = platform::GetAttr(SystemPath(path));
    if (!(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) return {};
    platform::SetAttr(SystemPath(path), attributes & kKeptAttributes);
    return {};
  } catch (const platform::FileError& error) {
    return ErrorText(error.Code());
  }
}

std::wstring FreeName(const std::wstring& folder) {
  std::wstring name = Join(folder, kRecoveredName);
  for (int n = 2; Present(name); ++n) name = Join(folder, std::wstring(kRecoveredName) + L" (" + std::to_wstring(n) + L")");
  return name;
}

std::wstring RenameRecovered(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\');
  const std::wstring to = FreeName(path.substr(0, slash + 1));
  try {
    platform::Rename(SystemPath(path), SystemPath(to));
    return {};
  } catch (const platform::FileError& error) {
    if (error.Code() == ERROR_CANCELLED) return L"the change journal could not be written";
    return ErrorText(error.Code());
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
  const std::wstring probe = Join(root, L"korvane-write-check-" + std::to_wstring(GetTickCount64()) + L".tmp");
  const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_WRITE_PROTECT || error == ERROR_ACCESS_DENIED;
  }
  CloseHandle(file);
  DeleteFileW(probe.c_str());
  return false;
}

}  // namespace

CleanReport Clean(const ScanResult& scan, std::span<const bool> selected, CleanProgress* progress) {
  CleanReport report;
  std::vector<const Finding*> chosen;
  for (std::size_t i = 0; i < scan.findings.size() && i < selected.size(); ++i) {
    if (selected[i] && scan.findings[i].proposal != Proposal::LeaveAlone) chosen.push_back(&scan.findings[i]);
  }
  if (chosen.empty()) return report;
  auto failAll = [&](const std::wstring& reason) {
    for (const Finding* finding : chosen) report.failures.push_back({finding->path, reason});
    return report;
  };
  if (!Present(scan.root)) return failAll(L"the drive is no longer there");
  if (WriteProtected(scan.root)) return failAll(L"the drive is write-protected");

  platform::journal::Action action(L"Check a Drive: clean of drive " + std::wstring(1, scan.drive) + L":",
                                   {.drives = std::wstring(1, scan.drive)});
  if (action.Cancelled()) {
    report.cancelled = true;
    return report;
  }
  std::optional<Quarantine> quarantine;
  bool quarantineFailed = false;
  std::size_t done = 0;
  // Renames come last: they change the paths of what lies inside.
  for (const Proposal pass : {Proposal::MakeVisible, Proposal::MoveToQuarantine, Proposal::RenameToRecovered}) {
    for (const Finding* finding : chosen) {
      if (finding->proposal != pass) continue;
      if (progress && progress->cancel.load()) {
        report.stopped = true;
        break;
      }
      if (progress && progress->onProgress) progress->onProgress(done, chosen.size());
      ++done;
      if (!Present(scan.root)) {
        report.failures.push_back({finding->path, L"the drive is no longer there"});
        continue;
      }
      std::wstring failure;
      if (pass == Proposal::MakeVisible) {
        failure = MakeVisible(finding->path);
        if (failure.empty()) ++report.madeVisible;
      } else if (pass == Proposal::MoveToQuarantine) {
        if (!quarantine && !quarantineFailed) {
          quarantine = Quarantine::Open(scan.drive);
          quarantineFailed = !quarantine;
          if (quarantine) report.quarantineFolder = quarantine->Folder();
        }
        failure = quarantine ? quarantine->Take(finding->path, scan.root)
                             : L"the quarantine folder cannot be written, so nothing was moved";
        if (failure.empty()) ++report.quarantined;
      } else {
        failure = RenameRecovered(finding->path);
        if (failure.empty()) ++report.renamed;
      }
      if (!failure.empty()) report.failures.push_back({finding->path, failure});
    }
  }
  // The journal names the group with its first item.
  if (action.Id()) report.group = action.Id();
  return report;
}

std::wstring DescribeClean(const CleanReport& report, wchar_t drive) {
  const std::wstring letter = std::wstring(1, drive) + L":";
  if (report.cancelled) return L"Nothing on drive " + letter + L" was changed.";
  const bool changed = report.madeVisible + report.quarantined + report.renamed > 0;
  std::wstring text = changed ? L"Drive " + letter + L" was cleaned." : L"Nothing on drive " + letter + L" could be changed.";
  text += L"\r\n\r\nMade visible: " + std::to_wstring(report.madeVisible) + L"\r\nMoved to quarantine: " +
          std::to_wstring(report.quarantined);
  if (report.renamed) {
    text += L"\r\nRenamed to \"" + std::wstring(kRecoveredName) + L"\": " + std::to_wstring(report.renamed);
  }
  text += L"\r\nFailed: " + std::to_wstring(report.failures.size());
  for (const auto& failure : report.failures) text += L"\r\n    " + failure.path + L": " + failure.reason;
  if (report.quarantined) text += L"\r\n\r\nThe quarantine is in " + report.quarantineFolder;
  if (changed) text += L"\r\n\r\nTo undo this clean, use Tools > Undo Changes.";
  return text;
}

}  // namespace repair::drive_check
