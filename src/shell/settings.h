// The settings key and the names of the main window's tabs as the
// preferences store them.
#pragma once

namespace shell {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Korvane";
inline constexpr const wchar_t* kTabNames[] = {L"Welcome", L"Info", L"Fix", L"Tweak", L"About"};

}  // namespace shell
