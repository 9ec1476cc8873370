// FrmOptions: whether the splash is shown and which tab the main window opens
// on, kept under the settings key. Changes take effect at the next start.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

namespace shell {

class FrmOptions : public platform::Form {
 public:
  FrmOptions();

  // The group box follows its contents so that it lies beneath them.
  platform::CheckBox ChkSplash;
  platform::Label LblOptStart;
  platform::ComboBox CmbOptStart;
  platform::GroupBox FrameOpt;
  platform::Button CmdSave;
  platform::Button CmdRestore;

  // Fills the two controls from the settings key; false at the first step that fails.
  bool GetSettings();
  void CmdSave_Click();
  void CmdRestore_Click();

 protected:
  void Form_Load() override;
};

}  // namespace shell
