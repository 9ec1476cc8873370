// The drives present now, for a person to choose from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace repair::drive_check {

struct DriveInfo {
  wchar_t letter = L'\0';
  std::wstring label;
  unsigned type = 0;  // GetDriveTypeW
  std::uint64_t freeBytes = 0;
  std::uint64_t totalBytes = 0;
  bool removable = false;  // see IsRemovable
};

// Drives whose volume answers: a card reader with no card is left out.
std::vector<DriveInfo> PresentDrives();
// A drive a stick or a card goes into: DRIVE_REMOVABLE, or a disk on the USB
// bus that calls itself fixed, as many USB hard disks and some sticks do.
bool IsRemovable(wchar_t letter, unsigned type);
// The removable drives present now, never the drive Windows runs from.
std::vector<DriveInfo> RemovableDrives();
// The drive Windows runs from, where the drive rules would take the Start
// menu's shortcuts and their programs: neither front end checks it.
bool IsWindowsDrive(wchar_t letter);
// "E: BACKUP (Removable, 1.2 GB free of 7.4 GB)"
std::wstring Describe(const DriveInfo& drive);

}  // namespace repair::drive_check
