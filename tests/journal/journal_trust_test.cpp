// The journal's file as someone else may have written it: forged groups,
// damaged lines, and changes cut short between their record and their making.
#include <gtest/gtest.h>

#include <functional>

#include "journal/journal.h"
#include "journal_file.h"
#include "repair/undo_scope.h"
#include "system/file_ops.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;

const HKEY kHklm = HKEY_LOCAL_MACHINE;
const std::wstring kTrustKey = L"Software\\Korvane\\TrustTest";
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kDebuggerKey =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\korvane-test.exe";

using journal_tests::JournalFile;

// A path or text as it stands inside a JSON string.
std::string Json(const std::wstring& text) {
  std::string escaped;
  for (const char c : Utf8(text)) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

void AppendLines(const std::string& lines) {
  CreateDirectoryW(journal::Folder().c_str(), nullptr);
  WriteBytes(JournalFile(), ReadBytes(JournalFile()).value_or("") + lines);
}

// A whole group as a forger would append it: header, one item, end.
void Forge(journal::GroupId id, const std::string& item) {
  const std::string group = std::to_string(id);
  AppendLines("{\"group\":" + group + ",\"time\":\"2026-12-08 10:00:00\",\"what\":\"Preferences: saved\",\"drives\":\"E\"}\n" +
              "{\"group\":" + group + ",\"n\":0," + item + "}\n{\"group\":" + group + ",\"end\":true}\n");
}

std::string Hex(const std::wstring& text) {
  std::string hex;
  for (const wchar_t c : text + L'\0') {
    char pair[8];
    snprintf(pair, sizeof pair, "%02x%02x", c & 0xFF, (c >> 8) & 0xFF);
    hex += pair;
  }
  return hex;
}

journal::UndoReport UndoOne(journal::GroupId id, const std::function<journal::OnConflict()>& answer) {
  const journal::GroupId ids[] = {id};
  return journal::Undo(ids, [&](const journal::Group&) { return answer(); });
}

std::wstring SystemFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder) + L"\\" + name;
}

class JournalTrustTest : public testing::Test {
 protected:
  void SetUp() override {
    // Every place Korvane's tables name, HKLM Run among them (the computer check's): a forged
    // machine-wide item is refused for want of the machine-wide countersign, not for its place.
    repair::AllowUndoOfKorvanesPlaces();
    journal::AllowValue(platform::kCurrentUser, kTrustKey, L"value");
    Clean();
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    DeleteKey(kHkcu, kTrustKey);
    DeleteValue(kHklm, kRun, L"KorvaneTest");
    DeleteValue(kHkcu, kRun, L"KorvaneTest");
    DeleteKey(kHklm, kDebuggerKey);
    DeleteFileW(SystemFile(L"korvane-test.dll").c_str());
    DeleteFileW(SystemFile(L"korvane-moved.exe").c_str());
    ClearDrive(kDrive);
    ClearFolder(journal::Folder());
  }
};

