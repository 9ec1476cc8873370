#include "tweaks/controlpanel/control_panel_page.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "shell/main_window.h"
#include "support/layout_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace testing_support;
using platform::Instance;
using platform::IsLoaded;
using tweaks::FrmCpl;

const wchar_t kDontLoadKey[] = L"Control Panel\\don't load";

// Every box with the value it stands for, in load order.
const std::pair<const wchar_t*, const wchar_t*> kValues[] = {
    {L"ChkCplAccess", L"access.cpl"},  {L"ChkCplAddRem", L"appwiz.cpl"},  {L"ChkCplConsole", L"console.cpl"},
    {L"Chkcpldate", L"timedate.cpl"},  {L"ChkCplDisp", L"desk.cpl"},      {L"ChkCplHard", L"hdwwiz.cpl"},
    {L"ChkCplIR", L"irprops.cpl"},     {L"ChkCplRegOpt", L"intl.cpl"},    {L"ChkCplWWW", L"inetcpl.cpl"},
    {L"ChkCplFax", L"fax.cpl"},        {L"ChkDialup", L"netcpl.cpl"},     {L"ChkJoy", L"joy.cpl"},
    {L"ChkLcs", L"liccpa.cpl"},        {L"ChkMail", L"mlcfg32.cpl"},      {L"ChkModem", L"modem.cpl"},
    {L"ChkMouse", L"main.cpl"},        {L"ChkNetwork", L"ncpa.cpl"},      {L"ChkSound", L"mmsys.cpl"},
    {L"ChkNetware", L"nwc.cpl"},       {L"ChkODBC", L"odbccp32.cpl"},     {L"ChkPCCard", L"devapps.cpl"},
    {L"ChkPorts", L"ports.cpl"},       {L"ChkPower", L"powercfg.cpl"},    {L"ChkCam", L"sticpl.cpl"},
    {L"ChkServer", L"srvmgr.cpl"},     {L"ChkSpeech", L"sapi.cpl"},       {L"ChkSystem", L"sysdm.cpl"},
    {L"ChkTele", L"telephon.cpl"},     {L"ChkTweak", L"tweakui.cpl"},     {L"ChkUserMan", L"nusrmgr.cpl"},
    {L"ChkWSP", L"wspcpl32.cpl"},      {L"ChkQT", L"quicktime.cpl"},      {L"ChkNorton", L"S32LUCP1.cpl"},
    {L"ChkCompaq", L"cpqmgmt.cpl"},
};

class ControlPanelPageTest : public testing::Test {
 protected:
  void SetUp() override { DeleteKey(kHkcu, kDontLoadKey); }
  void TearDown() override {
    if (IsLoaded<FrmCpl>()) Close();
    DeleteKey(kHkcu, kDontLoadKey);
  }
  static FrmCpl& Open() {
    tweaks::ShowControlPanelPage();
    Pump();
    return Instance<FrmCpl>();
  }
  static void Close() {
    SendMessageW(Instance<FrmCpl>().Hwnd(), WM_CLOSE, 0, 0);
    Pump();
  }
  static int CheckedCount(const FrmCpl& form) {
    int checked = 0;
    for (const auto& [control, value] : kValues) checked += form.Box(control).Value();
    return checked;
  }
};

TEST_F(ControlPanelPageTest, WithoutTheKeyAllBoxesLoadUncheckedAndNothingIsWritten) {
  auto& form = Open();
  EXPECT_EQ(form.boxes.Size(), 34u);
  EXPECT_EQ(CheckedCount(form), 0);
  EXPECT_FALSE(KeyExists(kHkcu, kDontLoadKey));
  const std::wstring accessTip = ShownTip(form, form.Box(L"ChkCplAccess"));
  EXPECT_FALSE(accessTip.empty());
  EXPECT_EQ(std::count_if(std::begin(kValues), std::end(kValues),
                          [&](const auto& row) { return ShownTip(form, form.Box(row.first)) == accessTip; }),
            17)
      << "sixteen boxes share the accessibility box's description";
}

