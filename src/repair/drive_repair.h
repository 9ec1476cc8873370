// The repair of a drive whose autorun.inf makes opening the drive fail: the
// file is emptied, not deleted, and left hidden and system.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <string_view>

#include "repair/repair_message.h"

namespace repair {

enum class DriveRepair {
  NoLetter,      // the box was empty: the caller puts the focus back into it
  Healed,        // autorun.inf now holds "" CR LF, hidden and system
  NothingFound,  // no autorun.inf, no such drive, not a letter, or a step failed
};

// What the repair found, for a front end that tells these cases apart.
struct AutorunRepair {
  enum class Outcome {
    NotALetter,  // the text names no drive
    NoAutorun,   // the drive holds no autorun.inf: nothing to do
    NoDrive,     // the drive is not there
    Failed,      // autorun.inf is there but could not be emptied
    Healed,
    Cancelled,   // the journal could not be written and the user chose to change nothing
  };
  Outcome outcome = Outcome::NotALetter;
  std::wstring path;  // "E:/autorun.inf"
  DWORD error = 0;    // the system's error code when Failed
};

// Empties the autorun.inf of the drive named by the letter, as one action of
// the change journal; shows nothing.
AutorunRepair EmptyAutorun(std::wstring_view driveLetter);

// The lines the window shows for an outcome, in order.
std::span<const Message> DriveRepairMessages(DriveRepair outcome);

// Repairs the drive named by the letter typed and shows the messages of the outcome.
DriveRepair RepairDrive(std::wstring_view driveLetter);

}  // namespace repair
