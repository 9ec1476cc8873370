// FrmEntSecPAss: asks for the security page's password and unlocks the page.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

namespace tweaks {

class FrmEntSecPAss : public platform::Form {
 public:
  FrmEntSecPAss();

  platform::TextBox TxtPass;
  platform::Button CmdOk;
  platform::GroupBox FrmEntPass;

  // The window itself took the focus: the box gets it, emptied.
  void Form_GotFocus();
  void CmdOk_Click();

 protected:
  void Form_Activate() override { Form_GotFocus(); }
};

}  // namespace tweaks
