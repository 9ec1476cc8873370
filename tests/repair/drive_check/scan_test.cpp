#include "repair/drive_check/scan.h"

#include "infected_drive.h"
#include "repair/drive_check/shortcut.h"

namespace {

using namespace drive_check_tests;
using repair::drive_check::Progress;
using repair::drive_check::Scan;
using repair::drive_check::ScanEnd;

class ScanTest : public testing::Test {
 protected:
  void SetUp() override {
    ClearDrive(kDrive);
    ClearDrive(kSecondDrive);
  }
  void TearDown() override {
    ClearDrive(kDrive);
    ClearDrive(kSecondDrive);
  }
  repair::drive_check::ComScope com;
};

TEST_F(ScanTest, FindsWhatTheWormDidAndNothingElse) {
  Infect(kDrive);
  const std::wstring before = OnDrive(kDrive, L"worm.vbs");
  Progress progress;
  progress.intervalMs = 0;
  std::uint64_t reports = 0;
  progress.onProgress = [&](std::uint64_t, const std::wstring&) { ++reports; };
  const auto result = Scan(kDrive, {}, progress);
  ASSERT_EQ(result.end, ScanEnd::Done);
  EXPECT_EQ(Lines(result.findings), Expected(kDrive));
  EXPECT_GT(reports, 10u) << "progress reported per folder when not throttled";
  EXPECT_TRUE(std::is_sorted(result.findings.begin(), result.findings.end(),
                             [](const Finding& a, const Finding& b) { return a.kind < b.kind; }))
      << "grouped by kind";
  for (const auto& finding : result.findings) {
    if (finding.kind == FindingKind::BlankFolder) {
      EXPECT_EQ(finding.details.rfind(L"3 items inside", 0), 0u) << Utf8(finding.details);
    }
    if (finding.path == OnDrive(kDrive, L"Docs\\helper\\run.js")) {
      EXPECT_EQ(finding.details, L"started by " + OnDrive(kDrive, L"Docs\\Report.lnk"));
    }
  }
  EXPECT_EQ(Attributes(before), kHiddenSystem | FILE_ATTRIBUTE_READONLY) << "a scan changes nothing";

  // Cancelled from inside the walk: it stops between items and says so.
  Progress cancelling;
  cancelling.intervalMs = 0;
  cancelling.onProgress = [&](std::uint64_t, const std::wstring&) { cancelling.cancel = true; };
  EXPECT_EQ(Scan(kDrive, {}, cancelling).end, ScanEnd::Cancelled);
}

TEST_F(ScanTest, KorvanesOwnAutorunIsNoFinding) {
  struct Case {
    const char* autorun;
    bool icon;
    FindingKind expected;  // Link stands for "no finding at all"
  };
  const Case cases[] = {
      {"\"\"\r\n", false, FindingKind::Link},
      {"[Autorun]\r\nicon=icon.ico\r\n", true, FindingKind::Link},
      {"[Autorun]\r\nicon=icon.ico\r\n", false, FindingKind::Hidden},
      {"[autorun]\r\nlabel=Stick\r\n", false, FindingKind::Hidden},
      {"[autorun]\r\nshellexecute=x.exe\r\n", true, FindingKind::Autorun},
      {"[AUTORUN]\r\n  Shell\\Explore\\Command = x.exe\r\n", false, FindingKind::Autorun},
      {"; open=x.exe\r\n[other]\r\nopen=x.exe\r\n", false, FindingKind::Hidden},
  };
  for (const Case& c : cases) {
    ClearDrive(kSecondDrive);
    WriteBytes(OnDrive(kSecondDrive, L"autorun.inf"), c.autorun, kHiddenSystem);
    if (c.icon) WriteBytes(OnDrive(kSecondDrive, L"icon.ico"), "icon", kHiddenSystem);
    Progress progress;
    const auto result = Scan(kSecondDrive, {}, progress);
    std::multiset<std::string> expected;
    if (c.expected == FindingKind::Autorun) {
      expected.insert(Line(c.expected, Proposal::MoveToQuarantine, true, OnDrive(kSecondDrive, L"autorun.inf")));
    } else if (c.expected == FindingKind::Hidden) {
      expected.insert(Line(c.expected, Proposal::MakeVisible, true, OnDrive(kSecondDrive, L"autorun.inf")));
    }
    if (c.icon && c.expected != FindingKind::Link) {
      expected.insert(Line(FindingKind::Hidden, Proposal::MakeVisible, true, OnDrive(kSecondDrive, L"icon.ico")));
    }
    EXPECT_EQ(Lines(result.findings), expected) << c.autorun;
  }
}

TEST_F(ScanTest, MissingEmptyAndReadOnlyDrives) {
  Progress progress;
  const auto missing = Scan(kMissingDrive, {}, progress);
  EXPECT_EQ(missing.end, ScanEnd::DriveGone);
  EXPECT_TRUE(missing.findings.empty());

  const auto empty = Scan(kSecondDrive, {}, progress);
  EXPECT_EQ(empty.end, ScanEnd::Done);
  EXPECT_EQ(empty.items, 0u);
  EXPECT_TRUE(empty.findings.empty());

  // The read-only drive holds an autorun.inf with open=virus.exe: listed all the same.
  const auto readOnly = Scan(kReadOnlyDrive, {}, progress);
  EXPECT_EQ(readOnly.end, ScanEnd::Done);
  EXPECT_EQ(Lines(readOnly.findings),
            std::multiset<std::string>{
                Line(FindingKind::Autorun, Proposal::MoveToQuarantine, true, OnDrive(kReadOnlyDrive, L"autorun.inf"))});
}

}  // namespace
