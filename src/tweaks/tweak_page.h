// The look every tweak page shares: white, a bold intro in RGB (192, 64, 0),
// a bold restart notice, a hint to hover, and teal group captions.
#pragma once

#include "ui/controls.h"

namespace platform {

inline constexpr wchar_t kRestartNotice[] =
    L"The computer may have to be restarted for some of the changes to take place";
inline constexpr wchar_t kHoverHelp[] =
    L"To view a description regarding each function hover the mouse over that feature";

void StyleIntroLabel(Label& label);
void StyleRestartLabel(Label& label);
void StyleTweakGroup(GroupBox& group);

}  // namespace platform
