// What an action costs the disk: the journal is flushed a fixed number of times
// per action, whatever the number of items; and a big group is still checked
// item by item.
#include <gtest/gtest.h>

#include <memory>

#include "journal/journal.h"
#include "journal/journal_format.h"
#include "journal_file.h"
#include "repair/drive_check/clean.h"
#include "repair/drive_check/scan.h"
#include "repair/drive_check/shortcut.h"
#include "support/drive_helpers.h"
#include "support/text.h"
#include "system/file_ops.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;
namespace dc = repair::drive_check;

// Points the item numbered `n` of the journal at `path` (JSON-escaped), as a hand edit would.
void ForgeItemPath(std::size_t n, const std::string& path) {
  std::string bytes = ReadBytes(journal_tests::JournalFile()).value_or("");
  const std::size_t line = bytes.find("\"n\":" + std::to_string(n) + ",");
  ASSERT_NE(line, std::string::npos);
  const std::size_t start = bytes.find("\"path\":\"", line) + 8;
  const std::size_t end = bytes.find("\",", start);
  bytes.replace(start, end - start, path);
  WriteBytes(journal_tests::JournalFile(), bytes);
}

struct CostCase {
  const char* name;
  int files;
  bool forged;  // the middle item names a file on another drive
};

TEST(JournalCostTest, ACleanAndItsUndoFlushAndWriteTheJournalAsOftenForFiveItemsAsForThousands) {
  const dc::ComScope com;
  // More than the 4096 items the journal records in one append: two batches each way.
  const CostCase cases[] = {
      {"five items", 5, false},
      {"three hundred items", 300, false},
      {"4200 items", 4200, false},
      {"4200 items, the middle one forged", 4200, true},
  };
  std::vector<std::uint64_t> cleanFlushes, undoFlushes, cleanAppends, undoAppends;
  for (const CostCase& c : cases) {
    SCOPED_TRACE(c.name);
    ClearDrive(kDrive);
    ClearDrive(kSecondDrive);
    ClearFolder(journal::Folder());
    for (int i = 0; i < c.files; ++i) {
      WriteBytes(OnDrive(kDrive, L"photo" + std::to_wstring(i) + L".jpg"), "jpeg", FILE_ATTRIBUTE_HIDDEN);
    }
    const std::wstring victim = OnDrive(kSecondDrive, L"victim.txt");
    WriteBytes(victim, "not Korvane's");
    dc::Progress progress;
    const dc::ScanResult scan = dc::Scan(kDrive, {}, progress);
    ASSERT_EQ(scan.findings.size(), static_cast<std::size_t>(c.files));
    const auto selected = std::make_unique<bool[]>(scan.findings.size());
    std::fill_n(selected.get(), scan.findings.size(), true);

    std::uint64_t before = journal::FlushCount();
    std::uint64_t appendsBefore = journal::AppendCount();
    const dc::CleanReport report = dc::Clean(scan, std::span<const bool>(selected.get(), scan.findings.size()));
    const std::uint64_t cleanFlushed = journal::FlushCount() - before;
    const std::uint64_t cleanAppended = journal::AppendCount() - appendsBefore;
    ASSERT_EQ(report.madeVisible, static_cast<std::size_t>(c.files));
    ASSERT_TRUE(report.group.has_value());
    if (c.forged) ForgeItemPath(static_cast<std::size_t>(c.files / 2), "F:\\\\victim.txt");

    const journal::GroupId ids[] = {*report.group};
    before = journal::FlushCount();
    appendsBefore = journal::AppendCount();
    const journal::UndoReport undo = journal::Undo(ids, [](const journal::Group&) { return journal::OnConflict::Stop; });
    const std::uint64_t undoFlushed = journal::FlushCount() - before;
    const std::uint64_t undoAppended = journal::AppendCount() - appendsBefore;
    const DWORD first = Attributes(OnDrive(kDrive, L"photo0.jpg")) & FILE_ATTRIBUTE_HIDDEN;
    const DWORD last = Attributes(OnDrive(kDrive, L"photo" + std::to_wstring(c.files - 1) + L".jpg")) & FILE_ATTRIBUTE_HIDDEN;
    if (c.forged) {
      // The whole group is refused: nothing of it is written, least of all the forged item.
      EXPECT_FALSE(undo.refused.empty());
      EXPECT_EQ(undo.putBack, 0u);
      EXPECT_EQ(Attributes(victim) & FILE_ATTRIBUTE_HIDDEN, 0u);
      EXPECT_EQ(first | last, 0u);
      EXPECT_EQ(undoAppended, 0u);
      continue;
    }
    EXPECT_TRUE(undo.refused.empty());
    EXPECT_EQ(undo.putBack, static_cast<std::size_t>(c.files));
    EXPECT_EQ(first & last, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    cleanFlushes.push_back(cleanFlushed);
    undoFlushes.push_back(undoFlushed);
    cleanAppends.push_back(cleanAppended);
    undoAppends.push_back(undoAppended);
  }
  for (std::size_t row = 1; row < cleanFlushes.size(); ++row) {
    SCOPED_TRACE(cases[row].name);
    EXPECT_EQ(cleanFlushes[0], cleanFlushes[row]) << "the clean flushed more often for more items";
    EXPECT_EQ(undoFlushes[0], undoFlushes[row]) << "the undo flushed more often for more items";
  }
  EXPECT_LE(cleanFlushes[0], 2u) << "before the first change and at the end";
  EXPECT_LE(undoFlushes[0], 2u) << "before the first change and at the end";
  // The items go to the file in batches: a header, the batch, the end.
  EXPECT_EQ(cleanAppends[0], cleanAppends[1]) << "the clean wrote once per item";
  EXPECT_EQ(undoAppends[0], undoAppends[1]) << "the undo wrote once per item";
  EXPECT_LE(cleanAppends[1], 3u);
  ClearDrive(kDrive);
  ClearDrive(kSecondDrive);
  ClearFolder(journal::Folder());
}

// A run of attribute items judged from one listing stops at a file it holds
// already, however its path is spelt: the older change is judged once the newer is put back.
TEST(JournalCostTest, AFileWhoseAttributesChangedTwiceInAGroupGetsItsFirstOnesBack) {
  const std::wstring file = OnDrive(kDrive, L"Twice.txt");
  const struct {
    const char* name;
    std::wstring second;  // how the second change spells the path
  } cases[] = {
      {"the same path", file},
      {"the long-path prefix", L"\\\\?\\" + file},
      {"another case", OnDrive(kDrive, L"TWICE.TXT")},
      {"forward slashes", std::wstring(1, kDrive) + L":/Twice.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ClearDrive(kDrive);
    ClearFolder(journal::Folder());
    WriteBytes(file, "text");
    journal::GroupId id = 0;
    {
      journal::Action action(L"Test: twice", {.drives = std::wstring(1, kDrive)});
      platform::SetAttr(file, FILE_ATTRIBUTE_HIDDEN);
      platform::SetAttr(c.second, kHiddenSystem);
      id = action.Id();
    }
    ASSERT_EQ(Attributes(file) & kHiddenSystem, kHiddenSystem);
    const journal::GroupId ids[] = {id};
    const journal::UndoReport undo = journal::Undo(ids, [](const journal::Group&) { return journal::OnConflict::Stop; });
    EXPECT_TRUE(undo.failures.empty()) << Utf8(undo.failures.empty() ? L"" : undo.failures[0]);
    EXPECT_EQ(undo.putBack, 2u);
    EXPECT_EQ(Attributes(file) & kHiddenSystem, 0u);
  }
  ClearDrive(kDrive);
  ClearFolder(journal::Folder());
}

// A clean writes its attribute items without building JSON objects: each reads back as it was.
TEST(JournalCostTest, AnAttributeItemReadsBackAsWritten) {
  const struct {
    const char* name;
    std::wstring path;
    std::wstring readBack;  // empty: the path itself
  } cases[] = {
      {"long-path prefix", L"\\\\?\\E:\\album0\\IMG_0001.JPG", L""},
      {"quotes and controls", L"E:\\a\"b\tc\nd\x01_\x1f\x7f.txt", L""},
      {"accents and CJK", L"E:\\Fotos d\u00e9t\u00e9\\\u5199\u771f.jpg", L""},
      {"a pair of surrogates", L"E:\\\U0001F600.jpg", L""},
      {"a lone surrogate, mended", std::wstring(L"E:\\x") + wchar_t(0xD800) + L".jpg", L"E:\\x\uFFFD.jpg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    journal::Item item;
    item.kind = journal::ItemKind::Attributes;
    item.path = c.path;
    item.attrBefore = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
    item.attrAfter = FILE_ATTRIBUTE_DIRECTORY;
    const std::string line = journal::format::ItemLine(7, 12, item, L"C:\\");
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line";
    const std::string bytes = journal::format::HeaderLine(7, L"2026-12-08 17:00:00", L"clean") + line + journal::format::EndLine(7);
    const journal::Listing listing = journal::format::Parse(bytes, L"C:\\");
    ASSERT_EQ(listing.groups.size(), 1u);
    ASSERT_EQ(listing.groups[0].items.size(), 1u);
    const journal::Item& read = listing.groups[0].items[0];
    EXPECT_EQ(listing.skippedLines, 0u);
    EXPECT_EQ(read.path, c.readBack.empty() ? c.path : c.readBack);
    EXPECT_EQ(read.attrBefore, item.attrBefore);
    EXPECT_EQ(read.attrAfter, item.attrAfter);
  }
}

}  // namespace