TEST_F(ControlPanelPageTest, OnlyTheExactTextNoLoadsChecked) {
  struct Case {
    const wchar_t* control;
    const wchar_t* value;
    DWORD type;
    std::vector<BYTE> bytes;
    bool checked;
  };
  // "no" followed by a NUL and more: read as "no", so the load rewrites it clean.
  const std::vector<BYTE> noThenJunk = SzBytes(std::wstring(L"no\0junk", 7));
  const std::vector<Case> cases = {
      {L"ChkCplAccess", L"access.cpl", REG_SZ, noThenJunk, true},
      {L"ChkNorton", L"S32LUCP1.cpl", REG_SZ, SzBytes(L"no"), true},
      {L"ChkCplAddRem", L"appwiz.cpl", REG_SZ, SzBytes(L"No"), false},
      {L"ChkCplConsole", L"console.cpl", REG_SZ, SzBytes(L"NO"), false},
      {L"Chkcpldate", L"timedate.cpl", REG_SZ, SzBytes(L" no"), false},
      {L"ChkCplDisp", L"desk.cpl", REG_SZ, SzBytes(L"no "), false},
      {L"ChkCplHard", L"hdwwiz.cpl", REG_DWORD, DwordBytes(0), false},
      {L"ChkCplIR", L"irprops.cpl", REG_EXPAND_SZ, SzBytes(L"no"), false},
      {L"ChkCplFax", L"fax.cpl", REG_BINARY, SzBytes(L"no"), false},
  };
  for (const auto& c : cases) WriteRaw(kHkcu, kDontLoadKey, c.value, c.type, c.bytes);
  auto& form = Open();
  for (const auto& c : cases) {
    EXPECT_EQ(form.Box(c.control).Value(), c.checked ? 1 : 0) << Utf8(c.value);
    if (c.checked) {
      EXPECT_SZ(kHkcu, kDontLoadKey, c.value, L"no");
    } else {
      const auto stored = ReadRaw(kHkcu, kDontLoadKey, c.value);
      ASSERT_TRUE(stored) << Utf8(c.value);
      EXPECT_EQ(stored->type, c.type) << Utf8(c.value) << " was written during the load";
      EXPECT_EQ(stored->bytes, c.bytes) << Utf8(c.value) << " was written during the load";
    }
  }
  EXPECT_EQ(CheckedCount(form), 2);
}

TEST_F(ControlPanelPageTest, EveryBoxCreatesAndDeletesOnlyItsOwnValue) {
  auto& form = Open();
  for (const auto& [control, value] : kValues) {
    Click(form.Box(control));
    ASSERT_EQ(form.Box(control).Value(), 1) << Utf8(control);
    EXPECT_SZ(kHkcu, kDontLoadKey, value, L"no");
    // The name is stored with its own case.
    const auto names = ValueNames(kHkcu, kDontLoadKey);
    EXPECT_EQ(names, std::vector<std::wstring>{value}) << Utf8(control);
    Click(form.Box(control));
    EXPECT_EQ(form.Box(control).Value(), 0) << Utf8(control);
    EXPECT_NO_VALUE(kHkcu, kDontLoadKey, value);
    EXPECT_TRUE(KeyExists(kHkcu, kDontLoadKey)) << "unchecking leaves the key";
  }
}

