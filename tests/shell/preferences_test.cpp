#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

#include "shell/main_window.h"
#include "shell/preferences_window.h"
#include "shell/settings.h"
#include "shell/splash_window.h"
#include "shell_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"

namespace {

using namespace testing_support;
using platform::MsgBoxCall;
using platform::MsgButtons;
using platform::MsgIcon;
using shell::FrmMain;
using shell::FrmOptions;

const std::wstring kKey = L"Software\\Korvane";

const MsgBoxCall kSaved{L"Changes saved successfully", L"Confirmation", MsgIcon::Information, MsgButtons::Ok};
const MsgBoxCall kNotSaved{L"The preferences could not be saved.", L"Error", MsgIcon::Exclamation, MsgButtons::Ok};
const MsgBoxCall kDefaults{L"Click 'save changes' to save the default preferences", L"Korvane",
                           MsgIcon::Information, MsgButtons::Ok};

void Dword(const wchar_t* name, DWORD value) { WriteDword(kHkcu, kKey, name, value); }
void Sz(const wchar_t* name, const wchar_t* text) { WriteSz(kHkcu, kKey, name, text); }

// Runs inside the system's modal box: asks the main window to close, notes what
// the box held (owned by the preferences, main enabled, preferences enabled,
// main still there), then presses OK.
std::vector<int> seen;
void CALLBACK AnswerSystemBox(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND box = FindWindowW(L"#32770", L"Korvane");
  if (!box) return;
  KillTimer(nullptr, timer);
  const HWND main = platform::Instance<FrmMain>().Hwnd();
  const HWND options = platform::Instance<FrmOptions>().Hwnd();
  seen = {GetWindow(box, GW_OWNER) == options, IsWindowEnabled(main), IsWindowEnabled(options)};
  SendMessageW(main, WM_CLOSE, 0, 0);
  seen.push_back(platform::IsLoaded<FrmMain>());
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

class PreferencesTest : public testing::Test {
 protected:
  void SetUp() override { DeleteKey(kHkcu, kKey); }
  void TearDown() override {
    EndAllForms();
    DeleteKey(kHkcu, kKey);
  }
  // The main window, and Ctrl+P pressed in it.
  static FrmOptions& OpenPreferences() {
    auto& main = ShowForm<FrmMain>();
    PressShortcut(main, 'P', true);
    EXPECT_TRUE(platform::IsLoaded<FrmOptions>()) << "Ctrl+P opened nothing";
    return platform::Instance<FrmOptions>();
  }
};

TEST_F(PreferencesTest, LoadingFillsTheControlsUntilAStepFails) {
  struct Case {
    const char* what;
    std::function<void()> seed;
    int box;
    int tab;  // -1: no item selected
  };
  const std::vector<Case> cases = {
      {"no settings key", [] {}, 1, -1},
      {"0, Info", [] { Dword(L"splash", 0), Sz(L"opentab", L"Info"); }, 0, 1},
      {"1, Tweak", [] { Dword(L"splash", 1), Sz(L"opentab", L"Tweak"); }, 1, 3},
      {"\"0\", About", [] { Sz(L"splash", L"0"), Sz(L"opentab", L"About"); }, 0, 4},
      {"2 (greyed), Fix", [] { Dword(L"splash", 2), Sz(L"opentab", L"Fix"); }, 2, 2},
      {"absent, Info", [] { Sz(L"opentab", L"Info"); }, 1, -1},
      {"\"abc\", Info", [] { Sz(L"splash", L"abc"), Sz(L"opentab", L"Info"); }, 1, -1},
      {"3, Fix", [] { Dword(L"splash", 3), Sz(L"opentab", L"Fix"); }, 1, -1},
      {"0, info", [] { Dword(L"splash", 0), Sz(L"opentab", L"info"); }, 0, -1},
      {"0, empty", [] { Dword(L"splash", 0), Sz(L"opentab", L""); }, 0, -1},
  };
  MsgBoxRecorder boxes;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.seed();
    auto& options = OpenPreferences();
    EXPECT_TRUE(options.Visible());
    EXPECT_EQ(options.Caption(), L"Preferences");
    EXPECT_EQ(options.ChkSplash.Value(), c.box);
    EXPECT_EQ(options.CmbOptStart.ListIndex(), c.tab);
    EndAllForms();
    DeleteKey(kHkcu, kKey);
  }
  EXPECT_TRUE(boxes.Calls().empty()) << AsText(boxes.Calls().front());
}

// What is saved, and what the next start of the program makes of it.
TEST_F(PreferencesTest, SavingWritesBothValuesHidesAndTakesEffectAtTheNextStart) {
  struct Case {
    const char* what;
    bool uncheck;
    const wchar_t* tab;  // nullptr: none selected
    DWORD splash;
    const wchar_t* opentab;
    int nextPage;
  };
  const std::vector<Case> cases = {
      {"defaults as loaded, no tab", false, nullptr, 1, L"", 0},
      {"no splash, no tab", true, nullptr, 0, L"", 0},
      {"no splash, Tweak", true, L"Tweak", 0, L"Tweak", 3},
      {"splash, Fix", false, L"Fix", 1, L"Fix", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MsgBoxRecorder boxes;
    auto& options = OpenPreferences();
    if (c.uncheck) Click(options.ChkSplash);
    if (c.tab) {
      ASSERT_TRUE(options.CmbOptStart.SelectText(c.tab));
    }
    Click(options.CmdSave);
    EXPECT_DWORD(kHkcu, kKey, L"splash", c.splash);
    EXPECT_SZ(kHkcu, kKey, L"opentab", c.opentab);
    EXPECT_EQ(ValueNames(kHkcu, kKey).size(), 2u);
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(AsText(boxes.Calls()[0]), AsText(kSaved));
    EXPECT_TRUE(platform::IsLoaded<FrmOptions>()) << "saving only hides the window";
    EXPECT_FALSE(options.Visible());
    EXPECT_EQ(platform::Instance<FrmMain>().TabMain.Tab(), 0) << "the open main window keeps its page";

    EndAllForms();
    shell::StartUp();
    EXPECT_EQ(platform::Instance<shell::frmSplash>().Visible(), c.splash == 1);
    ASSERT_TRUE(PumpUntil([] { return !platform::IsLoaded<shell::frmSplash>(); }, 5000));
    EXPECT_EQ(platform::Instance<FrmMain>().TabMain.Tab(), c.nextPage);
    EndAllForms();
    DeleteKey(kHkcu, kKey);
  }
}

TEST_F(PreferencesTest, AGreyedBoxIsSavedGreyedAndClicksNeverGreyItAgain) {
  MsgBoxRecorder boxes;
  for (const int clicks : {0, 1, 2, 3}) {
    Dword(L"splash", 2);
    auto& options = OpenPreferences();
    for (int i = 0; i < clicks; ++i) Click(options.ChkSplash);
    Click(options.CmdSave);
    EXPECT_DWORD(kHkcu, kKey, L"splash", clicks == 0 ? 2 : clicks % 2 ? 0 : 1) << clicks << " clicks";
    EndAllForms();
  }
}

TEST_F(PreferencesTest, AMessageBoxHoldsEveryWindowUntilAnswered) {
  for (const BOOL mainEnabledBefore : {TRUE, FALSE}) {
    auto& options = OpenPreferences();
    const HWND main = platform::Instance<FrmMain>().Hwnd();
    EnableWindow(main, mainEnabledBefore);
    seen.clear();
    SetTimer(nullptr, 0, 100, AnswerSystemBox);
    Click(options.CmdRestore);
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 0, 1}));
    EXPECT_TRUE(IsWindowEnabled(options.Hwnd()));
    EXPECT_EQ(IsWindowEnabled(main), mainEnabledBefore) << "only what was enabled is enabled again";
    EnableWindow(main, TRUE);
    EndAllForms();
  }
}

