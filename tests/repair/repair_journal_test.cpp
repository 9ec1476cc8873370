#include <gtest/gtest.h>

#include <functional>

#include "journal/journal.h"
#include "repair/drive_repair.h"
#include "repair/hidden_restore.h"
#include "repair/restriction_repair.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;

const std::wstring kSystem = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

std::string State() {
  const auto value = ReadRaw(kHkcu, kSystem, L"DisableTaskMgr");
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
  const std::wstring hidden = OnDrive(kDrive, L"Hidden");
  return "task manager policy " + Describe(value) + "; autorun.inf " + ReadBytes(autorun).value_or("absent") +
         " attributes " + std::to_string(Attributes(autorun)) + "; folder attributes " +
         std::to_string(Attributes(hidden));
}

journal::UndoReport UndoNewest() {
  const journal::Listing listing = journal::Read();
  EXPECT_FALSE(listing.groups.empty());
  if (listing.groups.empty()) return {};
  const journal::GroupId ids[] = {listing.groups[0].id};
  return journal::Undo(ids, [](const journal::Group&) { return journal::OnConflict::Skip; });
}

TEST(RepairJournalTest, EachRepairIsOneGroupThatUndoesAndRedoes) {
  struct Case {
    const char* what;
    std::function<void()> seed;
    std::function<void()> repair;
  };
  const Case cases[] = {
      {"Fix: autorun repair of drive E:",
       [] { WriteBytes(OnDrive(kDrive, L"autorun.inf"), "[autorun]\r\nopen=virus.exe\r\n", FILE_ATTRIBUTE_READONLY); },
       [] { repair::RepairDrive(L"E"); }},
      {"Fix: Task Manager restriction", [] { WriteDword(kHkcu, kSystem, L"DisableTaskMgr", 1); },
       [] { repair::FixRestriction(repair::Restriction::TaskManager); }},
      {"Restore: E:\\Hidden",
       [] {
         CreateDirectoryW(OnDrive(kDrive, L"Hidden").c_str(), nullptr);
         SetFileAttributesW(OnDrive(kDrive, L"Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
       },
       [] { repair::RestoreHiddenItem(L"E:\\Hidden"); }},
  };
  repair::AllowUndoOfRestrictions();
  MsgBoxRecorder boxes;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearDrive(kDrive);
    DeleteValue(kHkcu, kSystem, L"DisableTaskMgr");
    ClearFolder(journal::Folder());
    c.seed();
    const std::string before = State();
    c.repair();
    const std::string after = State();
    ASSERT_NE(before, after) << "the repair changed nothing";
    const journal::Listing listing = journal::Read();
    ASSERT_EQ(listing.groups.size(), 1u);
    EXPECT_EQ(Utf8(listing.groups[0].what), c.what);

    EXPECT_TRUE(UndoNewest().failures.empty());
    EXPECT_EQ(State(), before);
    EXPECT_TRUE(UndoNewest().failures.empty());
    EXPECT_EQ(State(), after) << "undoing the undo repairs again";
  }
  DeleteValue(kHkcu, kSystem, L"DisableTaskMgr");
  ClearDrive(kDrive);
}

}  // namespace
