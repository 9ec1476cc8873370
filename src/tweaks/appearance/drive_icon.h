// The drive icon tool in the lower half of the appearance page: it copies an
// icon to a drive's root as icon.ico and points autorun.inf at it, and takes
// both away again.
#pragma once

#include <string>

#include "ui/controls.h"
#include "ui/form.h"
#include "system/open_file_dialog.h"

namespace tweaks {

class DriveIconTool {
 public:
  // Lays the tool out inside the group box's place.
  DriveIconTool(platform::Form& form, platform::TwipsRect frame);

  // Declared in keyboard order, each label just before the box it names (screen
  // readers take a box's name from there); the group box comes last so it lies
  // beneath its controls.
  platform::Label Label1;
  platform::TextBox TxtIconpath;
  platform::Label Lblicon2;
  platform::TextBox txticondrive;
  platform::Button CmdBrowseicon;
  platform::Button cmdiconok;
  platform::Button cmdiconrestore;
  platform::GroupBox FrameIcon;
  // The open-file dialog's settings and the last name chosen in it.
  platform::OpenFileRequest CommdlgOpen;

  void CmdBrowseicon_Click();
  bool TxtIconpath_KeyPress(wchar_t key);
  void txticondrive_Change();
  void cmdiconok_Click();
  void cmdiconrestore_Click();

 private:
  platform::Form& form_;
};

}  // namespace tweaks
