#include <algorithm>

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

  std::vector<std::string> expected;
  std::vector<std::wstring> captions;
  const auto clickAll = [&] {
    for (HWND link : LinkLabels(*program, main)) {
      const std::wstring tip = program->ToolTipOf(link);
      const std::wstring caption = TextOf(link);
      captions.push_back(caption);
      expected.push_back(AsBrowserSeesIt(Utf8(caption == L"Contact Korvane Author"
                                                  ? L"mailto:" + tip + L"?Subject=Korvane"
                                                  : tip)));
      program->ClickLabel(link);
    }
  };
  clickAll();
  ASSERT_EQ(captions.size(), 3u) << "the About page has the home page, the maker's page and the mail links";
  program->Click(FindControl(main, L"Info"));
  ASSERT_EQ(TextOf(main), L"Korvane - Information");
  clickAll();
  ASSERT_EQ(captions.size(), 4u);
  EXPECT_EQ(captions[3], L"Visit Korvane FAQ page");
  EXPECT_NE(std::find(captions.begin(), captions.end(), L"Visit Korvane Home Page"), captions.end());
  EXPECT_NE(std::find(captions.begin(), captions.end(), L"Contact Korvane Author"), captions.end());
  // F1 opens the FAQ page too.
  program->PressKey(main, VK_F1);
  expected.push_back(expected.back());

  const ULONGLONG end = GetTickCount64() + 30000;  // the browser starts in the background
  while (log.Lines().size() < expected.size() && GetTickCount64() < end) Sleep(20);
  std::vector<std::string> got = log.Lines();
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
  EXPECT_FALSE(program->CurrentMessageBox()) << "a link shows nothing of its own";
}

}  // namespace
