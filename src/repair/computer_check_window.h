// The "Check This Computer" window: scan this computer on a worker thread,
// review what was found, clean the rows left checked, then look again.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "repair/computer_check/clean.h"
#include "repair/computer_check/scan.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/list_view.h"

namespace repair {

struct ComputerJob;

class FrmCheckComputer : public platform::Form {
 public:
  FrmCheckComputer();
  ~FrmCheckComputer() override;

  platform::Button CmdScan;
  platform::Button CmdCancel;
  platform::ProgressBar PrgScan;
  platform::Label LblProgress;
  platform::ListView LstFindings;
  platform::Button CmdClean;

  void CmdScan_Click();
  void CmdCancel_Click();
  void CmdClean_Click();

  bool Busy() const { return job_ != nullptr; }
  const computer_check::ScanResult& LastScan() const { return scan_; }
  // How long after a clean the window looks again (tests shorten it).
  unsigned secondLookMs = 3000;

 protected:
  void Form_Load() override;
  void Form_Unload() override;
  bool Form_Message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void ShowFindings();
  void ClearFindings();
  std::wstring Cell(std::size_t index, int column) const;
  void ShowSecondLook(const std::vector<computer_check::Changed>& back);
  void SetBusy(bool busy);

  std::shared_ptr<ComputerJob> job_;
  computer_check::ScanResult scan_;
  std::vector<bool> checked_;  // one per finding: the list keeps no state of its own
};

// Opens the window (or brings it forward).
void ShowCheckComputer();

}  // namespace repair
