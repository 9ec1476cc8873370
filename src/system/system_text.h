// Numbers, sizes, times and names as the system writes and compares them, so
// that every window and the command line say them the same way.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// "1,234,567" with the user's digit grouping.
std::wstring GroupDigits(std::uint64_t number);
// "76.2 GB", "512 bytes": as Explorer shows a size.
std::wstring ByteSize(std::uint64_t bytes);

enum class TimeStyle {
  Readable,  // 2026-12-08 14:03:12
  FileName,  // 2026-12-08 140312: no colon, which a file name cannot hold
};
std::wstring TimeText(const SYSTEMTIME& time, TimeStyle style);
std::wstring LocalTime(TimeStyle style = TimeStyle::Readable);

// Names compared as the file system and the registry compare them: ordinal, case ignored.
bool SameName(std::wstring_view a, std::wstring_view b);
bool StartsWithName(std::wstring_view text, std::wstring_view prefix);
bool EndsWithName(std::wstring_view text, std::wstring_view suffix);
// "read-only, hidden, system", the marks a worm hides an item with; empty when none of them is set.
std::wstring AttributeWords(DWORD attributes);
// The drive a typed letter names: "E:" or "e" -> L'E'; 0 for anything else,
// which must not reach the file system ("\:" or "." would name something other than a drive's root).
wchar_t DriveLetterOf(std::wstring_view text);
// The name with its case folded as SameName folds it: two names are the same
// exactly when their keys are equal, so a map keyed by it finds an item by any spelling.
std::wstring NameKey(std::wstring_view name);
// The text in lower case, character by character as the C library lowers it:
// for keys of tables (program names, extensions, command words).
std::wstring Lowered(std::wstring_view text);

// Text written by someone else (a drive's label, a line of the journal), fit
// for one line of a window: control characters and those that turn the
// reading direction round dropped, at most `limit` characters kept.
std::wstring Printable(std::wstring_view text, std::size_t limit);

}  // namespace platform
