// FrmAppTweaks: six appearance tweak boxes above the drive icon tool.
#pragma once

#include <span>
#include <string_view>

#include "ui/controls.h"
#include "ui/form.h"
#include "tweaks/tweak_binding.h"
#include "tweaks/appearance/drive_icon.h"

namespace tweaks {

// The six boxes in load order.
std::span<const platform::TweakBinding> AppearanceBindings();

class FrmAppTweaks : public platform::Form {
 public:
  FrmAppTweaks();

  platform::CheckBox& Box(std::wstring_view control) const { return boxes.Box(control); }

  // The icon tool first: the keyboard focus starts in its path box.
  DriveIconTool icon;
  platform::TweakBoxes boxes;
  platform::GroupBox FrameAppTweaks;
  platform::Label LblTweakIntro;
  platform::Label LblPleaseRes;
  platform::Label LblHelp;
  platform::Picture Line2;

 protected:
  void Form_Load() override;
};

}  // namespace tweaks