TEST_F(JournalTrustTest, ForgedItemsAreRefusedWholeAndNothingOfThemIsWritten) {
  const std::wstring quarantined = journal::Folder() + L"Quarantine\\forged\\payload.exe.quarantined";
  const std::wstring desktopCopy = journal::Folder() + L"..\\..\\..\\Desktop\\autorun.inf";
  struct Case {
    const char* name;
    std::function<void()> seed;
    std::string item;
    std::function<bool()> untouched;  // the sentinel the undo would have changed
  };
  const Case cases[] = {
      {"HKLM Run", [] {},
       "\"kind\":\"registry\",\"root\":\"HKLM\",\"key\":\"" + Json(kRun) +
           "\",\"name\":\"KorvaneTest\",\"before\":{\"type\":1,\"hex\":\"" + Hex(L"C:\\evil.exe") + "\"},\"after\":null",
       [] { return !ReadRaw(kHklm, kRun, L"KorvaneTest").has_value(); }},
      {"Image File Execution Options Debugger", [] {},
       "\"kind\":\"registry\",\"root\":\"HKLM\",\"key\":\"" + Json(kDebuggerKey) +
           "\",\"name\":\"Debugger\",\"before\":{\"type\":1,\"hex\":\"" + Hex(L"C:\\evil.exe") + "\"},\"after\":null",
       [] { return !ReadRaw(kHklm, kDebuggerKey, L"Debugger").has_value(); }},
      {"content of a file in system32", [] { WriteBytes(SystemFile(L"korvane-test.dll"), "system file"); },
       "\"kind\":\"content\",\"path\":\"" + Json(SystemFile(L"korvane-test.dll")) + "\",\"existed\":false",
       [] { return ReadBytes(SystemFile(L"korvane-test.dll")) == std::string("system file"); }},
      {"move into system32",
       [&] {
         CreateDirectoryW((journal::Folder() + L"Quarantine").c_str(), nullptr);
         CreateDirectoryW((journal::Folder() + L"Quarantine\\forged").c_str(), nullptr);
         WriteBytes(quarantined, "MZ payload");
       },
       "\"kind\":\"move\",\"path\":\"" + Json(SystemFile(L"korvane-moved.exe")) + "\",\"to\":\"" + Json(quarantined) +
           "\",\"after\":\"10:0000000000000000\"",
       [] { return !Exists(SystemFile(L"korvane-moved.exe")); }},
      {"kept copy outside Korvane's folders",
       [&] {
         WriteBytes(OnDrive(kDrive, L"autorun.inf"), "clean");
         WriteBytes(OnDrive(kSecondDrive, L"evil.inf"), "[autorun]\r\nopen=evil.exe\r\n");
       },
       "\"kind\":\"content\",\"path\":\"" + Json(OnDrive(kDrive, L"autorun.inf")) + "\",\"existed\":true,\"kept\":\"" +
           Json(OnDrive(kSecondDrive, L"evil.inf")) + "\",\"after\":\"5:0\"",
       [] { return ReadBytes(OnDrive(kDrive, L"autorun.inf")) == std::string("clean"); }},
      {"kept copy climbing out of the journal's folder",
       [&] {
         WriteBytes(OnDrive(kDrive, L"autorun.inf"), "clean");
         WriteBytes(desktopCopy, "[autorun]\r\nopen=evil.exe\r\n");
       },
       "\"kind\":\"content\",\"path\":\"" + Json(OnDrive(kDrive, L"autorun.inf")) + "\",\"existed\":true,\"kept\":\"" +
           Json(desktopCopy) + "\"",
       [] { return ReadBytes(OnDrive(kDrive, L"autorun.inf")) == std::string("clean"); }},
      {"a value no table names", [] { WriteDword(kHkcu, kTrustKey, L"unnamed", 1); },
       "\"kind\":\"registry\",\"root\":\"HKCU\",\"key\":\"" + Json(kTrustKey) +
           "\",\"name\":\"unnamed\",\"before\":null,\"after\":{\"type\":4,\"hex\":\"01000000\"}",
       [] { return ReadRaw(kHkcu, kTrustKey, L"unnamed").has_value(); }},
  };
  journal::GroupId id = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.seed();
    id += 1000;  // past any id an undo of the case before could have taken
    Forge(id, c.item);
    ASSERT_TRUE(c.untouched());
    const journal::UndoReport report = UndoOne(id, [] { return journal::OnConflict::UndoAnyway; });
    EXPECT_EQ(report.refused.size(), 1u);
    EXPECT_TRUE(c.untouched()) << "the forged item was written";
    EXPECT_FALSE(report.undoGroup.has_value()) << "nothing was undone, so nothing was recorded";
    const auto group = journal::ReadGroup(id);
    ASSERT_TRUE(group.has_value());
    EXPECT_EQ(journal::Describe(*group).at(0).state, journal::ItemState::Refused);
  }
  DeleteFileW(desktopCopy.c_str());
}

