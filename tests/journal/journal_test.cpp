#include "journal/journal.h"

#include <gtest/gtest.h>

#include <sstream>

#include "journal/journal_format.h"
#include "system/file_ops.h"
#include "tweaks/tweak_binding.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;

const std::wstring kKey = L"Software\\Korvane\\JournalTest";
const std::wstring kNames[] = {L"number", L"text", L"binary", L"fresh"};

class JournalTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const auto& name : kNames) journal::AllowValue(platform::kCurrentUser, kKey, name);
    journal::AllowValue(platform::kCurrentUser, kKey + L"\\Held", L"value");
    Clean();
  }
  void TearDown() override {
    journal::SetJournalFailureHandler({});
    Clean();
  }
  static void Clean() {
    AllowWrites(kHkcu, kKey + L"\\Held");
    DeleteKey(kHkcu, kKey);
    ClearDrive(kDrive);
    ClearFolder(journal::Folder());
  }
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
  const std::wstring icon = OnDrive(kDrive, L"icon.ico");
  const std::wstring source = OnDrive(kSecondDrive, L"source.ico");
};

// Everything an action here may touch, as bytes, so that states compare exactly.
std::string Snapshot(const std::vector<std::wstring>& files) {
  std::ostringstream out;
  for (const auto& name : kNames) {
    const auto value = ReadRaw(kHkcu, kKey, name);
    out << Utf8(name) << ": " << (value ? std::to_string(value->type) + " " + Describe(value) : "absent") << "; ";
    if (value) {
      for (const BYTE b : value->bytes) out << int{b} << ',';
    }
    out << '\n';
  }
  for (const auto& file : files) {
    const auto bytes = ReadBytes(file);
    out << Utf8(file) << ": " << (bytes ? "\"" + *bytes + "\"" : "absent") << " attributes " << Attributes(file) << '\n';
  }
  return out.str();
}

journal::UndoReport UndoOne(journal::GroupId id, journal::OnConflict answer = journal::OnConflict::UndoAnyway,
                            int* asked = nullptr) {
  const journal::GroupId ids[] = {id};
  return journal::Undo(ids, [&](const journal::Group&) {
    if (asked) ++*asked;
    return answer;
  });
}

