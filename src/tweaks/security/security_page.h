// FrmSecTweaks: sixteen security restrictions, each a tweak check box, behind
// an optional password.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"
#include "tweaks/tweak_binding.h"

namespace tweaks {

class FrmSecTweaks : public platform::Form {
 public:
  FrmSecTweaks();

  platform::Label LblTweakIntro;
  platform::Label LblPleaseRes;
  platform::Label LblHelp;
  platform::TweakBoxes boxes;
  // Declared after the boxes, so that it lies beneath them.
  platform::GroupBox FrmsecTweak;
  // The unlock marker, never visible: "ok" once the password was entered for this window.
  platform::Label Label1;

  // The lock check: with a password stored, hides the page and asks for it.
  void CheckPass();
  void MnuPass_Click();

 protected:
  void Form_Load() override;
  void Form_Activate() override;
  void Form_Resize() override;
};

}  // namespace tweaks
