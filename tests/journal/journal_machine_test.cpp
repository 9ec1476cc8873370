// Files outside the user's profile that a clean moved away: undone only when
// the machine-wide store vouches for the item and the copy is the one kept.
// (Wine enforces no folder security, so that a user cannot write that store
// is not something a test here can show.)
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "journal/journal.h"
#include "journal/journal_format.h"
#include "journal/journal_machine.h"
#include "journal_file.h"
#include "repair/computer_check/clean.h"
#include "repair/computer_check/scan.h"
#include "repair/undo_scope.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/text.h"
#include "system/file_ops.h"
#include "system/known_folder.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;
namespace cc = repair::computer_check;

const std::string kWormScript = "' the machine test's inert worm\r\n";

std::wstring WormFile() { return platform::KnownFolder(FOLDERID_CommonStartup) + L"\\kvmachine.vbs"; }

// The computer check's clean of the one planted file, as a person would choose it.
journal::GroupId CleanTheWorm(DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  WriteBytes(WormFile(), kWormScript, attributes);
  cc::Progress progress;
  const cc::ScanResult scan = cc::Scan({}, progress);
  const auto selected = std::make_unique<bool[]>(scan.findings.size());
  for (std::size_t i = 0; i < scan.findings.size(); ++i) selected[i] = scan.findings[i].item == WormFile();
  const cc::CleanReport report = cc::Clean(scan, std::span<const bool>(selected.get(), scan.findings.size()));
  EXPECT_EQ(report.quarantined, 1u);
  EXPECT_TRUE(report.failures.empty()) << Utf8(report.failures.empty() ? L"" : report.failures[0].reason);
  EXPECT_FALSE(Exists(WormFile()));
  return report.group.value_or(0);
}

// Where the clean put the file, or where a change kept its copy.
std::wstring Quarantined(journal::GroupId id) {
  const auto group = journal::ReadGroup(id);
  if (!group) return {};
  for (const journal::Item& item : group->items) {
    if (!journal::machine::CopyOf(item).empty()) return journal::machine::CopyOf(item);
  }
  return {};
}

// A folder outside the user's profile and off any checked drive.
std::wstring MachinePlace(const std::wstring& name) {
  const std::wstring folder = platform::KnownFolder(FOLDERID_ProgramData) + L"\\KvMachineTest";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\" + name;
}

// One change through the file operations, as one action; its group.
journal::GroupId Changed(const std::function<void()>& change) {
  const journal::Action action(L"Test: a machine-wide file");
  change();
  return action.Id();
}

void Overwrite(const std::wstring& path, const wchar_t* text) {
  platform::OutputFile file(path);
  file.PrintLine(text);
  file.Close();
}

// The machine-wide store's lines of one group, changed by `edit`; the rest left as they are.
void EditCountersigns(journal::GroupId id, const std::function<std::string(const std::string&)>& edit) {
  const std::string marker = "{\"group\":" + std::to_string(id) + ",";
  std::istringstream lines(ReadBytes(journal::machine::FilePath()).value_or(""));
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    kept += line.find(marker) == std::string::npos ? line + "\n" : edit(line);
  }
  WriteBytes(journal::machine::FilePath(), kept);
}

// The first of a report's messages, to show with a check that there are none.
std::string First(const std::vector<std::wstring>& messages) { return messages.empty() ? "" : Utf8(messages[0]); }

journal::UndoReport UndoForced(journal::GroupId id) {
  const journal::GroupId ids[] = {id};
  // As `--force` would: only the refusal stands between the item and the file.
  return journal::Undo(ids, [](const journal::Group&) { return journal::OnConflict::UndoAnyway; });
}

