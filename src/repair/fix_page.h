// The Fix page of the main window: the drive autorun repair, the three
// restriction repairs and the hidden item restore, as handlers of its controls.
#pragma once

#include "ui/controls.h"
#include "ui/page.h"
#include "repair/restriction_repair.h"

namespace repair {

class FixPage : public platform::Page {
 public:
  explicit FixPage(platform::Form& form);

  platform::Label LblHint;
  platform::Label LblQFix;
  platform::Label LblDriveProb;
  platform::TextBox TxtDriveletter;
  platform::Button CmdFixAuto;
  platform::Label LblFolderoptions;
  platform::Button CmdFixFolderO;
  platform::Label LblTaskM;
  platform::Button CmdFixTaskM;
  platform::Label LblFixReg;
  platform::Button CmdFixReg;
  platform::Picture LineFix;
  platform::Label LblRestore;
  platform::Label LblQHide;
  platform::Label LblRestorepath;
  platform::TextBox TxtResPath;
  platform::Button CmdRestore;
  platform::Button CmdCheckDrive;
  platform::Button CmdCheckComputer;

  void TxtDriveletter_Change();
  bool TxtDriveletter_KeyPress(wchar_t key);  // true: the key was handled here
  void CmdFixAuto_Click();
  void CmdFixFolderO_Click();
  void CmdFixReg_Click();
  void CmdFixTaskM_Click();
  void LblQFix_Click();
  void TxtResPath_GotFocus();
  void TxtResPath_Click();
  void CmdRestore_Click();
  void LblQHide_Click();
  void CmdCheckDrive_Click();
  void CmdCheckComputer_Click();

  // How long after a restriction repair the page looks whether something set it again.
  unsigned secondLookMs = 3000;

 private:
  void ClearPathHint();
  void FixAndLookAgain(Restriction restriction);
};

}  // namespace repair
