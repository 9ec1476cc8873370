// The index beside the journal: whatever it says, and whatever happened to the
// journal since it was written, a list of the groups and a group's items read
// through it are what reading every line of the journal gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "journal/journal.h"
#include "journal/journal_format.h"
#include "journal/journal_index.h"
#include "journal_file.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "system/registry.h"
#include "support/text.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;
namespace format = platform::journal::format;
using journal::GroupId;
using journal_tests::JournalFile;

std::wstring IndexFile() { return journal::Folder() + L"journal.index"; }

std::string Header(GroupId id, const wchar_t* what, std::vector<GroupId> undoes = {}) {
  return format::HeaderLine(id, L"2026-12-08 14:03:12", what, L"E", undoes);
}

std::string Hidden(GroupId id, std::size_t n) {
  journal::Item item;
  item.kind = journal::ItemKind::Attributes;
  item.path = L"E:\\photo" + std::to_wstring(n) + L".jpg";
  item.attrBefore = FILE_ATTRIBUTE_HIDDEN;
  return format::ItemLine(id, n, item, journal::Folder());
}

// Groups whose lines interleave, as two processes leave them, with lines a list
// lets by that a closer read skips, lines of no group, and a group cut short.
std::string Interleaved() {
  return format::DroppedLine(3, 3) + Header(4, L"Test: first") + Header(5, L"Test: second") + Hidden(4, 0) +
         Hidden(5, 0) + Hidden(4, 1) + "not JSON\n" + Header(6, L"Undo: first", {4}) + Hidden(5, 1) +
         "{\"group\":5,\"n\":4000000000,\"kind\":\"note\",\"text\":\"an index out of range\"}\n" + Hidden(6, 0) +
         format::EndLine(5) + "{\"n\":1,\"group\":6,\"kind\":\"note\",\"text\":\"its number not first\"}\n" +
         format::NotMadeLine(4, 1) + format::AfterLine(4, 0, L"absent") +
         format::HeaderLine(5, L"2026-12-08 15:00:00", L"Test: taken over") + format::EndLine(4, 2) +
         "{\"group\":4,\"n\":2,\"kind\":\"note\",\"text\":\"after its end\"}\n" + Hidden(9, 0) +
         "{\"group\":7,\"n\":0,\"time\":\"2026-12-08 16:00:00\",\"what\":\"a header only when read closely\"}\n" +
         Header(7, L"Test: cut short") + Hidden(7, 0) + format::EndLine(6);
}

// Everything a listing says, items included, to compare two whole.
std::string Show(const journal::Listing& listing) {
  std::ostringstream out;
  out << "dropped " << listing.droppedGroups << ", skipped " << listing.skippedLines << "\n";
  for (const journal::Group& group : listing.groups) {
    out << group.id << " " << Utf8(group.time) << " " << Utf8(group.what) << " drives " << Utf8(group.drives)
        << " undoneBy " << group.undoneBy << " finished " << group.finished << " gaps " << group.gaps << " items "
        << group.itemCount << " changes " << (group.changes ? std::to_string(*group.changes) : "-") << "\n";
    for (std::size_t n = 0; n < group.items.size(); ++n) {
      out << "  " << format::ItemLine(group.id, n, group.items[n], journal::Folder()) << Utf8(group.items[n].afterDigest)
          << "\n";
    }
  }
  return out.str();
}

// What reading every line of the journal as it now is gives.
std::string FullScan(std::function<bool(GroupId)> wanted) {
  return Show(format::Parse(ReadBytes(JournalFile()).value_or(""), journal::Folder(), std::move(wanted)));
}

