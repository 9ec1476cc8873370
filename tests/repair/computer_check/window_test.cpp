#include "repair/computer_check_window.h"

#include <map>
#include <thread>

#include "repair/fix_page_fixture.h"
#include "seeded_computer.h"

namespace {

using namespace computer_tests;
using repair::FrmCheckComputer;

void WaitWhileBusy(const FrmCheckComputer& window, unsigned ms) {
  const ULONGLONG until = GetTickCount64() + ms;
  while (window.Busy() && GetTickCount64() < until) {
    Pump();
    Sleep(10);
  }
  ASSERT_FALSE(window.Busy()) << "the window's worker did not end";
}

class CheckComputerWindowTest : public repair_tests::FixPageTest {};

// Opened from the Fix page and from Tools; worm rows checked, unusual ones
// not; a clean tells its counts, then a second look tells what came back.
TEST_F(CheckComputerWindowTest, ListsFindingsCleansTheCheckedOnesAndLooksAgain) {
  Seeded seeded;
  seeded.File(L"{appdata}\\kvworm.vbs", kInertScript);
  seeded.Text(kHkcu, kRun, L"KvWormVbs", L"wscript.exe //B \"{appdata}\\kvworm.vbs\"");
  seeded.Text(kHkcu, kRun, L"KvMissing", L"C:\\KvNowhere\\gone.exe");
  Click(Page().CmdCheckComputer);
  ASSERT_TRUE(platform::IsLoaded<FrmCheckComputer>());
  auto& window = platform::Instance<FrmCheckComputer>();
  EXPECT_EQ(window.Caption(), L"Check This Computer");
  EXPECT_TRUE(form_->InvokeMenu(L"Check This Computer..."));
  EXPECT_EQ(&platform::Instance<FrmCheckComputer>(), &window);

  Click(window.CmdScan);
  WaitWhileBusy(window, 30000);
  // Within a kind, rows follow the registry's own order.
  std::map<std::string, bool> rows;
  for (int row = 0; row < window.LstFindings.RowCount(); ++row) {
    rows[Utf8(window.LstFindings.Cell(row, 1))] = window.LstFindings.Checked(row);
  }
  const std::map<std::string, bool> expected = {{Utf8(Place(Hkcu(kRun, L"KvWormVbs"))), true},
                                                {Utf8(Place(Hkcu(kRun, L"KvMissing"))), false}};
  EXPECT_EQ(rows, expected) << Utf8(window.LblProgress.Text());
  EXPECT_EQ(Utf8(window.LstFindings.Cell(0, 0)), "Started at logon") << "the kind names its group once";
  EXPECT_EQ(Utf8(window.LstFindings.Cell(1, 0)), "");

  window.secondLookMs = 500;
  messages.AnswerNext(platform::MsgResult::No);
  std::thread worm([] {
    Sleep(150);
    WriteSz(kHkcu, kRun, L"KvWormVbs", Place(L"wscript.exe //B \"{appdata}\\kvworm.vbs\""));
  });
  Click(window.CmdClean);
  worm.join();
  WaitWhileBusy(window, 10000);
  const auto texts = messages.Texts();
  ASSERT_EQ(texts.size(), 2u) << testing::PrintToString(messages.Shown());
  EXPECT_NE(texts[0].find(L"Registry values removed or set back: 1\r\nMoved to quarantine: 1"), std::wstring::npos)
      << Utf8(texts[0]);
  EXPECT_NE(texts[0].find(L"Tools > Undo Changes"), std::wstring::npos) << Utf8(texts[0]);
  EXPECT_NE(texts[1].find(L"keeps setting this again:\r\n    " + Place(Hkcu(kRun, L"KvWormVbs"))), std::wstring::npos)
      << Utf8(texts[1]);
  EXPECT_SZ(kHkcu, kRun, L"KvMissing", L"C:\\KvNowhere\\gone.exe") << "an unchecked row is left alone";
}

}  // namespace
