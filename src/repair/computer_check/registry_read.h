// Reading whole registry keys for the computer check: every value of a key
// with one open handle, and the names of its subkeys. Values are written by
// whoever set them, so sizes are bounded and text is checked for its type.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "system/registry.h"

namespace repair::computer_check {

struct RegEntry {
  std::wstring name;
  platform::RegState state;
};

std::vector<RegEntry> ReadValues(platform::RegRoot root, const std::wstring& key);
std::vector<std::wstring> ReadSubkeys(platform::RegRoot root, const std::wstring& key);
// The key's own name as the registry keeps it, "\REGISTRY\MACHINE\...": where
// the 32-bit view is only a link to the 64-bit key, both give the same name.
// Empty when the key cannot be opened.
std::wstring KeyIdentity(platform::RegRoot root, const std::wstring& key);
// A REG_SZ's or REG_EXPAND_SZ's text up to its first NUL; nothing for other types.
std::optional<std::wstring> TextOf(const platform::RegState& state);
platform::RegState TextState(DWORD type, const std::wstring& text);
platform::RegState DwordState(DWORD value);

}  // namespace repair::computer_check
