#include "tweaks/security/security_page.h"

#include <gtest/gtest.h>

#include <functional>

#include "saved_values.h"
#include "shell/main_window.h"
#include "shell/preferences_window.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "support/layout_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace testing_support;
using namespace security_test;
using tweaks::FrmSecTweaks;

const HKEY kHklm = HKEY_LOCAL_MACHINE;

enum class Shape { Flag, Beep, CdAutorun, MyComputer, RightClick };

struct Row {
  const wchar_t* box;
  std::wstring key;
  const wchar_t* name;
  Shape shape;
  int column;  // 0 left, 1 right
  int row;     // 0 to 7
};

// Written from the page's description, not from its table, so a slip in either shows.
const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {L"chkFO", kExplorer, L"nofolderoptions", Shape::Flag, 0, 0},
      {L"ChkTM", kSystem, L"disabletaskmgr", Shape::Flag, 0, 1},
      {L"ChkRE", kSystem, L"disableregistrytools", Shape::Flag, 0, 2},
      {L"ChkCpl", kExplorer, L"nocontrolpanel", Shape::Flag, 1, 3},
      {L"ChkDispCpl", kSystem, L"nodispcpl", Shape::Flag, 1, 0},
      {L"ChkDoc", kExplorer, L"DisablePersonalDirChange", Shape::Flag, 0, 3},
      {L"ChkFind", kExplorer, L"nofind", Shape::Flag, 1, 1},
      {L"ChkRun", kExplorer, L"norun", Shape::Flag, 1, 2},
      {L"ChkShut", kExplorer, L"noclose", Shape::Flag, 0, 4},
      {L"ChkBeep", kSound, L"Beep", Shape::Beep, 1, 4},
      {L"ChkCDAuto", kCdRom, L"Autorun", Shape::CdAutorun, 0, 5},
      {L"ChkProg", kExplorer, L"NoStartMenuMorePrograms", Shape::Flag, 1, 5},
      {L"ChkNoMyComp", kNonEnum, L"{20D04FE0-3AEA-1069-A2D8-08002B30309D}", Shape::MyComputer, 1, 6},
      {L"ChkNoPinStart", kExplorer, L"NoStartMenuPinnedList", Shape::Flag, 0, 7},
      {L"ChkRClick", kExplorer, L"NoViewContextMenu", Shape::RightClick, 0, 6},
      {L"ChkMyCompMng", kExplorer, L"NoManageMyComputerVerb", Shape::Flag, 1, 7},
  };
  return rows;
}

class SecurityPageTest : public testing::Test {
 protected:
  void TearDown() override {
    EndAllForms();
  }
  static FrmSecTweaks& Page() { return platform::Instance<FrmSecTweaks>(); }
  static platform::CheckBox& Box(const wchar_t* name) { return Page().boxes.Box(name); }
  static void ClosePage() {
    if (platform::IsLoaded<FrmSecTweaks>()) SendMessageW(Page().Hwnd(), WM_CLOSE, 0, 0);
    Pump();
  }
  static std::vector<std::wstring> CheckedBoxes() {
    std::vector<std::wstring> checked;
    for (const Row& row : Rows()) {
      if (Box(row.box).Value()) checked.push_back(row.box);
    }
    return checked;
  }

  security_test::SecurityValues saved;
  MsgBoxRecorder messages;
};

std::wstring MenuText(HMENU menu, int position) {
  wchar_t text[128] = {};
  GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
  return text;
}

