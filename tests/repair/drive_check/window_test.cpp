#include "repair/drive_check_window.h"

#include <dbt.h>

#include <atomic>
#include <thread>

#include "repair/drive_check_words.h"
#include "shell/undo_window.h"
#include "system/system_text.h"

#include "../fix_page_fixture.h"
#include "drive_state.h"
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
  static void WaitWhileBusy(FrmCheckDrive& window) {
    const ULONGLONG until = GetTickCount64() + 60000;
    while (window.Busy() && GetTickCount64() < until) {
      Pump();
      Sleep(10);
    }
    ASSERT_FALSE(window.Busy()) << "the scan or clean did not end";
  }
  static void ScanAndWait(FrmCheckDrive& window) {
    Click(window.CmdScan);
    WaitWhileBusy(window);
  }
  // The person picks a drive in the list, as a click on it reports.
  static void PickDrive(FrmCheckDrive& window, wchar_t letter) {
    const auto& items = window.CboDrive.Items();
    const auto at = std::find_if(items.begin(), items.end(), [&](const auto& item) { return item[0] == letter; });
    ASSERT_NE(at, items.end());
    window.CboDrive.SetListIndex(static_cast<int>(at - items.begin()));
    SendMessageW(window.Hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window.CboDrive.Hwnd()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(window.CboDrive.Hwnd()));
    Pump();
  }
  // A key pressed and let go with the focus on the control, through the window's keyboard handling.
  static void Key(const platform::Control& control, WPARAM key) {
    SetFocus(control.Hwnd());
    for (const UINT message : {WM_KEYDOWN, WM_KEYUP}) {
      MSG msg{control.Hwnd(), message, key, message == WM_KEYDOWN ? 1 : 0xC0000001, 0, {}};
      if (!IsDialogMessageW(GetAncestor(control.Hwnd(), GA_ROOT), &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }
  static int RowOf(const FrmCheckDrive& window, const std::wstring& path, Proposal proposal) {
    for (int row = 0; row < window.Rows().Count(); ++row) {
      if (window.Rows().At(row).path == path && window.Rows().At(row).proposal == proposal) return row;
    }
    return -1;
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

// Tab to Scan and Space; the focus waits on Cancel, then lands on the first
// row; Space toggles it; Tab to Clean, Space, the question answered; Esc closes.
TEST_F(CheckDriveWindowTest, KeyboardJourneyScansTogglesAndCleans) {
  Infect(kDrive);
  repair::ShowCheckDrive(L"E:");
  auto& window = platform::Instance<FrmCheckDrive>();
  Pump();
  SetFocus(window.CboDrive.Hwnd());
  ASSERT_EQ(TabFrom(window, window.CboDrive), window.CmdScan.Hwnd());
  Key(window.CmdScan, VK_SPACE);
  EXPECT_TRUE(window.Scanning());
  EXPECT_EQ(GetFocus(), window.CmdCancel.Hwnd()) << "the focus leaves Scan as it is disabled";
  WaitWhileBusy(window);
  ASSERT_GT(window.LstFindings.RowCount(), 0);
  EXPECT_EQ(GetFocus(), window.LstFindings.Hwnd());
  EXPECT_EQ(window.LstFindings.FocusedRow(), 0);
  EXPECT_EQ(window.LstFindings.Selected(), std::vector<int>{0});
  const Finding first = window.Rows().At(0);
  ASSERT_TRUE(window.LstFindings.Checked(0)) << Utf8(first.path);
  Key(window.LstFindings, VK_SPACE);
  EXPECT_FALSE(window.LstFindings.Checked(0)) << "Space unchecks the row";

  ASSERT_EQ(TabFrom(window, window.LstFindings), window.TxtDetails.Hwnd());
  ASSERT_EQ(TabFrom(window, window.TxtDetails), window.CmdClean.Hwnd());
  Key(window.CmdClean, VK_SPACE);
  EXPECT_TRUE(window.Cleaning()) << "the clean runs on its worker";
  WaitWhileBusy(window);
  ASSERT_EQ(messages.Calls().size(), 2u);
  EXPECT_EQ(messages.Calls()[0].buttons, platform::MsgButtons::YesNo) << "asked first";
  EXPECT_EQ(messages.Calls()[0].text.rfind(L"Clean drive E: now?", 0), 0u) << Utf8(messages.Calls()[0].text);
  EXPECT_EQ(messages.Calls()[1].text.rfind(L"Drive E: was cleaned.", 0), 0u) << Utf8(messages.Calls()[1].text);
  EXPECT_TRUE(Exists(first.path)) << "the unchecked row is left";
  EXPECT_FALSE(Exists(OnDrive(kDrive, L"worm.vbs")));
  EXPECT_EQ(GetFocus(), window.LstFindings.Hwnd()) << "the rows left keep the focus";

  Key(window.LstFindings, VK_ESCAPE);
  Pump();
  EXPECT_FALSE(platform::IsLoaded<FrmCheckDrive>()) << "Esc closes the window when nothing runs";
}

// The list belongs to one drive at one moment; each row can be read whole;
// what the person left unchecked stays listed after the clean.
TEST_F(CheckDriveWindowTest, HonestState) {
  Infect(kDrive);
  repair::ShowCheckDrive(L"E");
  auto& window = platform::Instance<FrmCheckDrive>();
  ScanAndWait(window);
  ASSERT_GT(window.LstFindings.RowCount(), 0);
  EXPECT_TRUE(IsWindowEnabled(window.CmdClean.Hwnd()));
  PickDrive(window, kSecondDrive);
  EXPECT_EQ(window.LstFindings.RowCount(), 0) << "another drive chosen";
  EXPECT_FALSE(IsWindowEnabled(window.CmdClean.Hwnd()));
  PickDrive(window, kDrive);
  ScanAndWait(window);
  // The Windows drive is never chosen for the person; chosen by hand, it cannot be scanned.
  repair::ShowCheckDrive(L"C:");
  EXPECT_EQ(window.CboDrive.ListIndex(), -1) << Utf8(window.CboDrive.SelectedText());
  EXPECT_FALSE(IsWindowEnabled(window.CmdScan.Hwnd()));
  EXPECT_EQ(window.LblProgress.Text(), L"No removable drive is here. Plug one in, or choose a drive in the list.");
  PickDrive(window, L'C');
  EXPECT_FALSE(IsWindowEnabled(window.CmdScan.Hwnd()));
  EXPECT_NE(window.LblProgress.Text().find(L"Windows runs from"), std::wstring::npos) << Utf8(window.LblProgress.Text());
  // Asked from outside for a drive it does not check, the window says why.
  for (const wchar_t* drive : {L"C:", L"M:"}) {
    window.CboDrive.SetListIndex(-1);
    repair::CheckDriveNow(drive);
    EXPECT_FALSE(window.Scanning()) << Utf8(drive);
    const std::wstring why = drive[0] == L'C' ? L"Windows runs from" : L"Drive M: is not here";
    EXPECT_NE(window.LblProgress.Text().find(why), std::wstring::npos) << Utf8(window.LblProgress.Text());
  }
  PickDrive(window, kDrive);
  ScanAndWait(window);
  // A stick that arrives is chosen, and the list of another drive goes.
  DEV_BROADCAST_VOLUME arrived{sizeof arrived, DBT_DEVTYP_VOLUME, 0, 1u << (kSecondDrive - L'A'), 0};
  SendMessageW(window.Hwnd(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&arrived));
  EXPECT_EQ(window.CboDrive.SelectedText().substr(0, 2), L"F:");
  EXPECT_EQ(window.LstFindings.RowCount(), 0) << "a drive arrived";
  repair::CheckDriveNow(L"E:\\");
  EXPECT_TRUE(window.Scanning()) << "asked from outside, the scan starts at once";
  WaitWhileBusy(window);

  // The details pane: a shortcut's whole command, a blank name made visible.
  const int shortcut = RowOf(window, OnDrive(kDrive, L"Photos.lnk"), Proposal::MoveToQuarantine);
  ASSERT_GE(shortcut, 0);
  window.LstFindings.SelectOnly(shortcut);
  Pump();
  EXPECT_NE(window.TxtDetails.Text().find(L"It runs: C:\\windows\\system32\\wscript.exe //B \"worm.vbs\" Photos"),
            std::wstring::npos)
      << Utf8(window.TxtDetails.Text());
  const int blank = RowOf(window, OnDrive(kDrive, kBlank), Proposal::MakeVisible);
  ASSERT_GE(blank, 0);
  EXPECT_EQ(window.LstFindings.Cell(blank, 1), OnDrive(kDrive, L"[blank name: no-break space]"));

  // Unchecking a hidden item whose stand-in goes to the quarantine warns; Yes leaves both.
  const std::wstring photos = OnDrive(kDrive, L"Photos");
  const int photosRow = RowOf(window, photos, Proposal::MakeVisible);
  ASSERT_GE(photosRow, 0);
  messages.AnswerNext(platform::MsgResult::Yes);
  window.LstFindings.SelectOnly(photosRow);
  Key(window.LstFindings, VK_SPACE);
  ASSERT_EQ(messages.Calls().size(), 1u);
  EXPECT_NE(messages.Calls()[0].text.find(L"(stand-in: " + photos + L".lnk)"), std::wstring::npos)
      << Utf8(messages.Calls()[0].text);
  // A click on the box changes it once; elsewhere on the row, not at all.
  const int hiddenRow = RowOf(window, OnDrive(kDrive, L"hidden.txt"), Proposal::MakeVisible);
  RECT bounds{LVIR_BOUNDS};
  SendMessageW(window.LstFindings.Hwnd(), LVM_GETITEMRECT, hiddenRow, reinterpret_cast<LPARAM>(&bounds));
  const int middle = (bounds.top + bounds.bottom) / 2;
  const auto click = [&](POINT at) {
    // The button's release waits in the queue, so the list's wait for a drag ends at once.
    PostMessageW(window.LstFindings.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(window.LstFindings.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    Pump();
  };
  click({bounds.left + 8, middle});
  EXPECT_FALSE(window.LstFindings.Checked(hiddenRow));
  click({bounds.left + 400, middle});
  EXPECT_FALSE(window.LstFindings.Checked(hiddenRow)) << "a click beside the box";
  EXPECT_FALSE(window.LstFindings.Checked(RowOf(window, photos + L".lnk", Proposal::MoveToQuarantine)));

  messages.Clear();
  Click(window.CmdClean);
  WaitWhileBusy(window);
  std::vector<std::string> left;
  for (int row = 0; row < window.LstFindings.RowCount(); ++row) {
    left.push_back(Utf8(window.LstFindings.Cell(row, 1) + L" | " + window.LstFindings.Cell(row, 2)));
  }
  const auto shown = [](const std::wstring& path, const wchar_t* outcome) {
    return Utf8(repair::ShownPath(path) + L" | " + outcome);
  };
  EXPECT_EQ(std::multiset<std::string>(left.begin(), left.end()),
            (std::multiset<std::string>{shown(photos + L".lnk", L"Left as it was"), shown(photos, L"Left as it was"),
                                        shown(OnDrive(kDrive, L"hidden.txt"), L"Left as it was"),
                                        shown(OnDrive(kDrive, kBlank), L"Left as it was")}));
  EXPECT_EQ(Attributes(photos), kHiddenSystem | FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(Exists(photos + L".lnk"));
  EXPECT_FALSE(Exists(OnDrive(kDrive, L"worm.vbs")));
  EXPECT_FALSE(IsWindowEnabled(window.CmdClean.Hwnd())) << "a new scan comes first";
  EXPECT_EQ(window.PrgScan.Percent(), 0) << "the bar does not stay full";
}

// A click on a header sorts the rows within their groups; a second turns the order round.
TEST_F(CheckDriveWindowTest, HeaderClickSortsWithinTheGroups) {
  Infect(kDrive);
  repair::ShowCheckDrive(L"E");
  auto& window = platform::Instance<FrmCheckDrive>();
  ScanAndWait(window);
  for (const bool ascending : {true, false}) {
    NMLISTVIEW click{{window.LstFindings.Hwnd(), static_cast<UINT_PTR>(GetDlgCtrlID(window.LstFindings.Hwnd())),
                      LVN_COLUMNCLICK}, -1, 1};
    SendMessageW(window.Hwnd(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    std::vector<std::string> groups;
    for (int row = 0; row < window.LstFindings.RowCount(); ++row) {
      if (!window.LstFindings.Cell(row, 0).empty()) groups.push_back(Utf8(window.LstFindings.Cell(row, 0)));
      if (row == 0 || repair::GroupRank(window.Rows().At(row)) != repair::GroupRank(window.Rows().At(row - 1))) continue;
      const std::wstring before = window.Rows().At(row - 1).path;
      const std::wstring path = window.Rows().At(row).path;
      const int order = CompareStringOrdinal(before.c_str(), -1, path.c_str(), -1, TRUE);
      EXPECT_TRUE(ascending ? order != CSTR_GREATER_THAN : order != CSTR_LESS_THAN)
          << Utf8(before) << " then " << Utf8(path) << (ascending ? " ascending" : " descending");
    }
    EXPECT_EQ(groups, (std::vector<std::string>{"Shortcuts that run the worm", "The worm's files",
                                                "An autorun.inf that runs the worm", "Folders with a blank name",
                                                "Blank-named folders to rename", "Hidden items"}));
  }
}

// Esc during a clean stops it between items; what was not done stays listed, exactly.
TEST_F(CheckDriveWindowTest, StoppedCleanListsWhatItDidNotDo) {
  constexpr int kFiles = 1500;
  const std::wstring folder = OnDrive(kDrive, L"photos");
  MakeFolder(folder);
  std::vector<std::wstring> files;
  for (int i = 0; i < kFiles; ++i) {
    files.push_back(folder + L"\\img" + std::to_wstring(i) + L".jpg");
    WriteBytes(files.back(), "x", kHiddenSystem);
  }
  repair::ShowCheckDrive(L"E");
  auto& window = platform::Instance<FrmCheckDrive>();
  ScanAndWait(window);
  ASSERT_EQ(window.LstFindings.RowCount(), kFiles);
  Click(window.CmdClean);
  ASSERT_TRUE(window.Cleaning());
  Key(window.CmdCancel, VK_ESCAPE);
  WaitWhileBusy(window);
  ASSERT_TRUE(platform::IsLoaded<FrmCheckDrive>()) << "Esc stops the clean; the window stays";
  std::set<std::wstring> hidden;
  for (const auto& file : files) {
    if (Attributes(file) & FILE_ATTRIBUTE_HIDDEN) hidden.insert(file);
  }
  std::set<std::wstring> listed;
  for (int row = 0; row < window.LstFindings.RowCount(); ++row) {
    EXPECT_EQ(window.LstFindings.Cell(row, 2), L"Left as it was");
    listed.insert(window.Rows().At(row).path);
  }
  EXPECT_EQ(listed, hidden);
  EXPECT_FALSE(listed.empty()) << "the clean was stopped before its end";
  ASSERT_FALSE(messages.Texts().empty());
  EXPECT_NE(messages.Texts().back().find(L"The clean was stopped"), std::wstring::npos) << Utf8(messages.Texts().back());
}

// A larger window gives its room to the list (the last column filling it) and to the details.
TEST_F(CheckDriveWindowTest, ResizingGivesTheRoomToTheListAndTheDetails) {
  repair::ShowCheckDrive(L"E");
  auto& window = platform::Instance<FrmCheckDrive>();
  Pump();
  EXPECT_TRUE(GetWindowLongPtrW(window.Hwnd(), GWL_STYLE) & WS_THICKFRAME);
  const auto rectOf = [](const platform::Control& control) {
    RECT rect{};
    GetWindowRect(control.Hwnd(), &rect);
    return rect;
  };
  const RECT list = rectOf(window.LstFindings);
  const RECT details = rectOf(window.TxtDetails);
  const RECT clean = rectOf(window.CmdClean);
  RECT frame{};
  GetWindowRect(window.Hwnd(), &frame);
  SetWindowPos(window.Hwnd(), nullptr, 0, 0, frame.right - frame.left + 200, frame.bottom - frame.top + 100,
               SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  EXPECT_EQ(rectOf(window.LstFindings).right - list.right, 200);
  EXPECT_EQ(rectOf(window.LstFindings).bottom - list.bottom, 100);
  EXPECT_EQ(rectOf(window.TxtDetails).right - details.right, 200);
  EXPECT_EQ(rectOf(window.TxtDetails).top - details.top, 100);
  EXPECT_EQ(rectOf(window.CmdClean).left - clean.left, 200);
  RECT client{};
  GetClientRect(window.LstFindings.Hwnd(), &client);
  int columns = 0;
  for (int i = 0; i < 4; ++i) columns += window.LstFindings.ColumnWidthPx(i);
  EXPECT_EQ(columns, client.right) << "the last column fills the list";
}

// Thousands of findings: every row listed, and the window answers at every
// moment of the scan, the filling of the list and the clean.
TEST_F(CheckDriveWindowTest, ThousandsOfHiddenFilesListedWhileTheWindowAnswers) {
  constexpr int kFiles = 3000;
  const std::wstring folder = OnDrive(kDrive, L"photos");
  MakeFolder(folder);
  for (int i = 0; i < kFiles; ++i) WriteBytes(folder + L"\\img" + std::to_wstring(i) + L".jpg", "x", kHiddenSystem);
  repair::ShowCheckDrive(L"E");
  auto& window = platform::Instance<FrmCheckDrive>();
  Pump();
  std::atomic<bool> done{false};
  std::atomic<ULONGLONG> slowest{0};
  std::atomic<bool> pingerEnded{false};
  std::thread pinger([&] {
    while (!done) {
      const ULONGLONG start = GetTickCount64();
      DWORD_PTR answer = 0;
      SendMessageTimeoutW(window.Hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer);
      slowest = std::max<ULONGLONG>(slowest, GetTickCount64() - start);
      Sleep(20);
    }
    pingerEnded = true;
  });
  Click(window.CmdScan);
  const ULONGLONG until = GetTickCount64() + 120000;
  while ((window.Scanning() || window.LstFindings.RowCount() < kFiles) && GetTickCount64() < until) {
    Pump();
    Sleep(10);
  }
  const ULONGLONG slowestScan = slowest;
  EXPECT_EQ(window.LstFindings.RowCount(), kFiles);
  Click(window.CmdClean);
  ASSERT_TRUE(window.Cleaning());
  // A check asked for from outside waits for the clean to end.
  repair::CheckDriveNow(L"F:");
  EXPECT_FALSE(window.Scanning());
  EXPECT_EQ(window.CboDrive.SelectedText().substr(0, 2), L"E:");
  WaitWhileBusy(window);
  done = true;
  // The last ping is answered before the pinger is waited for.
  while (!pingerEnded) {
    Pump();
    Sleep(10);
  }
  pinger.join();
  EXPECT_LT(slowestScan, 2000u) << "ms the window took to answer while it scanned and filled its list";
  EXPECT_LT(slowest, 2000u) << "ms the window took to answer while it cleaned";
  ASSERT_FALSE(messages.Texts().empty());
  EXPECT_EQ(messages.Texts().back().rfind(L"Drive E: was cleaned.\r\n\r\nMade visible: 3000\r\n", 0), 0u)
      << Utf8(messages.Texts().back());
  EXPECT_EQ(window.LastScan().drive, kSecondDrive) << "the check asked for ran once the clean ended";
  EXPECT_EQ(Attributes(folder + L"\\img2999.jpg"), 0u);
}

// The clean's group in the Undo window: named with the label the stick had when
// it was cleaned, read once the stick is gone, and counted as the closing
// message counted it; undone from there, the drive is as it was.
TEST_F(CheckDriveWindowTest, UndoListNamesAndCountsTheCleanAsItsMessageDid) {
  Infect(kDrive);
  // Wine gives a folder mapped to a letter no label, whatever SetVolumeLabelW
  // or its mount manager are told; Windows gives the stick's.
  wchar_t label[MAX_PATH + 1] = {};
  ASSERT_TRUE(GetVolumeInformationW(L"E:\\", label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0));
  const std::wstring named = *label ? L" (" + platform::Printable(label, 32) + L")" : L"";
  const DriveState before = StateOf(L"E:");
  repair::ShowCheckDrive(L"E");
  auto& window = platform::Instance<FrmCheckDrive>();
  ScanAndWait(window);
  Click(window.CmdClean);
  WaitWhileBusy(window);
  ASSERT_FALSE(messages.Texts().empty());
  const std::wstring closing = messages.Texts().back();
  std::size_t counted = 0;
  for (const wchar_t* line : {L"Made visible: ", L"Moved to quarantine: ", L"Renamed to \"Recovered items\": "}) {
    if (const auto at = closing.find(line); at != std::wstring::npos) counted += std::stoul(closing.substr(at + wcslen(line)));
  }
  ASSERT_GT(counted, 0u) << Utf8(closing);

  auto& undo = platform::Instance<shell::FrmUndo>();
  {
    const SwappedDrive pulledOut(false);
    ASSERT_TRUE(pulledOut.Swapped());
    ASSERT_EQ(GetFileAttributesW(L"E:\\"), INVALID_FILE_ATTRIBUTES) << "the stick is gone";
    shell::ShowUndoWindow();
    Pump();
    ASSERT_GT(undo.LvwGroups.RowCount(), 0);
    EXPECT_EQ(Utf8(undo.LvwGroups.Cell(0, 1)), Utf8(L"Check a Drive: clean of drive E:" + named));
    EXPECT_EQ(undo.LvwGroups.Cell(0, 2), std::to_wstring(counted)) << Utf8(closing);
    EXPECT_GT(undo.Listing().groups.front().itemCount, counted) << "the marks cleared on the way to the quarantine "
                                                                   "are recorded, yet are not changes of their own";
  }
  messages.Clear();
  undo.UndoChosen({undo.Listing().groups.front().id});
  EXPECT_EQ(Differences(StateOf(L"E:"), before), "") << Utf8(undo.LblStatus.Text());
}

// The shortcut menus, opened by a right-click, Shift+F10 or the menu key, do
// what they say; a double-click or Enter on a finding shows its details.
TEST_F(CheckDriveWindowTest, ShortcutMenusDoWhatTheySay) {
  Infect(kDrive);
  repair::ShowCheckDrive(L"E");
  auto& window = platform::Instance<FrmCheckDrive>();
  ScanAndWait(window);
  testing_support::MenuAnswerer menus;
  testing_support::ShellRecorder shell;
  const HWND list = window.LstFindings.Hwnd();
  const std::wstring hiddenFile = OnDrive(kDrive, L"hidden.txt");
  const int hidden = RowOf(window, hiddenFile, Proposal::MakeVisible);
  ASSERT_GE(hidden, 0);
  window.LstFindings.SelectOnly(0);

  // A right-click selects the row under it, then its menu unchecks it.
  RECT bounds{LVIR_LABEL};
  SendMessageW(list, LVM_ENSUREVISIBLE, hidden, FALSE);
  SendMessageW(list, LVM_GETITEMRECT, hidden, reinterpret_cast<LPARAM>(&bounds));
  const POINT at{bounds.left + 20, (bounds.top + bounds.bottom) / 2};
  menus.ChooseNext(L"&Uncheck");
  PostMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
  Pump();
  ASSERT_EQ(menus.Shown().size(), 1u) << "one menu for one right-click";
  EXPECT_EQ(menus.Shown()[0], (std::vector<std::string>{"Show &Details", "&Check (grey)", "&Uncheck", "-",
                                                        "&Open Containing Folder", "Copy &Path"}));
  EXPECT_EQ(window.LstFindings.Selected(), std::vector<int>{hidden});
  EXPECT_FALSE(window.LstFindings.Checked(hidden));

  // Shift+F10 checks it again; the menu key copies its path.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  menus.ChooseNext(L"&Check");
  Key(window.LstFindings, VK_F10);
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_TRUE(window.LstFindings.Checked(hidden));
  menus.ChooseNext(L"Copy &Path");
  Key(window.LstFindings, VK_APPS);
  EXPECT_EQ(Utf8(testing_support::ClipboardText()), Utf8(hiddenFile));

  // The folder is opened through the shell, with the backslash that never lets "open" run a file.
  const std::wstring deep = DeepFile(kDrive);
  window.LstFindings.SelectOnly(RowOf(window, deep, Proposal::MakeVisible));
  menus.ChooseNext(L"&Open Containing Folder");
  Key(window.LstFindings, VK_APPS);
  EXPECT_EQ(shell.Targets(), std::vector<std::wstring>{deep.substr(0, deep.find_last_of(L'\\') + 1)});
  EXPECT_EQ(menus.Shown().size(), 4u) << "each key opened one menu";

  // Enter and a double-click show the row whole.
  messages.Clear();
  Key(window.LstFindings, VK_RETURN);
  ASSERT_EQ(messages.Calls().size(), 1u);
  EXPECT_EQ(messages.Calls()[0].text, window.Rows().Details(window.LstFindings.FocusedRow()));
  EXPECT_NE(messages.Calls()[0].text.find(deep), std::wstring::npos) << Utf8(messages.Calls()[0].text);

  // The Undo list's menu: its details copied, then the clean undone, which it then no longer offers.
  Click(window.CmdClean);
  WaitWhileBusy(window);
  ASSERT_FALSE(Exists(OnDrive(kDrive, L"worm.vbs")));
  shell::ShowUndoWindow();
  auto& undo = platform::Instance<shell::FrmUndo>();
  Pump();
  menus.ChooseNext(L"&Copy Details");
  Key(undo.LvwGroups, VK_APPS);
  EXPECT_EQ(testing_support::ClipboardText(), undo.TxtDetails.Text());
  EXPECT_NE(undo.TxtDetails.Text().find(L"clean of drive E:"), std::wstring::npos) << Utf8(undo.TxtDetails.Text());
  menus.ChooseNext(L"&Undo");
  Key(undo.LvwGroups, VK_APPS);
  EXPECT_TRUE(Exists(OnDrive(kDrive, L"worm.vbs"))) << Utf8(undo.LblStatus.Text());
  Key(undo.LvwGroups, VK_APPS);
  EXPECT_EQ(menus.Shown().back(), (std::vector<std::string>{"&Undo (grey)", "&Copy Details"}));
}

}  // namespace