TEST_F(ControlPanelPageTest, ClicksOverwriteOrDeleteWhateverTheValueHeld) {
  WriteDword(kHkcu, kDontLoadKey, L"joy.cpl", 5);
  WriteSz(kHkcu, kDontLoadKey, L"mmsys.cpl", L"no");
  WriteSz(kHkcu, kDontLoadKey, L"unknown.cpl", L"no");
  WriteSz(kHkcu, kDontLoadKey, L"main.cpl", L"yes");
  auto& form = Open();
  ASSERT_EQ(form.Box(L"ChkSound").Value(), 1);
  Click(form.Box(L"ChkJoy"));
  EXPECT_SZ(kHkcu, kDontLoadKey, L"joy.cpl", L"no");
  // Another tool changes the value while the page is open.
  WriteSz(kHkcu, kDontLoadKey, L"mmsys.cpl", L"other");
  Click(form.Box(L"ChkSound"));
  EXPECT_NO_VALUE(kHkcu, kDontLoadKey, L"mmsys.cpl");
  EXPECT_SZ(kHkcu, kDontLoadKey, L"unknown.cpl", L"no");
  EXPECT_SZ(kHkcu, kDontLoadKey, L"main.cpl", L"yes");
  EXPECT_SZ(kHkcu, kDontLoadKey, L"joy.cpl", L"no");
}

// The mouse as the system delivers it: the second press of a quick pair comes as a double-click.
TEST_F(ControlPanelPageTest, QuickClicksEachCount) {
  auto& form = Open();
  for (const UINT press : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}) {
    PostMessageW(form.Box(L"ChkJoy").Hwnd(), press, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageW(form.Box(L"ChkJoy").Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    Pump();
    const bool checked = press != WM_LBUTTONDBLCLK;
    EXPECT_EQ(form.Box(L"ChkJoy").Value(), checked ? 1 : 0) << "message " << press;
    EXPECT_EQ(ReadRaw(kHkcu, L"Control Panel\\don't load", L"joy.cpl").has_value(), checked) << "message " << press;
  }
}

TEST_F(ControlPanelPageTest, OpeningAgainKeepsTheBoxesUntilThePageIsClosed) {
  auto& form = Open();
  WriteSz(kHkcu, kDontLoadKey, L"sticpl.cpl", L"no");
  EXPECT_EQ(&Open(), &form);
  EXPECT_EQ(form.Box(L"ChkCam").Value(), 0) << "an open page is not read again";
  Close();
  EXPECT_FALSE(IsLoaded<FrmCpl>());
  EXPECT_EQ(Open().Box(L"ChkCam").Value(), 1);
}

TEST_F(ControlPanelPageTest, RefusedChangeGoesBackAndSaysSo) {
  WriteSz(kHkcu, kDontLoadKey, L"quicktime.cpl", L"no");
  ScopedRefusal refusal(kHkcu, kDontLoadKey);
  MsgBoxRecorder boxes;
  auto& form = Open();
  EXPECT_EQ(form.Box(L"ChkQT").Value(), 1);
  EXPECT_TRUE(boxes.Calls().empty()) << "the load's own rewrite is silent";
  Click(form.Box(L"ChkQT"));
  EXPECT_EQ(form.Box(L"ChkQT").Value(), 1);
  EXPECT_SZ(kHkcu, kDontLoadKey, L"quicktime.cpl", L"no");
  Click(form.Box(L"ChkCompaq"));
  EXPECT_EQ(form.Box(L"ChkCompaq").Value(), 0);
  EXPECT_NO_VALUE(kHkcu, kDontLoadKey, L"cpqmgmt.cpl");
  EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>(2, platform::kRefusedChangeMessage));
  for (const auto& call : boxes.Calls()) {
    EXPECT_EQ(call.title, L"Korvane");
    EXPECT_EQ(call.icon, platform::MsgIcon::Exclamation);
  }
}

