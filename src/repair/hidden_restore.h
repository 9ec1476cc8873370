// Restores a file or folder that a virus hid, by resetting its attributes.
#pragma once

#include <iterator>
#include <string_view>

namespace repair {

// The path box's first text: fifty blanks push the example to the middle of the box.
inline constexpr wchar_t kRestorePathHint[] =
    L"                                                  Eg: C:/Documents/Info.doc OR F:/Programs/Media";
static_assert(std::size(kRestorePathHint) - 1 == 96);

// Clears read-only, hidden, system and archive of the item named by the path,
// taken exactly as typed, and shows the outcome. False when the path was invalid.
bool RestoreHiddenItem(std::wstring_view path);

// The "?" beside the restore.
void ShowHideProductNote();

}  // namespace repair
