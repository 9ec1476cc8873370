// What a click costs the disk: one flush, however many values the click writes,
// and every value's record in the file when the click is over.
#include <gtest/gtest.h>

#include "journal/journal.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "tweaks/tweak_binding.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;

constexpr wchar_t kClickKey[] = L"Software\\KorvaneTest\\Click";

TEST(ClickCostTest, AClickOfOneOrThreeValuesFlushesTheJournalOnceAndRecordsEachValue) {
  const std::vector<platform::RegStep> oneValue = {platform::Write(platform::kCurrentUser, kClickKey, L"A", L"1")};
  const std::vector<platform::RegStep> threeValues = {platform::Write(platform::kCurrentUser, kClickKey, L"A", L"2"),
                                                      platform::Write(platform::kCurrentUser, kClickKey, L"B", L"2"),
                                                      platform::Delete(platform::kCurrentUser, kClickKey, L"C")};
  for (const auto* steps : {&oneValue, &threeValues}) {
    SCOPED_TRACE(steps->size());
    ClearFolder(journal::Folder());
    DeleteKey(kHkcu, kClickKey);
    WriteDword(kHkcu, kClickKey, L"C", 7);
    const std::uint64_t before = journal::FlushCount();
    journal::GroupId id = 0;
    {
      const journal::Action click(L"Click");
      ASSERT_EQ(platform::RunSteps(*steps), platform::RegOutcome::Done);
      id = click.Id();
    }
    EXPECT_EQ(journal::FlushCount() - before, 1u);
    const std::optional<journal::Group> group = journal::ReadGroup(id);
    ASSERT_TRUE(group.has_value());
    EXPECT_EQ(group->items.size(), steps->size());
    EXPECT_TRUE(group->finished);
  }
  DeleteKey(kHkcu, L"Software\\KorvaneTest");
  ClearFolder(journal::Folder());
}

}  // namespace
