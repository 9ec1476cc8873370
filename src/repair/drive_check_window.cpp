#include "repair/drive_check_window.h"

#include <dbt.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "system/message_box.h"
#include "repair/drive_check/clean.h"

namespace repair {

namespace {

using drive_check::Finding;
using drive_check::ScanEnd;
using platform::MsgBox;
using platform::MsgIcon;

constexpr UINT kScanProgress = WM_APP + 1;
constexpr UINT kScanDone = WM_APP + 2;
constexpr int kListWidth = 9120;

std::wstring Grouped(std::uint64_t number) {
  std::wstring digits = std::to_wstring(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), L",");
  return digits;
}

std::wstring DriveName(wchar_t letter) { return std::wstring(1, letter) + L":"; }

}  // namespace

// Shared by the window and its worker; the worker never touches a control.
struct ScanJob {
  HWND window = nullptr;
  wchar_t drive = L'\0';
  drive_check::Progress progress;
  std::mutex lock;
  std::uint64_t items = 0;
  std::wstring folder;
  drive_check::ScanResult result;
};

FrmCheckDrive::FrmCheckDrive()
    : Form({.caption = L"Check a Drive", .clientWidth = 9600, .clientHeight = 6540}),
      LblDrive(*this, L"LblDrive", {240, 255, 700, 300}, L"Drive:"),
      CboDrive(*this, L"CboDrive", {960, 210, 5520, 330}, {}),
      CmdScan(*this, L"CmdScan", {6720, 195, 1200, 375}, L"Scan"),
      CmdCancel(*this, L"CmdCancel", {8040, 195, 1320, 375}, L"Cancel"),
      PrgScan(*this, L"PrgScan", {240, 750, kListWidth, 240}),
      LblProgress(*this, L"LblProgress", {240, 1080, kListWidth, 300}, L""),
      LstFindings(*this, L"LstFindings", {240, 1440, kListWidth, 4440},
                  {{L"Kind", 2040}, {L"Item", 2400}, {L"Proposed", 2400}, {L"Details", 2160}}),
      CmdClean(*this, L"CmdClean", {7560, 6030, 1800, 375}, L"Clean Selected") {
  LblProgress.SetFont({});
  CmdScan.onClick = [this] { CmdScan_Click(); };
  CmdCancel.onClick = [this] { CmdCancel_Click(); };
  CmdClean.onClick = [this] { CmdClean_Click(); };
}

FrmCheckDrive::~FrmCheckDrive() = default;

void FrmCheckDrive::Form_Load() {
  RefreshDrives();
  SetBusy(false);
  EnableWindow(CmdClean.Hwnd(), FALSE);
}

void FrmCheckDrive::Form_Activate() { RefreshDrives(); }

void FrmCheckDrive::Form_Unload() {
  // The worker ends at its next item; its results go nowhere.
  if (job_) job_->progress.cancel = true;
  job_.reset();
}

wchar_t FrmCheckDrive::SelectedLetter() const {
  const int index = CboDrive.ListIndex();
  return index >= 0 && index < static_cast<int>(drives_.size()) ? drives_[static_cast<std::size_t>(index)].letter
                                                                : L'\0';
}

void FrmCheckDrive::RefreshDrives() {
  const wchar_t selected = SelectedLetter();
  auto drives = drive_check::PresentDrives();
  for (const auto& drive : drives) {
    const bool known = std::any_of(drives_.begin(), drives_.end(), [&](const auto& d) { return d.letter == drive.letter; });
    if (!drives_.empty() && !known && drive.type == DRIVE_REMOVABLE) {
      std::erase(arrived_, drive.letter);
      arrived_.push_back(drive.letter);
    }
  }
  drives_ = std::move(drives);
  std::vector<std::wstring> items;
  for (const auto& drive : drives_) items.push_back(drive_check::Describe(drive));
  CboDrive.SetItems(std::move(items));
  SelectDrive(selected ? std::wstring(1, selected) : std::wstring());
}

void FrmCheckDrive::SelectDrive(std::wstring_view preferred) {
  auto indexOf = [&](wchar_t letter) {
    for (std::size_t i = 0; i < drives_.size(); ++i) {
      if (drives_[i].letter == static_cast<wchar_t>(towupper(letter))) return static_cast<int>(i);
    }
    return -1;
  };
  int index = preferred.size() == 1 ? indexOf(preferred[0]) : -1;
  for (auto it = arrived_.rbegin(); index < 0 && it != arrived_.rend(); ++it) index = indexOf(*it);
  for (std::size_t i = 0; index < 0 && i < drives_.size(); ++i) {
    if (drives_[i].type == DRIVE_REMOVABLE) index = static_cast<int>(i);
  }
  if (index < 0 && !drives_.empty()) index = 0;
  CboDrive.SetListIndex(index);
}

void FrmCheckDrive::SetBusy(bool busy) {
  EnableWindow(CmdScan.Hwnd(), !busy);
  EnableWindow(CboDrive.Hwnd(), !busy);
  EnableWindow(CmdCancel.Hwnd(), busy);
  if (busy) EnableWindow(CmdClean.Hwnd(), FALSE);
  PrgScan.SetBusy(busy);
  if (!busy) PrgScan.SetPercent(0);
}

