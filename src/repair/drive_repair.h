// The repair of a drive whose autorun.inf makes opening the drive fail: the
// file is emptied, not deleted, and left hidden and system.
#pragma once

#include <string_view>

namespace repair {

enum class DriveRepair {
  NoLetter,      // the box was empty: the caller puts the focus back into it
  Healed,        // autorun.inf now holds "" CR LF, hidden and system
  NothingFound,  // no autorun.inf, no such drive, not a letter, or a step failed
};

// Repairs the drive named by the letter typed and shows the messages of the outcome.
DriveRepair RepairDrive(std::wstring_view driveLetter);

}  // namespace repair
