// FrmSecOpt: stores the security page's password, or removes it when left blank.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

namespace tweaks {

class FrmSecOpt : public platform::Form {
 public:
  FrmSecOpt();

  platform::Label LblPassIntro;
  platform::Label LblQ;
  platform::Label LblPass;
  platform::TextBox TxtPass;
  platform::Button CmdSavePass;
  platform::GroupBox FrmPassOpt;

  void CmdSavePass_Click();
  void LblQ_Click();

 protected:
  void Form_Load() override;
  void Form_Activate() override { TxtPass.Focus(); }
};

}  // namespace tweaks
