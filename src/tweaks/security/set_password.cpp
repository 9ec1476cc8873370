#include "tweaks/security/set_password.h"

#include "journal/journal.h"
#include "system/message_box.h"
#include "system/numeric_text.h"
#include "tweaks/security/password_store.h"

namespace tweaks {

FrmSecOpt::FrmSecOpt()
    : Form({.caption = L"Set Password",
            .clientWidth = 5520,
            .clientHeight = 2670,
            .centred = false,
            .minimizeBox = false}),
      LblPassIntro(*this, L"LblPassIntro", {240, 300, 4800, 900},
                   L"These security tweaks restrict certain features from users, enabling password protection "
                   L"prevents users from accessing the security tweaks page without a password"),
      LblQ(*this, L"LblQ", {5160, 240, 200, 270}, L"?"),
      LblPass(*this, L"LblPass", {240, 1380, 1400, 270}, L"Enter password:"),
      TxtPass(*this, L"TxtPass", {1680, 1335, 3480, 330}, L""),
      CmdSavePass(*this, L"CmdSavePass", {1680, 1920, 1600, 420}, L"Set Password"),
      FrmPassOpt(*this, L"FrmPassOpt", {60, 30, 5400, 2580}, L"Password Protection") {
  FrmPassOpt.SetTextColor(platform::kTeal);
  LblQ.SetFont({.bold = true});
  LblQ.SetTextColor(RGB(0, 0, 255));
  LblQ.SetCursor(LoadCursorW(nullptr, IDC_HAND));
  LblQ.onClick = [this] { LblQ_Click(); };
  CmdSavePass.SetToolTip(L"To remove the password leave the field blank");
  TxtPass.onKeyPress = [this](wchar_t c) {
    if (c != 13) return false;
    CmdSavePass.Focus();
    return true;
  };
  CmdSavePass.onClick = [this] { CmdSavePass_Click(); };
}

void FrmSecOpt::Form_Load() { TxtPass.SetText(StoredPassword()); }

void FrmSecOpt::CmdSavePass_Click() {
  // Kept exactly as typed (never made a number, never trimmed); blanks alone turn protection off.
  const std::wstring typed = TxtPass.Text();
  const std::wstring_view password = platform::TrimBlanks(typed).empty() ? std::wstring_view() : typed;
  // The password never reaches the journal: its group only says that it was set or cleared.
  const wchar_t* const what = password.empty() ? L"Password cleared" : L"Password set";
  platform::journal::Action action(what);
  if (action.Cancelled()) return;
  const platform::RegOutcome outcome = StorePassword(password);
  if (outcome == platform::RegOutcome::Done) action.Note(what);
  if (outcome != platform::RegOutcome::Done) {
    platform::MsgBox(L"The password could not be saved. Administrator rights may be required.",
                     platform::MsgIcon::Critical, L"Error");
    return;
  }
  platform::MsgBox(L"Password successfully saved", platform::MsgIcon::Information);
  Hide();
}

void FrmSecOpt::LblQ_Click() {
  platform::MsgBox(L"If you forget the password you cannot recover it again", platform::MsgIcon::Exclamation,
                   L"WARNING!");
  platform::MsgBox(L"To remove password protection leave the password field blank", platform::MsgIcon::Information,
                   L"Help");
}

}  // namespace tweaks
