// The settings key and the names of the main window's tabs as the
// preferences store them.
#pragma once

#include "system/app.h"

namespace shell {

using platform::kSettingsKey;
inline constexpr const wchar_t* kTabNames[] = {L"Welcome", L"Info", L"Fix", L"Tweak", L"About"};

}  // namespace shell
