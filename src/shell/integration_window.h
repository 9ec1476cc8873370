// FrmIntegration: "Check with Korvane" on the drive menu and in AutoPlay, for
// this user. The boxes show what the registry holds; Save makes it so.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

namespace shell {

class FrmIntegration : public platform::Form {
 public:
  FrmIntegration();

  platform::CheckBox ChkMenu;
  platform::CheckBox ChkAutoPlay;
  platform::Label LblNote;
  platform::Button CmdSave;

  // The boxes and the note from the registry as it is now.
  void LoadState();
  void CmdSave_Click();

 protected:
  void Form_Load() override { LoadState(); }
};

}  // namespace shell
