#include "repair/hidden_restore.h"

#include <string>

#include "system/file_ops.h"
#include "journal/journal.h"
#include "system/message_box.h"
#include "system/system_text.h"

namespace repair {

namespace {

using platform::MsgBox;
using platform::MsgIcon;
using platform::SameName;
using platform::StartsWithName;

constexpr Message kRestored[] = {{L"The File/Folder was successfully restored", MsgIcon::Information}};
constexpr Message kInvalidPath[] = {{L"The path entered was invalid", MsgIcon::Information, L"Error"}};
constexpr wchar_t kWantToHide[] = L"Want to hide your files or folders for some reason?";
constexpr wchar_t kHideProduct[] =
    L"Download Korvane Hide to hide your files and folders, visit www.example.com/korvane-hide for more "
    L"information.";

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// "X:\..." after a device prefix: a path on a drive.
bool IsDrivePath(std::wstring_view rest) {
  return rest.size() >= 3 && IsAsciiLetter(rest[0]) && rest[1] == L':' && IsSeparator(rest[2]);
}

// "UNC\server\share..." after a device prefix: a path on a network share.
bool IsSharePath(std::wstring_view rest) {
  if (rest.size() < 4 || !StartsWithName(rest, L"UNC") || !IsSeparator(rest[3])) return false;
  rest.remove_prefix(4);
  const auto server = rest.find_first_of(L"\\/");
  return server != 0 && server != std::wstring_view::npos && server + 1 < rest.size() &&
         !IsSeparator(rest[server + 1]);
}

// "Volume{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}\..." after a device prefix: a path
// on a volume. Without the separator it is the raw volume.
bool IsVolumePath(std::wstring_view rest) {
  constexpr std::wstring_view kGuid = L"xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx";
  constexpr std::size_t kLength = 7 + kGuid.size() + 1;
  if (rest.size() <= kLength || !StartsWithName(rest, L"VOLUME{") || rest[kLength - 1] != L'}' ||
      !IsSeparator(rest[kLength])) {
    return false;
  }
  for (std::size_t i = 0; i < kGuid.size(); ++i) {
    if (kGuid[i] == L'-' ? rest[7 + i] != L'-' : !IsHexDigit(rest[7 + i])) return false;
  }
  return true;
}

// "\\.\", "\\?\" and "\??\" open the system's device namespaces, where a name
// can reach a disk itself or a port; only a file or folder on a drive, a share
// or a volume may follow them.
bool LeadsIntoDevices(std::wstring_view path) {
  const bool dosDevices = path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
                          (path[2] == L'.' || path[2] == L'?') && (path.size() == 3 || IsSeparator(path[3]));
  const bool ntDevices = path.size() >= 4 && IsSeparator(path[0]) && path[1] == L'?' && path[2] == L'?' &&
                         IsSeparator(path[3]);
  if (!dosDevices && !ntDevices) return false;
  const std::wstring_view rest = path.size() > 4 ? path.substr(4) : std::wstring_view();
  return !IsDrivePath(rest) && !IsSharePath(rest) && !IsVolumePath(rest);
}

// A last path component such as "CON", "nul.txt" or "COM1 " names a device in any
// folder; opening some of them (a serial port) can block.
bool NamesDevice(std::wstring_view path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i])) start = i + 1;
  }
  if (start == 0 && path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == L':') start = 2;
  std::wstring_view name = path.substr(start);
  name = name.substr(0, name.find_first_of(L".:"));
  while (!name.empty() && name.front() == L' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"}) {
    if (SameName(name, device)) return true;
  }
  return name.size() == 4 && (StartsWithName(name, L"COM") || StartsWithName(name, L"LPT")) && name[3] >= L'0' &&
         name[3] <= L'9';
}

}  // namespace

HiddenRestore ClearHiddenAttributes(std::wstring_view path) {
  if (LeadsIntoDevices(path) || NamesDevice(path)) return {};
  const platform::journal::Action action(L"Restore: " + std::wstring(path), {.drives = std::wstring(path.substr(0, 1))});
  if (action.Cancelled()) return {HiddenRestore::Outcome::Cancelled};
  try {
    platform::SetAttr(path, platform::kAttrNormal);
    return {HiddenRestore::Outcome::Restored};
  } catch (const platform::FileError& e) {
    // The journal asks again when it fails at the change, and a Cancel there makes the change fail.
    if (e.Code() == ERROR_CANCELLED) return {HiddenRestore::Outcome::Cancelled};
    return {HiddenRestore::Outcome::Failed, e.Code()};
  }
}

std::span<const Message> RestoreMessages(bool restored) {
  if (restored) return kRestored;
  return kInvalidPath;
}

bool RestoreHiddenItem(std::wstring_view path) {
  const HiddenRestore::Outcome outcome = ClearHiddenAttributes(path).outcome;
  // The user has just said not to go on: there is nothing more to tell.
  if (outcome == HiddenRestore::Outcome::Cancelled) return true;
  const bool restored = outcome == HiddenRestore::Outcome::Restored;
  ShowMessages(RestoreMessages(restored));
  return restored;
}

void ShowHideProductNote() {
  MsgBox(kWantToHide, MsgIcon::Information);
  MsgBox(kHideProduct, MsgIcon::Information);
}

}  // namespace repair
