// Facts about the running program that every window shares.
#pragma once

#include <windows.h>

namespace platform {

inline constexpr wchar_t kAppTitle[] = L"Korvane";

HINSTANCE AppInstance();

}  // namespace platform