TEST_F(SecurityPageTest, SixteenBoxesInTwoColumnsWithTheirTextsAndKeyboardOrder) {
  auto& page = Page();
  EXPECT_EQ(page.Caption(), L"Security Tweaks");
  RECT client;
  GetClientRect(page.Hwnd(), &client);
  EXPECT_EQ(client.right, Px(page, 8145));
  EXPECT_EQ(client.bottom, Px(page, 5985));
  EXPECT_EQ(GetWindowLongW(page.Hwnd(), GWL_STYLE) & WS_MAXIMIZEBOX, 0);
  EXPECT_EQ(page.LblTweakIntro.TextColor(), RGB(192, 64, 0));
  EXPECT_EQ(page.FrmsecTweak.TextColor(), RGB(0, 128, 128));
  EXPECT_FALSE(page.Label1.Visible());
  EXPECT_EQ(page.Label1.Text(), L"");

  RECT group;
  GetWindowRect(page.FrmsecTweak.Hwnd(), &group);
  MapWindowPoints(HWND_DESKTOP, page.Hwnd(), reinterpret_cast<POINT*>(&group), 2);
  EXPECT_EQ(group.left, Px(page, 600));
  EXPECT_EQ(group.top, Px(page, 1560));
  for (const Row& row : Rows()) {
    SCOPED_TRACE(Utf8(row.box));
    auto& box = Box(row.box);
    EXPECT_EQ(box.Value(), 0);
    RECT place;
    GetWindowRect(box.Hwnd(), &place);
    MapWindowPoints(HWND_DESKTOP, page.Hwnd(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, Px(page, 600 + (row.column == 0 ? 480 : 4080)));
    EXPECT_EQ(place.top, Px(page, 1560 + 360 + row.row * 480));
    EXPECT_EQ(place.bottom - place.top, Px(page, 255));
  }

  // The texts whose odd ends are easy to lose.
  EXPECT_EQ(Box(L"chkFO").Text(), L"Disable Folder options ");
  EXPECT_EQ(Box(L"ChkMyCompMng").Text(), L"Disable 'manage' in My Computer ");
  EXPECT_EQ(ShownTip(Page(), Box(L"ChkRE")),
            L"Checking this disables the registry editor whichc can be accessed by Run->\"Regedit\"");
  EXPECT_EQ(ShownTip(Page(), Box(L"ChkBeep")).back(), L' ');

  std::vector<std::wstring> order;
  for (platform::Control* control : page.Controls()) {
    if (dynamic_cast<platform::CheckBox*>(control)) order.push_back(control->Name());
  }
  EXPECT_EQ(order, (std::vector<std::wstring>{L"chkFO", L"ChkDispCpl", L"ChkTM", L"ChkFind", L"ChkRE", L"ChkRun",
                                              L"ChkDoc", L"ChkCpl", L"ChkShut", L"ChkBeep", L"ChkCDAuto", L"ChkProg",
                                              L"ChkRClick", L"ChkNoMyComp", L"ChkNoPinStart", L"ChkMyCompMng"}));

  const HMENU bar = GetMenu(page.Hwnd());
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  EXPECT_EQ(MenuText(bar, 0), L"Tools");
  EXPECT_EQ(MenuText(GetSubMenu(bar, 0), 0), L"Set password");
  EXPECT_EQ(MenuText(bar, 1), L"More");
  EXPECT_EQ(MenuText(GetSubMenu(bar, 1), 0), L"Control Panel\tCtrl+P");
  ACCEL accel[4];
  ASSERT_EQ(CopyAcceleratorTableW(page.Accelerators(), accel, 4), 1);
  EXPECT_EQ(accel[0].key, 'P');
  EXPECT_EQ(accel[0].fVirt & (FCONTROL | FSHIFT | FALT), FCONTROL);
}

TEST_F(SecurityPageTest, NothingIsCheckedOrWrittenWhenNoValueExists) {
  Page();
  EXPECT_EQ(CheckedBoxes(), std::vector<std::wstring>{});
  for (const Place& place : TouchedValues()) EXPECT_NO_VALUE(place.root, place.key, place.name);
}

TEST_F(SecurityPageTest, EachBoxWritesItsValueAndUndoesItByItsOwnRule) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(Utf8(row.box));
    const HKEY root = row.shape == Shape::CdAutorun || row.shape == Shape::RightClick ? kHklm : kHkcu;
    if (row.shape == Shape::RightClick) WriteDword(kHkcu, row.key, row.name, 1);
    Click(Box(row.box));
    ASSERT_EQ(Box(row.box).Value(), 1);
    switch (row.shape) {
      case Shape::Beep:
        EXPECT_SZ(root, row.key, row.name, L"No");
        break;
      case Shape::CdAutorun:
        EXPECT_DWORD(root, row.key, row.name, 0u);
        break;
      default:
        EXPECT_DWORD(root, row.key, row.name, 1u);
        break;
    }
    Click(Box(row.box));
    ASSERT_EQ(Box(row.box).Value(), 0);
    switch (row.shape) {
      case Shape::Beep:
        EXPECT_SZ(root, row.key, row.name, L"Yes");
        break;
      case Shape::MyComputer:
        EXPECT_DWORD(root, row.key, row.name, 0u);
        break;
      case Shape::RightClick:
        EXPECT_NO_VALUE(kHklm, row.key, row.name);
        EXPECT_NO_VALUE(kHkcu, row.key, row.name) << "the current user's value goes as well";
        break;
      default:
        EXPECT_NO_VALUE(root, row.key, row.name);
        break;
    }
  }
  EXPECT_EQ(messages.Shown(), std::vector<std::string>{});
}

