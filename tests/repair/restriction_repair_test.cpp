#include "repair/restriction_repair.h"

#include "fix_page_fixture.h"
#include "support/registry_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
using platform::MsgIcon;
using repair_tests::Message;
using repair_tests::Showed;

const HKEY kHklm = HKEY_LOCAL_MACHINE;
const std::wstring kPolicies = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\";
const std::wstring kRestart = L"Please restart the computer for any changes to take effect";

struct Repair {
  platform::Button repair::FixPage::*button;
  std::wstring key;
  std::wstring value;  // spelt as a virus might; the names ignore case
  std::wstring notFound;
  std::vector<std::wstring> repaired;
};

const Repair kRepairs[] = {
    {&repair::FixPage::CmdFixFolderO, kPolicies + L"Explorer", L"NOFOLDEROPTIONS",
     L"No Folder Options restriction detected",
     {L"Korvane successfully attempted to fix the folder options inaccessibility", kRestart}},
    {&repair::FixPage::CmdFixReg, kPolicies + L"System", L"DisableRegistryTools",
     L"No Registry Editor restriction detected",
     {L"Korvane successfully attempted to fix the Registry Editor inaccessibility"}},
    {&repair::FixPage::CmdFixTaskM, kPolicies + L"System", L"DisableTaskMgr", L"No Task Manager restriction detected",
     {L"Korvane successfully attempted to fix the Task Manager inaccessibility", kRestart}},
};

using Held = std::optional<RawValue>;
const Held kAbsent;
Held Dword(DWORD n) { return RawValue{REG_DWORD, DwordBytes(n)}; }
Held Sz(const wchar_t* text) { return RawValue{REG_SZ, SzBytes(text)}; }

class RestrictionRepairTest : public repair_tests::FixPageTest {
 protected:
  void SetUp() override {
    ClearPolicies();
    FixPageTest::SetUp();
  }
  void TearDown() override {
    FixPageTest::TearDown();
    ClearPolicies();
  }
  static void ClearPolicies() {
    for (const auto& r : kRepairs) {
      for (const HKEY root : {kHkcu, kHklm}) DeleteValue(root, r.key, r.value);
    }
  }
  static void Seed(const Repair& r, const Held& user, const Held& machine) {
    ClearPolicies();
    if (user) WriteRaw(kHkcu, r.key, r.value, user->type, user->bytes);
    if (machine) WriteRaw(kHklm, r.key, r.value, machine->type, machine->bytes);
  }
  static void ExpectHeld(const Repair& r, const Held& user, const Held& machine) {
    EXPECT_EQ(Describe(ReadRaw(kHkcu, r.key, r.value)), Describe(user)) << "current user";
    EXPECT_EQ(Describe(ReadRaw(kHklm, r.key, r.value)), Describe(machine)) << "local machine";
  }
  void Press(const Repair& r) {
    messages.Clear();
    Click(Page().*r.button);
  }
};

TEST_F(RestrictionRepairTest, DeletesWhatIsSetToOneUnderEitherRoot) {
  struct Case {
    const char* what;
    Held userBefore, machineBefore, userAfter, machineAfter;
  };
  const Case cases[] = {
      {"neither root", kAbsent, kAbsent, kAbsent, kAbsent},
      {"current user only", Dword(1), kAbsent, kAbsent, kAbsent},
      {"machine only", kAbsent, Dword(1), kAbsent, kAbsent},
      {"both roots", Dword(1), Dword(1), kAbsent, kAbsent},
      {"text 1", Sz(L"1"), kAbsent, kAbsent, kAbsent},
      {"zero", Dword(0), kAbsent, Dword(0), kAbsent},
      {"two and text yes", Dword(2), Sz(L"yes"), Dword(2), Sz(L"yes")},
      {"zero here, one there", Dword(0), Dword(1), Dword(0), kAbsent},
  };
  for (const auto& r : kRepairs) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << ", " << Utf8(r.notFound));
      Seed(r, c.userBefore, c.machineBefore);
      Press(r);
      ExpectHeld(r, c.userAfter, c.machineAfter);
      std::vector<platform::MsgBoxCall> expected;
      for (const auto& text : r.repaired) expected.push_back(Message(text, MsgIcon::Information));
      const bool found = Describe(c.userBefore) != Describe(c.userAfter) ||
                         Describe(c.machineBefore) != Describe(c.machineAfter);
      if (!found) expected = {Message(r.notFound, MsgIcon::Exclamation)};
      EXPECT_TRUE(Showed(messages, expected));
    }
  }
}

TEST_F(RestrictionRepairTest, ARefusedDeleteIsNotReportedAsARepair) {
  struct Case {
    const char* what;
    Held userBefore, machine;
    bool found;
  };
  const Case cases[] = {
      {"machine refuses", kAbsent, Dword(1), true},
      {"user repaired, machine refuses", Dword(1), Dword(1), true},
      {"nothing set where it refuses", kAbsent, Dword(0), false},
  };
  for (const auto& r : kRepairs) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << ", " << Utf8(r.notFound));
      Seed(r, c.userBefore, c.machine);
      {
        const ScopedRefusal refusal(kHklm, r.key);
        Press(r);
      }
      ExpectHeld(r, kAbsent, c.machine);
      EXPECT_TRUE(Showed(messages, {c.found ? Message(L"Korvane could not remove the restriction. Administrator "
                                                      L"rights may be required.",
                                                      MsgIcon::Exclamation)
                                            : Message(r.notFound, MsgIcon::Exclamation)}));
    }
  }
}

TEST_F(RestrictionRepairTest, QuestionMarkWarnsAboutAdministratorRights) {
  ClickLabel(Page().LblQFix);
  EXPECT_TRUE(Showed(messages, {Message(L"Fixing the folder options, task manager and registry editor "
                                        L"inaccessibility may require administrator privileges",
                                        MsgIcon::Information, L"Information")}));
}

}  // namespace