TEST_F(ControlPanelPageTest, BoxesSitInTheirGridCellsAndTheirCaptionsFit) {
  const wchar_t* grid[12][3] = {
      {L"ChkCplAccess", L"ChkCplHard", L"ChkJoy"},     {L"ChkCplAddRem", L"ChkCplIR", L"ChkLcs"},
      {L"ChkCplConsole", L"ChkCplRegOpt", L"ChkMouse"}, {L"Chkcpldate", L"ChkCplWWW", L"ChkMail"},
      {L"ChkCplDisp", L"ChkCplFax", L"ChkSound"},       {L"ChkModem", L"ChkNetwork", L"ChkDialup"},
      {L"ChkNetware", L"ChkODBC", L"ChkPCCard"},        {L"ChkPorts", L"ChkPower", L"ChkCam"},
      {L"ChkServer", L"ChkSpeech", L"ChkSystem"},       {L"ChkTele", L"ChkTweak", L"ChkUserMan"},
      {L"ChkWSP", L"ChkQT", L"ChkNorton"},              {L"ChkCompaq", nullptr, nullptr},
  };
  const int columns[] = {240, 2880, 5400};
  auto& form = Open();
  const RECT group = InParent(form.FrmCplContents);
  RECT client;
  GetClientRect(form.Hwnd(), &client);
  EXPECT_LE(group.right, client.right);
  EXPECT_LE(group.bottom, client.bottom);
  EXPECT_GT(PixelsOf(form.FrmCplContents, platform::kTeal), 0) << "the group's caption is teal";
  EXPECT_GT(PixelsOf(form.LblTweakIntro, platform::kIntroColor), 0);
  EXPECT_TRUE(TextFits(form.LblTweakIntro));
  EXPECT_TRUE(TextFits(form.LblHelp));
  for (int row = 0; row < 12; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (!grid[row][column]) continue;
      const std::string name = Utf8(grid[row][column]);
      const RECT box = InParent(form.Box(grid[row][column]));
      // A column moves right only when the captions before it need the room.
      const RECT first = InParent(form.Box(grid[0][column]));
      EXPECT_EQ(box.left, first.left) << name;
      EXPECT_GE(box.left - group.left + 1, Px(form, columns[column])) << name;
      EXPECT_NEAR(box.top, group.top + Px(form, 480 + 480 * row), 1) << name;
      // Sized to its caption, a box must end before the next column and inside the group.
      const int limit = column < 2 ? InParent(form.Box(grid[0][column + 1])).left : group.right;
      EXPECT_LT(box.right, limit) << name << " runs into its neighbour";
      EXPECT_LT(box.bottom, group.bottom) << name;
    }
  }
}

TEST_F(ControlPanelPageTest, TabGoesThroughTheBoxesInTheirKeyboardOrder) {
  auto& form = Open();
  const std::vector<const wchar_t*> order = {
      L"ChkCplAccess", L"ChkCplAddRem", L"ChkCplConsole", L"Chkcpldate", L"ChkCplDisp", L"ChkCplFax",
      L"ChkCplHard",   L"ChkCplIR",     L"ChkCplRegOpt",  L"ChkCplWWW",  L"ChkMail",    L"ChkMouse",
      L"ChkLcs",       L"ChkJoy",       L"ChkSound",      L"ChkModem",   L"ChkNetwork", L"ChkDialup",
      L"ChkNetware",   L"ChkODBC",      L"ChkPCCard",     L"ChkPorts",   L"ChkPower",   L"ChkCam",
      L"ChkServer",    L"ChkSpeech",    L"ChkSystem",     L"ChkTele",    L"ChkTweak",   L"ChkUserMan",
      L"ChkWSP",       L"ChkQT",        L"ChkNorton",     L"ChkCompaq"};
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    EXPECT_EQ(TabFrom(form, form.Box(order[i])), form.Box(order[i + 1]).Hwnd()) << "after " << Utf8(order[i]);
  }
}

TEST_F(ControlPanelPageTest, TheTweakPageButtonOpensThePage) {
  auto& main = Instance<shell::FrmMain>();
  main.Show();
  main.TabMain.SetTab(3);
  Pump();
  Click(main.tweak.CmdCplTweaks);
  ASSERT_TRUE(IsLoaded<FrmCpl>());
  EXPECT_TRUE(Instance<FrmCpl>().Visible());
  EXPECT_EQ(Instance<FrmCpl>().Caption(), L"Control Panel");
  EndAllForms();
  EXPECT_FALSE(IsLoaded<FrmCpl>());
}

}  // namespace