TEST_F(SecurityPageTest, LoadRulesAndTheRewriteOfCheckedValues) {
  struct Case {
    const char* what;
    std::function<void()> seed;
    std::vector<std::wstring> checked;
    std::function<void()> after;  // runs on the loaded page
  };
  const std::vector<Case> cases = {
      {"nofolderoptions REG_SZ \"1\" is rewritten as REG_DWORD 1",
       [] { WriteSz(kHkcu, kExplorer, L"nofolderoptions", L"1"); }, {L"chkFO"},
       [] { EXPECT_DWORD(kHkcu, kExplorer, L"nofolderoptions", 1u); }},
      {"nofolderoptions REG_DWORD 2 loads unchecked; two clicks delete it",
       [] { WriteDword(kHkcu, kExplorer, L"nofolderoptions", 2); }, {},
       [] {
         EXPECT_DWORD(kHkcu, kExplorer, L"nofolderoptions", 2u);
         Click(Box(L"chkFO"));
         Click(Box(L"chkFO"));
         EXPECT_NO_VALUE(kHkcu, kExplorer, L"nofolderoptions");
       }},
      {"Beep \"no\"", [] { WriteSz(kHkcu, kSound, L"Beep", L"no"); }, {},
       [] { EXPECT_SZ(kHkcu, kSound, L"Beep", L"no"); }},
      {"Beep \"No\"; unchecking leaves \"Yes\"", [] { WriteSz(kHkcu, kSound, L"Beep", L"No"); }, {L"ChkBeep"},
       [] {
         Click(Box(L"ChkBeep"));
         EXPECT_SZ(kHkcu, kSound, L"Beep", L"Yes");
       }},
      {"Autorun REG_DWORD 0; unchecking deletes it", [] { WriteDword(kHklm, kCdRom, L"Autorun", 0); },
       {L"ChkCDAuto"},
       [] {
         Click(Box(L"ChkCDAuto"));
         EXPECT_NO_VALUE(kHklm, kCdRom, L"Autorun");
       }},
      {"Autorun REG_DWORD 1", [] { WriteDword(kHklm, kCdRom, L"Autorun", 1); }, {},
       [] { EXPECT_DWORD(kHklm, kCdRom, L"Autorun", 1u); }},
      {"NoViewContextMenu only for the current user",
       [] { WriteDword(kHkcu, kExplorer, L"NoViewContextMenu", 1); }, {},
       [] {
         Click(Box(L"ChkRClick"));
         EXPECT_DWORD(kHklm, kExplorer, L"NoViewContextMenu", 1u);
         EXPECT_DWORD(kHkcu, kExplorer, L"NoViewContextMenu", 1u);
         Click(Box(L"ChkRClick"));
         EXPECT_NO_VALUE(kHklm, kExplorer, L"NoViewContextMenu");
         EXPECT_NO_VALUE(kHkcu, kExplorer, L"NoViewContextMenu");
       }},
      {"NoViewContextMenu for the machine", [] { WriteSz(kHklm, kExplorer, L"NoViewContextMenu", L"1"); },
       {L"ChkRClick"}, [] { EXPECT_DWORD(kHklm, kExplorer, L"NoViewContextMenu", 1u); }},
      {"My Computer and pinned items", [] {
         WriteDword(kHkcu, kNonEnum, kMyComputer, 1);
         WriteDword(kHkcu, kExplorer, L"NoStartMenuPinnedList", 1);
         WriteDword(kHkcu, kSystem, L"disabletaskmgr", 1);
       },
       {L"ChkTM", L"ChkNoMyComp", L"ChkNoPinStart"}, [] {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.seed();
    Page();
    EXPECT_EQ(CheckedBoxes(), c.checked);
    c.after();
    ClosePage();
    for (const Place& place : TouchedValues()) DeleteValue(place.root, place.key, place.name);
  }
  EXPECT_EQ(messages.Shown(), std::vector<std::string>{});
}

TEST_F(SecurityPageTest, ChangesMadeElsewhereShowOnlyWhenThePageIsOpenedAgain) {
  Page();
  WriteDword(kHkcu, kSystem, L"disabletaskmgr", 1);
  EXPECT_EQ(Box(L"ChkTM").Value(), 0);
  ClosePage();
  EXPECT_FALSE(platform::IsLoaded<FrmSecTweaks>());
  EXPECT_EQ(Box(L"ChkTM").Value(), 1);
}

TEST_F(SecurityPageTest, TheTweakPageButtonShowsOneModelessPage) {
  auto& main = platform::Instance<shell::FrmMain>();
  main.TabMain.SetTab(3);
  Click(main.tweak.CmdSecTweak);
  ASSERT_TRUE(platform::IsLoaded<FrmSecTweaks>());
  auto& page = Page();
  EXPECT_TRUE(page.Visible());
  EXPECT_EQ(GetWindow(page.Hwnd(), GW_OWNER), nullptr);
  EXPECT_TRUE(IsWindowEnabled(main.Hwnd())) << "not modal";
  Click(Box(L"ChkShut"));
  Click(main.tweak.CmdSecTweak);
  EXPECT_EQ(&Page(), &page);
  EXPECT_EQ(Box(L"ChkShut").Value(), 1) << "shown again, not loaded again";
}

}  // namespace

namespace {

TEST_F(SecurityPageTest, MoreControlPanelAndCtrlPOpenTheOneControlPanelPage) {
  auto& page = Page();
  page.Show();
  Pump();
  EXPECT_TRUE(page.InvokeMenu(L"Control Panel"));
  ASSERT_TRUE(platform::IsLoaded<tweaks::FrmCpl>());
  auto& cpl = platform::Instance<tweaks::FrmCpl>();
  SendMessageW(cpl.Hwnd(), WM_CLOSE, 0, 0);
  Pump();
  ASSERT_FALSE(platform::IsLoaded<tweaks::FrmCpl>());
  // Ctrl+P through the security page's own shortcuts.
  page.Show();
  MSG msg{page.Hwnd(), WM_KEYDOWN, 'P', 0, 0, {}};
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  EXPECT_TRUE(TranslateAcceleratorW(page.Hwnd(), page.Accelerators(), &msg));
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  Pump();
  EXPECT_TRUE(platform::IsLoaded<tweaks::FrmCpl>());
  EXPECT_FALSE(platform::IsLoaded<shell::FrmOptions>()) << "Ctrl+P here is not the main window's Preferences";
}

}  // namespace
