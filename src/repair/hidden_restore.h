// Restores a file or folder that a virus hid, by resetting its attributes.
#pragma once

#include <windows.h>

#include <iterator>
#include <span>
#include <string_view>

#include "repair/repair_message.h"

namespace repair {

// The path box's first text: fifty blanks push the example to the middle of the box.
inline constexpr wchar_t kRestorePathHint[] =
    L"                                                  Eg: C:/Documents/Info.doc OR F:/Programs/Media";
static_assert(std::size(kRestorePathHint) - 1 == 96);

struct HiddenRestore {
  enum class Outcome {
    Restored,
    Invalid,  // a device or the system's device namespaces: never touched
    Failed,   // the file system refused or found nothing there
    Cancelled,  // the journal could not be written and the user chose to change nothing
  };
  Outcome outcome = Outcome::Invalid;
  DWORD error = 0;  // the system's error code when Failed
};

// Clears read-only, hidden, system and archive of the item named by the path,
// taken exactly as typed, as one action of the change journal; shows nothing.
HiddenRestore ClearHiddenAttributes(std::wstring_view path);

// The lines the window shows: the restore done, or the path invalid.
std::span<const Message> RestoreMessages(bool restored);

// Restores the item and shows the outcome. False when the path was invalid.
bool RestoreHiddenItem(std::wstring_view path);

// The "?" beside the restore.
void ShowHideProductNote();

}  // namespace repair
