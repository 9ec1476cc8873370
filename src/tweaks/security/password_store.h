// The security page's password, in one place for the page's windows and the
// command line: where it is stored, how it is read, how it is written.
#pragma once

#include <string>
#include <string_view>

#include "system/registry.h"

namespace tweaks {

// Plain text (a number left by an earlier version reads as its digits).
inline constexpr platform::RegRoot kPasswordRoot = platform::kClassesRoot;
inline constexpr wchar_t kPasswordKey[] = L".wab";
inline constexpr wchar_t kPasswordValue[] = L"RandomID";

// Empty when no password is set.
std::wstring StoredPassword();
// Stores the password exactly as given; empty turns protection off. The value
// itself never reaches the change journal: the caller's group says only that it changed.
platform::RegOutcome StorePassword(std::wstring_view password);

}  // namespace tweaks