void FrmCheckDrive::CmdScan_Click() {
  const wchar_t letter = SelectedLetter();
  if (!letter || job_) return;
  LstFindings.Clear();
  scan_ = {};
  auto job = std::make_shared<ScanJob>();
  job->window = Hwnd();
  job->drive = letter;
  // Progress comes throttled from the scan; the window reads it when the message arrives.
  job->progress.onProgress = [raw = job.get()](std::uint64_t items, const std::wstring& folder) {
    {
      const std::lock_guard guard(raw->lock);
      raw->items = items;
      raw->folder = folder;
    }
    PostMessageW(raw->window, kScanProgress, 0, 0);
  };
  job_ = job;
  SetBusy(true);
  LblProgress.SetText(L"Reading drive " + DriveName(letter) + L"...");
  std::thread([job] {
    auto result = drive_check::Scan(job->drive, {}, job->progress);
    {
      const std::lock_guard guard(job->lock);
      job->result = std::move(result);
    }
    PostMessageW(job->window, kScanDone, 0, reinterpret_cast<LPARAM>(job.get()));
  }).detach();
}

void FrmCheckDrive::CmdCancel_Click() {
  if (job_) job_->progress.cancel = true;
}

bool FrmCheckDrive::Form_Message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (msg == kScanProgress) {
    ShowProgress();
    return true;
  }
  if (msg == kScanDone) {
    // A message from a scan this window has let go of (closed and opened again) is old news.
    if (!job_ || reinterpret_cast<ScanJob*>(lParam) != job_.get()) return true;
    {
      const std::lock_guard guard(job_->lock);
      scan_ = std::move(job_->result);
    }
    job_.reset();
    SetBusy(false);
    ShowFindings();
    return true;
  }
  if (msg == WM_DEVICECHANGE) {
    if (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) RefreshDrives();
    *result = TRUE;
    return true;
  }
  return false;
}

void FrmCheckDrive::ShowProgress() {
  if (!job_) return;
  std::uint64_t items = 0;
  std::wstring folder;
  {
    const std::lock_guard guard(job_->lock);
    items = job_->items;
    folder = job_->folder;
  }
  LblProgress.SetText(Grouped(items) + L" items seen; reading " + folder);
}

void FrmCheckDrive::ShowFindings() {
  const std::wstring drive = DriveName(scan_.drive);
  if (scan_.end == ScanEnd::DriveGone) {
    LblProgress.SetText(L"Drive " + drive + L" could not be read.");
    MsgBox(L"Drive " + drive + L" could not be read; it may have been removed. Nothing was changed.",
           MsgIcon::Exclamation);
    RefreshDrives();
    return;
  }
  if (scan_.end == ScanEnd::Cancelled) {
    LblProgress.SetText(L"The scan of drive " + drive + L" was cancelled; nothing was changed.");
    return;
  }
  PrgScan.SetPercent(100);
  std::wstring summary = scan_.findings.empty()
                             ? L"Nothing was found on drive " + drive
                             : std::to_wstring(scan_.findings.size()) + L" findings on drive " + drive + L" (" +
                                   Grouped(scan_.items) + L" items seen)";
  if (!scan_.unreadable.empty()) {
    summary += L"; " + std::to_wstring(scan_.unreadable.size()) + L" folders could not be read, first " +
               scan_.unreadable.front();
  }
  LblProgress.SetText(summary);
  // The findings come grouped by kind; the kind is named on the first row of each group.
  for (std::size_t i = 0; i < scan_.findings.size(); ++i) {
    const Finding& finding = scan_.findings[i];
    const bool first = i == 0 || scan_.findings[i - 1].kind != finding.kind;
    LstFindings.AddRow({first ? std::wstring(drive_check::KindCaption(finding.kind)) : std::wstring(), finding.path,
                        std::wstring(drive_check::ProposalCaption(finding.proposal)), finding.details},
                       finding.checked, static_cast<LPARAM>(i));
  }
  EnableWindow(CmdClean.Hwnd(), !scan_.findings.empty());
}

void FrmCheckDrive::CmdClean_Click() {
  if (job_ || scan_.findings.empty()) return;
  const std::size_t count = scan_.findings.size();
  const auto selected = std::make_unique<bool[]>(count);
  bool any = false;
  for (int row = 0; row < LstFindings.RowCount(); ++row) {
    const auto index = static_cast<std::size_t>(LstFindings.Data(row));
    const bool checked = LstFindings.Checked(row);
    if (index < count) selected[index] = checked;
    any = any || checked;
  }
  if (!any) {
    MsgBox(L"No row is checked, so there is nothing to clean.", MsgIcon::Information);
    return;
  }
  const HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  const auto report = drive_check::Clean(scan_, std::span<const bool>(selected.get(), count));
  SetCursor(old);
  const bool failed = !report.failures.empty() || report.cancelled;
  MsgBox(drive_check::DescribeClean(report, scan_.drive), failed ? MsgIcon::Exclamation : MsgIcon::Information);
  if (report.cancelled) return;
  LstFindings.Clear();
  EnableWindow(CmdClean.Hwnd(), FALSE);
  LblProgress.SetText(L"Drive " + DriveName(scan_.drive) + L" was cleaned; scan it again to check.");
  scan_.findings.clear();
  RefreshDrives();
}

void ShowCheckDrive(std::wstring_view preferredDrive) {
  auto& form = platform::Instance<FrmCheckDrive>();
  if (!form.Scanning()) form.SelectDrive(preferredDrive);
  form.Show();
}

bool OpenDriveCheck(wchar_t letter, bool scan) {
  auto& form = platform::Instance<FrmCheckDrive>();
  if (form.Scanning() || !IsWindowEnabled(form.Hwnd())) return false;
  form.Show();
  const auto drives = drive_check::PresentDrives();
  if (std::none_of(drives.begin(), drives.end(), [&](const auto& drive) { return drive.letter == letter; })) {
    // Never another drive in its place: the user asked for this one.
    MsgBox(L"Drive " + DriveName(letter) + L" is not there, so it was not checked.", MsgIcon::Exclamation);
    return true;
  }
  form.SelectDrive(std::wstring(1, letter));
  if (scan) form.CmdScan_Click();
  return true;
}

}  // namespace repair
