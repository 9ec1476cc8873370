#include "repair/drive_check/clean.h"

#include <algorithm>
#include <map>

#include "drive_state.h"
#include "infected_drive.h"
#include "journal/journal.h"
#include "repair/drive_check/quarantine.h"
#include "repair/drive_check/shortcut.h"

namespace {

using namespace drive_check_tests;
namespace journal = platform::journal;
using repair::drive_check::Clean;
using repair::drive_check::CleanReport;
using repair::drive_check::Progress;
using repair::drive_check::Scan;
using repair::drive_check::ScanResult;

class CleanTest : public testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    ClearDrive(kDrive);
    SetFileAttributesW(quarantine.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(quarantine.c_str());
    ClearFolder(journal::Folder());
  }
  ScanResult ScanOf(wchar_t drive) {
    Progress progress;
    return Scan(drive, {}, progress);
  }
  repair::drive_check::ComScope com;
  const std::wstring quarantine = repair::drive_check::QuarantineRoot();
};

TEST_F(CleanTest, QuarantinesAndRevealsAsOneGroupThatUndoPutsBackByteForByte) {
  Infect(kDrive);
  const std::wstring root = OnDrive(kDrive, L"").substr(0, 2);
  const DriveState before = StateOf(root);
  const ScanResult scan = ScanOf(kDrive);
  const CleanReport report = CleanChecked(scan);
  EXPECT_EQ(report.failures.size(), 0u) << Failures(report);
  EXPECT_EQ(report.madeVisible, 6u);
  EXPECT_EQ(report.quarantined, 10u);
  EXPECT_EQ(report.renamed, 0u) << "the rename is unchecked by default";
  ASSERT_TRUE(report.group);

  // The drive: what was moved is gone, what was hidden shows, read-only stays, the rest is as it was.
  DriveState after = StateOf(root);
  for (const auto& finding : scan.findings) {
    if (!finding.checked && finding.proposal != Proposal::RenameToRecovered) {
      EXPECT_TRUE(after[finding.path] == before.at(finding.path)) << "unchecked, so left alone: " << Utf8(finding.path);
    } else if (finding.proposal == Proposal::MoveToQuarantine) {
      EXPECT_FALSE(Exists(L"\\\\?\\" + finding.path)) << Utf8(finding.path);
      const std::wstring kept = report.quarantineFolder + finding.path.substr(2) + repair::drive_check::kQuarantinedSuffix;
      const std::string& was = before.at(finding.path);
      EXPECT_TRUE(ReadBytes(L"\\\\?\\" + kept) == was.substr(was.find(' ') + 1)) << Utf8(kept);
      const auto record = ReadBytes(report.quarantineFolder + finding.path.substr(2) + repair::drive_check::kRecordSuffix);
      EXPECT_NE(record.value_or("").find("From: " + Utf8(finding.path)), std::string::npos) << Utf8(finding.path);
    } else if (finding.proposal == Proposal::MakeVisible) {
      EXPECT_EQ(Attributes(L"\\\\?\\" + finding.path) & kHiddenSystem, 0u) << Utf8(finding.path);
    }
  }
  EXPECT_EQ(Attributes(OnDrive(kDrive, L"hidden.txt")), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  for (const wchar_t* kept : {L"System Volume Information", L"System Volume Information\\tracking.log", L"RECYCLER",
                              L"Music\\desktop.ini", L"Notepad.lnk", L"Letter.lnk"}) {
    EXPECT_TRUE(after[OnDrive(kDrive, kept)] == before.at(OnDrive(kDrive, kept))) << Utf8(kept);
  }
  // Nothing kept in the quarantine starts on a double-click.
  for (const auto& [path, state] : StateOf(report.quarantineFolder)) {
    const bool data = path.ends_with(repair::drive_check::kQuarantinedSuffix);
    const bool record = path.ends_with(repair::drive_check::kRecordSuffix);
    EXPECT_TRUE(state.starts_with("folder") || data || record) << Utf8(path);
  }
  for (const auto& finding : ScanOf(kDrive).findings) {
    EXPECT_FALSE(finding.checked) << "a second scan finds nothing left to do: " << Utf8(finding.path);
  }

  const journal::GroupId ids[] = {*report.group};
  const auto undo = journal::Undo(ids, [](const journal::Group&) { return journal::OnConflict::UndoAnyway; });
  EXPECT_TRUE(undo.failures.empty()) << (undo.failures.empty() ? "" : Utf8(undo.failures.front()));
  EXPECT_EQ(Differences(StateOf(root), before), "") << "undo puts every file and attribute back";
}

// The rename of a blank-named folder, asked for, is one more item of the group:
// undo names the folder back, with all the clean made visible inside it hidden again.
TEST_F(CleanTest, UndoNamesARenamedFolderBack) {
  Infect(kDrive);
  const std::wstring root = OnDrive(kDrive, L"").substr(0, 2);
  const DriveState before = StateOf(root);
  const ScanResult scan = ScanOf(kDrive);
  const auto everything = std::make_unique<bool[]>(scan.findings.size());
  std::fill_n(everything.get(), scan.findings.size(), true);
  const CleanReport report = Clean(scan, std::span<const bool>(everything.get(), scan.findings.size()));
  EXPECT_EQ(report.renamed, 1u) << Failures(report);
  EXPECT_TRUE(Exists(OnDrive(kDrive, L"Recovered items")));
  ASSERT_TRUE(report.group);

  const journal::GroupId ids[] = {*report.group};
  const auto undo = journal::Undo(ids, [](const journal::Group&) { return journal::OnConflict::Stop; });
  EXPECT_FALSE(undo.stopped) << "nothing changed since the clean, so nothing is asked";
  EXPECT_TRUE(undo.failures.empty()) << (undo.failures.empty() ? "" : Utf8(undo.failures.front()));
  EXPECT_EQ(Differences(StateOf(root), before), "");
}

TEST_F(CleanTest, WhatCannotBeDoneIsReportedAndStays) {
  struct Case {
    const wchar_t* what;
    wchar_t drive;
    bool blockQuarantine;
    bool holdScript;
    std::size_t madeVisible;
    std::size_t quarantined;
    std::size_t failed;
  };
  const Case cases[] = {
      {L"a file in use", kDrive, false, true, 1, 2, 1},
      {L"a quarantine that cannot be written", kDrive, true, false, 1, 0, 3},
      {L"a write-protected drive", kReadOnlyDrive, false, false, 0, 0, 1},
  };
  for (const Case& c : cases) {
    TearDown();
    if (c.drive == kDrive) {
      MakeFolder(OnDrive(kDrive, L"Photos"), kHiddenSystem);
      WriteBytes(OnDrive(kDrive, L"worm.vbs"), kWormVbs, kHiddenSystem);
      MakeShortcut(OnDrive(kDrive, L"Photos.lnk"), L"C:\\windows\\system32\\wscript.exe", L"worm.vbs");
      WriteBytes(OnDrive(kDrive, L"autorun.inf"), "[autorun]\r\nopen=wscript worm.vbs\r\n");
    }
    if (c.blockQuarantine) WriteBytes(quarantine, "not a folder");
    const DriveState before = StateOf(std::wstring(1, c.drive) + L":");
    const HANDLE held = c.holdScript ? CreateFileW(OnDrive(kDrive, L"worm.vbs").c_str(), GENERIC_READ, 0, nullptr,
                                                   OPEN_EXISTING, 0, nullptr)
                                     : INVALID_HANDLE_VALUE;
    const ScanResult scan = ScanOf(c.drive);
    const CleanReport report = CleanChecked(scan);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(report.madeVisible, c.madeVisible) << Utf8(c.what);
    EXPECT_EQ(report.quarantined, c.quarantined) << Utf8(c.what);
    EXPECT_EQ(report.failures.size(), c.failed) << Utf8(c.what) << "\n" << Failures(report);
    const DriveState after = StateOf(std::wstring(1, c.drive) + L":");
    for (const auto& failure : report.failures) {
      EXPECT_EQ(after.count(failure.path), 1u) << Utf8(c.what) << ": stays " << Utf8(failure.path);
      if (after.count(failure.path)) {
        EXPECT_TRUE(after.at(failure.path) == before.at(failure.path)) << Utf8(c.what) << ": unchanged " << Utf8(failure.path);
      }
    }
    if (c.drive == kReadOnlyDrive && !report.failures.empty()) {
      EXPECT_EQ(report.failures.front().reason, L"the drive is write-protected");
      EXPECT_TRUE(StateOf(repair::drive_check::QuarantineRoot()).empty()) << "nothing copied off a drive that stays";
    }
    const std::wstring message = repair::drive_check::DescribeClean(report, c.drive);
    for (const auto& failure : report.failures) {
      EXPECT_NE(message.find(failure.path + L": " + failure.reason), std::wstring::npos) << Utf8(message);
    }
  }
}

}  // namespace
