#include "repair/drive_repair.h"

#include <string>

#include "system/file_ops.h"
#include "system/system_text.h"
#include "journal/journal.h"

namespace repair {

namespace {

using platform::MsgIcon;
using Outcome = AutorunRepair::Outcome;

constexpr Message kNoLetterMessages[] = {
    {L"Please enter a drive letter in the space to continue", MsgIcon::Exclamation},
};
constexpr Message kHealedMessages[] = {
    {L"Korvane successfully attempted to heal your device", MsgIcon::Information},
    {L"Please restart the computer/re-insert your drive for any changes to take effect", MsgIcon::Exclamation},
    {L"If the problem persists the host computer may still be infected with a virus or the disk maybe "
     L"encountering unknown problems",
     MsgIcon::Critical},
};
constexpr Message kNothingFoundMessages[] = {
    {L"Korvane did not detect any disk errors", MsgIcon::Exclamation},
    {L"Please make sure that the drive letter was entered correctly", MsgIcon::Information},
};

// The Fix page's box holds the letter alone, and the letter is used as typed.
bool IsDriveLetter(std::wstring_view text) { return text.size() == 1 && platform::DriveLetterOf(text) != 0; }

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool DriveIsThere(std::wstring_view driveLetter) {
  try {
    platform::GetAttr(std::wstring(driveLetter) + L":\\");
    return true;
  } catch (const platform::FileError&) {
    return false;
  }
}

}  // namespace

AutorunRepair EmptyAutorun(std::wstring_view driveLetter) {
  AutorunRepair result;
  if (!IsDriveLetter(driveLetter)) return result;
  result.path = std::wstring(driveLetter) + L":/autorun.inf";
  const platform::journal::Action action(L"Fix: autorun repair of drive " + std::wstring(driveLetter) + L":",
                                         {.drives = std::wstring(driveLetter)});
  if (action.Cancelled()) {
    result.outcome = Outcome::Cancelled;
    return result;
  }
  try {
    // Fails when there is no autorun.inf: that is how we know there is nothing to repair.
    platform::SetAttr(result.path, platform::kAttrNormal);
  } catch (const platform::FileError& e) {
    result.error = e.Code();
    // The journal asks again when it fails at a change, and a Cancel there makes the change fail.
    if (e.Code() == ERROR_CANCELLED) {
      result.outcome = Outcome::Cancelled;
    } else if (!IsMissing(e.Code())) {
      result.outcome = Outcome::Failed;
    } else {
      result.outcome = DriveIsThere(driveLetter) ? Outcome::NoAutorun : Outcome::NoDrive;
    }
    return result;
  }
  try {
    platform::OutputFile file(result.path);
    file.WriteQuoted(L"");
    file.Close();
    platform::SetAttr(result.path, platform::kAttrHiddenSystem);
    result.outcome = Outcome::Healed;
  } catch (const platform::FileError& e) {
    result.outcome = e.Code() == ERROR_CANCELLED ? Outcome::Cancelled : Outcome::Failed;
    result.error = e.Code();
  }
  return result;
}

std::span<const Message> DriveRepairMessages(DriveRepair outcome) {
  switch (outcome) {
    case DriveRepair::NoLetter:
      return kNoLetterMessages;
    case DriveRepair::Healed:
      return kHealedMessages;
    case DriveRepair::NothingFound:
      break;
  }
  return kNothingFoundMessages;
}

DriveRepair RepairDrive(std::wstring_view driveLetter) {
  DriveRepair outcome = DriveRepair::NoLetter;
  if (!driveLetter.empty()) {
    const Outcome repaired = EmptyAutorun(driveLetter).outcome;
    // The user has just said not to go on: there is nothing more to tell.
    if (repaired == Outcome::Cancelled) return DriveRepair::NothingFound;
    outcome = repaired == Outcome::Healed ? DriveRepair::Healed : DriveRepair::NothingFound;
  }
  ShowMessages(DriveRepairMessages(outcome));
  return outcome;
}

}  // namespace repair
