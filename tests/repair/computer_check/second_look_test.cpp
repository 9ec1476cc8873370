#include <thread>

#include "repair/fix_page_fixture.h"
#include "support/registry_helpers.h"

namespace {

using namespace testing_support;


class FixPageSecondLook : public repair_tests::FixPageTest {
 protected:
  void TearDown() override {
    FixPageTest::TearDown();
    DeleteValue(HKEY_CURRENT_USER, kSystemPolicies, L"DisableTaskMgr");
  }
};

// A worm's process stands in as a timer thread that sets the policy again.
TEST_F(FixPageSecondLook, ARestrictionSetAgainAfterItsRepairIsReported) {
  const struct {
    const char* name;
    bool putBack;
  } cases[] = {{"set again", true}, {"stays removed", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteDword(HKEY_CURRENT_USER, kSystemPolicies, L"DisableTaskMgr", 1);
    Page().secondLookMs = 400;
    messages.Clear();
    messages.AnswerNext(platform::MsgResult::No);
    Click(Page().CmdFixTaskM);
    std::thread worm([&] {
      Sleep(100);
      if (c.putBack) WriteDword(HKEY_CURRENT_USER, kSystemPolicies, L"DisableTaskMgr", 1);
    });
    worm.join();
    for (int i = 0; i < 20; ++i) {
      Sleep(50);
      Pump();
    }
    std::size_t asked = 0;
    for (const std::wstring& text : messages.Texts()) asked += text.find(L"keeps setting it") != std::wstring::npos;
    EXPECT_EQ(asked, c.putBack ? 1u : 0u) << testing::PrintToString(messages.Shown());
    DeleteValue(HKEY_CURRENT_USER, kSystemPolicies, L"DisableTaskMgr");
  }
}

}  // namespace
