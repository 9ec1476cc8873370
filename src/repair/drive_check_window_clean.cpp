// The Check a Drive window's clean: asked for, run on a worker, and shown row by row.
#include <algorithm>
#include <cwctype>
#include <thread>

#include "repair/computer_check/clean.h"
#include "repair/drive_check_window.h"
#include "repair/drive_check_window_jobs.h"
#include "system/message_box.h"
#include "system/system_text.h"

namespace repair {

namespace {

using drive_check::Proposal;
using platform::MsgBox;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;
namespace journal = platform::journal;

// The program's other windows, disabled while a clean records on a worker:
// the journal's group is open on this thread too, and nothing else may write
// into it meanwhile.
BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
  auto* windows = reinterpret_cast<std::vector<HWND>*>(data);
  if (platform::Form::FromHwnd(window) && IsWindowVisible(window) && IsWindowEnabled(window)) windows->push_back(window);
  return TRUE;
}

std::wstring Confirmation(const FindingRows& rows, wchar_t drive) {
  std::wstring text = L"Clean drive " + DriveName(drive) + L" now?\n";
  const std::pair<Proposal, const wchar_t*> lines[] = {
      {Proposal::MakeVisible, L"Made visible: "},
      {Proposal::MoveToQuarantine, L"Moved to the quarantine: "},
      {Proposal::RenameToRecovered, L"Renamed to \"Recovered items\": "},
  };
  for (const auto& [proposal, words] : lines) {
    const std::size_t count = rows.CheckedCount(proposal);
    if (count) text += L"\n" + std::wstring(words) + platform::GroupDigits(count);
  }
  text += L"\n\nUnchecked rows stay as they are. Tools > Undo Changes can put back what the clean does.";
  return text;
}

}  // namespace

std::wstring Count(std::uint64_t number, const wchar_t* one, const wchar_t* many) {
  return platform::GroupDigits(number) + L" " + (number == 1 ? one : many);
}

void FrmCheckDrive::CmdClean_Click() {
  if (Busy() || !rows_.Scan() || rows_.Cleaned() || rows_.Count() == 0) return;
  const auto scan = rows_.Scan();
  std::vector<bool> selection = rows_.Selection();
  if (std::none_of(selection.begin(), selection.end(), [](bool b) { return b; })) {
    MsgBox(L"No row is checked, so there is nothing to clean.", MsgIcon::Information);
    return;
  }
  // Results belong to the volume that was scanned, not to whatever is behind its letter now.
  if (const auto now = MarkOf(scan->drive); !now || !listedVolume_ || *now != *listedVolume_) {
    const std::wstring drive = DriveName(scan->drive);
    ClearResults(L"Drive " + drive + L" changed since the scan. Scan it again.");
    MsgBox(L"Drive " + drive + L" changed since the scan (it may be another drive now), so nothing was cleaned. "
           L"Scan it again.",
           MsgIcon::Exclamation);
    return;
  }
  if (MsgBox(Confirmation(rows_, scan->drive), MsgIcon::Exclamation, platform::kAppTitle, MsgButtons::YesNo) !=
      MsgResult::Yes) {
    return;
  }
  auto job = std::make_shared<CleanJob>();
  job->window = Hwnd();
  job->scan = scan;
  job->selection = std::move(selection);
  job->selected = std::make_unique<bool[]>(job->selection.size());
  std::copy(job->selection.begin(), job->selection.end(), job->selected.get());
  // Any question (go on without the journal?) is asked here, before the clean starts.
  job->action = std::make_unique<journal::Action>(drive_check::CleanWhat(*scan),
                                                   journal::ActionOptions{.drives = std::wstring(1, scan->drive)});
  if (job->action->Cancelled()) {
    job->action.reset();
    LblProgress.SetText(L"Nothing on drive " + DriveName(scan->drive) + L" was changed.");
    return;
  }
  job->progress.onProgress = [raw = job.get()](std::size_t done, std::size_t total) {
    raw->done = done;
    raw->total = total;
    const ULONGLONG now = GetTickCount64();
    if (now - raw->lastPost < kProgressEveryMs) return;
    raw->lastPost = now;
    PostMessageW(raw->window, kCleanProgress, 0, 0);
  };
  cleanJob_ = job;
  EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&disabled_));
  std::erase(disabled_, Hwnd());
  for (const HWND window : disabled_) EnableWindow(window, FALSE);
  EnableWindow(CmdCancel.Hwnd(), TRUE);
  FocusOn(CmdCancel.Hwnd());
  UpdateButtons();
  PrgScan.SetPercent(0);
  LblProgress.SetText(L"Cleaning drive " + DriveName(scan->drive) + L"...");
  std::thread([job] {
    drive_check::CleanReport report;
    try {
      const journal::JoinAction join(*job->action);
      report = drive_check::Clean(*job->scan, std::span<const bool>(job->selected.get(), job->selection.size()),
                                  &job->progress);
    } catch (...) {
      // What was done is seen on the drive below; the journal holds it.
      report.stopped = true;
      report.failures.push_back({job->scan->root, L"the clean stopped on an unexpected error"});
    }
    auto carried = CarriedOut(*job->scan, job->selection, report);
    // Worm files went: whatever put them there may still run on this computer.
    const std::wstring stillInfected =
        report.quarantined ? computer_check::StillInfectedNote(L"Tools > Check This Computer... finds it.")
                           : std::wstring();
    {
      const std::lock_guard guard(job->lock);
      job->report = std::move(report);
      job->carried = std::move(carried);
      job->stillInfected = stillInfected;
    }
    PostMessageW(job->window, kCleanDone, 0, reinterpret_cast<LPARAM>(job.get()));
  }).detach();
}

