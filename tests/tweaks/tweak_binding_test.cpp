#include "tweaks/tweak_binding.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

#include "ui/form.h"
#include "support/layout_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace testing_support;
using platform::Delete;
using platform::EqualsNumber;
using platform::EqualsText;
using platform::kCurrentUser;
using platform::kLocalMachine;
using platform::Write;

const HKEY kHklm = HKEY_LOCAL_MACHINE;
const std::wstring kKey = L"Software\\KorvaneBindingTest";
const std::wstring kDeepKey = L"Software\\KorvaneBindingTest\\Deep\\Er\\Still";
constexpr const wchar_t* kKeyText = L"Software\\KorvaneBindingTest";

// One box of each shape the pages use.
const std::vector<platform::TweakBinding>& Table() {
  static const std::vector<platform::TweakBinding> table = {
      {L"ChkFlag", L"flag", L"Flag", L"A flag", L"GetFlag", EqualsNumber(kCurrentUser, kKeyText, L"flag", 1),
       {Write(kCurrentUser, kKeyText, L"flag", L"1")}, {Delete(kCurrentUser, kKeyText, L"flag")}},
      {L"ChkText", L"text", L"Text", L"A text", L"GetText", EqualsText(kCurrentUser, kKeyText, L"text", L"no"),
       {Write(kCurrentUser, kKeyText, L"text", L"no")}, {Delete(kCurrentUser, kKeyText, L"text")}},
      {L"ChkZero", L"zero", L"Zero", L"A machine zero", L"GetZero", EqualsNumber(kLocalMachine, kKeyText, L"zero", 0),
       {Write(kLocalMachine, kKeyText, L"zero", L"0")}, {Delete(kLocalMachine, kKeyText, L"zero")}},
      {L"ChkStates", L"states", L"States", L"Two states", L"GetStates", EqualsText(kCurrentUser, kKeyText, L"state", L"No"),
       {Write(kCurrentUser, kKeyText, L"state", L"No")}, {Write(kCurrentUser, kKeyText, L"state", L"Yes")}},
      {L"ChkNumbers", L"numbers", L"Numbers", L"Two numbers", L"GetNumbers", EqualsNumber(kCurrentUser, kKeyText, L"number", 1),
       {Write(kCurrentUser, kKeyText, L"number", L"1")}, {Write(kCurrentUser, kKeyText, L"number", L"0")}},
      {L"ChkRoots", L"roots", L"Roots", L"Two roots", L"GetRoots", EqualsNumber(kLocalMachine, kKeyText, L"roots", 1),
       {Write(kLocalMachine, kKeyText, L"roots", L"1")},
       {Delete(kLocalMachine, kKeyText, L"roots"), Delete(kCurrentUser, kKeyText, L"roots")}},
      {L"ChkSeveral", L"several", L"Several", L"Several values", L"GetSeveral", EqualsText(kCurrentUser, kKeyText, L"first", L"10"),
       {Write(kCurrentUser, kKeyText, L"first", L"10"), Write(kCurrentUser, kKeyText, L"second", L"10")},
       {Delete(kCurrentUser, kKeyText, L"first"), Delete(kCurrentUser, kKeyText, L"second")}},
      {L"ChkDeep", L"deep", L"Deep", L"A key far down", L"GetDeep",
       EqualsNumber(kCurrentUser, L"Software\\KorvaneBindingTest\\Deep\\Er\\Still", L"deep", 1),
       {Write(kCurrentUser, L"Software\\KorvaneBindingTest\\Deep\\Er\\Still", L"deep", L"1")},
       {Delete(kCurrentUser, L"Software\\KorvaneBindingTest\\Deep\\Er\\Still", L"deep")}},
  };
  return table;
}

// The keyboard order differs from the table's (load) order on purpose.
constexpr const wchar_t* kTabOrder[] = {L"ChkDeep",   L"ChkSeveral", L"ChkRoots", L"ChkNumbers",
                                        L"ChkStates", L"ChkZero",    L"ChkText",  L"ChkFlag"};

platform::TwipsRect Stacked(std::wstring_view control) {
  for (int i = 0; i < 8; ++i) {
    if (control == kTabOrder[i]) return {120, 120 + i * 360, 0, 255};
  }
  return {};
}

