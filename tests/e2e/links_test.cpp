#include <functional>

#include "journey.h"
#include "support/wine_browser_log.h"

namespace {

using namespace testing_support;

class LinksJourney : public Journey {};

// Every link label of a page: the labels that show an address when hovered.
std::vector<HWND> LinkLabels(Korvane& program, HWND window) {
  std::vector<HWND> links;
  for (HWND child : VisibleChildren(window)) {
    if (ClassOf(child) == L"Static" && !program.ToolTipOf(child).empty()) links.push_back(child);
  }
  return links;
}

TEST_F(LinksJourney, EachLinkReachesTheBrowserOrMailerWithItsExactTarget) {
  WineBrowserLog log;
  if (!log.Ready()) GTEST_SKIP() << "not running under Wine";
  Korvane* program = nullptr;
  const HWND main = StartOnPage(L"About", L"About Korvane", &program);
  ASSERT_TRUE(main);

  // Each link clicked as a person finds it, and what must reach the browser or mailer.
  struct Link {
    const wchar_t* caption;
    const char* target;
  };
  const Link aboutLinks[] = {{L"Visit Korvane Home Page", "www.example.com/korvane"},
                             {L"Visit the Korvane developers' home page", "www.example.com"},
                             {L"Contact Korvane Author", "mailto:korvane@example.com?Subject=Korvane"}};
  std::size_t received = 0;
  // One at a time: the browser starts in the background, and a swapped pair must show.
  const auto expectOpens = [&](const std::function<void()>& act, const char* target) {
    act();
    const ULONGLONG end = GetTickCount64() + 30000;
    while (log.Lines().size() <= received && GetTickCount64() < end) Sleep(20);
    ASSERT_EQ(log.Lines().size(), ++received);
    EXPECT_EQ(log.Lines().back(), AsBrowserSeesIt(target));
  };
  ASSERT_EQ(LinkLabels(*program, main).size(), 3u) << "the About page has the home page, the maker's page and the mail links";
  for (const Link& link : aboutLinks) {
    SCOPED_TRACE(Utf8(link.caption));
    const HWND label = FindControl(main, link.caption);
    ASSERT_TRUE(label);
    expectOpens([&] { program->ClickLabel(label); }, link.target);
  }
  program->Click(FindControl(main, L"Info"));
  ASSERT_EQ(TextOf(main), L"Korvane - Information");
  const HWND faq = FindControl(main, L"Visit Korvane FAQ page");
  ASSERT_TRUE(faq);
  expectOpens([&] { program->ClickLabel(faq); }, "www.example.com/korvane/faq");
  // F1 opens the FAQ page too.
  expectOpens([&] { program->PressKey(main, VK_F1); }, "www.example.com/korvane/faq");
  EXPECT_FALSE(program->CurrentMessageBox()) << "a link shows nothing of its own";
}

}  // namespace