void FrmCheckDrive::ShowCleanProgress() {
  if (!cleanJob_ || cleanJob_->progress.cancel) return;
  const std::size_t done = cleanJob_->done;
  const std::size_t total = cleanJob_->total;
  if (total == 0) return;
  PrgScan.SetPercent(static_cast<int>(done * 100 / total));
  LblProgress.SetText(L"Cleaning drive " + DriveName(cleanJob_->scan->drive) + L": " + platform::GroupDigits(done) + L" of " +
                      Count(total, L"item", L"items") + L" done");
}

void FrmCheckDrive::CleanDone() {
  const auto job = std::move(cleanJob_);
  drive_check::CleanReport report;
  std::vector<bool> carried;
  std::wstring stillInfected;
  {
    const std::lock_guard guard(job->lock);
    report = std::move(job->report);
    carried = std::move(job->carried);
    stillInfected = std::move(job->stillInfected);
  }
  job->action.reset();  // ends the journal's group on the thread that opened it
  for (const HWND window : disabled_) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  disabled_.clear();
  PrgScan.SetPercent(0);
  const wchar_t drive = job->scan->drive;
  rows_.ApplyClean(report, carried);
  LstFindings.SetSortMark(-1, true);
  ShowRows(rows_.Count() ? 0 : -1);
  UpdateButtons();
  FocusOn(rows_.Count() ? LstFindings.Hwnd() : IsWindowEnabled(CmdScan.Hwnd()) ? CmdScan.Hwnd() : CboDrive.Hwnd());
  std::size_t left = 0;
  for (int row = 0; row < rows_.Count(); ++row) left += rows_.Cell(row, RowColumn::Proposed).rfind(L"Left", 0) == 0;
  const std::size_t failed = static_cast<std::size_t>(rows_.Count()) - left;
  std::wstring status = report.stopped ? L"The clean of drive " + DriveName(drive) + L" was stopped. "
                                       : L"Drive " + DriveName(drive) + L" was cleaned. ";
  if (report.madeVisible + report.quarantined + report.renamed == 0) {
    status = L"Nothing on drive " + DriveName(drive) + L" was changed. ";
  }
  if (left) status += Count(left, L"row was", L"rows were") + L" left as they were. ";
  if (failed) status += Count(failed, L"row", L"rows") + L" failed. ";
  LblProgress.SetText(status + L"Scan again to check.");
  std::wstring text = drive_check::DescribeClean(report, drive);
  if (report.stopped) text += L"\r\n\r\nThe clean was stopped; the rows not done are still listed.";
  if (!stillInfected.empty()) text += L"\r\n\r\n" + stillInfected;
  const bool trouble = !report.failures.empty() || report.cancelled || report.stopped;
  MsgBox(text, trouble ? MsgIcon::Exclamation : MsgIcon::Information);
  if (closeWhenDone_) {
    closeWhenDone_ = false;
    PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
    return;
  }
  TakeRequest();
}

void FrmCheckDrive::RequestScan(wchar_t letter) {
  letter = static_cast<wchar_t>(std::towupper(letter));
  if (Cleaning()) {
    requested_ = letter;
    return;
  }
  if (Scanning()) {
    if (scanJob_->drive == letter) return;
    requested_ = letter;
    scanJob_->progress.cancel = true;
    return;
  }
  RefreshDrives();
  SelectDrive(std::wstring(1, letter));
  if (SelectedLetter() == letter && IsWindowEnabled(CmdScan.Hwnd())) {
    CmdScan_Click();
    return;
  }
  // Shown chosen all the same, so that the window says why it is not scanned.
  const auto at = std::find_if(drives_.begin(), drives_.end(), [&](const auto& d) { return d.letter == letter; });
  if (at != drives_.end()) {
    CboDrive.SetListIndex(static_cast<int>(at - drives_.begin()));
    UpdateButtons();
  } else {
    LblProgress.SetText(L"Drive " + DriveName(letter) + L" is not here, so it was not checked.");
  }
}

void FrmCheckDrive::TakeRequest() {
  const wchar_t letter = requested_;
  requested_ = L'\0';
  if (letter) RequestScan(letter);
}

void ShowCheckDrive(std::wstring_view preferredDrive) {
  auto& form = platform::Instance<FrmCheckDrive>();
  if (!form.Busy()) form.SelectDrive(preferredDrive);
  form.Show();
}

void CheckDriveNow(std::wstring_view drive) {
  auto& form = platform::Instance<FrmCheckDrive>();
  form.Show();
  if (!drive.empty() && std::iswalpha(drive[0])) form.RequestScan(drive[0]);
}

}  // namespace repair
