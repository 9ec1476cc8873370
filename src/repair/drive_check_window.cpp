#include "repair/drive_check_window.h"

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <cwctype>

#include "repair/drive_check/clean.h"
#include "repair/drive_check_window_jobs.h"
#include "repair/drive_check_words.h"
#include "system/message_box.h"
#include "system/system_text.h"

namespace repair {

namespace {

using drive_check::Proposal;
using platform::MsgBox;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;


// The layout at its smallest; a larger window gives the width to the list and
// the details, and the height to the list.
constexpr int kWidth = 9600;
constexpr int kHeight = 7560;
constexpr platform::TwipsRect kCombo{960, 210, 5520, 330};
constexpr platform::TwipsRect kScan{6720, 195, 1200, 375};
constexpr platform::TwipsRect kCancel{8040, 195, 1320, 375};
constexpr platform::TwipsRect kProgress{240, 750, 9120, 240};
constexpr platform::TwipsRect kStatus{240, 1080, 9120, 300};
constexpr platform::TwipsRect kList{240, 1440, 9120, 3960};
constexpr platform::TwipsRect kDetails{240, 5520, 9120, 1380};
constexpr platform::TwipsRect kClean{7440, 7035, 1920, 375};

wchar_t LetterOf(std::wstring_view drive) {
  return !drive.empty() && std::iswalpha(drive[0]) ? static_cast<wchar_t>(std::towupper(drive[0])) : L'\0';
}

platform::TwipsRect Moved(platform::TwipsRect rect, int dx, int dy, int dw, int dh) {
  return {rect.left + dx, rect.top + dy, rect.width + dw, rect.height + dh};
}

}  // namespace

std::optional<VolumeMark> MarkOf(wchar_t letter) {
  const std::wstring root = DriveName(letter) + L"\\";
  VolumeMark mark;
  DWORD serial = 0;
  if (!GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return std::nullopt;
  mark.serial = serial;
  const HANDLE folder = CreateFileW(root.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(folder, &info) != FALSE;
  CloseHandle(folder);
  if (!known) return std::nullopt;
  mark.rootId = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return mark;
}

void DriveComboBox::OnCommand(int code) {
  if (code == CBN_SELCHANGE && onPick) onPick();
}

FrmCheckDrive::FrmCheckDrive()
    : Form({.caption = L"Check a Drive", .clientWidth = kWidth, .clientHeight = kHeight}),
      LblDrive(*this, L"LblDrive", {240, 255, 700, 300}, L"Drive:"),
      CboDrive(*this, L"CboDrive", kCombo, {}),
      CmdScan(*this, L"CmdScan", kScan, L"&Scan"),
      CmdCancel(*this, L"CmdCancel", kCancel, L"&Cancel"),
      PrgScan(*this, L"PrgScan", kProgress),
      LblProgress(*this, L"LblProgress", kStatus, L""),
      LstFindings(*this, L"LstFindings", kList,
                  {{L"Kind", 2760}, {L"Item", 2460}, {L"Proposed", 1740}, {L"Details", 1500}},
                  {.checkBoxes = true, .sortable = true, .fillLast = true}),
      TxtDetails(*this, L"TxtDetails", kDetails, L"", {.multiline = true, .readOnly = true}),
      CmdClean(*this, L"CmdClean", kClean, L"C&lean Selected...") {
  LblProgress.SetFont({});
  CmdScan.onClick = [this] { CmdScan_Click(); };
  CmdCancel.onClick = [this] { CmdCancel_Click(); };
  CmdClean.onClick = [this] { CmdClean_Click(); };
  CboDrive.onPick = [this] {
    if (listedDrive_ && SelectedLetter() != listedDrive_) {
      ClearResults(L"The list of drive " + DriveName(listedDrive_) + L" was cleared. Press Scan to check the drive chosen.");
    }
    UpdateButtons();
  };
  LstFindings.onGetText = [this](int row, int column) { return rows_.Cell(row, static_cast<RowColumn>(column)); };
  LstFindings.onGetCheck = [this](int row) { return rows_.Check(row); };
  LstFindings.onToggle = [this](const std::vector<int>& rows) { Toggle(rows); };
  LstFindings.onGetTip = [this](int row) { return rows_.Tip(row); };
  LstFindings.onSelectionChange = [this] { ShowDetails(); };
  LstFindings.onDoubleClick = [this](int) { ShowFindingDetails(); };
  LstFindings.onEnter = [this] { ShowFindingDetails(); };
  LstFindings.onContextMenu = [this] { return FindingMenu(); };
  LstFindings.onColumnClick = [this](int column) {
    const int focused = LstFindings.FocusedRow();
    const std::size_t finding = focused >= 0 ? rows_.FindingIndex(focused) : 0;
    rows_.SortBy(static_cast<RowColumn>(column));
    LstFindings.SetSortMark(column, rows_.Ascending());
    int row = 0;
    for (int i = 0; focused >= 0 && i < rows_.Count(); ++i) {
      if (rows_.FindingIndex(i) == finding) row = i;
    }
    ShowRows(rows_.Count() ? row : -1);
  };
}

FrmCheckDrive::~FrmCheckDrive() {
  for (const HWND window : disabled_) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
}

const drive_check::ScanResult& FrmCheckDrive::LastScan() const {
  static const auto kNone = drive_check::ScanResult{};
  return rows_.Scan() ? *rows_.Scan() : kNone;
}

void FrmCheckDrive::Form_Load() {
  SetWindowSubclass(Hwnd(), &FrmCheckDrive::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
  MakeResizable();
  RefreshDrives();
  UpdateButtons();
}

void FrmCheckDrive::Form_Activate() {
  if (!Busy()) RefreshDrives();
  if (pendingFocus_ && IsWindow(pendingFocus_)) FocusOn(pendingFocus_);
}

void FrmCheckDrive::Form_Unload() {
  // A scan ends at its next item; its results go nowhere.
  if (scanJob_) scanJob_->progress.cancel = true;
  scanJob_.reset();
  provisional_.reset();
}

// The frame the person can drag, and the maximize box; the client area stays as laid out.
void FrmCheckDrive::MakeResizable() {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(Hwnd(), GWL_STYLE)) | WS_THICKFRAME | WS_MAXIMIZEBOX;
  SetWindowLongPtrW(Hwnd(), GWL_STYLE, static_cast<LONG_PTR>(style));
  RECT rect{0, 0, Px(kWidth), Px(kHeight)};
  AdjustWindowRectExForDpi(&rect, style, FALSE, 0, Dpi());
  SetWindowPos(Hwnd(), nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void FrmCheckDrive::Anchor() {
  RECT client{};
  GetClientRect(Hwnd(), &client);
  if (client.right <= 0 || client.bottom <= 0) return;  // minimized
  const int dx = std::max(0, MulDiv(client.right, 1440, static_cast<int>(Dpi())) - kWidth);
  const int dy = std::max(0, MulDiv(client.bottom, 1440, static_cast<int>(Dpi())) - kHeight);
  const std::pair<platform::Control*, platform::TwipsRect> places[] = {
      {&CboDrive, Moved(kCombo, 0, 0, dx, 0)},      {&CmdScan, Moved(kScan, dx, 0, 0, 0)},
      {&CmdCancel, Moved(kCancel, dx, 0, 0, 0)},    {&PrgScan, Moved(kProgress, 0, 0, dx, 0)},
      {&LblProgress, Moved(kStatus, 0, 0, dx, 0)},  {&LstFindings, Moved(kList, 0, 0, dx, dy)},
      {&TxtDetails, Moved(kDetails, 0, dy, dx, 0)}, {&CmdClean, Moved(kClean, dx, dy, 0, 0)},
  };
  for (const auto& [control, place] : places) {
    const platform::TwipsRect& now = control->Place();
    if (now.left == place.left && now.top == place.top && now.width == place.width && now.height == place.height) {
      continue;
    }
    control->Place() = place;
    control->Layout();
  }
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
  const auto at = std::find_if(drives_.begin(), drives_.end(), [&](const auto& d) { return d.letter == selected; });
  if (selected && at != drives_.end()) {
    CboDrive.SetListIndex(static_cast<int>(at - drives_.begin()));
  } else if (!Busy()) {
    SelectDrive({});
  }
  const bool listedGone = listedDrive_ && std::none_of(drives_.begin(), drives_.end(), [&](const auto& d) {
                            return d.letter == listedDrive_;
                          });
  if (listedGone && !Cleaning()) {
    ClearResults(L"Drive " + DriveName(listedDrive_) + L" is no longer there, so its list was cleared.");
  }
  UpdateButtons();
}

void FrmCheckDrive::SelectDrive(std::wstring_view preferred) {
  auto indexOf = [&](wchar_t letter) {
    for (std::size_t i = 0; i < drives_.size(); ++i) {
      if (drives_[i].letter == letter && !drive_check::IsWindowsDrive(letter)) return static_cast<int>(i);
    }
    return -1;
  };
  int index = indexOf(LetterOf(preferred));
  for (auto it = arrived_.rbegin(); index < 0 && it != arrived_.rend(); ++it) index = indexOf(*it);
  for (std::size_t i = 0; index < 0 && i < drives_.size(); ++i) {
    if (drives_[i].type == DRIVE_REMOVABLE) index = indexOf(drives_[i].letter);
  }
  CboDrive.SetListIndex(index);
  if (listedDrive_ && SelectedLetter() != listedDrive_ && !Busy()) {
    ClearResults(L"The list of drive " + DriveName(listedDrive_) + L" was cleared. Press Scan to check the drive chosen.");
  }
  UpdateButtons();
}

void FrmCheckDrive::DriveArrived(wchar_t letter) {
  RefreshDrives();
  if (Busy()) return;
  std::erase(arrived_, letter);
  arrived_.push_back(letter);
  SelectDrive(std::wstring(1, letter));
}

void FrmCheckDrive::ClearResults(const std::wstring& why) {
  rows_.Reset(nullptr);
  listedDrive_ = L'\0';
  listedVolume_.reset();
  LstFindings.SetRowCount(0);
  LstFindings.SetSortMark(-1, true);
  TxtDetails.SetText(L"");
  LblProgress.SetText(why);
  UpdateButtons();
}

void FrmCheckDrive::UpdateButtons() {
  const wchar_t letter = SelectedLetter();
  const bool may = letter && !drive_check::IsWindowsDrive(letter);
  const bool clean = !Busy() && rows_.Scan() && !rows_.Cleaned() && rows_.Count() > 0 && letter == listedDrive_;
  // Whatever is about to be disabled gives up the focus first, so that it never dies.
  const HWND focus = GetFocus();
  if ((focus == CmdCancel.Hwnd() && !Busy()) || (focus == CmdClean.Hwnd() && !clean) ||
      (focus == CmdScan.Hwnd() && (Busy() || !may)) || (focus == CboDrive.Hwnd() && Busy())) {
    FocusOn(Busy() ? CmdCancel.Hwnd() : rows_.Count() ? LstFindings.Hwnd() : CboDrive.Hwnd());
  }
  EnableWindow(CmdScan.Hwnd(), !Busy() && may);
  EnableWindow(CboDrive.Hwnd(), !Busy());
  EnableWindow(CmdCancel.Hwnd(), Busy());
  EnableWindow(CmdClean.Hwnd(), clean);
  if (Busy() || rows_.Scan()) return;
  if (!letter) {
    LblProgress.SetText(L"No removable drive is here. Plug one in, or choose a drive in the list.");
  } else if (!may) {
    LblProgress.SetText(L"Drive " + DriveName(letter) +
                        L" is the one Windows runs from. Korvane does not check it: the rules for a stick would take "
                        L"the Start menu's shortcuts and their programs.");
  } else if (LblProgress.Text().empty() || LblProgress.Text().rfind(L"No removable", 0) == 0 ||
             LblProgress.Text().find(L"Windows runs from") != std::wstring::npos) {
    LblProgress.SetText(L"Press Scan to check drive " + DriveName(letter) + L". A scan changes nothing.");
  }
}

// The focus moves only within the active window; otherwise it waits for the window to come back.
void FrmCheckDrive::FocusOn(HWND control) {
  if (GetActiveWindow() == Hwnd()) {
    SetFocus(control);
    pendingFocus_ = nullptr;
  } else {
    pendingFocus_ = control;
  }
}

void FrmCheckDrive::CmdCancel_Click() {
  if (scanJob_) scanJob_->progress.cancel = true;
  if (cleanJob_) {
    cleanJob_->progress.cancel = true;
    LblProgress.SetText(L"Stopping after the item being cleaned...");
  }
}

bool FrmCheckDrive::Form_Message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (msg) {
    case kScanProgress:
      ShowScanProgress();
      return true;
    case kScanDone:
      // A message from a scan this window has let go of (closed and opened again) is old news.
      if (scanJob_ && reinterpret_cast<ScanJob*>(lParam) == scanJob_.get()) ScanDone();
      return true;
    case kCleanProgress:
      ShowCleanProgress();
      return true;
    case kCleanDone:
      if (cleanJob_ && reinterpret_cast<CleanJob*>(lParam) == cleanJob_.get()) CleanDone();
      return true;
    case WM_DEVICECHANGE: {
      const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lParam);
      const bool isVolume = volume && volume->dbcv_devicetype == DBT_DEVTYP_VOLUME;
      if (wParam == DBT_DEVICEARRIVAL && isVolume && volume->dbcv_unitmask) {
        for (int i = 0; i < 26; ++i) {
          if (volume->dbcv_unitmask & (1u << i)) DriveArrived(static_cast<wchar_t>(L'A' + i));
        }
      } else if (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) {
        RefreshDrives();
      }
      *result = TRUE;
      return true;
    }
    case WM_SIZE:
      Anchor();
      return false;
    case WM_GETMINMAXINFO: {
      RECT rect{0, 0, Px(kWidth), Px(kHeight)};
      AdjustWindowRectExForDpi(&rect, static_cast<DWORD>(GetWindowLongPtrW(Hwnd(), GWL_STYLE)), FALSE, 0, Dpi());
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = {rect.right - rect.left, rect.bottom - rect.top};
      return false;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK FrmCheckDrive::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                             DWORD_PTR data) {
  auto* form = reinterpret_cast<FrmCheckDrive*>(data);
  try {
    // Esc, as a dialog reports it: it stops a scan or a clean, else closes the window.
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL && lParam == 0) {
      if (form->Busy()) {
        form->CmdCancel_Click();
      } else {
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
      }
      return 0;
    }
    // The window stays until its clean has stopped: the journal's group is ended on this thread.
    if (msg == WM_CLOSE && form->Cleaning() && !platform::Form::Ending()) {
      form->closeWhenDone_ = true;
      form->CmdCancel_Click();
      return 0;
    }
    if (msg == WM_SETFOCUS && form->pendingFocus_ && IsWindow(form->pendingFocus_) &&
        IsWindowEnabled(form->pendingFocus_)) {
      SetFocus(form->pendingFocus_);
      form->pendingFocus_ = nullptr;
      return 0;
    }
  } catch (...) {
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void FrmCheckDrive::ShowRows(int selectRow) {
  LstFindings.SetRowCount(rows_.Count());
  LstFindings.SelectOnly(selectRow);
  LstFindings.Refresh();
  ShowDetails();
}

void FrmCheckDrive::ShowDetails() {
  int row = LstFindings.FocusedRow();
  if (row < 0 || row >= rows_.Count()) {
    const auto selected = LstFindings.Selected();
    row = selected.empty() ? -1 : selected.front();
  }
  const std::wstring text = rows_.Details(row);
  if (TxtDetails.Text() != text) TxtDetails.SetText(text);
}

void FrmCheckDrive::Toggle(const std::vector<int>& rows) {
  if (Scanning()) return;  // the rows listed while the walk goes on are replaced at its end
  const auto first = std::find_if(rows.begin(), rows.end(), [&](int row) { return rows_.Check(row).has_value(); });
  if (first == rows.end()) return;
  const bool checked = !*rows_.Check(*first);
  std::vector<int> stayHidden;  // hidden items left hidden whose stand-in goes to the quarantine
  for (const int row : rows) {
    rows_.SetChecked(row, checked);
    const int linked = rows_.LinkedRow(row);
    if (!checked && linked >= 0 && rows_.At(row).proposal == Proposal::MakeVisible && rows_.Check(linked).value_or(false) &&
        std::find(rows.begin(), rows.end(), linked) == rows.end()) {
      stayHidden.push_back(row);
    }
  }
  LstFindings.Refresh();
  ShowDetails();
  if (stayHidden.empty()) return;
  std::wstring text = stayHidden.size() == 1 ? L"This item stays hidden, yet the stand-in the worm put in its place is "
                                               L"checked to go to the quarantine:\n"
                                             : L"These items stay hidden, yet the stand-ins the worm put in their place "
                                               L"are checked to go to the quarantine:\n";
  for (std::size_t i = 0; i < stayHidden.size() && i < 5; ++i) {
    const int row = stayHidden[i];
    text += L"\n" + ShownPath(rows_.At(row).path) + L"  (stand-in: " + ShownPath(rows_.At(rows_.LinkedRow(row)).path) + L")";
  }
  if (stayHidden.size() > 5) text += L"\n... and " + platform::GroupDigits(stayHidden.size() - 5) + L" more";
  text += L"\n\nWithout its stand-in a hidden item can be reached only after a new scan. Leave the stand-ins where they "
          L"are too?";
  if (MsgBox(text, MsgIcon::Exclamation, platform::kAppTitle, MsgButtons::YesNo) != MsgResult::Yes) return;
  for (const int row : stayHidden) rows_.SetChecked(rows_.LinkedRow(row), false);
  LstFindings.Refresh();
  ShowDetails();
}

bool OpenDriveCheck(wchar_t letter, bool scan) {
  auto& form = platform::Instance<FrmCheckDrive>();
  if (form.Hwnd() && !IsWindowEnabled(form.Hwnd())) return false;
  form.Show();
  if (scan) form.RequestScan(letter);
  return true;
}

}  // namespace repair
