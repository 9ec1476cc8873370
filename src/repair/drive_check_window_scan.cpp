// The Check a Drive window's scan: started on a worker, its findings listed
// as the walk reports them, then replaced by the scan's own result.
#include <iterator>
#include <thread>

#include "repair/drive_check_window.h"
#include "repair/drive_check_window_jobs.h"
#include "repair/drive_check_words.h"
#include "system/message_box.h"
#include "system/system_text.h"

namespace repair {

using drive_check::Proposal;
using drive_check::ScanEnd;
using platform::MsgBox;
using platform::MsgIcon;

void FrmCheckDrive::CmdScan_Click() {
  const wchar_t letter = SelectedLetter();
  if (!letter || Busy() || drive_check::IsWindowsDrive(letter)) return;
  rows_.Reset(nullptr);
  provisional_ = std::make_shared<drive_check::ScanResult>();
  provisional_->drive = letter;
  LstFindings.SetRowCount(0);
  LstFindings.SetSortMark(-1, true);
  TxtDetails.SetText(L"");
  listedDrive_ = L'\0';
  listedVolume_ = MarkOf(letter);
  auto job = std::make_shared<ScanJob>();
  job->window = Hwnd();
  job->drive = letter;
  // Progress comes throttled from the scan; the window reads it when the message arrives.
  job->progress.intervalMs = static_cast<unsigned>(kProgressEveryMs);
  job->progress.onFindings = [raw = job.get()](std::vector<drive_check::Finding> batch) {
    const std::lock_guard guard(raw->lock);
    if (raw->found.empty()) {
      raw->found = std::move(batch);
    } else {
      std::move(batch.begin(), batch.end(), std::back_inserter(raw->found));
    }
  };
  job->progress.onProgress = [raw = job.get()](std::uint64_t items, const std::wstring& folder) {
    {
      const std::lock_guard guard(raw->lock);
      raw->items = items;
      raw->folder = folder;
    }
    PostMessageW(raw->window, kScanProgress, 0, 0);
  };
  scanJob_ = job;
  FocusOn(CmdCancel.Hwnd());
  EnableWindow(CmdCancel.Hwnd(), TRUE);
  UpdateButtons();
  FocusOn(CmdCancel.Hwnd());
  PrgScan.SetBusy(true);
  LblProgress.SetText(L"Reading drive " + DriveName(letter) + L"...");
  std::thread([job] {
    auto result = std::make_shared<drive_check::ScanResult>(drive_check::Scan(job->drive, {}, job->progress));
    {
      const std::lock_guard guard(job->lock);
      job->result = std::move(result);
    }
    PostMessageW(job->window, kScanDone, 0, reinterpret_cast<LPARAM>(job.get()));
  }).detach();
}

void FrmCheckDrive::ShowScanProgress() {
  if (!scanJob_) return;
  std::uint64_t items = 0;
  std::wstring folder;
  std::vector<drive_check::Finding> found;
  {
    const std::lock_guard guard(scanJob_->lock);
    items = scanJob_->items;
    folder = scanJob_->folder;
    found.swap(scanJob_->found);
  }
  if (!found.empty()) ListFound(std::move(found));
  std::wstring text = Count(items, L"item", L"items") + L" seen";
  if (rows_.Count()) text += L", " + Count(static_cast<std::uint64_t>(rows_.Count()), L"finding", L"findings") + L" so far";
  LblProgress.SetText(text + L"; reading " + ShownPath(folder));
}

// The rows grow as the walk reports; the row the person is on stays theirs.
void FrmCheckDrive::ListFound(std::vector<drive_check::Finding> found) {
  if (!provisional_) return;
  const int focused = LstFindings.FocusedRow();
  const bool selected = focused >= 0 && !LstFindings.Selected().empty();
  const std::size_t finding = focused >= 0 && focused < rows_.Count() ? rows_.FindingIndex(focused) : 0;
  std::move(found.begin(), found.end(), std::back_inserter(provisional_->findings));
  rows_.Reset(provisional_, false);
  int row = -1;
  for (int i = 0; selected && i < rows_.Count(); ++i) {
    if (rows_.FindingIndex(i) == finding) row = i;
  }
  LstFindings.SetRowCount(rows_.Count());
  if (row >= 0) LstFindings.SelectOnly(row);
  LstFindings.Refresh();
  if (selected) ShowDetails();
}

void FrmCheckDrive::ScanDone() {
  std::shared_ptr<drive_check::ScanResult> scan;
  {
    const std::lock_guard guard(scanJob_->lock);
    scan = std::move(scanJob_->result);
  }
  scanJob_.reset();
  PrgScan.SetBusy(false);
  PrgScan.SetPercent(0);
  // The row the person chose while the walk went on, found again among the final rows.
  std::optional<std::pair<std::wstring, Proposal>> chosen;
  if (const int row = LstFindings.FocusedRow(); row >= 0 && row < rows_.Count() && !LstFindings.Selected().empty()) {
    chosen.emplace(rows_.At(row).path, rows_.At(row).proposal);
  }
  // A whole drive of rows listed during the walk takes a while to free: not on the window's thread.
  rows_.Reset(nullptr);
  if (provisional_) std::thread([old = std::move(provisional_)] {}).detach();
  const std::wstring drive = DriveName(scan->drive);
  if (scan->end != ScanEnd::Done) {
    // Part of a walk is not a list to clean from.
    LstFindings.SetRowCount(0);
    TxtDetails.SetText(L"");
  }
  if (scan->end == ScanEnd::DriveGone) {
    UpdateButtons();
    FocusOn(CmdScan.Hwnd());
    LblProgress.SetText(L"Drive " + drive + L" could not be read.");
    MsgBox(L"Drive " + drive + L" could not be read; it may have been removed. Nothing was changed.",
           MsgIcon::Exclamation);
    RefreshDrives();
    TakeRequest();
    return;
  }
  if (scan->end == ScanEnd::Cancelled) {
    listedVolume_.reset();
    UpdateButtons();
    FocusOn(IsWindowEnabled(CmdScan.Hwnd()) ? CmdScan.Hwnd() : CboDrive.Hwnd());
    LblProgress.SetText(L"The scan of drive " + drive + L" was cancelled; nothing was changed.");
    TakeRequest();
    return;
  }
  const std::size_t found = scan->findings.size();
  LblProgress.SetText(ScanSummary(*scan));
  listedDrive_ = scan->drive;
  rows_.Reset(std::move(scan));
  int first = found ? 0 : -1;
  for (int row = 0; chosen && row < rows_.Count(); ++row) {
    if (rows_.At(row).path == chosen->first && rows_.At(row).proposal == chosen->second) first = row;
  }
  ShowRows(first);
  UpdateButtons();
  FocusOn(found ? LstFindings.Hwnd() : CmdScan.Hwnd());
  TakeRequest();
}

}  // namespace repair
