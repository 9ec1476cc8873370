#include "repair/computer_check_window.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "system/message_box.h"

namespace repair {

namespace {

namespace cc = computer_check;
using platform::MsgBox;
using platform::MsgIcon;

constexpr UINT kComputerScanProgress = WM_APP + 1;
constexpr UINT kComputerScanDone = WM_APP + 2;
constexpr UINT kLookDone = WM_APP + 3;
constexpr int kListWidth = 9120;

}  // namespace

// Shared by the window and its worker; the worker never touches a control.
struct ComputerJob {
  HWND window = nullptr;
  cc::Progress progress;
  std::mutex lock;
  std::wstring place;
  cc::ScanResult result;
  cc::CleanReport cleaned;
  std::vector<cc::Changed> back;
};

FrmCheckComputer::FrmCheckComputer()
    : Form({.caption = L"Check This Computer", .clientWidth = 9600, .clientHeight = 6540}),
      CmdScan(*this, L"CmdScan", {6720, 195, 1200, 375}, L"&Scan"),
      CmdCancel(*this, L"CmdCancel", {8040, 195, 1320, 375}, L"&Cancel"),
      PrgScan(*this, L"PrgScan", {240, 750, kListWidth, 240}),
      LblProgress(*this, L"LblProgress", {240, 1080, kListWidth, 300}, L""),
      LstFindings(*this, L"LstFindings", {240, 1440, kListWidth, 4440},
                  {{L"Kind", 1680}, {L"Item", 3000}, {L"Proposed", 1800}, {L"Evidence", 2520}},
                  {.checkBoxes = true, .fillLast = true}),
      CmdClean(*this, L"CmdClean", {7560, 6030, 1800, 375}, L"C&lean Selected") {
  LblProgress.SetFont({});
  CmdScan.onClick = [this] { CmdScan_Click(); };
  CmdCancel.onClick = [this] { CmdCancel_Click(); };
  CmdClean.onClick = [this] { CmdClean_Click(); };
  LstFindings.onGetText = [this](int row, int column) { return Cell(static_cast<std::size_t>(row), column); };
  LstFindings.onGetCheck = [this](int row) -> std::optional<bool> {
    const auto index = static_cast<std::size_t>(row);
    return index < checked_.size() ? std::optional<bool>(checked_[index]) : std::nullopt;
  };
  LstFindings.onToggle = [this](const std::vector<int>& rows) {
    for (const int row : rows) {
      const auto index = static_cast<std::size_t>(row);
      if (index < checked_.size()) checked_[index] = !checked_[index];
    }
    LstFindings.Refresh();
  };
}

std::wstring FrmCheckComputer::Cell(std::size_t index, int column) const {
  if (index >= scan_.findings.size()) return {};
  const cc::Finding& finding = scan_.findings[index];
  switch (column) {
    case 0: {
      const bool first = index == 0 || scan_.findings[index - 1].kind != finding.kind;
      return first ? std::wstring(cc::KindCaption(finding.kind)) : std::wstring();
    }
    case 1: return finding.item;
    case 2: return std::wstring(cc::ProposalCaption(finding.proposal));
    default: return (finding.strength == cc::Strength::Worm ? L"" : L"unusual: ") + finding.evidence;
  }
}

void FrmCheckComputer::ClearFindings() {
  scan_.findings.clear();
  checked_.clear();
  LstFindings.SetRowCount(0);
}

FrmCheckComputer::~FrmCheckComputer() = default;

void FrmCheckComputer::Form_Load() {
  SetBusy(false);
  EnableWindow(CmdClean.Hwnd(), FALSE);
  LblProgress.SetText(L"Scan looks at what starts with Windows, services, scheduled tasks and running scripts.");
}

void FrmCheckComputer::Form_Unload() {
  // The worker ends at its next rule; its results go nowhere.
  if (job_) job_->progress.cancel = true;
  job_.reset();
}

void FrmCheckComputer::SetBusy(bool busy) {
  EnableWindow(CmdScan.Hwnd(), !busy);
  EnableWindow(CmdCancel.Hwnd(), busy);
  if (busy) EnableWindow(CmdClean.Hwnd(), FALSE);
  PrgScan.SetBusy(busy);
  if (!busy) PrgScan.SetPercent(0);
}

void FrmCheckComputer::CmdScan_Click() {
  if (job_) return;
  ClearFindings();
  scan_ = {};
  auto job = std::make_shared<ComputerJob>();
  job->window = Hwnd();
  job->progress.onProgress = [raw = job.get()](std::uint64_t, const std::wstring& place) {
    {
      const std::lock_guard guard(raw->lock);
      raw->place = place;
    }
    PostMessageW(raw->window, kComputerScanProgress, 0, 0);
  };
  job_ = job;
  SetBusy(true);
  LblProgress.SetText(L"Reading...");
  std::thread([job] {
    auto result = cc::Scan({}, job->progress);
    {
      const std::lock_guard guard(job->lock);
      job->result = std::move(result);
    }
    PostMessageW(job->window, kComputerScanDone, 0, reinterpret_cast<LPARAM>(job.get()));
  }).detach();
}

void FrmCheckComputer::CmdCancel_Click() {
  if (job_) job_->progress.cancel = true;
}

bool FrmCheckComputer::Form_Message(UINT msg, WPARAM, LPARAM lParam, LRESULT*) {
  if (msg == kComputerScanProgress) {
    if (!job_) return true;
    const std::lock_guard guard(job_->lock);
    LblProgress.SetText(L"Reading " + job_->place);
    return true;
  }
  if (msg != kComputerScanDone && msg != kLookDone) return false;
  // A message from a job this window has let go of (closed and opened again) is old news.
  if (!job_ || reinterpret_cast<ComputerJob*>(lParam) != job_.get()) return true;
  const auto job = job_;
  job_.reset();
  SetBusy(false);
  const std::lock_guard guard(job->lock);
  if (msg == kComputerScanDone) {
    scan_ = std::move(job->result);
    ShowFindings();
  } else {
    ShowSecondLook(job->back);
  }
  return true;
}

void FrmCheckComputer::ShowFindings() {
  if (scan_.cancelled) {
    LblProgress.SetText(L"The scan was cancelled; nothing was changed.");
    return;
  }
  PrgScan.SetPercent(100);
  LblProgress.SetText(cc::ScanSummary(scan_));
  checked_.clear();
  for (const cc::Finding& finding : scan_.findings) checked_.push_back(finding.checked);
  LstFindings.SetRowCount(static_cast<int>(scan_.findings.size()));
  EnableWindow(CmdClean.Hwnd(), !scan_.findings.empty());
}

void FrmCheckComputer::CmdClean_Click() {
  if (job_ || scan_.findings.empty()) return;
  const std::size_t count = scan_.findings.size();
  const auto selected = std::make_unique<bool[]>(count);
  bool any = false;
  for (std::size_t index = 0; index < count && index < checked_.size(); ++index) {
    selected[index] = checked_[index];
    any = any || checked_[index];
  }
  if (!any) {
    MsgBox(L"No row is checked, so there is nothing to clean.", MsgIcon::Information);
    return;
  }
  const HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  cc::CleanReport report = cc::Clean(scan_, std::span<const bool>(selected.get(), count));
  SetCursor(old);
  const bool failed = !report.failures.empty() || report.cancelled;
  MsgBox(cc::DescribeClean(report, L"To undo this clean, use Tools > Undo Changes."), failed ? MsgIcon::Exclamation : MsgIcon::Information);
  if (report.cancelled) return;
  ClearFindings();
  EnableWindow(CmdClean.Hwnd(), FALSE);
  if (report.changed.empty()) return;
  // The second look waits on a worker, so the window stays usable meanwhile.
  LblProgress.SetText(L"Cleaned; looking again in a few seconds whether something puts it back...");
  auto job = std::make_shared<ComputerJob>();
  job->window = Hwnd();
  job->cleaned = std::move(report);
  job_ = job;
  SetBusy(true);
  std::thread([job, wait = std::chrono::milliseconds(secondLookMs)] {
    auto back = cc::SecondLook(job->cleaned, wait);
    {
      const std::lock_guard guard(job->lock);
      job->back = std::move(back);
    }
    PostMessageW(job->window, kLookDone, 0, reinterpret_cast<LPARAM>(job.get()));
  }).detach();
}

void FrmCheckComputer::ShowSecondLook(const std::vector<cc::Changed>& back) {
  if (back.empty()) {
    LblProgress.SetText(L"This computer was cleaned, and nothing has put it back; scan again to check.");
    return;
  }
  LblProgress.SetText(L"Something on this computer put back what the clean removed.");
  if (MsgBox(cc::DescribeSecondLook(back) + L"\r\n\r\nScan this computer again now?", MsgIcon::Exclamation,
             platform::kAppTitle, platform::MsgButtons::YesNo) == platform::MsgResult::Yes) {
    CmdScan_Click();
  }
}

void ShowCheckComputer() { platform::Instance<FrmCheckComputer>().Show(); }

}  // namespace repair
