#include "tweaks/appearance/drive_icon.h"

#include <windows.h>

#include <optional>

#include "system/app.h"
#include "ui/artwork.h"
#include "ui/drive_letter_box.h"
#include "system/file_ops.h"
#include "journal/journal.h"
#include "system/message_box.h"
#include "tweaks/tweak_page.h"

namespace tweaks {

namespace {

using platform::FileError;
using platform::MsgBox;
using platform::MsgIcon;

constexpr COLORREF kBoxGrey = RGB(224, 224, 224);
constexpr DWORD kSettableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

constexpr wchar_t kNoDrive[] = L"Please type a drive letter in the above space";
constexpr wchar_t kNoPath[] = L"Please enter a path in the above space";
constexpr wchar_t kInvalidPath[] = L"Invalid Path";
constexpr wchar_t kIconChanged[] = L"The icon was successfully changed";
constexpr wchar_t kRestartDrive[] =
    L"Please restart the computer/re-insert your drive for any changes to take effect";
constexpr wchar_t kAutorunNotWritten[] =
    L"The icon was copied, but autorun.inf could not be written to the drive.";
constexpr wchar_t kRestoreQuestion[] = L"Are you sure you wish to restore defaults";
constexpr wchar_t kNothingToRestore[] = L"No icon was found to restore";
constexpr wchar_t kRestored[] =
    L"Default icon successfully restored, Please restart the computer/re-insert your drive for any changes to "
    L"take effect";

// The steps after the copy may fail without stopping the assignment.
template <class Step>
void Attempt(Step step) {
  try {
    step();
  } catch (const FileError&) {
  }
}

void PaintFace(platform::Button& button) {
  button.paintFace = [&button](HDC dc, const RECT& rect, bool pressed, bool focused) {
    platform::PaintButtonFace(dc, rect, button.Text(), pressed, focused);
  };
}

}  // namespace

DriveIconTool::DriveIconTool(platform::Form& form, platform::TwipsRect frame)
    : Label1(form, L"Label1", {frame.left + 180, frame.top + 780, 2700, 300}, L"Enter the full path of the icon:"),
      TxtIconpath(form, L"TxtIconpath", {frame.left + 2940, frame.top + 750, 4020, 330}, L""),
      Lblicon2(form, L"Lblicon2", {frame.left + 180, frame.top + 360, 6720, 300},
               L"Please type the drive letter of the drive you want to assign the icon to(e.g. c):"),
      txticondrive(form, L"txticondrive", {frame.left + 6960, frame.top + 330, 330, 330}, L""),
      CmdBrowseicon(form, L"CmdBrowseicon", {frame.left + 7080, frame.top + 735, 1200, 360}, L"Browse..."),
      cmdiconok(form, L"cmdiconok", {frame.left + 2940, frame.top + 1230, 1500, 390}, L"OK"),
      cmdiconrestore(form, L"cmdiconrestore", {frame.left + 4680, frame.top + 1230, 2100, 390},
                     L"Restore Defaults"),
      FrameIcon(form, L"FrameIcon", frame, L"Change Drive Icon"),
      CommdlgOpen{.title = L"Choose Icon", .filter = L"Icons|*.ico"},
      form_(form) {
  platform::StyleTweakGroup(FrameIcon);
  Lblicon2.SetFont({.face = L"Arial"});
  for (platform::Label* label : {&Lblicon2, &Label1}) {
    label->SetTextColor(platform::kIntroColor);
    label->SetBackColor(platform::kWhite);
  }
  txticondrive.SetFont({.bold = true});
  txticondrive.SetBackColor(kBoxGrey);
  TxtIconpath.SetBackColor(kBoxGrey);
  for (platform::Button* button : {&CmdBrowseicon, &cmdiconok, &cmdiconrestore}) PaintFace(*button);

  CmdBrowseicon.onClick = [this] { CmdBrowseicon_Click(); };
  TxtIconpath.onKeyPress = [this](wchar_t key) { return TxtIconpath_KeyPress(key); };
  txticondrive.onChange = [this] { txticondrive_Change(); };
  cmdiconok.onClick = [this] { cmdiconok_Click(); };
  cmdiconrestore.onClick = [this] { cmdiconrestore_Click(); };
}

void DriveIconTool::CmdBrowseicon_Click() {
  CommdlgOpen.initialFolder = platform::ProgramFolder();
  // A cancelled dialog keeps the name chosen before, and that goes into the box.
  platform::ShowOpenFileDialog(form_.Hwnd(), CommdlgOpen);
  TxtIconpath.SetText(CommdlgOpen.fileName);
}

bool DriveIconTool::TxtIconpath_KeyPress(wchar_t key) {
  if (key != L'\r') return false;
  cmdiconok.Focus();
  return true;
}

void DriveIconTool::txticondrive_Change() { platform::ApplyDriveLetterRule(txticondrive); }

void DriveIconTool::cmdiconok_Click() {
  const std::wstring drive = txticondrive.Text();
  if (drive.empty()) {
    MsgBox(kNoDrive, MsgIcon::Information, L"Error");
    txticondrive.Focus();
    return;
  }
  const std::wstring source = TxtIconpath.Text();
  if (source.empty()) {
    MsgBox(kNoPath, MsgIcon::Information, L"Error");
    TxtIconpath.Focus();
    return;
  }
  const std::wstring icon = drive + L":/icon.ico";
  const std::wstring autorun = drive + L":/autorun.inf";
  const platform::journal::Action action(L"Drive icon: assign to drive " + drive + L":", {.drives = drive});
  if (action.Cancelled()) return;
  // A hidden or system icon.ico from an earlier assignment cannot be
  // overwritten; its attributes go back as they were if the copy still fails.
  std::optional<DWORD> previous;
  Attempt([&] {
    previous = platform::GetAttr(icon) & kSettableAttributes;
    platform::SetAttr(icon, platform::kAttrNormal);
  });
  try {
    platform::CopyOver(source, drive + L":\\icon.ico");
  } catch (const FileError&) {
    if (previous) Attempt([&] { platform::SetAttr(icon, *previous); });
    MsgBox(kInvalidPath, MsgIcon::Exclamation);
    return;
  }

  Attempt([&] { platform::SetAttr(autorun, platform::kAttrNormal); });
  bool written = false;
  Attempt([&] {
    platform::OutputFile file(autorun);
    file.PrintLine(L"[Autorun]");
    file.PrintLine(L"icon=icon.ico");
    file.Close();
    written = true;
  });
  if (written) {
    MsgBox(kIconChanged, MsgIcon::Information);
    MsgBox(kRestartDrive, MsgIcon::Exclamation);
  } else {
    MsgBox(kAutorunNotWritten, MsgIcon::Exclamation, L"Error");
  }
  Attempt([&] { platform::SetAttr(autorun, platform::kAttrHiddenSystem); });
  Attempt([&] { platform::SetAttr(icon, platform::kAttrHiddenSystem); });
}

void DriveIconTool::cmdiconrestore_Click() {
  if (MsgBox(kRestoreQuestion, MsgIcon::Exclamation, platform::kAppTitle, platform::MsgButtons::YesNo) !=
      platform::MsgResult::Yes) {
    return;
  }
  const std::wstring drive = txticondrive.Text();
  if (drive.empty()) {
    MsgBox(kNoDrive, MsgIcon::Information, L"Error");
    txticondrive.Focus();
    return;
  }
  const std::wstring autorun = drive + L":/autorun.inf";
  const std::wstring icon = drive + L":/icon.ico";
  const platform::journal::Action action(L"Drive icon: restore defaults of drive " + drive + L":", {.drives = drive});
  if (action.Cancelled()) return;
  try {
    // Fails when there is no autorun.inf: nothing was assigned.
    platform::SetAttr(autorun, platform::kAttrNormal);
    {
      platform::OutputFile file(autorun);
      file.WriteQuoted(L"");
      file.Close();
    }
    platform::SetAttr(autorun, platform::kAttrHiddenSystem);
    platform::SetAttr(icon, platform::kAttrNormal);
    platform::DeleteOne(icon);
  } catch (const FileError&) {
    MsgBox(kNothingToRestore, MsgIcon::Exclamation);
    return;
  }
  MsgBox(kRestored, MsgIcon::Information);
}

}  // namespace tweaks