class BindingForm : public platform::Form {
 public:
  BindingForm()
      : Form({.caption = L"Binding", .clientWidth = 3000, .clientHeight = 3200}),
        boxes(*this, Table(), kTabOrder, &Stacked) {}
  platform::TweakBoxes boxes;
  platform::CheckBox& Box(const wchar_t* name) { return boxes.Box(name); }

 protected:
  void Form_Load() override { boxes.LoadAll(); }
};

constexpr char kRefusedMessage[] =
    "[Korvane] \"This change could not be made. Administrator rights may be required.\" Exclamation OK";

class TweakBindingTest : public testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override {
    Close();
    Clean();
  }
  static void Clean() {
    DeleteKey(kHkcu, kKey);
    DeleteKey(kHklm, kKey);
  }
  static BindingForm& Open() { return platform::Instance<BindingForm>(); }
  static void Close() {
    if (platform::IsLoaded<BindingForm>()) DestroyWindow(platform::Instance<BindingForm>().Hwnd());
    Pump();
  }
  MsgBoxRecorder messages;
};

TEST_F(TweakBindingTest, LoadChecksTheBoxesWhoseRuleHoldsAndWritesThemAgain) {
  struct Case {
    const char* what;
    std::function<void()> seed;
    const wchar_t* box;
    int loaded;
    std::function<void()> after;
  };
  const std::vector<Case> cases = {
      {"flag absent", [] {}, L"ChkFlag", 0, [] { EXPECT_FALSE(KeyExists(kHkcu, kKey)) << "nothing written"; }},
      {"flag REG_DWORD 1", [] { WriteDword(kHkcu, kKey, L"flag", 1); }, L"ChkFlag", 1,
       [] { EXPECT_DWORD(kHkcu, kKey, L"flag", 1u); }},
      {"flag REG_SZ \"1\"", [] { WriteSz(kHkcu, kKey, L"flag", L"1"); }, L"ChkFlag", 1,
       [] { EXPECT_DWORD(kHkcu, kKey, L"flag", 1u); }},
      {"flag REG_SZ \"01\"", [] { WriteSz(kHkcu, kKey, L"flag", L"01"); }, L"ChkFlag", 1,
       [] { EXPECT_DWORD(kHkcu, kKey, L"flag", 1u); }},
      {"flag REG_DWORD 2", [] { WriteDword(kHkcu, kKey, L"flag", 2); }, L"ChkFlag", 0,
       [] { EXPECT_DWORD(kHkcu, kKey, L"flag", 2u); }},
      {"text \"no\"", [] { WriteSz(kHkcu, kKey, L"text", L"no"); }, L"ChkText", 1,
       [] { EXPECT_SZ(kHkcu, kKey, L"text", L"no"); }},
      {"text \"No\" against \"no\"", [] { WriteSz(kHkcu, kKey, L"text", L"No"); }, L"ChkText", 0,
       [] { EXPECT_SZ(kHkcu, kKey, L"text", L"No"); }},
      {"machine zero absent", [] {}, L"ChkZero", 0, [] { EXPECT_FALSE(KeyExists(kHklm, kKey)); }},
      {"machine zero REG_DWORD 0", [] { WriteDword(kHklm, kKey, L"zero", 0); }, L"ChkZero", 1,
       [] { EXPECT_DWORD(kHklm, kKey, L"zero", 0u); }},
      {"machine zero empty REG_SZ", [] { WriteSz(kHklm, kKey, L"zero", L""); }, L"ChkZero", 0,
       [] { EXPECT_SZ(kHklm, kKey, L"zero", L""); }},
      {"machine zero REG_SZ \"0\"", [] { WriteSz(kHklm, kKey, L"zero", L"0"); }, L"ChkZero", 1,
       [] { EXPECT_DWORD(kHklm, kKey, L"zero", 0u); }},
      {"state \"No\"", [] { WriteSz(kHkcu, kKey, L"state", L"No"); }, L"ChkStates", 1,
       [] { EXPECT_SZ(kHkcu, kKey, L"state", L"No"); }},
      {"state \"no\"", [] { WriteSz(kHkcu, kKey, L"state", L"no"); }, L"ChkStates", 0,
       [] { EXPECT_SZ(kHkcu, kKey, L"state", L"no"); }},
      {"roots: the current user's alone is not looked at", [] { WriteDword(kHkcu, kKey, L"roots", 1); }, L"ChkRoots",
       0, [] { EXPECT_FALSE(KeyExists(kHklm, kKey)); }},
      {"several: first REG_SZ \"10\" writes both", [] { WriteSz(kHkcu, kKey, L"first", L"10"); }, L"ChkSeveral", 1,
       [] {
         EXPECT_DWORD(kHkcu, kKey, L"first", 10u);
         EXPECT_DWORD(kHkcu, kKey, L"second", 10u);
       }},
      {"several: REG_DWORD 10 equals the text \"10\"", [] { WriteDword(kHkcu, kKey, L"first", 10); }, L"ChkSeveral",
       1, [] { EXPECT_DWORD(kHkcu, kKey, L"second", 10u); }},
      {"several: the second value alone is not looked at", [] { WriteSz(kHkcu, kKey, L"second", L"10"); },
       L"ChkSeveral", 0, [] { EXPECT_NO_VALUE(kHkcu, kKey, L"first"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.seed();
    auto& form = Open();
    for (const auto& row : Table()) {
      const int expected = std::wstring_view(row.control) == c.box ? c.loaded : 0;
      EXPECT_EQ(form.Box(row.control).Value(), expected) << Utf8(row.control);
    }
    c.after();
    EXPECT_EQ(messages.Shown(), std::vector<std::string>{});
    Close();
    Clean();
  }
}

TEST_F(TweakBindingTest, ClicksRunTheCheckedActionThenTheUncheckedOne) {
  struct Case {
    const wchar_t* box;
    std::function<void()> checked;
    std::function<void()> unchecked;
  };
  const std::vector<Case> cases = {
      {L"ChkFlag", [] { EXPECT_DWORD(kHkcu, kKey, L"flag", 1u); }, [] { EXPECT_NO_VALUE(kHkcu, kKey, L"flag"); }},
      {L"ChkText", [] { EXPECT_SZ(kHkcu, kKey, L"text", L"no"); }, [] { EXPECT_NO_VALUE(kHkcu, kKey, L"text"); }},
      {L"ChkZero", [] { EXPECT_DWORD(kHklm, kKey, L"zero", 0u); }, [] { EXPECT_NO_VALUE(kHklm, kKey, L"zero"); }},
      {L"ChkStates", [] { EXPECT_SZ(kHkcu, kKey, L"state", L"No"); },
       [] { EXPECT_SZ(kHkcu, kKey, L"state", L"Yes"); }},
      {L"ChkNumbers", [] { EXPECT_DWORD(kHkcu, kKey, L"number", 1u); },
       [] { EXPECT_DWORD(kHkcu, kKey, L"number", 0u); }},
      {L"ChkRoots",
       [] {
         EXPECT_DWORD(kHklm, kKey, L"roots", 1u);
         EXPECT_DWORD(kHkcu, kKey, L"roots", 7u) << "checking writes under the machine only";
       },
       [] {
         EXPECT_NO_VALUE(kHklm, kKey, L"roots");
         EXPECT_NO_VALUE(kHkcu, kKey, L"roots");
       }},
      {L"ChkSeveral",
       [] {
         EXPECT_DWORD(kHkcu, kKey, L"first", 10u);
         EXPECT_DWORD(kHkcu, kKey, L"second", 10u);
       },
       [] {
         EXPECT_NO_VALUE(kHkcu, kKey, L"first");
         EXPECT_NO_VALUE(kHkcu, kKey, L"second");
       }},
      {L"ChkDeep", [] { EXPECT_DWORD(kHkcu, kDeepKey, L"deep", 1u); },
       [] {
         EXPECT_NO_VALUE(kHkcu, kDeepKey, L"deep");
         EXPECT_TRUE(KeyExists(kHkcu, kDeepKey)) << "keys are never removed";
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.box));
    WriteDword(kHkcu, kKey, L"roots", 7);
    auto& form = Open();
    ASSERT_EQ(form.Box(c.box).Value(), 0);
    Click(form.Box(c.box));
    EXPECT_EQ(form.Box(c.box).Value(), 1);
    c.checked();
    Click(form.Box(c.box));
    EXPECT_EQ(form.Box(c.box).Value(), 0);
    c.unchecked();
    EXPECT_EQ(messages.Shown(), std::vector<std::string>{});
    Close();
    Clean();
  }
}

TEST_F(TweakBindingTest, ARefusedClickPutsTheBoxBackAndSaysSo) {
  struct Case {
    const char* what;
    std::function<void()> seed;
    HKEY refusedRoot;
    std::wstring refusedKey;
    const wchar_t* box;
    std::function<void()> after;
  };
  const std::vector<Case> cases = {
      {"checking a machine value", [] {}, kHklm, kKey, L"ChkZero", [] { EXPECT_NO_VALUE(kHklm, kKey, L"zero"); }},
      {"unchecking a machine value", [] { WriteDword(kHklm, kKey, L"zero", 0); }, kHklm, kKey, L"ChkZero",
       [] { EXPECT_DWORD(kHklm, kKey, L"zero", 0u); }},
      {"unchecking under two roots", [] { WriteDword(kHklm, kKey, L"roots", 1); }, kHklm, kKey, L"ChkRoots",
       [] { EXPECT_DWORD(kHklm, kKey, L"roots", 1u); }},
      {"writing a second state", [] { WriteSz(kHkcu, kKey, L"state", L"No"); }, kHkcu, kKey, L"ChkStates",
       [] { EXPECT_SZ(kHkcu, kKey, L"state", L"No"); }},
      {"creating missing keys", [] {}, kHkcu, kKey, L"ChkDeep", [] { EXPECT_FALSE(KeyExists(kHkcu, kDeepKey)); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.seed();
    auto& form = Open();
    auto& box = form.Box(c.box);
    const int before = box.Value();
    {
      ScopedRefusal refusal(c.refusedRoot, c.refusedKey);
      Click(box);
      EXPECT_EQ(box.Value(), before) << "the box shows what the registry holds";
      EXPECT_EQ(messages.Shown(), std::vector<std::string>{kRefusedMessage});
      c.after();
    }
    messages.Clear();
    Click(box);
    EXPECT_EQ(box.Value(), 1 - before) << "once allowed, the same click goes through";
    EXPECT_EQ(messages.Shown(), std::vector<std::string>{});
    Close();
    Clean();
  }
}

TEST_F(TweakBindingTest, ARefusedRewriteWhileLoadingShowsNothing) {
  WriteSz(kHklm, kKey, L"zero", L"0");
  ScopedRefusal refusal(kHklm, kKey);
  auto& form = Open();
  EXPECT_EQ(form.Box(L"ChkZero").Value(), 1) << "the registry holds what made the box load checked";
  EXPECT_SZ(kHklm, kKey, L"zero", L"0");
  EXPECT_EQ(messages.Shown(), std::vector<std::string>{});

  // A single load routine run on its own is a load as well.
  WriteDword(kHkcu, kKey, L"flag", 1);
  {
    ScopedRefusal userRefusal(kHkcu, kKey);
    form.boxes.Load(L"ChkFlag");
  }
  EXPECT_EQ(form.Box(L"ChkFlag").Value(), 1);
  EXPECT_EQ(messages.Shown(), std::vector<std::string>{});
}

TEST_F(TweakBindingTest, BoxesFollowTheKeyboardOrderAndCarryTheirTexts) {
  auto& form = Open();
  std::vector<std::wstring> created;
  for (platform::Control* control : form.Controls()) created.push_back(control->Name());
  EXPECT_EQ(created, std::vector<std::wstring>(std::begin(kTabOrder), std::end(kTabOrder)));
  for (const auto& row : Table()) {
    EXPECT_EQ(form.Box(row.control).Text(), row.caption);
    EXPECT_EQ(ShownTip(form, form.Box(row.control)), row.toolTip);
  }
  EXPECT_EQ(form.boxes.Size(), Table().size());
}

TEST_F(TweakBindingTest, AKeyboardOrderMissingOrRepeatingABoxIsRefused) {
  platform::Form scratch({.caption = L"Scratch"});
  const wchar_t* const repeated[] = {L"ChkFlag", L"ChkFlag"};
  EXPECT_THROW(platform::TweakBoxes(scratch, Table(), repeated, &Stacked), std::logic_error);
  platform::Form other({.caption = L"Other"});
  const wchar_t* const missing[] = {L"ChkFlag"};
  EXPECT_THROW(platform::TweakBoxes(other, Table(), missing, &Stacked), std::logic_error);
}

}  // namespace
