#include "tweaks/tweak_page.h"

namespace platform {

void StyleIntroLabel(Label& label) {
  label.SetFont({.bold = true});
  label.SetTextColor(kIntroColor);
}

// SetFont changes the label; cppcheck misreads the designated initialiser and thinks it could be const.
// cppcheck-suppress constParameter
void StyleRestartLabel(Label& label) { label.SetFont({.bold = true}); }

void StyleTweakGroup(GroupBox& group) {
  group.SetTextColor(kTeal);
  group.SetBackColor(kWhite);
}

}  // namespace platform
