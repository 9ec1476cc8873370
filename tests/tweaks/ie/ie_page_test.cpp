#include "tweaks/ie/ie_page.h"

#include <gtest/gtest.h>

#include <optional>

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
using tweaks::FrmProgTweaks;

const wchar_t kIEPolicyKey[] = L"Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
const wchar_t kConnectionKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const wchar_t* const kConnectionValues[] = {L"MaxConnectionsPer1_0Server", L"MaxConnectionsPerServer"};

// The policy key is ours alone; Internet Settings also holds Wine's own values,
// so only the two connection values are cleared and put back.
class IEPageTest : public testing::Test {
 protected:
  void SetUp() override {
    DeleteKey(kHkcu, kIEPolicyKey);
    for (const wchar_t* name : kConnectionValues) saved_.KeepAndClear(kHkcu, kConnectionKey, name);
  }
  void TearDown() override {
    if (IsLoaded<FrmProgTweaks>()) Close();
    DeleteKey(kHkcu, kIEPolicyKey);
  }
  static FrmProgTweaks& Open() { return ShowForm<FrmProgTweaks>(); }
  static void Close() {
    SendMessageW(Instance<FrmProgTweaks>().Hwnd(), WM_CLOSE, 0, 0);
    Pump();
  }

 private:
  SavedValues saved_;
};

TEST_F(IEPageTest, WithNoValuesAllBoxesLoadUncheckedAndNothingIsWritten) {
  auto& form = Open();
  for (const wchar_t* control : {L"ChkAC", L"ChkDefBro", L"ChkLockHP", L"ChkIEDown"}) {
    EXPECT_EQ(form.Box(control).Value(), 0) << Utf8(control);
  }
  EXPECT_FALSE(KeyExists(kHkcu, kIEPolicyKey));
  for (const wchar_t* name : kConnectionValues) EXPECT_NO_VALUE(kHkcu, kConnectionKey, name);
}

TEST_F(IEPageTest, AutoCompleteReadsFormSuggestAsTextAndRewritesBothValues) {
  struct Case {
    const char* what;
    DWORD type;
    std::vector<BYTE> bytes;
    bool checked;
  };
  const std::vector<Case> cases = {
      {"REG_DWORD 0", REG_DWORD, DwordBytes(0), true},  {"REG_SZ 0", REG_SZ, SzBytes(L"0"), true},
      {"REG_SZ 00", REG_SZ, SzBytes(L"00"), false},     {"REG_DWORD 1", REG_DWORD, DwordBytes(1), false},
      {"absent", REG_NONE, {}, false},
  };
  for (const auto& c : cases) {
    WriteSz(kHkcu, kIEPolicyKey, L"formSuggest Passwords", L"x");
    if (c.type != REG_NONE) WriteRaw(kHkcu, kIEPolicyKey, L"FormSuggest", c.type, c.bytes);
    auto& form = Open();
    EXPECT_EQ(form.Box(L"ChkAC").Value(), c.checked ? 1 : 0) << c.what;
    if (c.checked) {
      EXPECT_DWORD(kHkcu, kIEPolicyKey, L"formSuggest Passwords", 0) << c.what;
      EXPECT_DWORD(kHkcu, kIEPolicyKey, L"formSuggest", 0) << c.what;
    } else {
      EXPECT_SZ(kHkcu, kIEPolicyKey, L"formSuggest Passwords", L"x") << c.what;
    }
    Close();
    DeleteKey(kHkcu, kIEPolicyKey);
  }
}

TEST_F(IEPageTest, UncheckingAutoCompleteAndDefaultBrowserWritesInsteadOfDeleting) {
  auto& form = Open();
  Click(form.Box(L"ChkAC"));
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"formSuggest Passwords", 0);
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"formSuggest", 0);
  Click(form.Box(L"ChkAC"));
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"formSuggest Passwords", 1);
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"formSuggest", 1);
  Click(form.Box(L"ChkDefBro"));
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"Check_If_Default", 1);
  Click(form.Box(L"ChkDefBro"));
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"Check_If_Default", 0);
  Close();
  // Data 1 and 0 read back unchecked, and reopening rewrites nothing.
  EXPECT_EQ(Open().Box(L"ChkAC").Value(), 0);
  EXPECT_EQ(Instance<FrmProgTweaks>().Box(L"ChkDefBro").Value(), 0);
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"formSuggest", 1);
}

TEST_F(IEPageTest, HomePageLockRemovesBothValuesEvenOnesThatWereThereBefore) {
  WriteDword(kHkcu, kIEPolicyKey, L"NoSaveSettings", 1);
  WriteDword(kHkcu, kIEPolicyKey, L"Check_If_Default", 7);
  auto& form = Open();
  EXPECT_EQ(form.Box(L"ChkLockHP").Value(), 0);
  Click(form.Box(L"ChkLockHP"));
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"HomePage", 1);
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"NoSaveSettings", 0);
  Click(form.Box(L"ChkLockHP"));
  EXPECT_NO_VALUE(kHkcu, kIEPolicyKey, L"HomePage");
  EXPECT_NO_VALUE(kHkcu, kIEPolicyKey, L"NoSaveSettings");
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"Check_If_Default", 7);
}

