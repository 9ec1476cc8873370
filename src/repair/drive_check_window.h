// The "Check a Drive" window: choose a drive, scan it on a worker thread,
// review what was found, and clean the rows left checked on another worker.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "repair/drive_check/drives.h"
#include "repair/drive_check/scan.h"
#include "repair/drive_check_rows.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/list_view.h"

namespace repair {

struct ScanJob;
struct CleanJob;

// Tells one volume from another behind the same letter (Wine gives every
// folder mapped to a letter the same serial; the root folder's id differs).
struct VolumeMark {
  unsigned long serial = 0;
  std::uint64_t rootId = 0;
  bool operator==(const VolumeMark&) const = default;
};
std::optional<VolumeMark> MarkOf(wchar_t letter);

// The drive list, which says when the person picks another drive.
class DriveComboBox : public platform::ComboBox {
 public:
  using ComboBox::ComboBox;
  std::function<void()> onPick;

 protected:
  void OnCommand(int code) override;
};

class FrmCheckDrive : public platform::Form {
 public:
  FrmCheckDrive();
  ~FrmCheckDrive() override;

  platform::Label LblDrive;
  DriveComboBox CboDrive;
  platform::Button CmdScan;
  platform::Button CmdCancel;
  platform::ProgressBar PrgScan;
  platform::Label LblProgress;
  platform::ListView LstFindings;
  platform::TextBox TxtDetails;
  platform::Button CmdClean;

  void CmdScan_Click();
  void CmdCancel_Click();
  void CmdClean_Click();

  // Selects this drive when it is present and may be checked, else the most
  // recently arrived removable drive, else the first removable one, else none.
  void SelectDrive(std::wstring_view preferred);
  // Chooses the drive and scans it; asked during a clean (or a scan of another
  // drive), it waits until that ends.
  void RequestScan(wchar_t letter);
  bool Scanning() const { return scanJob_ != nullptr; }
  bool Cleaning() const { return cleanJob_ != nullptr; }
  bool Busy() const { return Scanning() || Cleaning(); }
  const drive_check::ScanResult& LastScan() const;
  const FindingRows& Rows() const { return rows_; }

 protected:
  void Form_Load() override;
  void Form_Activate() override;
  void Form_Unload() override;
  bool Form_Message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  void MakeResizable();
  void Anchor();
  void RefreshDrives();
  void DriveArrived(wchar_t letter);
  void DrivesChanged();
  void ClearResults(const std::wstring& why);
  void ShowScanProgress();
  void ScanDone();
  void ShowCleanProgress();
  void CleanDone();
  void ShowRows(int selectRow);
  void ListFound(std::vector<drive_check::Finding> found);
  void ShowDetails();
  void Toggle(const std::vector<int>& rows);
  // The findings list's shortcut menu and what its entries do (drive_check_window_menu.cpp).
  std::vector<platform::PopupEntry> FindingMenu();
  void SetChecks(bool checked);
  void ShowFindingDetails();
  void OpenContainingFolder();
  void CopyPaths();
  void UpdateButtons();
  void FocusOn(HWND control);
  void TakeRequest();
  wchar_t SelectedLetter() const;

  std::vector<drive_check::DriveInfo> drives_;
  std::vector<wchar_t> arrived_;  // removable drives in the order they arrived while the window was open
  std::shared_ptr<ScanJob> scanJob_;
  std::shared_ptr<CleanJob> cleanJob_;
  FindingRows rows_;
  // The rows listed while a scan walks, in the order met; its result replaces them.
  std::shared_ptr<drive_check::ScanResult> provisional_;
  wchar_t listedDrive_ = L'\0';  // the drive the rows belong to
  std::optional<VolumeMark> listedVolume_;  // that drive's volume when it was scanned
  std::vector<HWND> disabled_;  // the program's other windows, kept still while a clean records
  wchar_t requested_ = L'\0';  // a scan asked for while busy
  HWND pendingFocus_ = nullptr;
  bool closeWhenDone_ = false;
};

// Opens the window (or brings it forward) with this drive chosen when present.
void ShowCheckDrive(std::wstring_view preferredDrive);
// Opens the window (or brings it forward) with this drive ("E", "E:", "E:\")
// chosen and its scan started; a request made during a clean waits for its end.
void CheckDriveNow(std::wstring_view drive);
// The same for a request from outside (another start of the program): false,
// having done nothing, while a message box of the window waits for an answer.
bool OpenDriveCheck(wchar_t letter, bool scan);

}  // namespace repair
