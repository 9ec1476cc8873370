#include <thread>

#include "journey.h"

namespace {

using namespace testing_support;

constexpr wchar_t kTweakTitle[] = L"Korvane - Tweak Main Menu";
constexpr wchar_t kPasswordKey[] = L".wab";
constexpr wchar_t kIEPolicies[] = L"Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";

class TweakJourney : public Journey {
 protected:
  void SetUp() override {
    Journey::SetUp();
    Saved().KeepAndClear(HKEY_CLASSES_ROOT, kPasswordKey, L"RandomID");
    Saved().Keep(HKEY_CURRENT_USER, kSystemPolicies, L"disabletaskmgr");
    for (const wchar_t* applet : kApplets) Saved().KeepAndClear(HKEY_CURRENT_USER, kDontLoad, applet);
    for (const wchar_t* name : {L"FontSmoothing", L"FontSmoothingType"}) Saved().Keep(HKEY_CURRENT_USER, kDesktop, name);
    for (const wchar_t* name : {L"MaxConnectionsPer1_0Server", L"MaxConnectionsPerServer"}) {
      Saved().KeepAndClear(HKEY_CURRENT_USER, kInternetSettings, name);
    }
    for (const wchar_t* name : {L"HomePage", L"NoSaveSettings"}) Saved().KeepAndClear(HKEY_CURRENT_USER, kIEPolicies, name);
  }
  HWND StartOnTweaks(Korvane** program) { return StartOnPage(L"Tweak", kTweakTitle, program); }

