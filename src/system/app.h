// Facts about the running program that every window shares.
#pragma once

#include <windows.h>

namespace platform {

inline constexpr wchar_t kAppTitle[] = L"Korvane";

// Korvane's own settings under HKCU, as the preferences window saves them.
inline constexpr wchar_t kSettingsKey[] = L"Software\\Korvane";
inline constexpr const wchar_t* kSettingNames[] = {L"splash", L"opentab"};

HINSTANCE AppInstance();

// A drive without a medium (an empty card reader) then fails the call that
// touched it, for Korvane to answer, instead of raising the system's own
// Cancel / Try Again / Continue box first. For the whole process; call at start.
void QuietDriveErrors();

}  // namespace platform
