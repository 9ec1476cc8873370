// Hands a web address or a mail request to the Windows shell. The one place
// that does so, so that tests can see every target.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

void ShellOpen(std::wstring_view target);

using ShellOpenHandler = std::function<void(const std::wstring& target)>;
void SetShellOpenHandler(ShellOpenHandler handler);

}  // namespace platform