  static constexpr const wchar_t* kApplets[] = {L"access.cpl", L"joy.cpl", L"appwiz.cpl", L"main.cpl", L"mmsys.cpl"};
};

TEST_F(TweakJourney, APasswordLocksTheSecurityPageUntilItIsTyped) {
  Korvane* program = nullptr;
  const HWND main = StartOnTweaks(&program);
  ASSERT_TRUE(main);
  HWND security = Open(*program, main, L"Security Tweaks", L"Security Tweaks");
  ASSERT_TRUE(security) << "no password yet: the page opens at once";

  program->Menu(security, 0, 0);  // Tools > Set password
  const HWND setPassword = program->WaitForWindow(L"Set Password");
  ASSERT_TRUE(setPassword);
  const HWND passwordBox = FindTextBoxAfterLabel(setPassword, L"Enter password:");
  ASSERT_TRUE(passwordBox);
  program->ClearAndType(passwordBox, L"Open Sesame");
  program->Click(FindControl(setPassword, L"Set Password"));
  EXPECT_EQ(program->OkAll(), std::vector<std::wstring>{Shown(L"Korvane", L"Password successfully saved")});
  EXPECT_TRUE(program->WaitHidden(setPassword));
  EXPECT_SZ(HKEY_CLASSES_ROOT, kPasswordKey, L"RandomID", L"Open Sesame");

  program->CloseWindow(security);
  ASSERT_FALSE(IsWindow(security)) << "the close button destroys the page";
  program->Click(FindControl(main, L"Security Tweaks"));
  const HWND ask = program->WaitForWindow(L"Enter Password to continue");
  ASSERT_TRUE(ask) << "the locked page does not ask for its password";
  EXPECT_FALSE(program->FindWindowTitled(L"Security Tweaks")) << "the page shows before the password";

  const HWND typed = FindTextBox(ask);
  ASSERT_TRUE(typed);
  program->Type(typed, L"open sesame");
  program->Click(FindControl(ask, L"Proceed"));
  EXPECT_EQ(program->OkAll(), (std::vector<std::wstring>{Shown(L"Sorry", L"Incorrect password"),
                                                         Shown(L"Korvane", L"Please try again")}));
  EXPECT_FALSE(program->FindWindowTitled(L"Security Tweaks"));

  program->ClearAndType(typed, L"Open Sesame");
  program->Click(FindControl(ask, L"Proceed"));
  EXPECT_EQ(program->OkAll(), std::vector<std::wstring>{});
  security = program->WaitForWindow(L"Security Tweaks");
  ASSERT_TRUE(security) << "the right password does not open the page";
  EXPECT_TRUE(program->WaitHidden(ask));

  // Unlocked, its boxes work.
  const HWND taskManager = FindControl(security, L"Disable Task Manager ");
  ASSERT_TRUE(taskManager);
  program->Click(taskManager);
  EXPECT_DWORD(HKEY_CURRENT_USER, kSystemPolicies, L"disabletaskmgr", 1);
  program->Click(taskManager);
  EXPECT_NO_VALUE(HKEY_CURRENT_USER, kSystemPolicies, L"disabletaskmgr");
  EXPECT_FALSE(program->CurrentMessageBox());
}

TEST_F(TweakJourney, TwoAppletsHiddenAndOneShownAgain) {
  Korvane* program = nullptr;
  const HWND main = StartOnTweaks(&program);
  ASSERT_TRUE(main);
  HWND page = Open(*program, main, L"Control Panel Tweaks", L"Control Panel");
  ASSERT_TRUE(page);
  const HWND accessibility = FindControl(page, L"Hide Accessibility options");
  const HWND joystick = FindControl(page, L"Hide Joystick options");
  ASSERT_TRUE(accessibility && joystick);
  program->Click(accessibility);
  program->Click(joystick);
  EXPECT_SZ(HKEY_CURRENT_USER, kDontLoad, L"access.cpl", L"no");
  EXPECT_SZ(HKEY_CURRENT_USER, kDontLoad, L"joy.cpl", L"no");
  program->Click(joystick);
  EXPECT_NO_VALUE(HKEY_CURRENT_USER, kDontLoad, L"joy.cpl");
  EXPECT_SZ(HKEY_CURRENT_USER, kDontLoad, L"access.cpl", L"no");

  // Opened again, the page shows what the registry holds.
  program->CloseWindow(page);
  page = Open(*program, main, L"Control Panel Tweaks", L"Control Panel");
  ASSERT_TRUE(page);
  EXPECT_TRUE(IsChecked(FindControl(page, L"Hide Accessibility options")));
  EXPECT_FALSE(IsChecked(FindControl(page, L"Hide Joystick options")));
  EXPECT_FALSE(program->CurrentMessageBox());
}

TEST_F(TweakJourney, ClearTypeAndTheInternetExplorerDownloadLimitAreSwitchedOn) {
  WriteSz(HKEY_CURRENT_USER, kDesktop, L"FontSmoothing", L"0");
  Korvane* program = nullptr;
  const HWND main = StartOnTweaks(&program);
  ASSERT_TRUE(main);
  const HWND appearance = Open(*program, main, L"Appearance Tweaks", L"Appearance Tweaks");
  ASSERT_TRUE(appearance);
  const HWND clearType = FindControl(appearance, L"Enable Clear Type Fonts");
  ASSERT_TRUE(clearType);
  EXPECT_FALSE(IsChecked(clearType));
  program->Click(clearType);
  EXPECT_TRUE(IsChecked(clearType));
  EXPECT_DWORD(HKEY_CURRENT_USER, kDesktop, L"FontSmoothing", 2);
  EXPECT_DWORD(HKEY_CURRENT_USER, kDesktop, L"FontSmoothingType", 2);

  const HWND ie = Open(*program, main, L"IE Tweaks", L"Internet Explorer Tweaks");
  ASSERT_TRUE(ie);
  const HWND downloads = FindControl(ie, L"Increase Max simultaneous downloads to 10");
  ASSERT_TRUE(downloads);
  EXPECT_FALSE(IsChecked(downloads));
  program->Click(downloads);
  EXPECT_DWORD(HKEY_CURRENT_USER, kInternetSettings, L"MaxConnectionsPer1_0Server", 10);
  EXPECT_DWORD(HKEY_CURRENT_USER, kInternetSettings, L"MaxConnectionsPerServer", 10);
  EXPECT_FALSE(program->CurrentMessageBox());
}

// Two copies of Korvane click the same boxes at the same time. Every click
// writes all its values before the next event, so each box's values end
// together, never a mixture; and afterwards the copy that clicks last decides.
TEST_F(TweakJourney, TwoProgramsTogglingTheSameBoxesLeaveAStateOneOfThemWrote) {
  struct Window {
    Korvane* program = nullptr;
    HWND cpl = nullptr;
    HWND ie = nullptr;
  };
  // A second start hands its request to the running copy; two copies still
  // meet when the running one does not answer (or in another session). A name
  // held here with no window to answer stands in for that.
  const std::unique_ptr<void, decltype(&CloseHandle)> unanswered(
      CreateMutexW(nullptr, FALSE, L"Local\\Korvane.Running"), &CloseHandle);
  Window windows[2];
  for (Window& w : windows) {
    const HWND main = StartOnTweaks(&w.program);
    ASSERT_TRUE(main);
    w.cpl = Open(*w.program, main, L"Control Panel Tweaks", L"Control Panel");
    w.ie = Open(*w.program, main, L"IE Tweaks", L"Internet Explorer Tweaks");
    ASSERT_TRUE(w.cpl && w.ie);
  }
  const std::vector<std::wstring> applets = {L"Hide Accessibility options", L"Hide Add\\Remove Programs",
                                             L"Hide mouse options", L"Hide sound options"};
  const std::vector<std::wstring> ieBoxes = {L"Increase Max simultaneous downloads to 10", L"Lock Current Home Page"};
  const auto clickAll = [&](int which, int rounds) {
    Window& w = windows[which];
    for (int round = 0; round < rounds; ++round) {
      for (const auto& caption : applets) w.program->Click(FindControl(w.cpl, caption));
      for (const auto& caption : ieBoxes) w.program->Click(FindControl(w.ie, caption));
    }
  };
  std::thread first(clickAll, 0, 7);
  std::thread second(clickAll, 1, 6);
  first.join();
  second.join();
  const auto pairsWhole = [&] {
    EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kInternetSettings, L"MaxConnectionsPer1_0Server").has_value(),
              ReadRaw(HKEY_CURRENT_USER, kInternetSettings, L"MaxConnectionsPerServer").has_value())
        << "one of the two values is from the other program";
    EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kIEPolicies, L"HomePage").has_value(),
              ReadRaw(HKEY_CURRENT_USER, kIEPolicies, L"NoSaveSettings").has_value())
        << "one of the two values is from the other program";
  };
  pairsWhole();

  // Seven rounds against six: the first program's boxes show checked, the
  // second's unchecked. One more click each, in turn: the registry follows the
  // window clicked last.
  const wchar_t* appletValues[] = {L"access.cpl", L"appwiz.cpl", L"main.cpl", L"mmsys.cpl"};
  for (const int last : {1, 0}) {
    SCOPED_TRACE(last == 1 ? "the second program clicked last" : "the first program clicked last");
    clickAll(last, 1);
    const bool checked = last == 1;
    for (std::size_t i = 0; i < applets.size(); ++i) {
      EXPECT_EQ(IsChecked(FindControl(windows[last].cpl, applets[i])), checked) << Utf8(applets[i]);
      if (checked) {
        EXPECT_SZ(HKEY_CURRENT_USER, kDontLoad, appletValues[i], L"no");
      } else {
        EXPECT_NO_VALUE(HKEY_CURRENT_USER, kDontLoad, appletValues[i]);
      }
    }
    if (checked) {
      EXPECT_DWORD(HKEY_CURRENT_USER, kInternetSettings, L"MaxConnectionsPer1_0Server", 10);
      EXPECT_DWORD(HKEY_CURRENT_USER, kInternetSettings, L"MaxConnectionsPerServer", 10);
    } else {
      EXPECT_NO_VALUE(HKEY_CURRENT_USER, kInternetSettings, L"MaxConnectionsPer1_0Server");
    }
    EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kIEPolicies, L"HomePage").has_value(), checked);
    pairsWhole();
  }
  for (Window& w : windows) EXPECT_FALSE(w.program->CurrentMessageBox());
}

