#include "repair/drive_repair.h"

#include <string>

#include "platform/file_ops.h"
#include "platform/journal.h"
#include "platform/message_box.h"

namespace repair {

namespace {

using platform::MsgBox;
using platform::MsgIcon;

constexpr wchar_t kEnterLetter[] = L"Please enter a drive letter in the space to continue";
constexpr wchar_t kHealed[] = L"Korvane successfully attempted to heal your device";
constexpr wchar_t kRestart[] = L"Please restart the computer/re-insert your drive for any changes to take effect";
constexpr wchar_t kMayStillBeInfected[] =
    L"If the problem persists the host computer may still be infected with a virus or the disk maybe "
    L"encountering unknown problems";
constexpr wchar_t kNoErrors[] = L"Korvane did not detect any disk errors";
constexpr wchar_t kCheckLetter[] = L"Please make sure that the drive letter was entered correctly";

// Only a letter can name a drive; anything else must not reach the file system,
// where "\:" or "." would name something else than a drive's root.
bool IsDriveLetter(std::wstring_view text) {
  if (text.size() != 1) return false;
  const wchar_t c = text[0];
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool EmptyAutorun(std::wstring_view driveLetter) {
  if (!IsDriveLetter(driveLetter)) return false;
  const std::wstring path = std::wstring(driveLetter) + L":/autorun.inf";
  try {
    // Fails when there is no autorun.inf: that is how we know there is nothing to repair.
    platform::SetAttr(path, platform::kAttrNormal);
    platform::OutputFile file(path);
    file.WriteQuoted(L"");
    file.Close();
    platform::SetAttr(path, platform::kAttrHiddenSystem);
    return true;
  } catch (const platform::FileError&) {
    return false;
  }
}

}  // namespace

DriveRepair RepairDrive(std::wstring_view driveLetter) {
  const platform::journal::Action action(L"Fix: autorun repair of drive " + std::wstring(driveLetter) + L":");
  if (action.Cancelled()) return DriveRepair::NothingFound;
  if (driveLetter.empty()) {
    MsgBox(kEnterLetter, MsgIcon::Exclamation);
    return DriveRepair::NoLetter;
  }
  if (!EmptyAutorun(driveLetter)) {
    MsgBox(kNoErrors, MsgIcon::Exclamation);
    MsgBox(kCheckLetter, MsgIcon::Information);
    return DriveRepair::NothingFound;
  }
  MsgBox(kHealed, MsgIcon::Information);
  MsgBox(kRestart, MsgIcon::Exclamation);
  MsgBox(kMayStillBeInfected, MsgIcon::Critical);
  return DriveRepair::Healed;
}

}  // namespace repair
