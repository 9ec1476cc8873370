#include "journey.h"

namespace {

using namespace testing_support;

class StartJourney : public Journey {};

TEST_F(StartJourney, FirstStartShowsTheSplashThenTheWelcomePage) {
  DeleteValue(HKEY_CURRENT_USER, kSettingsKey, L"splash");
  DeleteValue(HKEY_CURRENT_USER, kSettingsKey, L"opentab");
  Korvane& program = Start();
  HWND splash = nullptr;
  const ULONGLONG end = GetTickCount64() + kWaitMs;
  while (!splash && !program.FindWindowTitled(kMainTitle) && GetTickCount64() < end) {
    splash = program.FindSplash();
    Sleep(1);
  }
  ASSERT_TRUE(splash) << "no splash came before the main window";
  EXPECT_EQ(TextOf(splash), L"") << "the splash has no caption";
  EXPECT_TRUE(FindControl(splash, L"Version 1.48"));
  const HWND main = program.WaitForWindow(kMainTitle);
  ASSERT_TRUE(main);
  EXPECT_TRUE(program.WaitHidden(splash)) << "the splash stayed";
  EXPECT_TRUE(FindControl(main, L"To begin click one of the tabs...")) << "not the Welcome page";
}

TEST_F(StartJourney, WithoutTheSplashItOpensOnTheChosenTab) {
  struct Case {
    const wchar_t* tab;
    const wchar_t* title;
    const wchar_t* onPage;  // a caption only that page shows
  };
  const Case cases[] = {
      {L"Fix", L"Korvane - Fix Disk Problems", L"Fix Task Manager inaccessibility"},
      {L"Tweak", L"Korvane - Tweak Main Menu", L"Security Tweaks"},
      {L"fix", L"Korvane", L"To begin click one of the tabs..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.tab));
    WriteDword(HKEY_CURRENT_USER, kSettingsKey, L"splash", 0);
    WriteSz(HKEY_CURRENT_USER, kSettingsKey, L"opentab", c.tab);
    Korvane& program = Start();
    bool splashSeen = false;
    HWND main = nullptr;
    const ULONGLONG end = GetTickCount64() + kWaitMs;
    while (!(main = program.FindWindowTitled(c.title)) && GetTickCount64() < end) {
      splashSeen = splashSeen || program.FindSplash();
      Sleep(1);
    }
    ASSERT_TRUE(main) << "no window titled " << Utf8(c.title);
    EXPECT_FALSE(splashSeen) << "the splash showed although it was switched off";
    EXPECT_TRUE(FindControl(main, c.onPage));
    // It stays away while the hidden splash counts down and goes.
    Sleep(400);
    EXPECT_FALSE(program.FindSplash());
    program.CloseWindow(main);
    EXPECT_TRUE(program.WaitForExit()) << "closing the main window did not end the program";
  }
}

TEST_F(StartJourney, ChangedPreferencesTakeEffectAtTheNextStart) {
  DeleteValue(HKEY_CURRENT_USER, kSettingsKey, L"splash");
  DeleteValue(HKEY_CURRENT_USER, kSettingsKey, L"opentab");
  Korvane* program = nullptr;
  const HWND main = StartOn(kMainTitle, &program);
  ASSERT_TRUE(main);
  program->Menu(main, 0, 0);  // Tools > Preferences
  const HWND prefs = program->WaitForWindow(L"Preferences");
  ASSERT_TRUE(prefs) << "Tools > Preferences opened nothing";
  const HWND splashBox = FindControl(prefs, L"Show Splash Screen at Startup");
  ASSERT_TRUE(splashBox);
  EXPECT_TRUE(IsChecked(splashBox));
  program->Click(splashBox);
  EXPECT_FALSE(IsChecked(splashBox));
  HWND combo = nullptr;
  for (HWND child : VisibleChildren(prefs)) {
    if (ClassOf(child) == L"ComboBox") combo = child;
  }
  ASSERT_TRUE(combo) << "no start tab list";
  program->Choose(combo, L"About");
  program->Click(FindControl(prefs, L"Save Changes"));
  EXPECT_EQ(program->OkAll(), std::vector<std::wstring>{Shown(L"Confirmation", L"Changes saved successfully")});
  EXPECT_TRUE(program->WaitHidden(prefs)) << "saving hides the preferences";
  EXPECT_DWORD(HKEY_CURRENT_USER, kSettingsKey, L"splash", 0);
  EXPECT_SZ(HKEY_CURRENT_USER, kSettingsKey, L"opentab", L"About");
  EXPECT_EQ(TextOf(main), kMainTitle) << "saving does not switch the page";
  program->CloseWindow(main);
  ASSERT_TRUE(program->WaitForExit());

  Korvane& again = Start();
  bool splashSeen = false;
  HWND about = nullptr;
  const ULONGLONG end = GetTickCount64() + kWaitMs;
  while (!(about = again.FindWindowTitled(L"About Korvane")) && GetTickCount64() < end) {
    splashSeen = splashSeen || again.FindSplash();
    Sleep(1);
  }
  ASSERT_TRUE(about) << "the next start is not on the About page";
  EXPECT_FALSE(splashSeen);

  // Restore Defaults only fills the window; the registry waits for a save.
  again.Menu(about, 0, 0);
  const HWND prefsAgain = again.WaitForWindow(L"Preferences");
  ASSERT_TRUE(prefsAgain);
  const HWND box = FindControl(prefsAgain, L"Show Splash Screen at Startup");
  EXPECT_FALSE(IsChecked(box)) << "the window shows the saved choice";
  again.Click(FindControl(prefsAgain, L"Restore Defaults"));
  EXPECT_EQ(again.OkAll(),
            std::vector<std::wstring>{Shown(L"Korvane", L"Click 'save changes' to save the default preferences")});
  EXPECT_TRUE(IsChecked(box));
  EXPECT_DWORD(HKEY_CURRENT_USER, kSettingsKey, L"splash", 0);
  EXPECT_SZ(HKEY_CURRENT_USER, kSettingsKey, L"opentab", L"About");
}

}  // namespace
