#include "repair/drive_check_window.h"
#include "repair/drive_check_words.h"

#include "../fix_page_fixture.h"
#include "infected_drive.h"
#include "repair/drive_check/shortcut.h"

namespace {

using namespace drive_check_tests;
using repair::FrmCheckDrive;

class CheckDriveWindowTest : public repair_tests::FixPageTest {
 protected:
  void SetUp() override {
    ClearDrive(kDrive);
    ClearDrive(kSecondDrive);
    FixPageTest::SetUp();
  }
  void TearDown() override {
    FixPageTest::TearDown();
    ClearDrive(kDrive);
    ClearDrive(kSecondDrive);
  }
  static void ScanAndWait(FrmCheckDrive& window) {
    Click(window.CmdScan);
    const ULONGLONG until = GetTickCount64() + 30000;
    while (window.Scanning() && GetTickCount64() < until) {
      Pump();
      Sleep(10);
    }
    ASSERT_FALSE(window.Scanning()) << "the scan did not end";
  }
  repair::drive_check::ComScope com;
};

TEST_F(CheckDriveWindowTest, OpensOnTheFixPagesDriveScansAndListsTheFindings) {
  Infect(kDrive);
  Page().TxtDriveletter.SetText(L"e");
  Click(Page().CmdCheckDrive);
  ASSERT_TRUE(platform::IsLoaded<FrmCheckDrive>());
  auto& window = platform::Instance<FrmCheckDrive>();
  EXPECT_TRUE(window.Visible());
  EXPECT_EQ(window.Caption(), L"Check a Drive");
  EXPECT_EQ(window.CboDrive.SelectedText().substr(0, 2), L"E:");
  for (const auto& item : window.CboDrive.Items()) EXPECT_NE(item.substr(0, 2), L"M:") << "a missing drive is not listed";

  ScanAndWait(window);
  const auto expected = Expected(kDrive);
  ASSERT_EQ(window.LstFindings.RowCount(), static_cast<int>(expected.size())) << Utf8(window.LblProgress.Text());
  std::multiset<std::string> rows;
  std::set<int> groups;
  std::optional<int> group;
  for (int row = 0; row < window.LstFindings.RowCount(); ++row) {
    const auto& finding = window.LastScan().findings[window.Rows().FindingIndex(row)];
    EXPECT_EQ(window.LstFindings.Cell(row, 1), repair::ShownPath(finding.path));
    EXPECT_EQ(window.LstFindings.Checked(row), finding.checked) << Utf8(finding.path);
    if (repair::GroupRank(finding) != group) {
      EXPECT_EQ(window.LstFindings.Cell(row, 0), repair::GroupCaption(finding)) << "a group starts";
      EXPECT_EQ(groups.count(repair::GroupRank(finding)), 0u) << "each group is listed once";
      group = repair::GroupRank(finding);
      groups.insert(*group);
    }
    rows.insert(Line(finding));
  }
  EXPECT_EQ(rows, expected);
  EXPECT_TRUE(IsWindowEnabled(window.CmdClean.Hwnd()));

  // The menu entry brings the same window forward; an empty drive says so in one line.
  Page().TxtDriveletter.SetText(L"F");
  EXPECT_TRUE(form_->InvokeMenu(L"Check a Drive..."));
  EXPECT_EQ(&platform::Instance<FrmCheckDrive>(), &window);
  EXPECT_EQ(window.CboDrive.SelectedText().substr(0, 2), L"F:");
  ScanAndWait(window);
  EXPECT_EQ(window.LstFindings.RowCount(), 0);
  EXPECT_EQ(window.LblProgress.Text(), L"Nothing was found on drive F: among 0 items.");
  EXPECT_FALSE(IsWindowEnabled(window.CmdClean.Hwnd()));
  EXPECT_TRUE(repair_tests::Showed(messages, {}));
}

}  // namespace
