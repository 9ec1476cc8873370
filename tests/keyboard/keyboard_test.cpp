// Keyboard reach: Tab visits every control that takes input (links too), in
// the order the controls were declared; a label that names a text box lies
// just before it; a link answers Enter and Space as it answers a click.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/form.h"
#include "shell/main_window.h"
#include "shell/preferences_window.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "tweaks/ie/ie_page.h"
#include "tweaks/security/enter_password.h"
#include "tweaks/security/security_page.h"
#include "tweaks/security/set_password.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace testing_support;
using platform::Instance;

struct Window {
  const char* name;
  std::function<platform::Form&()> open;
};

platform::Form& MainOnPage(int page) {
  auto& form = Instance<shell::FrmMain>();
  form.Show();
  form.TabMain.SetTab(page);
  Pump();
  return form;
}

template <class F>
platform::Form& Shown() {
  auto& form = Instance<F>();
  form.Show();
  Pump();
  return form;
}

const std::vector<Window>& Windows() {
  static const std::vector<Window> windows = {
      {"main_welcome", []() -> platform::Form& { return MainOnPage(0); }},
      {"main_info", []() -> platform::Form& { return MainOnPage(1); }},
      {"main_fix", []() -> platform::Form& { return MainOnPage(2); }},
      {"main_tweak", []() -> platform::Form& { return MainOnPage(3); }},
      {"main_about", []() -> platform::Form& { return MainOnPage(4); }},
      {"security_tweaks", &Shown<tweaks::FrmSecTweaks>},
      {"appearance_tweaks", &Shown<tweaks::FrmAppTweaks>},
      {"control_panel_tweaks", &Shown<tweaks::FrmCpl>},
      {"ie_tweaks", &Shown<tweaks::FrmProgTweaks>},
      {"enter_password", &Shown<tweaks::FrmEntSecPAss>},
      {"set_password", &Shown<tweaks::FrmSecOpt>},
      {"preferences", &Shown<shell::FrmOptions>},
  };
  return windows;
}

bool TakesInput(const platform::Control& control) {
  if (!IsWindowVisible(control.Hwnd()) || !IsWindowEnabled(control.Hwnd())) return false;
  if (const auto* label = dynamic_cast<const platform::Label*>(&control)) return static_cast<bool>(label->onClick);
  return dynamic_cast<const platform::Button*>(&control) || dynamic_cast<const platform::CheckBox*>(&control) ||
         dynamic_cast<const platform::TextBox*>(&control) || dynamic_cast<const platform::ComboBox*>(&control);
}

std::string NameOf(const platform::Form& form, HWND hwnd) {
  for (const platform::Control* control : form.Controls()) {
    if (control->Hwnd() == hwnd) return Utf8(control->Name());
  }
  return "(not a control)";
}

class Keyboard : public testing::TestWithParam<Window> {
 protected:
  void SetUp() override { DeleteKey(HKEY_CLASSES_ROOT, L".wab"); }
  void TearDown() override {
    platform::Form::EndProgram();
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
};

TEST_P(Keyboard, TabVisitsEveryInputControlInDeclaredOrder) {
  platform::Form& form = GetParam().open();
  std::vector<const platform::Control*> expected;
  for (const platform::Control* control : form.Controls()) {
    if (TakesInput(*control)) expected.push_back(control);
  }
  ASSERT_FALSE(expected.empty());
  std::vector<HWND> visited{expected.front()->Hwnd()};
  for (std::size_t step = 0; step < expected.size() + 2; ++step) {
    const platform::Control* from = nullptr;
    for (const platform::Control* control : form.Controls()) {
      if (control->Hwnd() == visited.back()) from = control;
    }
    ASSERT_NE(from, nullptr) << "Tab left the controls at " << NameOf(form, visited.back());
    const HWND next = TabFrom(form, *from);
    if (next == visited.front()) break;
    visited.push_back(next);
  }
  std::vector<std::string> want, got;
  for (const platform::Control* control : expected) want.push_back(Utf8(control->Name()));
  for (HWND hwnd : visited) {
    const std::string name = NameOf(form, hwnd);
    // The tab control's own headers are a tab stop the user may use as well.
    if (name != "TabMain") got.push_back(name);
  }
  EXPECT_EQ(got, want);
}

// Enter in a text box never presses a button by itself: nothing is said, and
// where the focus moves on, it moves to the button the box leads to.
TEST_P(Keyboard, EnterInATextBoxPressesNothing) {
  platform::Form& form = GetParam().open();
  const std::map<std::wstring, std::wstring> leadsTo = {
      {L"TxtDriveletter", L"CmdFixAuto"}, {L"TxtPass", form.Find(L"CmdOk") ? L"CmdOk" : L"CmdSavePass"},
      {L"TxtIconpath", L"cmdiconok"}};
  for (const platform::Control* control : form.Controls()) {
    const auto* box = dynamic_cast<const platform::TextBox*>(control);
    if (!box || !IsWindowVisible(box->Hwnd())) continue;
    MsgBoxRecorder boxes;
    ShellRecorder shell;
    OpenFileAnswerer files;
    PressEnter(*box);
    EXPECT_TRUE(boxes.Calls().empty()) << Utf8(box->Name()) << ": " << boxes.Calls().front();
    EXPECT_TRUE(shell.Targets().empty()) << Utf8(box->Name());
    EXPECT_TRUE(files.Requests().empty()) << Utf8(box->Name());
    const auto next = leadsTo.find(box->Name());
    const HWND expected = next != leadsTo.end() ? form.Find(next->second)->Hwnd() : box->Hwnd();
    EXPECT_EQ(NameOf(form, GetFocus()), NameOf(form, expected)) << "after Enter in " << Utf8(box->Name());
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, Keyboard, testing::ValuesIn(Windows()),
                         [](const testing::TestParamInfo<Window>& param) { return std::string(param.param.name); });

class KeyboardTest : public testing::Test {
 protected:
  void SetUp() override { DeleteKey(HKEY_CLASSES_ROOT, L".wab"); }
  void TearDown() override {
    platform::Form::EndProgram();
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
};

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
      EXPECT_EQ(shell.Targets(), std::vector<std::wstring>{main.info.LblFAQUrl.ToolTip()}) << key;
    }
    {
      main.TabMain.SetTab(4);
      ShellRecorder shell;
      PressKey(main.about.LblWeb, key);
      EXPECT_EQ(shell.Targets(), std::vector<std::wstring>{main.about.LblWeb.ToolTip()}) << key;
    }
    {
      main.TabMain.SetTab(2);
      MsgBoxRecorder boxes;
      PressKey(main.fix.LblQHide, key);
      EXPECT_FALSE(boxes.Calls().empty()) << key;
    }
  }
}

}  // namespace
