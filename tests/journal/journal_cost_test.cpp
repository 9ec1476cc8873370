// What an action costs the disk: the journal is flushed a fixed number of times
// per action, whatever the number of items.
#include <gtest/gtest.h>

#include <memory>

#include "journal/journal.h"
#include "repair/drive_check/clean.h"
#include "repair/drive_check/scan.h"
#include "repair/drive_check/shortcut.h"
#include "support/drive_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;
namespace dc = repair::drive_check;

TEST(JournalCostTest, ACleanAndItsUndoFlushAndWriteTheJournalAsOftenForFiveItemsAsForThreeHundred) {
  const dc::ComScope com;
  std::vector<std::uint64_t> cleanFlushes, undoFlushes, cleanAppends, undoAppends;
  for (const int files : {5, 300}) {
    SCOPED_TRACE(files);
    ClearDrive(kDrive);
    ClearFolder(journal::Folder());
    for (int i = 0; i < files; ++i) {
      WriteBytes(OnDrive(kDrive, L"photo" + std::to_wstring(i) + L".jpg"), "jpeg", FILE_ATTRIBUTE_HIDDEN);
    }
    dc::Progress progress;
    const dc::ScanResult scan = dc::Scan(kDrive, {}, progress);
    ASSERT_EQ(scan.findings.size(), static_cast<std::size_t>(files));
    const auto selected = std::make_unique<bool[]>(scan.findings.size());
    std::fill_n(selected.get(), scan.findings.size(), true);

    std::uint64_t before = journal::FlushCount();
    std::uint64_t appendsBefore = journal::AppendCount();
    const dc::CleanReport report = dc::Clean(scan, std::span<const bool>(selected.get(), scan.findings.size()));
    cleanFlushes.push_back(journal::FlushCount() - before);
    cleanAppends.push_back(journal::AppendCount() - appendsBefore);
    ASSERT_EQ(report.madeVisible, static_cast<std::size_t>(files));
    ASSERT_TRUE(report.group.has_value());

    const journal::GroupId ids[] = {*report.group};
    before = journal::FlushCount();
    appendsBefore = journal::AppendCount();
    const journal::UndoReport undo = journal::Undo(ids, [](const journal::Group&) { return journal::OnConflict::Stop; });
    undoFlushes.push_back(journal::FlushCount() - before);
    undoAppends.push_back(journal::AppendCount() - appendsBefore);
    EXPECT_EQ(undo.putBack, static_cast<std::size_t>(files));
    EXPECT_EQ(Attributes(OnDrive(kDrive, L"photo0.jpg")) & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  }
  EXPECT_EQ(cleanFlushes[0], cleanFlushes[1]) << "the clean flushed once per item";
  EXPECT_EQ(undoFlushes[0], undoFlushes[1]) << "the undo flushed once per item";
  EXPECT_LE(cleanFlushes[1], 2u) << "before the first change and at the end";
  // The items go to the file in batches: a header, the batch, the end.
  EXPECT_EQ(cleanAppends[0], cleanAppends[1]) << "the clean wrote once per item";
  EXPECT_EQ(undoAppends[0], undoAppends[1]) << "the undo wrote once per item";
  EXPECT_LE(cleanAppends[1], 3u);
  ClearDrive(kDrive);
  ClearFolder(journal::Folder());
}

}  // namespace