// Another copy in the middle of a change holds the change lock; a click waits
// for it rather than writing between that copy's values.
TEST_F(TweakJourney, AClickWaitsWhileAnotherCopyIsWriting) {
  Korvane* program = nullptr;
  const HWND main = StartOnTweaks(&program);
  ASSERT_TRUE(main);
  const HWND ie = Open(*program, main, L"IE Tweaks", L"Internet Explorer Tweaks");
  ASSERT_TRUE(ie);
  HKEY settings = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_NOTIFY, &settings), ERROR_SUCCESS);
  const HANDLE written = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_EQ(RegNotifyChangeKeyValue(settings, FALSE, REG_NOTIFY_CHANGE_LAST_SET, written, TRUE), ERROR_SUCCESS);
  const HANDLE lock = CreateMutexW(nullptr, TRUE, L"Local\\KorvaneRegistryChange");
  ASSERT_TRUE(lock);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "someone else holds the lock";
  program->Click(FindControl(ie, L"Increase Max simultaneous downloads to 10"), false);
  // Korvane gives a held lock two seconds before it writes regardless. Within
  // that time the click may neither write nor end; a wait cannot tell a
  // program that ignores the lock but takes longer still to write.
  EXPECT_EQ(WaitForSingleObject(written, 1000), static_cast<DWORD>(WAIT_TIMEOUT)) << "written under another's lock";
  EXPECT_FALSE(program->Settle(0)) << "the click ended while another copy held the lock";
  EXPECT_NO_VALUE(HKEY_CURRENT_USER, kInternetSettings, L"MaxConnectionsPer1_0Server");
  ReleaseMutex(lock);
  CloseHandle(lock);
  EXPECT_TRUE(program->Settle());
  EXPECT_EQ(WaitForSingleObject(written, 0), WAIT_OBJECT_0);
  CloseHandle(written);
  RegCloseKey(settings);
  EXPECT_DWORD(HKEY_CURRENT_USER, kInternetSettings, L"MaxConnectionsPer1_0Server", 10);
  EXPECT_DWORD(HKEY_CURRENT_USER, kInternetSettings, L"MaxConnectionsPerServer", 10);
}

}  // namespace
