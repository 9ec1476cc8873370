#include <gtest/gtest.h>

#include <functional>

#include "saved_values.h"
#include "shell/main_window.h"
#include "support/layout_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"
#include "tweaks/security/enter_password.h"
#include "tweaks/security/security_page.h"
#include "tweaks/security/set_password.h"

namespace {

using namespace testing_support;
using namespace security_test;
using platform::Instance;
using platform::IsLoaded;
using tweaks::FrmEntSecPAss;
using tweaks::FrmSecOpt;
using tweaks::FrmSecTweaks;

const HKEY kHkcr = HKEY_CLASSES_ROOT;

const std::string kSaved = "[Korvane] \"Password successfully saved\" Information OK";
const std::string kIncorrect = "[Sorry] \"Incorrect password\" Exclamation OK";
const std::string kTryAgain = "[Korvane] \"Please try again\" Information OK";

class PasswordTest : public testing::Test {
 protected:
  void TearDown() override {
    EndAllForms();
  }

  // The user presses "Security Tweaks" on the main window's Tweak page.
  static void OpenFromMainWindow() {
    auto& main = Instance<shell::FrmMain>();
    if (!main.Visible()) {
      main.Show();
      main.TabMain.SetTab(3);
    }
    Click(main.tweak.CmdSecTweak);
    Pump();
  }
  // Another window of the program becomes active, then the page again.
  static void ReturnToPage() {
    Instance<shell::FrmMain>().Show();
    Pump();
    Instance<FrmSecTweaks>().Show();
    Pump();
  }
  static void Close(platform::Form& form) {
    SendMessageW(form.Hwnd(), WM_CLOSE, 0, 0);
    Pump();
  }
  static void Replace(platform::TextBox& box, const std::wstring& text) {
    box.SetText(L"");
    Type(box, text);
  }
  void SetPassword(const std::wstring& text) {
    auto& window = Instance<FrmSecOpt>();
    Replace(window.TxtPass, text);
    Click(window.CmdSavePass);
  }
  // Types into the enter-password window and presses "Proceed"; true when the page was unlocked.
  bool Enter(const std::wstring& text) {
    messages.Clear();
    auto& window = Instance<FrmEntSecPAss>();
    Replace(window.TxtPass, text);
    Click(window.CmdOk);
    return IsLoaded<FrmSecTweaks>() && Instance<FrmSecTweaks>().Label1.Text() == L"ok";
  }
  static bool Locked() {
    return !Instance<FrmSecTweaks>().Visible() && IsLoaded<FrmEntSecPAss>() && Instance<FrmEntSecPAss>().Visible();
  }

