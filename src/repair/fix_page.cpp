#include "repair/fix_page.h"

#include <optional>

#include "system/app.h"
#include "system/message_box.h"
#include "ui/artwork.h"
#include "ui/drive_letter_box.h"
#include "repair/computer_check_window.h"
#include "repair/drive_check_window.h"
#include "repair/drive_repair.h"
#include "repair/hidden_restore.h"
#include "repair/restriction_repair.h"

namespace repair {

namespace {

using platform::kTransparent;

// The restriction a repair removed, looked at again once the timer fires.
// Only the window's thread touches it; a later repair replaces it.
std::optional<Restriction> watched;
UINT_PTR lookTimer = 0;

void CALLBACK LookAgain(HWND, UINT, UINT_PTR, DWORD) {
  KillTimer(nullptr, lookTimer);
  lookTimer = 0;
  const auto restriction = watched;
  watched.reset();
  if (!restriction || !RestrictionSet(*restriction)) return;
  if (platform::MsgBox(L"The restriction is set again: a program on this computer keeps setting it.\r\n\r\n"
                       L"Check This Computer can look for what does it. Open it now?",
                       platform::MsgIcon::Exclamation, platform::kAppTitle,
                       platform::MsgButtons::YesNo) == platform::MsgResult::Yes) {
    ShowCheckComputer();
  }
}

}  // namespace

FixPage::FixPage(platform::Form& form)
    : Page(form),
      LblHint(form, L"LblHint", {240, 640, 6840, 420},
              L"Hint: Want to enable the folder options, task manager, registry editor inaccessibility?, Click "
              L"'Tweak'"),
      LblQFix(form, L"LblQFix", {7140, 640, 300, 300}, L"?"),
      LblDriveProb(form, L"LblDriveProb", {240, 1200, 4500, 420},
                   L"Fix Disk Problems[Type drive letter(eg:c) and click fix]"),
      TxtDriveletter(form, L"TxtDriveletter", {4860, 1170, 480, 330}, L""),
      CmdFixAuto(form, L"CmdFixAuto", {5520, 1155, 1100, 360}, L"Fix"),
      LblFolderoptions(form, L"LblFolderoptions", {240, 1680, 4500, 300}, L"Fix Folder Options inaccessibility"),
      CmdFixFolderO(form, L"CmdFixFolderO", {5520, 1635, 1100, 360}, L"Fix"),
      LblTaskM(form, L"LblTaskM", {240, 2130, 4500, 300}, L"Fix Task Manager inaccessibility"),
      CmdFixTaskM(form, L"CmdFixTaskM", {5520, 2085, 1100, 360}, L"Fix"),
      LblFixReg(form, L"LblFixReg", {240, 2580, 4500, 300}, L"Fix Registry Editor inaccessibility"),
      CmdFixReg(form, L"CmdFixReg", {5520, 2535, 1100, 360}, L"Fix"),
      LineFix(form, L"LineFix", {240, 3030, 7170, 15},
              [](HDC dc, const RECT& rect, UINT) { platform::PaintLine(dc, rect, platform::kTeal); }),
      LblRestore(form, L"LblRestore", {240, 3150, 6840, 300}, L"Restore Files/Folders hidden by viruses"),
      LblQHide(form, L"LblQHide", {7140, 3150, 300, 300}, L"?"),
      LblRestorepath(form, L"LblRestorepath", {240, 3510, 6840, 300},
                     L"Enter full path of the hidden file or folder:"),
      TxtResPath(form, L"TxtResPath", {240, 3840, 5760, 330}, kRestorePathHint),
      CmdRestore(form, L"CmdRestore", {6120, 3810, 1290, 390}, L"Restore"),
      CmdCheckDrive(form, L"CmdCheckDrive", {240, 4440, 2400, 390}, L"Check Whole Drive..."),
      CmdCheckComputer(form, L"CmdCheckComputer", {2760, 4440, 2640, 390}, L"Check This Computer...") {
  for (platform::Label* label : {&LblHint, &LblQFix, &LblDriveProb, &LblFolderoptions, &LblTaskM, &LblFixReg,
                                 &LblRestore, &LblQHide, &LblRestorepath}) {
    label->SetBackColor(kTransparent);
  }
  LblRestore.SetFont({.bold = true});
  for (platform::Label* help : {&LblQFix, &LblQHide}) {
    help->SetFont({.bold = true});
    help->SetTextColor(RGB(0, 0, 255));
    help->SetCursor(LoadCursorW(nullptr, IDC_HAND));
  }
  TxtDriveletter.SetFont({.bold = true});
  CmdRestore.paintFace = [this](HDC dc, const RECT& rect, bool pressed, bool focused) {
    platform::PaintButtonFace(dc, rect, CmdRestore.Text(), pressed, focused);
  };

  TxtDriveletter.onChange = [this] { TxtDriveletter_Change(); };
  TxtDriveletter.onKeyPress = [this](wchar_t key) { return TxtDriveletter_KeyPress(key); };
  CmdFixAuto.onClick = [this] { CmdFixAuto_Click(); };
  CmdFixFolderO.onClick = [this] { CmdFixFolderO_Click(); };
  CmdFixReg.onClick = [this] { CmdFixReg_Click(); };
  CmdFixTaskM.onClick = [this] { CmdFixTaskM_Click(); };
  LblQFix.onClick = [this] { LblQFix_Click(); };
  TxtResPath.onGotFocus = [this] { TxtResPath_GotFocus(); };
  TxtResPath.onClick = [this] { TxtResPath_Click(); };
  CmdRestore.onClick = [this] { CmdRestore_Click(); };
  LblQHide.onClick = [this] { LblQHide_Click(); };
  CmdCheckDrive.onClick = [this] { CmdCheckDrive_Click(); };
  CmdCheckComputer.onClick = [this] { CmdCheckComputer_Click(); };
}

void FixPage::TxtDriveletter_Change() { platform::ApplyDriveLetterRule(TxtDriveletter); }

bool FixPage::TxtDriveletter_KeyPress(wchar_t key) {
  if (key != 13) return false;
  // Enter only moves on to "Fix"; the repair waits for the button.
  CmdFixAuto.Focus();
  return true;
}

void FixPage::CmdFixAuto_Click() {
  if (RepairDrive(TxtDriveletter.Text()) == DriveRepair::NoLetter) TxtDriveletter.Focus();
}

void FixPage::CmdFixFolderO_Click() { FixAndLookAgain(Restriction::FolderOptions); }
void FixPage::CmdFixReg_Click() { FixAndLookAgain(Restriction::RegistryEditor); }
void FixPage::CmdFixTaskM_Click() { FixAndLookAgain(Restriction::TaskManager); }

// A worm running on the computer sets its policy again within seconds: a
// second look a few seconds later tells the user so, without holding up the window.
void FixPage::FixAndLookAgain(Restriction restriction) {
  if (lookTimer) KillTimer(nullptr, lookTimer);
  lookTimer = 0;
  watched.reset();
  const bool wasSet = RestrictionSet(restriction);
  FixRestriction(restriction);
  if (!wasSet || RestrictionSet(restriction)) return;  // nothing removed, or refused
  watched = restriction;
  lookTimer = SetTimer(nullptr, 0, secondLookMs, &LookAgain);
}
void FixPage::LblQFix_Click() { ShowRestrictionHelp(); }

// Only the hint gives way; a path the user is typing stays when the box is entered or clicked again.
void FixPage::ClearPathHint() {
  if (TxtResPath.Text() == kRestorePathHint) TxtResPath.SetText(L"");
}

void FixPage::TxtResPath_GotFocus() { ClearPathHint(); }
void FixPage::TxtResPath_Click() { ClearPathHint(); }

void FixPage::CmdRestore_Click() {
  if (RestoreHiddenItem(TxtResPath.Text())) return;
  TxtResPath.SetText(L"");
  TxtResPath.Focus();
}

void FixPage::LblQHide_Click() { ShowHideProductNote(); }

void FixPage::CmdCheckDrive_Click() { ShowCheckDrive(TxtDriveletter.Text()); }

void FixPage::CmdCheckComputer_Click() { ShowCheckComputer(); }

}  // namespace repair