TEST_F(IEPageTest, DownloadsReadOnlyTheFirstValueAndWriteBoth) {
  struct Case {
    const char* what;
    std::function<void()> seed;
    bool checked;
    DWORD perServerAfterLoad;  // 0: absent
  };
  const std::vector<Case> cases = {
      {"per-server 10 alone", [] { WriteDword(kHkcu, kConnectionKey, L"MaxConnectionsPerServer", 10); }, false, 10},
      {"1.0 server 10 alone", [] { WriteDword(kHkcu, kConnectionKey, L"MaxConnectionsPer1_0Server", 10); }, true,
       10},
      {"1.0 server REG_SZ 10, per-server 4",
       [] {
         WriteSz(kHkcu, kConnectionKey, L"MaxConnectionsPer1_0Server", L"10");
         WriteDword(kHkcu, kConnectionKey, L"MaxConnectionsPerServer", 4);
       },
       true, 10},
      {"1.0 server 16", [] { WriteDword(kHkcu, kConnectionKey, L"MaxConnectionsPer1_0Server", 16); }, false, 0},
  };
  for (const auto& c : cases) {
    c.seed();
    auto& form = Open();
    EXPECT_EQ(form.Box(L"ChkIEDown").Value(), c.checked ? 1 : 0) << c.what;
    if (c.checked) {
      EXPECT_DWORD(kHkcu, kConnectionKey, L"MaxConnectionsPer1_0Server", 10) << c.what;
    }
    if (c.perServerAfterLoad) {
      EXPECT_DWORD(kHkcu, kConnectionKey, L"MaxConnectionsPerServer", c.perServerAfterLoad) << c.what;
    } else {
      EXPECT_NO_VALUE(kHkcu, kConnectionKey, L"MaxConnectionsPerServer") << c.what;
    }
    if (!c.checked) {
      Click(form.Box(L"ChkIEDown"));
      for (const wchar_t* name : kConnectionValues) EXPECT_DWORD(kHkcu, kConnectionKey, name, 10) << c.what;
    }
    Click(form.Box(L"ChkIEDown"));
    for (const wchar_t* name : kConnectionValues) EXPECT_NO_VALUE(kHkcu, kConnectionKey, name) << c.what;
    Close();
  }
  EXPECT_FALSE(KeyExists(kHkcu, kIEPolicyKey)) << "the downloads box touches only Internet Settings";
}

TEST_F(IEPageTest, OpeningAgainKeepsTheBoxesUntilThePageIsClosed) {
  auto& form = Open();
  WriteDword(kHkcu, kIEPolicyKey, L"HomePage", 1);
  EXPECT_EQ(&Open(), &form);
  EXPECT_EQ(form.Box(L"ChkLockHP").Value(), 0) << "an open page is not read again";
  EXPECT_NO_VALUE(kHkcu, kIEPolicyKey, L"NoSaveSettings");
  Close();
  EXPECT_FALSE(IsLoaded<FrmProgTweaks>());
  EXPECT_EQ(Open().Box(L"ChkLockHP").Value(), 1);
  EXPECT_DWORD(kHkcu, kIEPolicyKey, L"NoSaveSettings", 0);
}

TEST_F(IEPageTest, RefusedChangeGoesBackAndSaysSo) {
  ScopedRefusal refusal(kHkcu, kIEPolicyKey);
  MsgBoxRecorder boxes;
  auto& form = Open();
  Click(form.Box(L"ChkDefBro"));
  EXPECT_EQ(form.Box(L"ChkDefBro").Value(), 0);
  EXPECT_NO_VALUE(kHkcu, kIEPolicyKey, L"Check_If_Default");
  EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{platform::kRefusedChangeMessage});
}

TEST_F(IEPageTest, BoxesStandInOneColumnInKeyboardOrderWithTheirTexts) {
  auto& form = Open();
  const wchar_t* const column[] = {L"ChkAC", L"ChkDefBro", L"ChkLockHP", L"ChkIEDown"};
  const RECT group = InParent(form.FrameInternetTweaks);
  RECT client;
  GetClientRect(form.Hwnd(), &client);
  EXPECT_LE(group.right, client.right);
  EXPECT_LE(group.bottom, client.bottom);
  EXPECT_GT(PixelsOf(form.FrameInternetTweaks, platform::kTeal), 0) << "the group's caption is teal";
  EXPECT_GT(PixelsOf(form.LblTweakIntro, platform::kIntroColor), 0);
  for (const platform::Label* label : {&form.LblTweakIntro, &form.LblPleaseRes, &form.LblHelp}) {
    EXPECT_TRUE(TextFits(*label)) << Utf8(label->Name());
  }
  const RECT first = InParent(form.Box(column[0]));
  for (std::size_t i = 0; i < 4; ++i) {
    const RECT box = InParent(form.Box(column[i]));
    EXPECT_EQ(box.left, first.left);
    EXPECT_NEAR(box.top - first.top, Px(form, 360 * static_cast<int>(i)), 1) << Utf8(column[i]);
    EXPECT_LT(box.right, group.right) << Utf8(column[i]) << " is clipped";
    EXPECT_LT(box.bottom, group.bottom);
    EXPECT_EQ(ShownTip(form, form.Box(column[i])), form.boxes.Binding(column[i]).toolTip);
    if (i < 3) {
      EXPECT_EQ(TabFrom(form, form.Box(column[i])), form.Box(column[i + 1]).Hwnd()) << Utf8(column[i]);
    }
  }
}

TEST_F(IEPageTest, TheTweakPageButtonOpensThePage) {
  auto& main = Instance<shell::FrmMain>();
  main.Show();
  main.TabMain.SetTab(3);
  Pump();
  Click(main.tweak.CmdIETweak);
  ASSERT_TRUE(IsLoaded<FrmProgTweaks>());
  EXPECT_TRUE(Instance<FrmProgTweaks>().Visible());
  EXPECT_EQ(Instance<FrmProgTweaks>().Caption(), L"Internet Explorer Tweaks");
  EndAllForms();
}

}  // namespace