TEST_F(PreferencesTest, AHiddenWindowComesBackAsItWasLeft) {
  MsgBoxRecorder boxes;
  auto& options = OpenPreferences();
  Click(options.ChkSplash);
  options.CmbOptStart.SelectText(L"About");
  Click(options.CmdSave);
  // Changed behind its back: the hidden window does not read the key again.
  Dword(L"splash", 1), Sz(L"opentab", L"Info");
  PressShortcut(platform::Instance<FrmMain>(), 'P', true);
  EXPECT_EQ(&platform::Instance<FrmOptions>(), &options);
  EXPECT_TRUE(options.Visible());
  EXPECT_EQ(options.ChkSplash.Value(), 0);
  EXPECT_EQ(options.CmbOptStart.SelectedText(), L"About");
}

TEST_F(PreferencesTest, RestoreDefaultsWritesNothing) {
  MsgBoxRecorder boxes;
  auto& fresh = OpenPreferences();
  Click(fresh.CmdRestore);
  EXPECT_FALSE(KeyExists(kHkcu, kKey)) << "the defaults reach the registry only when saved";
  SendMessageW(fresh.Hwnd(), WM_CLOSE, 0, 0);

  Dword(L"splash", 0), Sz(L"opentab", L"Info");
  auto& options = OpenPreferences();
  Click(options.CmdRestore);
  EXPECT_EQ(options.ChkSplash.Value(), 1);
  EXPECT_EQ(options.CmbOptStart.SelectedText(), L"Welcome");
  EXPECT_TRUE(options.Visible());
  ASSERT_EQ(boxes.Calls().size(), 2u);
  EXPECT_EQ(AsText(boxes.Calls()[0]), AsText(kDefaults));
  EXPECT_EQ(AsText(boxes.Calls()[1]), AsText(kDefaults));

  SendMessageW(options.Hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(platform::IsLoaded<FrmOptions>());
  EXPECT_DWORD(kHkcu, kKey, L"splash", 0);
  EXPECT_SZ(kHkcu, kKey, L"opentab", L"Info");
  EXPECT_EQ(ValueNames(kHkcu, kKey).size(), 2u);

  // Closed, not hidden: the next opening reads the key afresh.
  auto& reopened = OpenPreferences();
  EXPECT_EQ(reopened.ChkSplash.Value(), 0);
  EXPECT_EQ(reopened.CmbOptStart.SelectedText(), L"Info");
}

TEST_F(PreferencesTest, ARefusedSaveSaysSoAndKeepsTheWindow) {
  Dword(L"splash", 1), Sz(L"opentab", L"Fix");
  ScopedRefusal refusal(kHkcu, kKey);
  MsgBoxRecorder boxes;
  auto& options = OpenPreferences();
  Click(options.ChkSplash);
  options.CmbOptStart.SelectText(L"About");
  Click(options.CmdSave);
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(AsText(boxes.Calls()[0]), AsText(kNotSaved));
  EXPECT_TRUE(options.Visible());
  EXPECT_EQ(options.ChkSplash.Value(), 0);
  EXPECT_EQ(options.CmbOptStart.SelectedText(), L"About");
  EXPECT_DWORD(kHkcu, kKey, L"splash", 1);
  EXPECT_SZ(kHkcu, kKey, L"opentab", L"Fix");
}

}  // namespace
