// FrmCpl: hides and shows Control Panel applets for the current user, one
// check box per applet, each bound to a value under "Control Panel\don't load".
#pragma once

#include <array>
#include <span>

#include "ui/controls.h"
#include "ui/form.h"
#include "tweaks/tweak_binding.h"

namespace tweaks {

inline constexpr wchar_t kDontLoadKey[] = L"Control Panel\\don't load";
inline constexpr std::size_t kCplBoxCount = 34;

// The 34 boxes in load order, and the keyboard order they are created in.
std::span<const platform::TweakBinding> CplBindings();
extern const std::array<const wchar_t*, kCplBoxCount> kCplTabOrder;

class FrmCpl : public platform::Form {
 public:
  FrmCpl();

  platform::Label LblTweakIntro;
  platform::Label LblHelp;
  platform::GroupBox FrmCplContents;
  platform::TweakBoxes boxes;

  platform::CheckBox& Box(std::wstring_view control) const { return boxes.Box(control); }

 protected:
  void Form_Load() override;
};

// Shows the one Control Panel page, loading it when it is not open; the
// Tweak page and the security page's More > Control Panel both come here.
void ShowControlPanelPage();

}  // namespace tweaks
