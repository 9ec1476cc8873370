// The machine-wide countersign. The user's own journal can be written by any
// program the user runs, without administrator rights; an elevated Korvane
// must not write HKLM because a line there says so. So when Korvane changes a
// machine-wide value it also writes the item to a file under the common
// application data folder that only administrators and SYSTEM may write, and
// undo writes a machine-wide value only when that file vouches for its item.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "journal/journal.h"

namespace platform::journal::machine {

// Whether an item changes something outside the user's own settings.
bool IsMachineWide(const Item& item);
// Writes the item's line, flushed, before the change. False when it cannot.
bool Vouch(GroupId id, const Item& item, std::wstring_view folder);

// The vouched items, read once (bounded in size) for a run of undo.
class Vouched {
 public:
  bool Holds(GroupId id, const Item& item, std::wstring_view folder);

 private:
  bool loaded_ = false;
  std::unordered_set<std::string> lines_;
};

// The file, for tests: "%ProgramData%\Korvane\machine-journal.jsonl".
std::wstring FilePath();

}  // namespace platform::journal::machine
