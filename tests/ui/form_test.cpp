#include "ui/form.h"

#include <gtest/gtest.h>

#include "ui/controls.h"
#include "support/layout_helpers.h"
#include "support/ui_helpers.h"

namespace {

using namespace testing_support;

// A small form with one control of each kind, counting its events.
class TestForm : public platform::Form {
 public:
  TestForm()
      : Form({.caption = L"Test Form", .clientWidth = 4000, .clientHeight = 3000}),
        Box(*this, L"Box", {120, 120, 0, 300}, L"A box"),
        Text(*this, L"Text", {120, 540, 2000, 330}, L""),
        Tip(*this, L"Tip", {120, 960, 2000, 300}, L"A label"),
        Ok(*this, L"Ok", {120, 1380, 1200, 360}, L"OK") {
    Box.onClick = [this] { clicks.push_back(Box.Value()); };
    Text.onChange = [this] {
      changes.push_back(Text.Text());
      // A change made inside the change handler raises the event again.
      if (Text.Text() == L"ab") Text.SetText(L"AB");
    };
    Text.onKeyPress = [this](wchar_t c) {
      keys.push_back(c);
      if (c == 13) {
        Ok.Focus();
        return true;
      }
      return false;
    };
    Ok.onClick = [this] { ++okPresses; };
  }
  platform::CheckBox Box;
  platform::TextBox Text;
  platform::Label Tip;
  platform::Button Ok;
  std::vector<int> clicks;
  std::vector<std::wstring> changes;
  std::wstring keys;
  int okPresses = 0;
  int loads = 0;
  int activations = 0;
  static int unloads;

 protected:
  void Form_Load() override { ++loads; }
  void Form_Activate() override { ++activations; }
  void Form_Unload() override { ++unloads; }
};
int TestForm::unloads = 0;

class OtherForm : public platform::Form {
 public:
  OtherForm() : Form({.caption = L"Other Form", .clientWidth = 2000, .clientHeight = 1000}) {}
};

class FormTest : public testing::Test {
 protected:
  void TearDown() override {
    if (platform::IsLoaded<TestForm>()) DestroyWindow(platform::Instance<TestForm>().Hwnd());
    if (platform::IsLoaded<OtherForm>()) DestroyWindow(platform::Instance<OtherForm>().Hwnd());
    Pump();
  }
};

TEST_F(FormTest, CheckBoxRaisesClickOnlyWhenItsStateChanges) {
  auto& form = platform::Instance<TestForm>();
  form.Box.SetValue(1);
  form.Box.SetValue(1);
  form.Box.SetValue(0);
  form.Box.SetValueQuietly(1);
  Click(form.Box);
  EXPECT_EQ(form.clicks, (std::vector<int>{1, 0, 0})) << "code changes and user clicks alike; same state raises nothing";
}

TEST_F(FormTest, TextBoxRaisesChangeOnEveryChangeAndKeyPressWithItsCode) {
  auto& form = platform::Instance<TestForm>();
  form.Show();
  Type(form.Text, L"ab");
  EXPECT_EQ(form.Text.Text(), L"AB");
  EXPECT_EQ(form.changes, (std::vector<std::wstring>{L"a", L"ab", L"AB"}));
  EXPECT_EQ(form.keys, L"ab");
  PressEnter(form.Text);
  EXPECT_EQ(form.keys, L"ab\r");
  EXPECT_TRUE(form.Ok.HasFocus()) << "Enter moved the focus";
  EXPECT_EQ(form.okPresses, 0) << "Enter never presses the button by itself";
  EXPECT_EQ(form.Text.Text(), L"AB");
}

TEST_F(FormTest, OneInstanceLoadedOnceUntilUnloaded) {
  auto& first = platform::Instance<TestForm>();
  EXPECT_EQ(first.loads, 1);
  first.Show();
  first.Box.SetValue(1);
  first.Hide();
  EXPECT_FALSE(first.Visible());
  auto& again = platform::Instance<TestForm>();
  EXPECT_EQ(&again, &first);
  again.Show();
  EXPECT_EQ(again.loads, 1) << "showing an existing window does not load it again";
  EXPECT_EQ(again.Box.Value(), 1) << "hiding keeps the controls' state";
  const int unloadsBefore = TestForm::unloads;
  SendMessageW(again.Hwnd(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(platform::IsLoaded<TestForm>()) << "the close button destroys the window";
  EXPECT_EQ(TestForm::unloads, unloadsBefore + 1);
  auto& fresh = platform::Instance<TestForm>();
  EXPECT_EQ(fresh.loads, 1);
  EXPECT_EQ(fresh.Box.Value(), 0) << "the next use loads afresh";
}

TEST_F(FormTest, ActivateRunsWhenComingBackFromAnotherWindowOfTheProgram) {
  auto& form = ShowForm<TestForm>();
  EXPECT_EQ(form.activations, 1);
  form.Show();
  Pump();
  EXPECT_EQ(form.activations, 1) << "already the active window";
  platform::Instance<OtherForm>().Show();
  Pump();
  form.Show();
  Pump();
  EXPECT_EQ(form.activations, 2);
}

TEST_F(FormTest, ALabelShowsTheToolTipItWasGivenLast) {
  auto& form = platform::Instance<TestForm>();
  form.Tip.SetToolTip(L"www.example.com/a");
  EXPECT_EQ(testing_support::ShownTip(form, form.Tip), L"www.example.com/a");
  form.Tip.SetToolTip(L"www.example.com/b");
  EXPECT_EQ(testing_support::ShownTip(form, form.Tip), L"www.example.com/b");
}

TEST_F(FormTest, EndingTheProgramDestroysEveryFormWithoutItsUnload) {
  platform::Instance<TestForm>().Show();
  platform::Instance<OtherForm>().Show();
  const int unloadsBefore = TestForm::unloads;
  platform::Form::EndProgram();
  EXPECT_FALSE(platform::IsLoaded<TestForm>());
  EXPECT_FALSE(platform::IsLoaded<OtherForm>());
  EXPECT_EQ(TestForm::unloads, unloadsBefore);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the message loop is told to stop";
}

TEST_F(FormTest, LayoutFollowsTheWindowsDpi) {
  auto& form = platform::Instance<TestForm>();
  // The DPI Windows gives the window, not the form's own idea of it.
  const int dpi = static_cast<int>(GetDpiForWindow(form.Hwnd()));
  RECT client;
  GetClientRect(form.Hwnd(), &client);
  EXPECT_EQ(client.right, MulDiv(4000, dpi, 1440));
  EXPECT_EQ(client.bottom, MulDiv(3000, dpi, 1440));
  RECT text;
  GetWindowRect(form.Text.Hwnd(), &text);
  EXPECT_EQ(text.right - text.left, MulDiv(2000, dpi, 1440));
}

}  // namespace