TEST_F(JournalTrustTest, AnAllowedRunValueIsShownAsWhatItIsBeforeItIsUndone) {
  journal::AllowValue(platform::kCurrentUser, kRun, L"KorvaneTest");
  Forge(7, "\"kind\":\"registry\",\"root\":\"HKCU\",\"key\":\"" + Json(kRun) +
               "\",\"name\":\"KorvaneTest\",\"before\":{\"type\":1,\"hex\":\"" + Hex(L"C:\\evil.exe") +
               "\"},\"after\":null");
  const auto group = journal::ReadGroup(7);
  ASSERT_TRUE(group.has_value());
  const std::vector<journal::ItemView> views = journal::Describe(*group);
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(Utf8(views[0].change),
            "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\KorvaneTest: \"C:\\evil.exe\" → not set")
      << "the item, not the group's stored words \"Preferences: saved\"";
  EXPECT_EQ(Utf8(views[0].undo), "puts back \"C:\\evil.exe\"");
  EXPECT_EQ(views[0].state, journal::ItemState::Changed);
}

TEST_F(JournalTrustTest, DamagedLinesAreSkippedAndCountedAndAGoodGroupStillUndoes) {
  journal::GroupId good = 0;
  {
    const journal::Action action(L"Test: good");
    platform::RegSetValue(platform::kCurrentUser, kTrustKey, L"value", 1);
    good = action.Id();
  }
  const std::string g = std::to_string(good);
  struct Case {
    const char* name;
    std::string line;
    bool seenByList;  // item lines are looked at closely only when their group is read
  };
  const Case cases[] = {
      {"not JSON", "garbage", true},
      {"a group that is text", "{\"group\":\"x\",\"time\":\"2026-12-08 10:00:00\",\"what\":\"x\"}", true},
      {"a header with invalid UTF-8", "{\"group\":500,\"time\":\"2026-12-08 10:00:00\",\"what\":\"bad \xff\xfe\"}", true},
      {"a second header for a group", "{\"group\":" + g + ",\"time\":\"2026-12-08 10:00:00\",\"what\":\"taken over\"}", true},
      {"an over-long line", "{\"group\":" + g + ",\"n\":1,\"kind\":\"note\",\"text\":\"" + std::string(70000, 'a') + "\"}",
       true},
      {"a negative index", "{\"group\":" + g + ",\"n\":-1,\"kind\":\"note\",\"text\":\"x\"}", true},
      {"a huge index", "{\"group\":" + g + ",\"n\":4000000000,\"kind\":\"note\",\"text\":\"x\"}", false},
      {"a key that is a number",
       "{\"group\":" + g + ",\"n\":1,\"kind\":\"registry\",\"root\":\"HKCU\",\"key\":5,\"name\":\"value\",\"before\":null,"
       "\"after\":null}",
       false},
      {"an unknown root",
       "{\"group\":" + g + ",\"n\":1,\"kind\":\"registry\",\"root\":\"HKXX\",\"key\":\"" + Json(kTrustKey) +
           "\",\"name\":\"value\",\"before\":null,\"after\":null}",
       false},
      {"hex that is not hex",
       "{\"group\":" + g + ",\"n\":1,\"kind\":\"registry\",\"root\":\"HKCU\",\"key\":\"" + Json(kTrustKey) +
           "\",\"name\":\"value\",\"before\":{\"type\":4,\"hex\":\"zz000000\"},\"after\":null}",
       false},
      {"attributes as words",
       "{\"group\":" + g + ",\"n\":1,\"kind\":\"attributes\",\"path\":\"E:\\\\x\",\"before\":\"hidden\",\"after\":0}",
       false},
      {"an unknown kind", "{\"group\":" + g + ",\"n\":1,\"kind\":\"format-disk\"}", false},
      {"an end that is not true", "{\"group\":" + g + ",\"end\":\"yes\"}", false},
  };
  std::string lines;
  std::size_t seenByList = 0;
  for (const Case& c : cases) {
    lines += c.line + "\n";
    seenByList += c.seenByList;
  }
  AppendLines(lines + "{\"group\":" + g + ",\"n\":7");  // and a last line cut short

  const journal::Listing list = journal::ReadGroups();
  ASSERT_EQ(list.groups.size(), 1u);
  EXPECT_EQ(Utf8(list.groups[0].what), "Test: good");
  EXPECT_EQ(list.skippedLines, seenByList + 1);
  const journal::Listing all = journal::Read();
  ASSERT_EQ(all.groups.size(), 1u);
  EXPECT_EQ(all.skippedLines, std::size(cases) + 1);
  EXPECT_EQ(all.groups[0].items.size(), 1u) << "only the good item";

  const journal::UndoReport report = UndoOne(good, [] { return journal::OnConflict::Stop; });
  EXPECT_TRUE(report.failures.empty() && report.refused.empty());
  EXPECT_EQ(report.putBack, 1u);
  EXPECT_NO_VALUE(kHkcu, kTrustKey, L"value");
}