class JournalMachineTest : public testing::Test {
 protected:
  void SetUp() override {
    repair::AllowUndoOfKorvanesPlaces();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  }
  void TearDown() override {
    SetFileAttributesW(WormFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(WormFile().c_str());
    ClearFolder(MachinePlace(L""));
    ClearFolder(journal::machine::FolderPath() + L"Quarantine\\");
    CoUninitialize();
  }
};

TEST_F(JournalMachineTest, AMachineWideFileTheComputerCheckQuarantinedIsPutBackAndTakenAgain) {
  // Hidden, so that its marks are cleared before the move and put back after it.
  const journal::GroupId id = CleanTheWorm(FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(id, 0u);
  const std::wstring kept = Quarantined(id);
  EXPECT_TRUE(kept.find(journal::machine::FolderPath()) != std::wstring::npos)
      << "kept where only administrators write: " << Utf8(kept);
  const std::string store = ReadBytes(journal::machine::FilePath()).value_or("");
  EXPECT_NE(store.find("{\"group\":" + std::to_string(id) + ","), std::string::npos) << "countersigned";
  EXPECT_NE(store.find("\tsha256:"), std::string::npos) << "with the copy's hash";
  const auto group = journal::ReadGroup(id);
  ASSERT_TRUE(group.has_value());
  const std::vector<std::wstring> told = journal::ProgramsPutBack(*group);
  EXPECT_EQ(told.size(), 1u) << "the script is named before it is put back";

  const journal::UndoReport report = UndoForced(id);
  EXPECT_TRUE(report.refused.empty()) << First(report.refused);
  EXPECT_TRUE(report.failures.empty()) << First(report.failures);
  EXPECT_EQ(report.putBack, 2u);
  EXPECT_EQ(ReadBytes(WormFile()), kWormScript);
  EXPECT_EQ(Attributes(WormFile()), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_FALSE(Exists(kept)) << "the quarantined copy went back";

  // The undo's own changes were countersigned as well: a redo takes the file again.
  ASSERT_TRUE(report.undoGroup.has_value());
  const journal::UndoReport redo = UndoForced(*report.undoGroup);
  EXPECT_TRUE(redo.refused.empty()) << First(redo.refused);
  EXPECT_TRUE(redo.failures.empty()) << First(redo.failures);
  EXPECT_FALSE(Exists(WormFile()));
  EXPECT_EQ(ReadBytes(kept), kWormScript);
}

TEST_F(JournalMachineTest, AnItemTheStoreDoesNotVouchForOrWhoseCopyChangedIsRefusedAndNothingWritten) {
  struct Case {
    const char* name;
    std::function<void(journal::GroupId, const std::wstring& kept)> tamper;
    const wchar_t* reason;
    std::function<journal::GroupId()> change = [] { return CleanTheWorm(); };
    std::wstring changed = WormFile();  // what undo would have put back
  };
  const Case cases[] = {
      {"no countersign", [](journal::GroupId id, const std::wstring&) {
         EditCountersigns(id, [](const std::string&) { return std::string(); });
       },
       L"only your own journal names"},
      {"countersigned for another user's journal", [](journal::GroupId id, const std::wstring&) {
         EditCountersigns(id, [](const std::string& line) {
           return "C:\\users\\someone else\\AppData\\Local\\Korvane\\" + line.substr(line.find('\t')) + "\n";
         });
       },
       L"only your own journal names"},
      {"quarantined copy swapped after the clean", [](journal::GroupId, const std::wstring& kept) {
         WriteBytes(kept, "' a swapped script, as long\r\n");
       },
       L"changed since"},
      {"kept copy of a changed file swapped after the change",
       [](journal::GroupId, const std::wstring& kept) { WriteBytes(kept, "[settings]\r\nrun=evil.exe\r\n"); },
       L"changed since",
       [] {
         WriteBytes(MachinePlace(L"settings.ini"), "[settings]\r\n");
         return Changed([] { Overwrite(MachinePlace(L"settings.ini"), L"cleaned"); });
       },
       MachinePlace(L"settings.ini")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const journal::GroupId id = c.change();
    ASSERT_NE(id, 0u);
    const std::wstring kept = Quarantined(id);
    const std::string left = ReadBytes(c.changed).value_or("(none)");
    c.tamper(id, kept);
    const std::string tampered = ReadBytes(kept).value_or("(none)");

    const journal::UndoReport report = UndoForced(id);
    ASSERT_EQ(report.refused.size(), 1u);
    EXPECT_NE(report.refused[0].find(c.changed.substr(c.changed.rfind(L'\\'))), std::wstring::npos)
        << "named: " << Utf8(report.refused[0]);
    EXPECT_NE(report.refused[0].find(c.reason), std::wstring::npos) << Utf8(report.refused[0]);
    EXPECT_EQ(ReadBytes(c.changed).value_or("(none)"), left) << "nothing put back";
    EXPECT_EQ(ReadBytes(kept), tampered) << "the copy left alone";
    EXPECT_FALSE(report.undoGroup.has_value()) << "nothing was undone, so nothing was recorded";
  }
}

// Undo checks the copy again as it copies it: one swapped after the checks (here
// while undo asks about a conflict) is never put back.
TEST_F(JournalMachineTest, AKeptCopySwappedWhileUndoAsksAboutAConflictIsNeverPutBack) {
  WriteBytes(MachinePlace(L"c.ini"), "[old]\r\n");
  const journal::GroupId id = Changed([] { Overwrite(MachinePlace(L"c.ini"), L"[new]"); });
  ASSERT_NE(id, 0u);
  const std::wstring kept = Quarantined(id);
  WriteBytes(MachinePlace(L"c.ini"), "[edited since]\r\n");
  const journal::GroupId ids[] = {id};
  const journal::UndoReport report = journal::Undo(ids, [&](const journal::Group&) {
    WriteBytes(kept, "[swapped]\r\n");
    return journal::OnConflict::UndoAnyway;
  });
  EXPECT_TRUE(report.refused.empty()) << First(report.refused);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_NE(report.failures[0].find(L"not the copy Korvane kept"), std::wstring::npos) << First(report.failures);
  EXPECT_EQ(report.putBack, 0u);
  EXPECT_EQ(ReadBytes(MachinePlace(L"c.ini")), "[edited since]\r\n");
  EXPECT_EQ(ReadBytes(kept), "[swapped]\r\n");
}

TEST_F(JournalMachineTest, EachKindOfChangeToAMachineWideFileIsUndone) {
  struct Case {
    const char* name;
    std::function<void()> seed;
    std::function<void()> change;
    std::function<std::string()> state;  // what the files hold, and their marks
  };
  const auto state = [](std::initializer_list<const wchar_t*> names) {
    std::string text;
    for (const wchar_t* name : names) {
      text += Utf8(name) + "=" + ReadBytes(MachinePlace(name)).value_or("(absent)") + "/" +
              std::to_string(Attributes(MachinePlace(name))) + ";";
    }
    return text;
  };
  const Case cases[] = {
      {"content overwritten", [] { WriteBytes(MachinePlace(L"a.ini"), "[old]\r\n"); },
       [] { Overwrite(MachinePlace(L"a.ini"), L"[new]"); }, [&] { return state({L"a.ini"}); }},
      {"file made", [] {}, [] { Overwrite(MachinePlace(L"made.ini"), L"[made]"); },
       [&] { return state({L"made.ini"}); }},
      {"renamed", [] { WriteBytes(MachinePlace(L"old name.txt"), "x"); },
       [] { platform::Rename(MachinePlace(L"old name.txt"), MachinePlace(L"new name.txt")); },
       [&] { return state({L"old name.txt", L"new name.txt"}); }},
      {"marks cleared", [] { WriteBytes(MachinePlace(L"hidden.txt"), "x", kHiddenSystem); },
       [] { platform::SetAttr(MachinePlace(L"hidden.txt"), platform::kAttrNormal); },
       [&] { return state({L"hidden.txt"}); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.seed();
    const std::string before = c.state();
    const journal::GroupId id = Changed(c.change);
    ASSERT_NE(id, 0u);
    EXPECT_NE(c.state(), before) << "changed";
    const journal::UndoReport report = UndoForced(id);
    EXPECT_TRUE(report.refused.empty()) << First(report.refused);
    EXPECT_TRUE(report.failures.empty()) << First(report.failures);
    EXPECT_EQ(c.state(), before);
  }
}

TEST_F(JournalMachineTest, ACountersignThatCannotBeWrittenIsAskedAboutAndTheRestStillUndoes) {
  const std::wstring key = L"Software\\Korvane\\MachineTest";
  journal::AllowValue(platform::kCurrentUser, key, L"value");
  const std::wstring store = journal::machine::FilePath();
  const std::wstring aside = store + L".aside";
  struct Case {
    const char* name;
    journal::WithoutJournal answer;
    std::string fileAfter;  // once changed, and still after the undo: nothing recorded to put it back
  };
  const Case cases[] = {
      {"go on", journal::WithoutJournal::GoOn, "cleaned\r\n"},
      {"cancel", journal::WithoutJournal::Cancel, "[old]\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteKey(kHkcu, key);
    WriteBytes(MachinePlace(L"b.ini"), "[old]\r\n");
    int asked = 0;
    journal::SetJournalFailureHandler([&](std::wstring_view) {
      ++asked;
      return c.answer;
    });
    // A folder in the store's place: it cannot be appended to.
    journal::Close();
    ASSERT_TRUE(MoveFileW(store.c_str(), aside.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(CreateDirectoryW(store.c_str(), nullptr));
    const journal::GroupId id = Changed([&] {
      platform::RegSetValue(platform::kCurrentUser, key, L"value", 1);
      try {
        Overwrite(MachinePlace(L"b.ini"), L"cleaned");
      } catch (const platform::FileError&) {
      }
    });
    RemoveDirectoryW(store.c_str());
    MoveFileW(aside.c_str(), store.c_str());
    journal::SetJournalFailureHandler({});
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ReadBytes(MachinePlace(L"b.ini")), c.fileAfter);

    const journal::UndoReport report = UndoForced(id);
    EXPECT_TRUE(report.refused.empty()) << First(report.refused);
    EXPECT_EQ(report.putBack, 1u) << "the user's value";
    EXPECT_FALSE(ReadRaw(kHkcu, key, L"value").has_value());
    EXPECT_EQ(ReadBytes(MachinePlace(L"b.ini")), c.fileAfter);
  }
  DeleteKey(kHkcu, key);
}

TEST_F(JournalMachineTest, PastTheQuarantinesBoundAVouchedMoveLetsItsFileGoAndAForgedOneNone) {
  struct Case {
    const char* name;
    std::function<journal::GroupId()> move;
    bool fileGoes;
  };
  const Case cases[] = {
      {"the clean's move", [] { return CleanTheWorm(); }, true},
      {"a move only the user's journal names",
       [] {
         // A machine-wide quarantined file the user's journal claims its group moved there.
         const std::wstring kept = journal::machine::EnsureFolder() + L"Quarantine\\kvforged.vbs.quarantined";
         CreateDirectoryW((journal::machine::FolderPath() + L"Quarantine").c_str(), nullptr);
         WriteBytes(kept, kWormScript);
         journal::Item item;
         item.kind = journal::ItemKind::Move;
         item.path = MachinePlace(L"kvforged.vbs");
         item.kept = kept;
         item.afterDigest = journal::format::Digest(kept);
         constexpr journal::GroupId kForged = 900000;
         WriteBytes(journal_tests::JournalFile(),
                    ReadBytes(journal_tests::JournalFile()).value_or("") +
                        journal::format::HeaderLine(kForged, L"2026-12-08 10:00:00", L"Preferences: saved") +
                        journal::format::ItemLine(kForged, 0, item, journal::Folder()) +
                        journal::format::EndLine(kForged));
         return kForged;
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearFolder(journal::Folder());
    const journal::GroupId id = c.move();
    ASSERT_NE(id, 0u);
    const std::wstring kept = Quarantined(id);
    ASSERT_TRUE(Exists(kept)) << Utf8(kept);
    Changed([] { Overwrite(MachinePlace(L"newest.ini"), L"the newest group stays"); });
    journal::SetBounds({.quarantineBytes = 1});
    EXPECT_EQ(journal::Tidy(), 1u);
    journal::SetBounds({});
    EXPECT_EQ(Exists(kept), !c.fileGoes) << Utf8(kept);
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(kept.c_str());
  }
}

}  // namespace
