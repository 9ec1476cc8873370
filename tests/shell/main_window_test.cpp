#include "shell/main_window.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <set>
#include <vector>

#include "shell/contact.h"
#include "shell/settings.h"
#include "support/layout_helpers.h"
#include "support/registry_helpers.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

const wchar_t kSettingsKey[] = L"Software\\Korvane";

using namespace testing_support;
using shell::FrmMain;


class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override { DeleteKey(kHkcu, kSettingsKey); }
  void TearDown() override {
    EndAllForms();
    DeleteKey(kHkcu, kSettingsKey);
  }
  FrmMain& Open() { return ShowForm<FrmMain>(); }
  // The controls of the page that is not shown are hidden; those of the page shown are visible.
  static void ExpectOnlyPageShown(FrmMain& form, int page) {
    for (int p = 0; p < shell::kPageCount; ++p) {
      for (const auto& button : form.nav[static_cast<std::size_t>(p)]) {
        EXPECT_EQ(button->Visible(), p == page) << testing_support::Utf8(button->Name());
      }
    }
  }
};

TEST_F(MainWindowTest, OpensOnWelcomeTitledKorvaneWithoutSettings) {
  auto& form = Open();
  EXPECT_EQ(form.TabMain.Tab(), 0);
  EXPECT_EQ(form.Caption(), L"Korvane");
  ExpectOnlyPageShown(form, 0);
  EXPECT_TRUE(form.welcome.Label2.Visible());
  EXPECT_FALSE(form.fix.CmdFixAuto.Visible());
}

TEST_F(MainWindowTest, StartPageComesFromOpentabExactly) {
  struct Case {
    std::function<void()> seed;
    int page;
    const wchar_t* title;
  };
  const std::vector<Case> cases = {
      {[] { WriteSz(kHkcu, kSettingsKey, L"opentab", L"Fix"); }, 2, L"Korvane - Fix Disk Problems"},
      {[] { WriteSz(kHkcu, kSettingsKey, L"opentab", L"About"); }, 4, L"About Korvane"},
      {[] { WriteSz(kHkcu, kSettingsKey, L"opentab", L"fix"); }, 0, L"Korvane"},
      {[] { WriteSz(kHkcu, kSettingsKey, L"opentab", L"Tweak "); }, 0, L"Korvane"},
      {[] { WriteDword(kHkcu, kSettingsKey, L"opentab", 2); }, 0, L"Korvane"},
      {[] { WriteSz(kHkcu, kSettingsKey, L"opentab", L"Info"); }, 1, L"Korvane - Information"},
  };
  for (const auto& c : cases) {
    c.seed();
    auto& form = Open();
    EXPECT_EQ(form.TabMain.Tab(), c.page) << Utf8(c.title);
    EXPECT_EQ(form.Caption(), c.title);
    ExpectOnlyPageShown(form, c.page);
    EndAllForms();
    DeleteKey(kHkcu, kSettingsKey);
  }
}

TEST_F(MainWindowTest, EveryNavigationButtonSelectsItsPageAndTitle) {
  const wchar_t* titles[] = {L"Korvane - Welcome!", L"Korvane - Information", L"Korvane - Fix Disk Problems",
                             L"Korvane - Tweak Main Menu", L"About Korvane"};
  auto& form = Open();
  form.TabMain.SetTab(1);  // leaves the start-up title "Korvane" behind
  for (int from = 0; from < shell::kPageCount; ++from) {
    for (int to = 0; to < shell::kPageCount; ++to) {
      form.TabMain.SetTab(from);
      Click(*form.nav[static_cast<std::size_t>(from)][static_cast<std::size_t>(to)]);
      EXPECT_EQ(form.TabMain.Tab(), to);
      EXPECT_EQ(form.Caption(), titles[to]);
      ExpectOnlyPageShown(form, to);
    }
  }
}