std::size_t LineCount() {
  const std::string bytes = ReadBytes(JournalFile()).value_or("");
  return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

void Edit(const std::wstring& path, const std::function<void(std::string&)>& change) {
  std::string bytes = ReadBytes(path).value_or("");
  change(bytes);
  WriteBytes(path, bytes);
}

// The index's line for a group (the one before its header), changed.
void EditGroup(std::string& index, GroupId id, const std::function<void(std::string&)>& change) {
  const std::string key = "{\"group\":" + std::to_string(id) + ",\"at\":";
  const auto start = index.find(key);
  ASSERT_NE(start, std::string::npos) << index;
  const auto end = index.find('\n', start);
  std::string line = index.substr(start, end - start);
  change(line);
  index.replace(start, end - start, line);
}

void SetNumber(std::string& line, const std::string& field, const std::function<std::uint64_t(std::uint64_t)>& to) {
  const auto at = line.find("\"" + field + "\":");
  ASSERT_NE(at, std::string::npos) << line;
  const auto begin = at + field.size() + 3;
  const auto end = line.find_first_of(",}", begin);
  line.replace(begin, end - begin, std::to_string(to(std::stoull(line.substr(begin, end - begin)))));
}

class JournalIndexTest : public testing::Test {
 protected:
  void SetUp() override {
    ClearFolder(journal::Folder());
    CreateDirectoryW(journal::Folder().c_str(), nullptr);
    WriteBytes(JournalFile(), Interleaved());
    journal::ReadGroups();  // writes the index
    ASSERT_TRUE(ReadBytes(IndexFile()).has_value());
  }
  void TearDown() override {
    journal::SetBounds({});
    ClearFolder(journal::Folder());
  }
};

TEST_F(JournalIndexTest, ADamagedOrStaleIndexStillListsWhatTheJournalHolds) {
  struct Case {
    const char* name;
    std::function<void()> change;
    bool holds;  // the index is still used: the journal is not read whole
  };
  const auto index = [](const std::function<void(std::string&)>& change) { return [=] { Edit(IndexFile(), change); }; };
  const auto group = [](GroupId id, const std::function<void(std::string&)>& change) {
    return [=] { Edit(IndexFile(), [&](std::string& bytes) { EditGroup(bytes, id, change); }); };
  };
  const Case cases[] = {
      {"as it was written", [] {}, true},
      {"none: an older Korvane's journal", [] { DeleteFileW(IndexFile().c_str()); }, false},
      {"not an index", index([](std::string& bytes) { bytes = "not an index\n"; }), false},
      {"cut short inside a line", index([](std::string& bytes) { bytes.resize(bytes.size() / 2); }), false},
      {"its last group left out",
       index([](std::string& bytes) { bytes.resize(bytes.rfind('\n', bytes.rfind('\n', bytes.size() - 2) - 1) + 1); }),
       false},
      {"the journal cut shorter than it covers",
       [] { Edit(JournalFile(), [](std::string& bytes) { bytes.resize(bytes.find(Header(6, L"Undo: first", {4}))); }); },
       false},
      {"covering more than the journal",
       index([](std::string& bytes) { SetNumber(bytes, "covered", [](std::uint64_t n) { return n + 100; }); }), false},
      {"covering less than it says",
       index([](std::string& bytes) { SetNumber(bytes, "covered", [](std::uint64_t n) { return n - 10; }); }), false},
      {"a header not the journal's", index([](std::string& bytes) {
         const std::string line = Header(6, L"Undo: first", {4});
         bytes.replace(bytes.find(line), line.size(), format::NotMadeLine(6, 0));
       }),
       false},
      {"its last line rewritten in place",
       [] {
         Edit(JournalFile(), [](std::string& bytes) {
           bytes.replace(bytes.size() - format::EndLine(6).size(), format::EndLine(6).size(), "{\"group\":6,\"end\":\"ye\"}\n");
         });
       },
       false},
      {"a header's words not the journal's",
       index([](std::string& bytes) { bytes.replace(bytes.find("Test: cut short"), 15, "Test: forged   "); }), false},
      {"two groups at one offset", group(5, [](std::string& line) { SetNumber(line, "at", [](std::uint64_t) { return 0; }); }),
       false},
      {"a count past what its lines can hold",
       group(4, [](std::string& line) { SetNumber(line, "items", [](std::uint64_t) { return 1000000000000; }); }), false},
      {"a header's offset moved", group(6, [](std::string& line) { SetNumber(line, "at", [](std::uint64_t n) { return n + 1; }); }),
       false},
      // Where a group ends is looked at when its items are read.
      {"a group said to end before its last line", group(4, [](std::string& line) {
         SetNumber(line, "to", [](std::uint64_t) { return Interleaved().find("{\"group\":4,\"n\":2"); });
       }),
       true},
      {"appended to by another process since",
       [] {
         Edit(JournalFile(), [](std::string& bytes) {
           bytes += Hidden(7, 1) + format::EndLine(7) + "{\"group\":4,\"n\":3,\"kind\":\"note\",\"text\":\"late\"}\n" +
                    Header(8, L"Test: after the index") + Hidden(8, 0) + "garbage\n" + "{\"group\":8,\"end\"";
         });
       },
       true},
      {"headers far apart, written again by a list",
       [] {
         Edit(JournalFile(), [](std::string& bytes) {
           bytes += Header(10, L"Test: a large clean");
           for (std::size_t n = 0; n < 2000; ++n) bytes += Hidden(10, n);
           bytes += format::EndLine(10) + Header(11, L"Test: after it") + format::EndLine(11);
         });
         journal::ReadGroups();
       },
       true},
      {"compacted by an older Korvane",
       [] {
         Edit(JournalFile(), [](std::string& bytes) {
           std::string kept = format::DroppedLine(4, 4);
           for (std::size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
             const std::string line = bytes.substr(start, end + 1 - start);
             if (format::Facts(line).group > 4) kept += line;
           }
           bytes = kept;
         });
       },
       false},
      {"compacted", [] {
         journal::SetBounds({.groups = 2});
         EXPECT_GT(journal::Tidy(), 0u);
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.change();
    const std::uint64_t before = journal::index::LinesRead();
    EXPECT_EQ(Show(journal::ReadGroups()), FullScan([](GroupId) { return false; }));
    EXPECT_EQ(journal::index::LinesRead() - before < LineCount(), c.holds) << "lines read: " << journal::index::LinesRead() - before;
    for (const std::vector<GroupId>& ids : std::vector<std::vector<GroupId>>{{4}, {5}, {6}, {7}, {8}, {6, 4}, {99}}) {
      SCOPED_TRACE(ids.front());
      EXPECT_EQ(Show(journal::ReadItemsOf(ids)), FullScan([&](GroupId id) { return std::ranges::count(ids, id) > 0; }));
    }
    // Whatever was wrong, the index was written again and holds.
    const std::uint64_t again = journal::index::LinesRead();
    journal::ReadGroups();
    EXPECT_LT(journal::index::LinesRead() - again, LineCount());
  }
}

TEST_F(JournalIndexTest, AGroupsItemsAreReadFromWhereItStartsAndEqualAWholeRead) {
  struct Case {
    std::vector<GroupId> ids;
    std::size_t lines;  // of the journal's 23, read for them
  };
  const Case cases[] = {
      {{4}, 17},     // from its header to the note after its end
      {{5}, 10},     // to its end: the second header is not its own
      {{6}, 16},     // begun among the others' lines, ended last
      {{7}, 2},
      {{4, 7}, 21},  // both, in one pass
      {{99}, 0},     // no such group
      {{}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ids.empty() ? 0 : c.ids.front());
    const std::uint64_t before = journal::index::LinesRead();
    EXPECT_EQ(Show(journal::ReadItemsOf(c.ids)), FullScan([&](GroupId id) { return std::ranges::count(c.ids, id) > 0; }));
    EXPECT_EQ(journal::index::LinesRead() - before, c.lines);
  }
  EXPECT_EQ(Show(journal::Read()), FullScan(nullptr));
}

}  // namespace

namespace {

// Another program leaves a link where Korvane writes a new file before renaming it into place.
TEST_F(JournalIndexTest, AFileWrittenWholeIsNeverWrittenThroughALinkLeftAtItsName) {
  struct Case {
    const wchar_t* name;
    std::function<bool()> write;  // whether the file was written
  };
  const Case cases[] = {
      {L"journal.index.new",
       [] {
         DeleteFileW(IndexFile().c_str());
         journal::ReadGroups();
         return ReadBytes(IndexFile()).has_value();
       }},
      {L"journal.jsonl.new",
       [] {
         journal::SetBounds({.groups = 2});
         return journal::Tidy() > 0;
       }},
      // The journal itself is only ever appended to or written over in place: a link at its name
      // makes a change ask, as for a journal that cannot be written.
      {L"journal.jsonl",
       [] {
         int asked = 0;
         journal::SetJournalFailureHandler([&asked](std::wstring_view) {
           ++asked;
           return journal::WithoutJournal::GoOn;
         });
         {
           const journal::Action action(L"Test: through a link");
           platform::RegSetValue(platform::kCurrentUser, L"Software\\Korvane\\IndexLinkTest", L"v", 1);
         }
         journal::SetJournalFailureHandler({});
         DeleteKey(HKEY_CURRENT_USER, L"Software\\Korvane\\IndexLinkTest");
         return asked == 1;
       }},
  };
  const std::wstring sentinel = journal::Folder() + L"sentinel.txt";
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.name));
    SetUp();
    WriteBytes(sentinel, "another program's file");
    journal::Close();
    DeleteFileW((journal::Folder() + c.name).c_str());
    ASSERT_TRUE(CreateHardLinkW((journal::Folder() + c.name).c_str(), sentinel.c_str(), nullptr));
    EXPECT_TRUE(c.write());
    EXPECT_EQ(ReadBytes(sentinel), std::string("another program's file"));
  }
}

}  // namespace