  security_test::SecurityValues saved;
  MsgBoxRecorder messages;
};

TEST_F(PasswordTest, TheLockThroughItsStates) {
  OpenFromMainWindow();
  auto& page = Instance<FrmSecTweaks>();
  EXPECT_TRUE(page.Visible()) << "no password: the page opens without asking";
  EXPECT_FALSE(IsLoaded<FrmEntSecPAss>());

  // Set while the page is open without protection: it locks on its next activation.
  EXPECT_TRUE(page.InvokeMenu(L"Set password"));
  Pump();
  auto& options = Instance<FrmSecOpt>();
  EXPECT_TRUE(options.Visible());
  EXPECT_TRUE(options.TxtPass.HasFocus());
  SetPassword(L"Secret");
  EXPECT_EQ(messages.Shown(), std::vector<std::string>{kSaved});
  EXPECT_FALSE(options.Visible());
  EXPECT_SZ(kHkcr, kWab, kRandomId, L"Secret");
  ReturnToPage();
  ASSERT_TRUE(Locked());
  auto& enter = Instance<FrmEntSecPAss>();
  EXPECT_TRUE(enter.TxtPass.HasFocus());
  EXPECT_EQ(page.Label1.Text(), L"");

  EXPECT_FALSE(Enter(L"secret")) << "case counts";
  EXPECT_EQ(messages.Shown(), (std::vector<std::string>{kIncorrect, kTryAgain}));
  EXPECT_EQ(enter.TxtPass.Text(), L"secret") << "the typed text stays";
  EXPECT_TRUE(enter.TxtPass.HasFocus());
  EXPECT_TRUE(Locked());

  EXPECT_TRUE(Enter(L"Secret"));
  EXPECT_EQ(messages.Shown(), std::vector<std::string>{});
  EXPECT_TRUE(page.Visible());
  EXPECT_FALSE(enter.Visible());
  EXPECT_EQ(enter.TxtPass.Text(), L"");

  // Set while unlocked: the page stays open until it is closed and opened again.
  page.InvokeMenu(L"Set password");
  Pump();
  EXPECT_EQ(options.TxtPass.Text(), L"Secret") << "a hidden window keeps what was typed";
  SetPassword(L"New one");
  ReturnToPage();
  EXPECT_TRUE(page.Visible());
  EXPECT_FALSE(enter.Visible());

  Close(page);
  OpenFromMainWindow();
  ASSERT_TRUE(Locked());
  EXPECT_EQ(Instance<FrmSecTweaks>().Label1.Text(), L"");
  EXPECT_FALSE(Enter(L"Secret")) << "the old password no longer unlocks";
  EXPECT_EQ(messages.Shown(), (std::vector<std::string>{kIncorrect, kTryAgain}));
  EXPECT_TRUE(Enter(L"New one")) << "the new one does, in the window that was already open";
}

TEST_F(PasswordTest, ThePageIsLoadedBeforeTheLockHidesItAndStaysHiddenWhenTheAskIsClosed) {
  WriteSz(kHkcr, kWab, kRandomId, L"pw");
  WriteSz(HKEY_CURRENT_USER, kExplorer, L"norun", L"1");
  OpenFromMainWindow();
  ASSERT_TRUE(Locked());
  EXPECT_EQ(Instance<FrmSecTweaks>().boxes.Box(L"ChkRun").Value(), 1);
  EXPECT_DWORD(HKEY_CURRENT_USER, kExplorer, L"norun", 1u) << "rewritten while loading, before the lock";

  Close(Instance<FrmEntSecPAss>());
  EXPECT_FALSE(IsLoaded<FrmEntSecPAss>());
  ASSERT_TRUE(IsLoaded<FrmSecTweaks>()) << "hidden, not destroyed";
  EXPECT_FALSE(Instance<FrmSecTweaks>().Visible());

  OpenFromMainWindow();
  EXPECT_TRUE(Locked()) << "opening it again asks again";
  EXPECT_TRUE(Enter(L"pw"));
}

TEST_F(PasswordTest, PasswordsAreStoredExactlyAsTyped) {
  struct Case {
    const wchar_t* typed;
    const wchar_t* stored;
    std::vector<const wchar_t*> refused;
    const wchar_t* unlocks;  // nullptr: no protection
  };
  const std::vector<Case> cases = {
      {L"007", L"007", {L"7"}, L"007"},
      {L" abc ", L" abc ", {L"abc", L" abc"}, L" abc "},
      {L"Ab1 c", L"Ab1 c", {L"ab1 c"}, L"Ab1 c"},
      {L"   ", L"", {}, nullptr},
      {L"", L"", {}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(L"\"" + std::wstring(c.typed) + L"\""));
    WriteSz(kHkcr, kWab, kRandomId, L"before");
    SetPassword(c.typed);
    EXPECT_SZ(kHkcr, kWab, kRandomId, c.stored);
    Close(Instance<FrmSecOpt>());
    EXPECT_EQ(Instance<FrmSecOpt>().TxtPass.Text(), c.stored) << "a new set-password window shows what is stored";

    if (!c.unlocks) {
      OpenFromMainWindow();
      EXPECT_TRUE(Instance<FrmSecTweaks>().Visible()) << "no protection";
      EXPECT_FALSE(IsLoaded<FrmEntSecPAss>());
    } else {
      for (const wchar_t* wrong : c.refused) EXPECT_FALSE(Enter(wrong)) << Utf8(wrong);
      EXPECT_TRUE(Enter(c.unlocks));
    }
    EndAllForms();
  }
}

TEST_F(PasswordTest, ANumberLeftByAnEarlierVersionReadsAsItsDigits) {
  WriteDword(kHkcr, kWab, kRandomId, 7);
  EXPECT_EQ(Instance<FrmSecOpt>().TxtPass.Text(), L"7");
  EXPECT_FALSE(Enter(L"007"));
  EXPECT_TRUE(Enter(L"7"));
}

TEST_F(PasswordTest, ARefusedPasswordWriteSaysSoAndKeepsTheWindow) {
  WriteSz(kHkcr, kWab, kRandomId, L"old");
  auto& options = ShowForm<FrmSecOpt>();
  {
    ScopedRefusal refusal(kHkcr, kWab);
    SetPassword(L"new");
  }
  EXPECT_EQ(messages.Shown(),
            std::vector<std::string>{
                "[Error] \"The password could not be saved. Administrator rights may be required.\" Critical OK"});
  EXPECT_TRUE(options.Visible());
  EXPECT_SZ(kHkcr, kWab, kRandomId, L"old");
}

TEST_F(PasswordTest, EnterOnlyMovesTheFocusToTheButton) {
  WriteSz(kHkcr, kWab, kRandomId, L"pw");
  auto& options = ShowForm<FrmSecOpt>();
  options.TxtPass.SetText(L"typed");
  PressEnter(options.TxtPass);
  EXPECT_TRUE(options.CmdSavePass.HasFocus());
  EXPECT_SZ(kHkcr, kWab, kRandomId, L"pw") << "nothing saved";

  auto& enter = ShowForm<FrmEntSecPAss>();
  EXPECT_TRUE(enter.TxtPass.HasFocus());
  enter.TxtPass.SetText(L"pw");
  PressEnter(enter.TxtPass);
  EXPECT_TRUE(enter.CmdOk.HasFocus());
  EXPECT_FALSE(IsLoaded<FrmSecTweaks>()) << "nothing checked";
  EXPECT_EQ(messages.Shown(), std::vector<std::string>{});
}

TEST_F(PasswordTest, WindowsTextsAndHelp) {
  auto& options = Instance<FrmSecOpt>();
  EXPECT_EQ(options.FrmPassOpt.TextColor(), RGB(0, 128, 128));
  EXPECT_EQ(ShownTip(options, options.CmdSavePass), L"To remove the password leave the field blank");
  EXPECT_EQ(GetWindowLongW(options.TxtPass.Hwnd(), GWL_STYLE) & ES_PASSWORD, 0) << "shown in plain characters";
  EXPECT_EQ(options.LblQ.Text(), L"?");
  EXPECT_EQ(options.LblQ.Cursor(), LoadCursorW(nullptr, IDC_HAND));
  SendMessageW(options.Hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(options.LblQ.Hwnd()), STN_CLICKED),
               reinterpret_cast<LPARAM>(options.LblQ.Hwnd()));
  EXPECT_EQ(messages.Shown(),
            (std::vector<std::string>{
                "[WARNING!] \"If you forget the password you cannot recover it again\" Exclamation OK",
                "[Help] \"To remove password protection leave the password field blank\" Information OK"}));

  auto& enter = Instance<FrmEntSecPAss>();
  EXPECT_EQ(SendMessageW(enter.TxtPass.Hwnd(), EM_GETPASSWORDCHAR, 0, 0), L'*');
  for (platform::Form* form : {static_cast<platform::Form*>(&options), static_cast<platform::Form*>(&enter)}) {
    EXPECT_EQ(GetWindowLongW(form->Hwnd(), GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  }
  RECT client;
  GetClientRect(options.Hwnd(), &client);
  EXPECT_EQ(client.right, Px(options, 5520));
  EXPECT_EQ(client.bottom, Px(options, 2670));
  GetClientRect(enter.Hwnd(), &client);
  EXPECT_EQ(client.right, Px(enter, 4680));
  EXPECT_EQ(client.bottom, Px(enter, 1650));
}

}  // namespace
