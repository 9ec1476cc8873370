#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "shell/main_window.h"
#include "shell_helpers.h"
#include "support/layout_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/wine_browser_log.h"

namespace {

using namespace testing_support;
using shell::FrmMain;

const std::wstring kHome = L"www.example.com/korvane";
const std::wstring kMaker = L"www.example.com";
const std::wstring kFaq = L"www.example.com/korvane/faq";
const std::wstring kMail = L"mailto:korvane@example.com?Subject=Korvane";

class LinksTest : public testing::Test {
 protected:
  void TearDown() override {
    EndAllForms();
  }
  static FrmMain& Open() { return ShowForm<FrmMain>(); }

  struct Link {
    const char* what;
    std::function<void(FrmMain&)> trigger;
    std::wstring expected;  // what reaches the shell
  };
  // Each link as the user reaches it: a click on its label on its page, or F1.
  static std::vector<Link> Links() {
    auto label = [](int page, auto pick) {
      return [page, pick](FrmMain& form) {
        form.TabMain.SetTab(page);
        ClickLabel(pick(form));
      };
    };
    return {
        {"LblWeb", label(4, [](FrmMain& f) -> platform::Label& { return f.about.LblWeb; }), kHome},
        {"Label9", label(4, [](FrmMain& f) -> platform::Label& { return f.about.Label9; }), kMaker},
        {"LblFAQUrl", label(1, [](FrmMain& f) -> platform::Label& { return f.info.LblFAQUrl; }), kFaq},
        {"LblMail", label(4, [](FrmMain& f) -> platform::Label& { return f.about.LblMail; }), kMail},
        {"F1", [](FrmMain& form) { PressShortcut(form, VK_F1, false); }, kFaq},
    };
  }
};

TEST_F(LinksTest, EachLinkHandsItsOwnAddressToTheShell) {
  ShellRecorder shell;
  auto& form = Open();
  // The addresses, as the user reads them in the tool tips.
  // A page's links have their tool tips once the page is shown.
  form.TabMain.SetTab(4);
  EXPECT_EQ(ShownTip(form, form.about.LblWeb), kHome);
  EXPECT_EQ(ShownTip(form, form.about.Label9), kMaker);
  EXPECT_EQ(ShownTip(form, form.about.LblMail), L"korvane@example.com");
  form.TabMain.SetTab(1);
  EXPECT_EQ(ShownTip(form, form.info.LblFAQUrl), kFaq);
  const auto links = Links();
  for (std::size_t i = 0; i < links.size(); ++i) {
    SCOPED_TRACE(links[i].what);
    links[i].trigger(form);
    ASSERT_EQ(shell.Targets().size(), i + 1) << "one request per click";
    EXPECT_EQ(shell.Targets()[i], links[i].expected);
  }
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
  EXPECT_EQ(ShownTip(form, form.about.LblWeb), L"www.example.com/changed/home");
  form.TabMain.SetTab(1);
  EXPECT_EQ(ShownTip(form, form.info.LblFAQUrl), L"www.example.com/changed/faq?q=a b");
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
  // One at a time: the browser starts in the background, and a swapped pair must show.
  for (const auto& link : Links()) {
    SCOPED_TRACE(link.what);
    const std::size_t before = log.Lines().size();
    link.trigger(form);
    PumpUntil([&] { return log.Lines().size() > before; }, 30000);
    ASSERT_EQ(log.Lines().size(), before + 1);
    EXPECT_EQ(log.Lines().back(), AsBrowserSeesIt(Utf8(link.expected)));
  }
}

}  // namespace