TEST_F(MainWindowTest, AboutMenuAndHeaderStripSelectPages) {
  auto& form = Open();
  form.TabMain.SetTab(2);
  EXPECT_TRUE(form.InvokeMenu(L"About"));
  EXPECT_EQ(form.TabMain.Tab(), 4);
  EXPECT_EQ(form.Caption(), L"About Korvane");
  // A click on the visible strip of a header, below the buttons, selects its page.
  RECT item;
  SendMessageW(form.TabMain.Hwnd(), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  const int y = item.bottom - 2;
  ASSERT_GT(y, Px(form, 375)) << "the strip below the buttons is visible";
  SendMessageW(form.TabMain.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((item.left + item.right) / 2, y));
  SendMessageW(form.TabMain.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM((item.left + item.right) / 2, y));
  Pump();
  EXPECT_EQ(form.TabMain.Tab(), 1);
  EXPECT_EQ(form.Caption(), L"Korvane - Information");
}

TEST_F(MainWindowTest, NavigationButtonsCoverTheHeaderCaptions) {
  auto& form = Open();
  RECT tabs;
  GetWindowRect(form.TabMain.Hwnd(), &tabs);
  for (int i = 0; i < shell::kPageCount; ++i) {
    RECT button;
    GetWindowRect(form.nav[0][static_cast<std::size_t>(i)]->Hwnd(), &button);
    EXPECT_EQ(button.top, tabs.top);
    EXPECT_EQ(button.right - button.left, Px(form, 1530));
    EXPECT_EQ(button.bottom - button.top, Px(form, 375));
    EXPECT_EQ(button.left - tabs.left, Px(form, 1530 * i));
  }
  // The buttons lie above the tab control, so the header captions stay hidden.
  const HWND top = GetWindow(form.TabMain.Hwnd(), GW_HWNDPREV);
  EXPECT_NE(top, nullptr);
}

TEST_F(MainWindowTest, InfoPageHoldsTheFeaturesText) {
  auto& form = Open();
  const std::wstring text = form.info.TxtFeatures.Text();
  EXPECT_EQ(text, shell::kFeaturesText);
  EXPECT_EQ(text.rfind(L"at any computer.\r\n"), text.size() - 18);
  EXPECT_NE(text.find(L"1)Fixes Disk Problems:\r\n\r\nFixes the \"Open With\""), std::wstring::npos);
  EXPECT_NE(text.find(L"to view the \r\navailable tweaks\r\n\r\n3)"), std::wstring::npos)
      << "the second item has no blank line after its first line";
}

// The windows a page is made of, in z-order from the top, as creation indices.
std::vector<int> ChildrenInZOrder(const FrmMain& form) {
  std::vector<int> order;
  for (HWND child = GetWindow(form.Hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const auto& controls = form.Controls();
    const auto at = std::find_if(controls.begin(), controls.end(), [&](auto* c) { return c->Hwnd() == child; });
    order.push_back(at == controls.end() ? -1 : static_cast<int>(at - controls.begin()));
  }
  return order;
}

TEST_F(MainWindowTest, APageIsMadeWhenItFirstShowsInItsPlaceInTheOrder) {
  auto& form = Open();
  // The Welcome page's buttons, picture and labels, its background and the tab control.
  EXPECT_EQ(ChildrenInZOrder(form).size(), 14u);
  EXPECT_EQ(form.about.LblWeb.Hwnd(), nullptr);
  EXPECT_FALSE(form.about.LblWeb.Visible());
  EXPECT_EQ(form.about.LblWeb.ToolTip(), shell::kHomePage) << "kept until the window is made";
  std::set<int> shown = {0};
  std::size_t made = 14;
  for (int page : {3, 1, 4, 0, 2, 3}) {
    form.TabMain.SetTab(page);
    Pump();
    const std::vector<int> order = ChildrenInZOrder(form);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()) && order.front() >= 0)
        << "page " << page << ": the z-order, which is the keyboard order, is the creation order";
    ExpectOnlyPageShown(form, page);
    EXPECT_EQ(order.size() > made, shown.insert(page).second) << "page " << page << " is made on its first showing only";
    made = order.size();
  }
  EXPECT_EQ(made, form.Controls().size()) << "every page made once all have shown";
  RECT web;
  GetWindowRect(form.about.LblWeb.Hwnd(), &web);
  MapWindowPoints(HWND_DESKTOP, form.Hwnd(), reinterpret_cast<POINT*>(&web), 2);
  EXPECT_EQ(web.left, form.Px(360));
  EXPECT_EQ(web.top, form.Px(3570));
  EXPECT_EQ(web.bottom - web.top, form.Px(270));
}

TEST_F(MainWindowTest, ClosingTheMainWindowEndsTheProgram) {
  auto& form = Open();
  SendMessageW(form.Hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(platform::IsLoaded<FrmMain>());
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
