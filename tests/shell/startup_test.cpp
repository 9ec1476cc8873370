#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "system/registry.h"
#include "shell/contact.h"
#include "shell/main_window.h"
#include "shell/preferences_window.h"
#include "shell/settings.h"
#include "shell/splash_window.h"
#include "shell_helpers.h"
#include "support/registry_helpers.h"
#include "support/text.h"

namespace {

const wchar_t kStartupKey[] = L"Software\\Korvane";

using namespace testing_support;
using shell::FrmMain;
using shell::frmSplash;


class StartUpTest : public testing::Test {
 protected:
  void SetUp() override { DeleteKey(kHkcu, kStartupKey); }
  void TearDown() override {
    EndAllForms();
    DeleteKey(kHkcu, kStartupKey);
  }
  static bool SplashGone() { return !platform::IsLoaded<frmSplash>(); }
};

TEST_F(StartUpTest, FirstStartShowsTheSplashForTwoTicksThenWelcome) {
  shell::StartUp();
  ASSERT_TRUE(platform::IsLoaded<frmSplash>());
  EXPECT_TRUE(platform::Instance<frmSplash>().Visible());
  EXPECT_FALSE(platform::IsLoaded<FrmMain>()) << "the main window waits for the splash";
  // Counted in the splash's timer ticks, not in milliseconds, which a loaded machine stretches.
  const HWND splash = platform::Instance<frmSplash>().Hwnd();
  int ticks = 0;
  const ULONGLONG end = GetTickCount64() + 10000;
  while (!SplashGone() && GetTickCount64() < end) {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      continue;
    }
    if (msg.message == WM_TIMER && msg.hwnd == splash) {
      ++ticks;
      EXPECT_FALSE(platform::IsLoaded<FrmMain>()) << "the main window shows before tick " << ticks;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  ASSERT_TRUE(SplashGone()) << "the splash never went";
  EXPECT_EQ(ticks, 2) << "the splash goes on its second tick";
  ASSERT_TRUE(platform::IsLoaded<FrmMain>());
  auto& main = platform::Instance<FrmMain>();
  EXPECT_TRUE(main.Visible());
  EXPECT_EQ(main.TabMain.Tab(), 0);
  EXPECT_EQ(main.Caption(), L"Korvane");
  EXPECT_FALSE(platform::IsLoaded<shell::FrmOptions>());
}

TEST_F(StartUpTest, TheSecondTickUnloadsTheSplashAndShowsTheMainWindow) {
  shell::StartUp();
  auto& splash = platform::Instance<frmSplash>();
  splash.Timer1_Timer();
  EXPECT_TRUE(platform::IsLoaded<frmSplash>()) << "the first tick only counts down";
  EXPECT_TRUE(splash.Visible());
  EXPECT_FALSE(platform::IsLoaded<FrmMain>());
  splash.Timer1_Timer();
  EXPECT_FALSE(platform::IsLoaded<frmSplash>());
  ASSERT_TRUE(platform::IsLoaded<FrmMain>());
  EXPECT_TRUE(platform::Instance<FrmMain>().Visible());
}

TEST_F(StartUpTest, ClosingTheSplashEarlyStillOpensTheMainWindow) {
  shell::StartUp();
  SendMessageW(platform::Instance<frmSplash>().Hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(platform::IsLoaded<frmSplash>());
  ASSERT_TRUE(platform::IsLoaded<FrmMain>());
  EXPECT_TRUE(platform::Instance<FrmMain>().Visible());
}

TEST_F(StartUpTest, OnlyTheNumberZeroSkipsTheSplash) {
  struct Case {
    const char* what;
    std::function<void()> seed;
    bool splash;
  };
  const std::vector<Case> cases = {
      {"no settings key", [] {}, true},
      {"REG_DWORD 0", [] { WriteDword(kHkcu, kStartupKey, L"splash", 0); }, false},
      {"REG_SZ \"0\"", [] { WriteSz(kHkcu, kStartupKey, L"splash", L"0"); }, false},
      {"REG_DWORD 1", [] { WriteDword(kHkcu, kStartupKey, L"splash", 1); }, true},
      {"REG_SZ \"1\"", [] { WriteSz(kHkcu, kStartupKey, L"splash", L"1"); }, true},
      {"REG_SZ \"abc\"", [] { WriteSz(kHkcu, kStartupKey, L"splash", L"abc"); }, true},
      {"REG_SZ \"\"", [] { WriteSz(kHkcu, kStartupKey, L"splash", L""); }, true},
      {"REG_DWORD -1", [] { WriteDword(kHkcu, kStartupKey, L"splash", 0xFFFFFFFFu); }, true},
      {"REG_BINARY 0", [] { WriteRaw(kHkcu, kStartupKey, L"splash", REG_BINARY, DwordBytes(0)); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.seed();
    shell::StartUp();
    ASSERT_TRUE(platform::IsLoaded<frmSplash>());
    EXPECT_EQ(platform::Instance<frmSplash>().Visible(), c.splash);
    for (const platform::Control* control : platform::Instance<frmSplash>().Controls()) {
      EXPECT_EQ(control->Created(), c.splash) << "a skipped splash makes no pictures or texts";
    }
    EXPECT_EQ(platform::IsLoaded<FrmMain>(), !c.splash) << "a skipped splash shows the main window at once";
    const HWND main = platform::IsLoaded<FrmMain>() ? platform::Instance<FrmMain>().Hwnd() : nullptr;
    if (main) {
      EXPECT_TRUE(platform::Instance<FrmMain>().Visible());
    }
    // The hidden splash still unloads on its second tick; the main window stays as it was.
    ASSERT_TRUE(PumpUntil(SplashGone, 5000));
    ASSERT_TRUE(platform::IsLoaded<FrmMain>());
    EXPECT_TRUE(platform::Instance<FrmMain>().Visible());
    if (main) {
      EXPECT_EQ(platform::Instance<FrmMain>().Hwnd(), main) << "not loaded a second time";
    }
    EndAllForms();
    DeleteKey(kHkcu, kStartupKey);
  }
}

TEST_F(StartUpTest, TheMainWindowOpensOnTheTabNamedExactly) {
  struct Case {
    const wchar_t* opentab;
    int page;
    const wchar_t* title;
  };
  const std::vector<Case> cases = {
      {L"Tweak", 3, L"Korvane - Tweak Main Menu"},
      {L"tweak", 0, L"Korvane"},
      {L"Tweak ", 0, L"Korvane"},
      {L"Welcome", 0, L"Korvane"},
      {L"About", 4, L"About Korvane"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(L"\"" + std::wstring(c.opentab) + L"\""));
    WriteDword(kHkcu, kStartupKey, L"splash", 0);
    WriteSz(kHkcu, kStartupKey, L"opentab", c.opentab);
    shell::StartUp();
    ASSERT_TRUE(platform::IsLoaded<FrmMain>());
    auto& main = platform::Instance<FrmMain>();
    EXPECT_EQ(main.TabMain.Tab(), c.page);
    EXPECT_EQ(main.Caption(), c.title);
    EndAllForms();
    DeleteKey(kHkcu, kStartupKey);
  }
}

TEST_F(StartUpTest, TheSplashIsBlackWithWhiteTextsAndTheLogo) {
  shell::StartUp();
  auto& splash = platform::Instance<frmSplash>();
  EXPECT_EQ(splash.Caption(), L"");
  const LONG_PTR style = GetWindowLongPtrW(splash.Hwnd(), GWL_STYLE);
  EXPECT_NE(style & WS_CAPTION, WS_CAPTION) << "no title bar, nothing to click";
  EXPECT_EQ(style & WS_SYSMENU, 0);

  const std::vector<std::pair<platform::Label*, std::wstring>> texts = {
      {&splash.lblProductName, L"Korvane"},       {&splash.lblVersion, L"Version 1.48"},
      {&splash.lblCompanyProduct, shell::kMakerLine}, {&splash.LblWeb, shell::kHomePage},
      {&splash.LblLoad, L"Loading..."},
  };
  const HDC dc = CreateCompatibleDC(nullptr);
  for (const auto& [label, text] : texts) {
    EXPECT_EQ(label->Text(), text);
    EXPECT_TRUE(label->Visible()) << Utf8(label->Name());
    EXPECT_TRUE(label->ToolTip().empty()) << "the address is plain text";
    // What the label is painted with: white text on the black of the window.
    const auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(splash.Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(label->Hwnd())));
    LOGBRUSH fill{};
    GetObjectW(brush, sizeof fill, &fill);
    EXPECT_EQ(GetTextColor(dc), RGB(255, 255, 255)) << Utf8(label->Name());
    EXPECT_EQ(fill.lbColor, RGB(0, 0, 0)) << Utf8(label->Name());
  }
  DeleteDC(dc);

  // The window's own background is black, and the logo is drawn on it.
  RedrawWindow(splash.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const HDC windowDc = GetDC(splash.Hwnd());
  EXPECT_EQ(GetPixel(windowDc, 3, 3), RGB(0, 0, 0));
  ReleaseDC(splash.Hwnd(), windowDc);
  const HDC logoDc = GetDC(splash.imgLogo.Hwnd());
  RECT logo;
  GetClientRect(splash.imgLogo.Hwnd(), &logo);
  EXPECT_GT(logo.right, 40);
  const COLORREF centre = GetPixel(logoDc, logo.right / 2, logo.bottom / 2);
  EXPECT_NE(centre, RGB(0, 0, 0));
  EXPECT_NE(centre, CLR_INVALID);
  ReleaseDC(splash.imgLogo.Hwnd(), logoDc);
}

}  // namespace