TEST_F(JournalTrustTest, AChangeRecordedButNeverMadeNeedsNoForceAndARealConflictIsStillCaught) {
  struct Case {
    const char* name;
    bool made;            // the write happened after its record
    bool changedOutside;  // another program changed it since
    int asked;
    std::optional<DWORD> after;  // the value once undone
  };
  const Case cases[] = {
      {"cut short before the change", false, false, 0, std::nullopt},
      {"made", true, false, 0, std::nullopt},
      {"changed since", true, true, 1, 9u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clean();
    journal::GroupId id = 0;
    {
      const journal::Action action(L"Test: cut short");
      // As a crash would leave it: the record on disk, the value written or not.
      ASSERT_TRUE(journal::RecordRegistry(platform::kCurrentUser, kTrustKey, L"value",
                                          platform::RegState{true, REG_DWORD, DwordBytes(5)}));
      if (c.made) WriteDword(kHkcu, kTrustKey, L"value", 5);
      id = action.Id();
    }
    if (c.changedOutside) WriteDword(kHkcu, kTrustKey, L"value", 9);
    int asked = 0;
    const journal::UndoReport report = UndoOne(id, [&] {
      ++asked;
      return journal::OnConflict::Skip;
    });
    EXPECT_EQ(asked, c.asked);
    EXPECT_TRUE(report.failures.empty()) << Utf8(report.failures.empty() ? L"" : report.failures[0]);
    const auto value = ReadRaw(kHkcu, kTrustKey, L"value");
    EXPECT_EQ(value.has_value(), c.after.has_value()) << Describe(value);
    if (c.after) {
      EXPECT_DWORD(kHkcu, kTrustKey, L"value", *c.after);
    }
  }
}

}  // namespace

namespace {

// A file held open by another program is refused with the system's reason, never as a cancel nobody chose.
TEST_F(JournalTrustTest, AFileThatCannotBeKeptFailsWithItsOwnReasonNotACancel) {
  const std::wstring held = OnDrive(kDrive, L"held.inf");
  WriteBytes(held, "in use");
  const HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  DWORD code = 0;
  {
    const journal::Action action(L"Test: held file", {.drives = L"E"});
    EXPECT_FALSE(action.Cancelled());
    try {
      platform::OutputFile file(held);
    } catch (const platform::FileError& e) {
      code = e.Code();
    }
  }
  CloseHandle(holder);
  EXPECT_NE(code, 0u) << "the change failed";
  EXPECT_NE(code, static_cast<DWORD>(ERROR_CANCELLED)) << "ERROR_CANCELLED means only that the user chose to stop";
  EXPECT_EQ(ReadBytes(held), std::string("in use"));
}

}  // namespace
