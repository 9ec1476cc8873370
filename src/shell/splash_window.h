// frmSplash: the first window of the program, black with white texts, shown
// for two ticks of its timer before it hands over to the main window.
#pragma once

#include <cstdint>

#include "ui/controls.h"
#include "ui/form.h"

namespace shell {

class frmSplash : public platform::Form {
 public:
  frmSplash();

  platform::Picture imgLogo;
  platform::Label lblProductName;
  platform::Label lblVersion;
  platform::Label lblCompanyProduct;
  platform::Label LblWeb;
  platform::Label LblLoad;

  void Timer1_Timer();
  // False when the "splash" preference turned the splash off at load.
  bool Wanted() const { return wanted_; }

 protected:
  void Form_Load() override;
  void Form_Unload() override;

 private:
  std::int16_t countdown_ = 0;
  bool wanted_ = true;
};

// The program's start: the splash window first, unless the preferences skip it.
void StartUp();

}  // namespace shell
