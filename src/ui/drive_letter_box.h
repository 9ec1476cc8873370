// The drive letter box of the Fix page and of the drive icon tool: one
// character, kept in upper case.
#pragma once

#include "ui/controls.h"

namespace platform {

inline constexpr wchar_t kDriveLetterTooLong[] = L"A drive letter cannot contain more than one letter!";
inline constexpr wchar_t kDriveLetterTooLongTitle[] = L"Stop";

// Call from the box's onChange. Upper-cases the text; a second character, typed
// or pasted, shows the "Stop" message once and empties the box.
void ApplyDriveLetterRule(TextBox& box);

}  // namespace platform
