// The machine-wide countersign. The user's own journal can be written by any
// program the user runs, without administrator rights; an elevated Korvane
// must not write HKLM, or a file outside the user's profile, because a line
// there says so. So when Korvane changes a machine-wide place it also writes
// the item to a file under the common application data folder that only
// administrators and SYSTEM may write, with the SHA-256 of the file undo would
// put back, and undo writes a machine-wide place only when that file vouches
// for its item and the copy still has that hash.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "journal/journal.h"

namespace platform::journal::machine {

// Whether a file's place lies outside the user's profile and Korvane's own
// folder and outside the drives the action works on (the Windows drive is
// never one of those). A path that is not plainly on a drive counts as one.
bool IsMachineWidePath(std::wstring_view path, std::wstring_view drives);
// Whether an item changes something outside the user's own settings and files.
bool IsMachineWide(const Item& item, std::wstring_view drives);
// Writes the item's line before the change, flushed when asked. False when it cannot.
// A registry value's countersign is not flushed: the value itself reaches the
// disk lazily, seconds later, and a countersign lost with it only makes undo refuse.
bool Vouch(GroupId id, const Item& item, std::wstring_view folder, bool flush);
// The same for a run of items, in one write and one flush.
bool Vouch(GroupId id, std::span<const Item> items, std::wstring_view folder, bool flush = true);

// Closes the store, held open from the first countersign (journal::Close).
void CloseStore();

// The file undo copies back for the item (a kept copy, a quarantined file), or empty.
std::wstring CopyOf(const Item& item);
// "sha256:" and the hex of the file's SHA-256; empty when it cannot be read.
std::wstring FileHash(std::wstring_view path);

// The vouched items, read once (bounded in size) for a run of undo.
class Vouched {
 public:
  // The hash vouched for with the item ("" for an item without a copy); nullopt when not vouched.
  std::optional<std::wstring> Find(GroupId id, const Item& item, std::wstring_view folder);
  bool Holds(GroupId id, const Item& item, std::wstring_view folder) { return Find(id, item, folder).has_value(); }

 private:
  bool loaded_ = false;
  std::unordered_map<std::string, std::string> lines_;  // the item's line, its hash
};

// The machine-wide folder, "%ProgramData%\Korvane\" with its trailing
// backslash, made with its access rules when missing; empty when it cannot be.
std::wstring EnsureFolder();
// The same without making it; empty when %ProgramData% is not known.
std::wstring FolderPath();
// The file, for tests: "%ProgramData%\Korvane\machine-journal.jsonl".
std::wstring FilePath();

}  // namespace platform::journal::machine
