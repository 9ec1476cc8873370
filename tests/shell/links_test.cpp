#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "shell/contact.h"
#include "shell/main_window.h"
#include "shell_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/wine_browser_log.h"

namespace {

using namespace testing_support;
using shell::FrmMain;

class LinksTest : public testing::Test {
 protected:
  void TearDown() override {
    if (platform::IsLoaded<FrmMain>()) platform::Form::EndProgram();
    Pump();
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
  static FrmMain& Open() {
    auto& form = platform::Instance<FrmMain>();
    form.Show();
    Pump();
    return form;
  }

  struct Link {
    const char* what;
    std::function<void(FrmMain&)> trigger;
    std::function<std::wstring(FrmMain&)> expected;
  };
  // Each link as the user reaches it: a click on its label on its page, or F1.
  static std::vector<Link> Links() {
    auto label = [](int page, auto pick) {
      return [page, pick](FrmMain& form) {
        form.TabMain.SetTab(page);
        ClickLabel(pick(form));
      };
    };
    auto tip = [](auto pick) { return [pick](FrmMain& form) { return pick(form).ToolTip(); }; };
    auto web = [](FrmMain& form) -> platform::Label& { return form.about.LblWeb; };
    auto maker = [](FrmMain& form) -> platform::Label& { return form.about.Label9; };
    auto faq = [](FrmMain& form) -> platform::Label& { return form.info.LblFAQUrl; };
    auto mail = [](FrmMain& form) -> platform::Label& { return form.about.LblMail; };
    return {
        {"LblWeb", label(4, web), tip(web)},
        {"Label9", label(4, maker), tip(maker)},
        {"LblFAQUrl", label(1, faq), tip(faq)},
        {"LblMail", label(4, mail),
         [mail](FrmMain& form) { return L"mailto:" + mail(form).ToolTip() + L"?Subject=Korvane"; }},
        {"F1", [](FrmMain& form) { PressShortcut(form, VK_F1, false); }, tip(faq)},
    };
  }
};

// The text the tool tip window shows for a label on its page: what the user reads is what opens.
std::wstring ShownTip(FrmMain& form, int page, const platform::Control& label) {
  form.TabMain.SetTab(page);
  wchar_t text[512] = L"";
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = form.Hwnd();
  info.uId = reinterpret_cast<UINT_PTR>(label.Hwnd());
  info.lpszText = text;
  SendMessageW(form.ToolTips(), TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&info));
  return text;
}

TEST_F(LinksTest, EachLinkHandsItsOwnAddressToTheShell) {
  ShellRecorder shell;
  auto& form = Open();
  // The addresses, as the user reads them in the tool tips.
  EXPECT_EQ(ShownTip(form, 4, form.about.LblWeb), shell::kHomePage);
  EXPECT_EQ(ShownTip(form, 4, form.about.Label9), shell::kMakerPage);
  EXPECT_EQ(ShownTip(form, 1, form.info.LblFAQUrl), shell::kFaqPage);
  EXPECT_EQ(ShownTip(form, 4, form.about.LblMail), shell::kContactMail);
  const std::vector<std::wstring> expected = {
      shell::kHomePage, shell::kMakerPage, shell::kFaqPage,
      std::wstring(L"mailto:") + shell::kContactMail + L"?Subject=Korvane", shell::kFaqPage};
  const auto links = Links();
  for (std::size_t i = 0; i < links.size(); ++i) {
    SCOPED_TRACE(links[i].what);
    links[i].trigger(form);
    ASSERT_EQ(shell.Targets().size(), i + 1) << "one request per click";
    EXPECT_EQ(shell.Targets()[i], expected[i]);
  }
  EXPECT_NE(shell.Targets()[0], shell.Targets()[1]) << "the maker's page is not the product's";
}

TEST_F(LinksTest, AChangedToolTipChangesTheTarget) {
  ShellRecorder shell;
  auto& form = Open();
  // The About page's links change after their page was made, the FAQ link before.
  form.TabMain.SetTab(4);
  form.about.LblWeb.SetToolTip(L"www.example.com/changed/home");
  form.about.Label9.SetToolTip(L"www.example.com/changed/maker");
  form.info.LblFAQUrl.SetToolTip(L"www.example.com/changed/faq?q=a b");
  form.about.LblMail.SetToolTip(L"first last&more@example.com");
  EXPECT_EQ(ShownTip(form, 4, form.about.LblWeb), L"www.example.com/changed/home");
  EXPECT_EQ(ShownTip(form, 1, form.info.LblFAQUrl), L"www.example.com/changed/faq?q=a b");
  const std::vector<std::wstring> expected = {
      L"www.example.com/changed/home", L"www.example.com/changed/maker", L"www.example.com/changed/faq?q=a b",
      L"mailto:first last&more@example.com?Subject=Korvane", L"www.example.com/changed/faq?q=a b"};
  for (const auto& link : Links()) link.trigger(form);
  EXPECT_EQ(shell.Targets(), expected);
}

// Without the recorder: the real shell hands each address on to the
// browser or mailer Wine is told to use, here a script that logs them.
TEST_F(LinksTest, UnderWineEveryLinkReachesTheBrowserOrMailer) {
  WineBrowserLog log;
  if (!log.Ready()) GTEST_SKIP() << "not running under Wine";
  auto& form = Open();
  std::vector<std::string> expected;
  for (const auto& link : Links()) {
    const std::string target = Utf8(link.expected(form));
    // The shell takes a "www." address for a web page and adds the scheme.
    if (target.rfind("mailto:", 0) != 0) {
      ASSERT_EQ(target.rfind("www.", 0), 0u) << target << ": the shell would not take it for a web page";
    }
    expected.push_back(AsBrowserSeesIt(target));
    link.trigger(form);
  }
  // The browser starts in the background: wait for all of them.
  PumpUntil([&] { return log.Lines().size() >= expected.size(); }, 30000);
  std::vector<std::string> got = log.Lines();
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
}

}  // namespace
