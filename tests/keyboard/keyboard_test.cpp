// Keyboard reach: Tab visits every control that takes input (links too), in
// each window's order; a label that names a text box lies
// just before it; a link answers Enter and Space as it answers a click.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/list_view.h"
#include "shell/main_window.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/security/set_password.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"
#include "support/window_list.h"

namespace {

using namespace testing_support;
using platform::Instance;

bool TakesInput(const platform::Control& control) {
  if (!IsWindowVisible(control.Hwnd()) || !IsWindowEnabled(control.Hwnd())) return false;
  if (const auto* label = dynamic_cast<const platform::Label*>(&control)) return static_cast<bool>(label->onClick);
  return dynamic_cast<const platform::Button*>(&control) || dynamic_cast<const platform::CheckBox*>(&control) ||
         dynamic_cast<const platform::TextBox*>(&control) || dynamic_cast<const platform::ComboBox*>(&control) ||
         dynamic_cast<const platform::ListView*>(&control);
}

std::string NameOf(const platform::Form& form, HWND hwnd) {
  for (const platform::Control* control : form.Controls()) {
    if (control->Hwnd() == hwnd) return Utf8(control->Name());
  }
  return "(not a control)";
}

class KeyboardTest : public testing::Test {
 protected:
  void SetUp() override { DeleteKey(HKEY_CLASSES_ROOT, L".wab"); }
  void TearDown() override { EndAllForms(); }
};

// The order Tab takes through each window's controls that take input.
const std::map<std::string, std::vector<std::string>>& TabOrders() {
  static const std::map<std::string, std::vector<std::string>> orders = {
      {"main-welcome", {"Command1", "Command2", "Command3", "Command4", "Command5"}},
      {"main-info", {"CmdWel2", "CmdInf2", "CmdFix2", "CmdAdd2", "CmdAbout2", "TxtFeatures", "LblFAQUrl"}},
      {"main-fix",
       {"CmdWel3", "CmdInf3", "CmdFix3", "CmdAdd3", "CmdAbout3", "LblQFix", "TxtDriveletter", "CmdFixAuto",
        "CmdFixFolderO", "CmdFixTaskM", "CmdFixReg", "LblQHide", "TxtResPath", "CmdRestore", "CmdCheckDrive",
        "CmdCheckComputer"}},
      {"main-tweak",
       {"CmdWel41", "CmdInfo41", "CmdFix41", "CmdAdd41", "Cmdabout41", "CmdSecTweak", "CmdAppTweak", "CmdIETweak",
        "CmdCplTweaks"}},
      {"main-about", {"CmdWel5", "CmdInf5", "CmdFix5", "CmdAdd5", "CmdAbout5", "Label9", "LblMail", "LblWeb"}},
      {"security-tweaks",
       {"chkFO", "ChkDispCpl", "ChkTM", "ChkFind", "ChkRE", "ChkRun", "ChkDoc", "ChkCpl", "ChkShut", "ChkBeep",
        "ChkCDAuto", "ChkProg", "ChkRClick", "ChkNoMyComp", "ChkNoPinStart", "ChkMyCompMng"}},
      {"appearance-tweaks",
       {"TxtIconpath", "txticondrive", "CmdBrowseicon", "cmdiconok", "cmdiconrestore", "ChkClrType",
        "ChkSmoothScroll", "ChkWinClassic", "ChkNoUserStart", "ChkVerDesktop", "ChkErrorMsg"}},
      {"control-panel-tweaks",
       {"ChkCplAccess", "ChkCplAddRem", "ChkCplConsole", "Chkcpldate", "ChkCplDisp", "ChkCplFax", "ChkCplHard",
        "ChkCplIR", "ChkCplRegOpt", "ChkCplWWW", "ChkMail", "ChkMouse", "ChkLcs", "ChkJoy", "ChkSound",
        "ChkModem", "ChkNetwork", "ChkDialup", "ChkNetware", "ChkODBC", "ChkPCCard", "ChkPorts", "ChkPower",
        "ChkCam", "ChkServer", "ChkSpeech", "ChkSystem", "ChkTele", "ChkTweak", "ChkUserMan", "ChkWSP", "ChkQT",
        "ChkNorton", "ChkCompaq"}},
      {"ie-tweaks", {"ChkAC", "ChkDefBro", "ChkLockHP", "ChkIEDown"}},
      {"enter-password", {"TxtPass", "CmdOk"}},
      {"set-password", {"LblQ", "TxtPass", "CmdSavePass"}},
      {"preferences", {"ChkSplash", "CmbOptStart", "CmdSave", "CmdRestore"}},
      {"undo-changes", {"LvwGroups", "TxtDetails", "CmdUndo"}},
      {"check-a-drive", {"CboDrive", "CmdScan", "LstFindings", "TxtDetails", "CmdClean"}},
      {"windows-integration", {"ChkMenu", "ChkAutoPlay", "CmdSave"}},
      {"check-this-computer", {"CmdScan", "LstFindings", "CmdClean"}},
  };
  return orders;
}

TEST_F(KeyboardTest, TabVisitsEveryInputControlInItsOrder) {
  EXPECT_EQ(TabOrders().size(), InputWindows().size());
  for (const WindowCase& window : InputWindows()) {
    SCOPED_TRACE(window.name);
    platform::Form& form = window.open();
    const platform::Control* first = nullptr;
    for (const platform::Control* control : form.Controls()) {
      if (!first && TakesInput(*control)) first = control;
    }
    ASSERT_NE(first, nullptr);
    std::vector<HWND> visited{first->Hwnd()};
    for (std::size_t step = 0; step < form.Controls().size() + 2; ++step) {
      const platform::Control* from = nullptr;
      for (const platform::Control* control : form.Controls()) {
        if (control->Hwnd() == visited.back()) from = control;
      }
      ASSERT_NE(from, nullptr) << "Tab left the controls at " << NameOf(form, visited.back());
      const HWND next = TabFrom(form, *from);
      if (next == visited.front()) break;
      visited.push_back(next);
    }
    std::vector<std::string> got;
    for (HWND hwnd : visited) {
      const std::string name = NameOf(form, hwnd);
      // The tab control's own headers are a tab stop the user may use as well.
      if (name != "TabMain") got.push_back(name);
    }
    const auto expected = TabOrders().find(window.name);
    EXPECT_EQ(got, expected != TabOrders().end() ? expected->second : std::vector<std::string>{});
    EndAllForms();
  }
}

// Enter in a text box never presses a button by itself: nothing is said, and
// where the focus moves on, it moves to the button the box leads to.
TEST_F(KeyboardTest, EnterInATextBoxPressesNothing) {
  struct Case {
    std::string window;
    std::wstring box;
    std::wstring focusAfter;
  };
  const std::vector<Case> cases = {
      {"main-info", L"TxtFeatures", L"TxtFeatures"},          {"main-fix", L"TxtDriveletter", L"CmdFixAuto"},
      {"main-fix", L"TxtResPath", L"TxtResPath"},             {"appearance-tweaks", L"TxtIconpath", L"cmdiconok"},
      {"appearance-tweaks", L"txticondrive", L"txticondrive"}, {"enter-password", L"TxtPass", L"CmdOk"},
      {"set-password", L"TxtPass", L"CmdSavePass"},         {"check-a-drive", L"TxtDetails", L"TxtDetails"},
      {"undo-changes", L"TxtDetails", L"TxtDetails"},
  };
  for (const WindowCase& window : InputWindows()) {
    SCOPED_TRACE(window.name);
    platform::Form& form = window.open();
    std::vector<std::wstring> boxes, expected;
    for (const platform::Control* control : form.Controls()) {
      if (dynamic_cast<const platform::TextBox*>(control) && IsWindowVisible(control->Hwnd())) {
        boxes.push_back(control->Name());
      }
    }
    for (const Case& c : cases) {
      if (c.window != window.name) continue;
      expected.push_back(c.box);
      const platform::Control* box = form.Find(c.box);
      ASSERT_NE(box, nullptr) << Utf8(c.box);
      MsgBoxRecorder shown;
      ShellRecorder shell;
      OpenFileAnswerer files;
      PressEnter(*box);
      EXPECT_EQ(shown.Shown(), std::vector<std::string>{}) << Utf8(c.box);
      EXPECT_EQ(shell.Targets(), std::vector<std::wstring>{}) << Utf8(c.box);
      EXPECT_TRUE(files.Requests().empty()) << Utf8(c.box);
      EXPECT_EQ(NameOf(form, GetFocus()), Utf8(c.focusAfter)) << "after Enter in " << Utf8(c.box);
    }
    EXPECT_EQ(boxes, expected) << "the window's text boxes";
    EndAllForms();
  }
}


// Screen readers name a text box after the label that lies just before it.
TEST_F(KeyboardTest, NamingLabelLiesJustBeforeItsTextBox) {
  auto& main = Instance<shell::FrmMain>();
  auto& password = Instance<tweaks::FrmSecOpt>();
  auto& appearance = Instance<tweaks::FrmAppTweaks>();
  const std::vector<std::pair<const platform::Control*, const platform::Control*>> pairs = {
      {&main.info.LblFeat, &main.info.TxtFeatures},
      {&main.fix.LblDriveProb, &main.fix.TxtDriveletter},
      {&main.fix.LblRestorepath, &main.fix.TxtResPath},
      {&password.LblPass, &password.TxtPass},
      {&appearance.icon.Label1, &appearance.icon.TxtIconpath},
      {&appearance.icon.Lblicon2, &appearance.icon.txticondrive},
  };
  for (const auto& [label, box] : pairs) {
    EXPECT_EQ(GetWindow(box->Hwnd(), GW_HWNDPREV), label->Hwnd()) << Utf8(box->Name());
  }
}

void PressKey(const platform::Control& control, WPARAM key) {
  SetFocus(control.Hwnd());
  MSG msg{control.Hwnd(), WM_KEYDOWN, key, 1, 0, {}};
  if (!IsDialogMessageW(GetAncestor(control.Hwnd(), GA_ROOT), &msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  Pump();
}

TEST_F(KeyboardTest, LinksAnswerEnterAndSpaceAsAClick) {
  auto& main = Instance<shell::FrmMain>();
  main.Show();
  for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_SPACE}}) {
    {
      main.TabMain.SetTab(1);
      ShellRecorder shell;
      PressKey(main.info.LblFAQUrl, key);
      EXPECT_EQ(shell.Targets(), std::vector<std::wstring>{L"www.example.com/korvane/faq"}) << key;
    }
    {
      main.TabMain.SetTab(4);
      ShellRecorder shell;
      PressKey(main.about.LblWeb, key);
      EXPECT_EQ(shell.Targets(), std::vector<std::wstring>{L"www.example.com/korvane"}) << key;
    }
    {
      main.TabMain.SetTab(2);
      MsgBoxRecorder boxes;
      PressKey(main.fix.LblQHide, key);
      EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{
                                   L"Want to hide your files or folders for some reason?",
                                   L"Download Korvane Hide to hide your files and folders, visit "
                                   L"www.example.com/korvane-hide for more information."}))
          << key;
    }
  }
}

}  // namespace
