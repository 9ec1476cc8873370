// FrmEntSecPAss: asks for the security page's password and unlocks the page.
#pragma once

#include <functional>

#include "ui/controls.h"
#include "ui/form.h"

namespace tweaks {

class FrmEntSecPAss : public platform::Form {
 public:
  FrmEntSecPAss();

  platform::TextBox TxtPass;
  platform::Button CmdOk;
  platform::GroupBox FrmEntPass;

  // When set, the right password runs this instead of opening the page (an undo of
  // a security tweak asks the same question); it is let go once used.
  std::function<void()> onAccepted;

  // The window itself took the focus: the box gets it, emptied.
  void Form_GotFocus();
  void CmdOk_Click();

 protected:
  void Form_Activate() override { Form_GotFocus(); }
};

}  // namespace tweaks
