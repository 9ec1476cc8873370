// A known folder's path (the profile, Startup, Windows...), read without
// creating or checking it; empty when the system has none.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <string>

namespace platform {

std::wstring KnownFolder(REFKNOWNFOLDERID id);

}  // namespace platform
