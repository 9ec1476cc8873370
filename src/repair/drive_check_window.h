// The "Check a Drive" window: choose a drive, scan it on a worker thread,
// review what was found, and clean the rows left checked.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/list_view.h"
#include "repair/drive_check/drives.h"
#include "repair/drive_check/scan.h"

namespace repair {

struct ScanJob;

class FrmCheckDrive : public platform::Form {
 public:
  FrmCheckDrive();
  ~FrmCheckDrive() override;

  platform::Label LblDrive;
  platform::ComboBox CboDrive;
  platform::Button CmdScan;
  platform::Button CmdCancel;
  platform::ProgressBar PrgScan;
  platform::Label LblProgress;
  platform::ListView LstFindings;
  platform::Button CmdClean;

  void CmdScan_Click();
  void CmdCancel_Click();
  void CmdClean_Click();

  // Selects this drive when it is present, else the most recently arrived
  // removable drive, else the first.
  void SelectDrive(std::wstring_view preferred);
  bool Scanning() const { return job_ != nullptr; }
  const drive_check::ScanResult& LastScan() const { return scan_; }

 protected:
  void Form_Load() override;
  void Form_Activate() override;
  void Form_Unload() override;
  bool Form_Message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void RefreshDrives();
  void ShowProgress();
  void ShowFindings();
  void SetBusy(bool busy);
  wchar_t SelectedLetter() const;

  std::vector<drive_check::DriveInfo> drives_;
  std::vector<wchar_t> arrived_;  // removable drives in the order they arrived while the window was open
  std::shared_ptr<ScanJob> job_;
  drive_check::ScanResult scan_;
};

// Opens the window (or brings it forward) with this drive chosen when present.
void ShowCheckDrive(std::wstring_view preferredDrive);
// Opens the window (or brings it forward) on this drive and, when asked, scans
// it. False, having done nothing, while the window is busy: a scan runs or a
// message box waits (a clean asks and tells through them).
bool OpenDriveCheck(wchar_t letter, bool scan);

}  // namespace repair