TEST_F(JournalTest, EachKindOfChangeIsUndoneAndRedoneByteForByte) {
  WriteSz(kHkcu, kKey, L"number", L"1");
  WriteRaw(kHkcu, kKey, L"binary", REG_BINARY, {1, 2, 3});
  WriteDword(kHkcu, kKey, L"text", 7);
  WriteBytes(autorun, "[autorun]\r\nopen=virus.exe\r\n", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  WriteBytes(source, "new icon");
  const std::vector<std::wstring> files = {autorun, icon};
  const std::string before = Snapshot(files);

  journal::GroupId id = 0;
  {
    journal::Action action(L"Test: every kind of change", {.drives = L"EF"});
    ASSERT_FALSE(action.Cancelled());
    platform::RegSetValue(platform::kCurrentUser, kKey, L"number", 1);  // REG_SZ "1" becomes REG_DWORD 1
    platform::RegSetText(platform::kCurrentUser, kKey, L"text", L" spaced ");
    platform::RegDeleteValue(platform::kCurrentUser, kKey, L"binary");
    platform::RegSetValue(platform::kCurrentUser, kKey, L"fresh", L"new");
    platform::SetAttr(autorun, platform::kAttrNormal);
    platform::OutputFile file(autorun);
    file.WriteQuoted(L"");
    file.Close();
    platform::SetAttr(autorun, platform::kAttrHiddenSystem);
    platform::CopyOver(source, icon);
    id = action.Id();
  }
  const std::string after = Snapshot(files);
  ASSERT_NE(before, after);

  const journal::Listing listing = journal::Read();
  ASSERT_EQ(listing.groups.size(), 1u);
  EXPECT_EQ(listing.groups[0].id, id);
  EXPECT_EQ(Utf8(listing.groups[0].what), "Test: every kind of change");
  EXPECT_TRUE(listing.groups[0].finished);
  EXPECT_EQ(listing.groups[0].items.size(), 8u) << "four values, two attribute sets, two file contents";

  const journal::UndoReport undo = UndoOne(id);
  EXPECT_TRUE(undo.failures.empty()) << Utf8(undo.failures.empty() ? L"" : undo.failures[0]);
  EXPECT_EQ(Snapshot(files), before) << "undo puts back every value and file exactly";
  ASSERT_TRUE(undo.undoGroup.has_value());
  EXPECT_EQ(Utf8(journal::Read().groups[0].what), "Undo: Test: every kind of change");

  int asked = 0;
  const journal::UndoReport redo = UndoOne(*undo.undoGroup, journal::OnConflict::Skip, &asked);
  EXPECT_TRUE(redo.failures.empty()) << Utf8(redo.failures.empty() ? L"" : redo.failures[0]);
  EXPECT_EQ(asked, 0) << "nothing was changed by anyone else in between";
  EXPECT_EQ(Snapshot(files), after) << "undoing the undo makes the change again";
}

TEST_F(JournalTest, AChangeMadeElsewhereSinceIsAskedAboutOncePerGroup) {
  struct Case {
    journal::OnConflict answer;
    const wchar_t* expected;  // the value once undone
    bool stopped;
  };
  const Case cases[] = {
      {journal::OnConflict::Skip, L"outside", false},
      {journal::OnConflict::Stop, L"outside", true},
      {journal::OnConflict::UndoAnyway, L"original", false},
  };
  for (const Case& c : cases) {
    Clean();
    WriteSz(kHkcu, kKey, L"text", L"original");
    journal::GroupId id = 0;
    {
      journal::Action action(L"Test: two values");
      platform::RegSetText(platform::kCurrentUser, kKey, L"text", L"korvane");
      platform::RegSetValue(platform::kCurrentUser, kKey, L"number", 5);
      id = action.Id();
    }
    // Another program, between the action and its undo, changes both values of the group.
    WriteSz(kHkcu, kKey, L"text", L"outside");
    WriteDword(kHkcu, kKey, L"number", 7);
    int asked = 0;
    const journal::UndoReport report = UndoOne(id, c.answer, &asked);
    EXPECT_EQ(asked, 1) << "asked once for the group, not once per item";
    EXPECT_SZ(kHkcu, kKey, L"text", c.expected);
    EXPECT_EQ(report.stopped, c.stopped);
    if (c.answer == journal::OnConflict::UndoAnyway) {
      EXPECT_NO_VALUE(kHkcu, kKey, L"number");
    } else {
      EXPECT_DWORD(kHkcu, kKey, L"number", 7u) << "a skipped or stopped group is left whole";
    }
  }
}

TEST_F(JournalTest, AWriteRefusedAfterItWasRecordedIsLeftAloneByUndo) {
  const std::wstring held = kKey + L"\\Held";
  WriteDword(kHkcu, held, L"value", 1);
  const ScopedRefusal refused(kHkcu, held);
  journal::GroupId id = 0;
  {
    journal::Action action(L"Test: one write refused");
    platform::RegSetValue(platform::kCurrentUser, kKey, L"number", 2);
    EXPECT_EQ(platform::RegSetValue(platform::kCurrentUser, held, L"value", 5), platform::RegOutcome::Refused);
    id = action.Id();
  }
  int asked = 0;
  const journal::UndoReport report = UndoOne(id, journal::OnConflict::Skip, &asked);
  EXPECT_EQ(asked, 0) << "the refused value was never Korvane's to put back";
  EXPECT_TRUE(report.failures.empty()) << Utf8(report.failures.empty() ? L"" : report.failures[0]);
  EXPECT_NO_VALUE(kHkcu, kKey, L"number");
  EXPECT_DWORD(kHkcu, held, L"value", 1u);
}

TEST_F(JournalTest, ATornLastLineIsSkippedWithNothingElseLost) {
  for (int i = 0; i < 2; ++i) {
    journal::Action action(L"Test: value " + std::to_wstring(i));
    platform::RegSetValue(platform::kCurrentUser, kKey, L"number", i + 1);
  }
  const std::wstring path = journal::Folder() + L"journal.jsonl";
  const auto whole = ReadBytes(path);
  ASSERT_TRUE(whole.has_value());
  WriteBytes(path, *whole + "{\"group\":3,\"time\":\"2026-12-08 10:00:00\",\"wh");  // power lost mid-line

  journal::Listing listing = journal::Read();
  EXPECT_EQ(listing.skippedLines, 1u);
  ASSERT_EQ(listing.groups.size(), 2u);
  EXPECT_EQ(Utf8(listing.groups[0].what), "Test: value 1");

  {
    journal::Action action(L"Test: after the crash");
    platform::RegSetValue(platform::kCurrentUser, kKey, L"number", 9);
  }
  listing = journal::Read();
  ASSERT_EQ(listing.groups.size(), 3u) << "a line appended after the torn one is read";
  EXPECT_EQ(Utf8(listing.groups[0].what), "Test: after the crash");
  EXPECT_EQ(listing.groups[0].items.size(), 1u);
  EXPECT_EQ(UndoOne(listing.groups[0].id).failures.size(), 0u);
  EXPECT_DWORD(kHkcu, kKey, L"number", 2u);
}

TEST_F(JournalTest, AMovedFileComesBackOnUndoAndGoesAgainOnRedo) {
  const std::wstring original = OnDrive(kDrive, L"Folder\\virus.exe");
  const std::wstring quarantined = journal::Folder() + L"Quarantine\\test\\virus.exe.quarantined";
  CreateDirectoryW((journal::Folder() + L"Quarantine").c_str(), nullptr);
  CreateDirectoryW((journal::Folder() + L"Quarantine\\test").c_str(), nullptr);
  WriteBytes(quarantined, "MZ not really a program");
  journal::GroupId id = 0;
  {
    // The file was copied away and checked; the move is recorded before the original goes.
    journal::Action action(L"Test: move to the quarantine", {.drives = L"E"});
    ASSERT_TRUE(journal::RecordMove(original, quarantined));
    id = action.Id();
  }
  const journal::UndoReport undo = UndoOne(id);
  EXPECT_TRUE(undo.failures.empty()) << Utf8(undo.failures.empty() ? L"" : undo.failures[0]);
  EXPECT_EQ(ReadBytes(original), std::string("MZ not really a program")) << "folders made as needed";
  EXPECT_FALSE(Exists(quarantined)) << "the quarantine copy goes once the file is back and checked";
  ASSERT_TRUE(undo.undoGroup.has_value());
  EXPECT_TRUE(UndoOne(*undo.undoGroup).failures.empty());
  EXPECT_EQ(ReadBytes(quarantined), std::string("MZ not really a program"));
  EXPECT_FALSE(Exists(original));
}

// Past each bound in turn: the oldest finished groups go with their kept copies and
// quarantined files, never a group left unfinished, and the count says so.
TEST_F(JournalTest, TheOldestFinishedGroupsAreLetGoWithTheirFilesPastEachBound) {
  struct Case {
    const char* bound;
    journal::Bounds bounds;
    std::uint64_t dropped;
  };
  const Case cases[] = {
      {"groups", {10, 50ull << 20, 32ull << 20, 1ull << 30}, 3},  // twelve groups down to nine
      {"kept copies", {10000, 1, 32ull << 20, 1ull << 30}, 10},   // all finished but the newest, which stays
      {"journal bytes", {10000, 50ull << 20, 1, 1ull << 30}, 10},
      {"quarantine", {10000, 50ull << 20, 32ull << 20, 1}, 1},   // only the move weighs on it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bound);
    Clean();
    CreateDirectoryW(journal::Folder().c_str(), nullptr);
    // A group whose action never ended, oldest of all: it may still be being written.
    WriteBytes(journal::Folder() + L"journal.jsonl",
               journal::format::HeaderLine(1, L"2026-12-08 14:03:12", L"Test: cut short", L"E"));
    const std::wstring quarantined = journal::Folder() + L"Quarantine\\test\\virus.exe.quarantined";
    const std::wstring record = journal::Folder() + L"Quarantine\\test\\virus.exe.record.txt";
    CreateDirectoryW((journal::Folder() + L"Quarantine").c_str(), nullptr);
    CreateDirectoryW((journal::Folder() + L"Quarantine\\test").c_str(), nullptr);
    WriteBytes(quarantined, "MZ not really a program");
    WriteBytes(record, "where it came from");
    {
      journal::Action action(L"Test: move to the quarantine", {.drives = L"E"});
      ASSERT_TRUE(journal::RecordMove(OnDrive(kDrive, L"virus.exe"), quarantined));
    }
    std::vector<journal::GroupId> ids;
    for (int i = 0; i < 10; ++i) {
      WriteBytes(autorun, "version " + std::to_string(i));
      journal::Action action(L"Test: change " + std::to_wstring(i), {.drives = L"E"});
      platform::OutputFile file(autorun);
      file.PrintLine(L"changed");
      file.Close();
      ids.push_back(action.Id());
    }
    EXPECT_EQ(journal::Read().groups.size(), 12u) << "nothing is let go inside an action";
    journal::SetBounds(c.bounds);
    EXPECT_EQ(journal::Tidy(), c.dropped);
    journal::SetBounds({});
    const journal::Listing listing = journal::Read();
    EXPECT_EQ(listing.droppedGroups, c.dropped) << "the count the window and undo list show";
    EXPECT_EQ(listing.groups.size(), 12u - c.dropped);
    EXPECT_EQ(listing.groups.back().id, 1u) << "the unfinished group was let go";
    EXPECT_FALSE(Exists(quarantined)) << "the quarantined file went with its group";
    EXPECT_FALSE(Exists(record));
    const std::size_t firstKept = static_cast<std::size_t>(c.dropped) - 1;  // the move's group went first
    if (firstKept > 0) {
      EXPECT_FALSE(Exists(journal::Folder() + L"Kept\\" + std::to_wstring(ids[firstKept - 1])));
    }
    EXPECT_TRUE(Exists(journal::Folder() + L"Kept\\" + std::to_wstring(ids.back())));
    journal::Action action(L"Test: after letting go");
    platform::RegSetValue(platform::kCurrentUser, kKey, L"number", 1);
    EXPECT_GT(action.Id(), ids.back()) << "ids are never given twice";
  }
}

// The journal's folder cannot be made while it lives: a file stands in its place.
// (A deny DACL on the folder is kept by Wine but not enforced for root, so it refuses nothing here.)
class RefusedJournalFolder {
 public:
  RefusedJournalFolder() {
    RemoveDirectoryW(Folder().c_str());
    WriteBytes(Folder(), "not a folder");
  }
  ~RefusedJournalFolder() { DeleteFileW(Folder().c_str()); }
  RefusedJournalFolder(const RefusedJournalFolder&) = delete;
  RefusedJournalFolder& operator=(const RefusedJournalFolder&) = delete;

 private:
  static std::wstring Folder() {
    std::wstring folder = journal::Folder();
    folder.pop_back();
    return folder;
  }
};

// Lines no reader takes (longer than any Korvane writes, or of no group) go at a
// compaction, and on their own when they are what keeps the journal past its bound.
TEST_F(JournalTest, LinesOfNoGroupGoWhenTheyKeepTheJournalPastItsBound) {
  Clean();
  CreateDirectoryW(journal::Folder().c_str(), nullptr);
  const std::wstring file = journal::Folder() + L"journal.jsonl";
  WriteBytes(file, journal::format::HeaderLine(1, L"2026-12-08 14:03:12", L"Test: kept") + journal::format::EndLine(1) +
                       std::string(200 * 1024, 'x') + "\n{\"not\":\"a group\"}\n");
  journal::SetBounds({.journalBytes = 128 * 1024});
  EXPECT_EQ(journal::Tidy(), 0u) << "no group was let go";
  journal::SetBounds({});
  EXPECT_LT(ReadBytes(file).value_or("").size(), 1024u);
  const journal::Listing listing = journal::Read();
  ASSERT_EQ(listing.groups.size(), 1u);
  EXPECT_TRUE(listing.groups[0].finished);
  EXPECT_EQ(listing.skippedLines, 0u);
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenIsToldOnceAndCancelMakesNoChange) {
  const platform::TweakBinding binding{L"ChkTest", L"test", L"Test box ", L"", L"GetTest",
                                       platform::EqualsNumber(platform::kCurrentUser, kKey.c_str(), L"number", 1),
                                       {platform::Write(platform::kCurrentUser, kKey.c_str(), L"number", L"1"),
                                        platform::Write(platform::kCurrentUser, kKey.c_str(), L"text", L"x")},
                                       {}};
  struct Case {
    journal::WithoutJournal answer;
    platform::TweakOutcome outcome;
    bool changed;
  };
  const Case cases[] = {{journal::WithoutJournal::Cancel, platform::TweakOutcome::Cancelled, false},
                        {journal::WithoutJournal::GoOn, platform::TweakOutcome::Done, true}};
  for (const Case& c : cases) {
    Clean();
    const RefusedJournalFolder refused;
    std::vector<std::wstring> asked;
    journal::SetJournalFailureHandler([&](std::wstring_view what) {
      asked.emplace_back(what);
      return c.answer;
    });
    EXPECT_EQ(platform::ApplyTweak(binding, true, L"Test Page"), c.outcome);
    ASSERT_EQ(asked.size(), 1u) << "told once for the click, not once per value";
    EXPECT_EQ(Utf8(asked[0]), "Test Page: Test box checked");
    EXPECT_EQ(ReadRaw(kHkcu, kKey, L"number").has_value(), c.changed);
    EXPECT_EQ(ReadRaw(kHkcu, kKey, L"text").has_value(), c.changed);
    {
      const journal::Action silent(L"Test: silent", journal::ActionOptions{true, true});
      EXPECT_FALSE(silent.Cancelled());
      platform::RegSetValue(platform::kCurrentUser, kKey, L"fresh", 3);
    }
    EXPECT_EQ(asked.size(), 1u) << "a silent action never asks";
    EXPECT_DWORD(kHkcu, kKey, L"fresh", 3u);
    EXPECT_TRUE(journal::Read().groups.empty());
  }
  {
    const journal::Action action(L"Test: the folder can be made again");
    platform::RegSetValue(platform::kCurrentUser, kKey, L"fresh", 4);
  }
  EXPECT_EQ(journal::Read().groups.size(), 1u) << "once the folder can be made again, so can the journal";
}

}  // namespace
