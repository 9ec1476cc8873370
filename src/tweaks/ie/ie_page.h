// FrmProgTweaks: four Internet Explorer settings of the current user, each a
// check box bound to one or two registry values.
#pragma once

#include <array>
#include <span>

#include "ui/controls.h"
#include "ui/form.h"
#include "tweaks/tweak_binding.h"

namespace tweaks {

inline constexpr wchar_t kIEPolicyKey[] = L"Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
inline constexpr wchar_t kConnectionKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The four boxes in load order, which is also their order on the page and the keyboard order.
std::span<const platform::TweakBinding> IEBindings();

class FrmProgTweaks : public platform::Form {
 public:
  FrmProgTweaks();

  platform::Label LblTweakIntro;
  platform::Label LblPleaseRes;
  platform::Label LblHelp;
  platform::GroupBox FrameInternetTweaks;
  platform::TweakBoxes boxes;

  platform::CheckBox& Box(std::wstring_view control) const { return boxes.Box(control); }

 protected:
  void Form_Load() override;
};

}  // namespace tweaks
