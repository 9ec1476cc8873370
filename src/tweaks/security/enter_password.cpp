#include "tweaks/security/enter_password.h"

#include "system/message_box.h"
#include "tweaks/security/password_store.h"
#include "tweaks/security/security_page.h"

namespace tweaks {

FrmEntSecPAss::FrmEntSecPAss()
    : Form({.caption = L"Enter Password to continue",
            .clientWidth = 4680,
            .clientHeight = 1650,
            .centred = true,
            .minimizeBox = false}),
      TxtPass(*this, L"TxtPass", {360, 480, 3960, 330}, L"", {.password = true}),
      CmdOk(*this, L"CmdOk", {1590, 1020, 1500, 400}, L"Proceed"),
      FrmEntPass(*this, L"FrmEntPass", {60, 30, 4560, 1560}, L"Enter Password") {
  FrmEntPass.SetTextColor(platform::kTeal);
  TxtPass.onKeyPress = [this](wchar_t c) {
    if (c != 13) return false;
    CmdOk.Focus();
    return true;
  };
  CmdOk.onClick = [this] { CmdOk_Click(); };
}

void FrmEntSecPAss::Form_GotFocus() {
  TxtPass.SetText(L"");
  TxtPass.Focus();
}

void FrmEntSecPAss::CmdOk_Click() {
  // The password as stored now: a change made since this window opened counts at once.
  if (TxtPass.Text() != StoredPassword()) {
    platform::MsgBox(L"Incorrect password", platform::MsgIcon::Exclamation, L"Sorry");
    platform::MsgBox(L"Please try again", platform::MsgIcon::Information);
    TxtPass.Focus();
    return;
  }
  if (onAccepted) {
    const std::function<void()> accepted = std::move(onAccepted);
    onAccepted = nullptr;
    Hide();
    TxtPass.SetText(L"");
    accepted();
    return;
  }
  auto& page = platform::Instance<FrmSecTweaks>();
  page.Label1.SetText(L"ok");
  page.Show();
  Hide();
  TxtPass.SetText(L"");
}

}  // namespace tweaks
