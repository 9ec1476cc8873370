// Refused writes, every one: each key Korvane writes or deletes in refuses in
// turn (a deny DACL), and every action on it says so and changes nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "system/registry.h"
#include "reliability.h"
#include "repair/restriction_repair.h"
#include "shell/preferences_window.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"
#include "tweaks/security/set_password.h"

namespace {

using namespace reliability;
using testing_support::RawValue;
using testing_support::ScopedRefusal;

const RawValue kMarker{REG_SZ, testing_support::SzBytes(L"before")};

bool InKey(const platform::RegStep& step, const KeyId& key) { return KeyId{step.root, step.key} == key; }

void Put(Snapshot& snapshot, std::uint32_t root, const wchar_t* key, const wchar_t* name, const RawValue& value) {
  snapshot[Id(root, key, name)] = value;
  testing_support::WriteRaw(Handle(root), key, name, value.type, value.bytes);
}

// What the steps leave when the first one in the refusing key is refused.
void RunUntilRefused(Snapshot& snapshot, const std::vector<platform::RegStep>& steps, const KeyId& refusing) {
  for (const platform::RegStep& step : steps) {
    if (InKey(step, refusing)) return;
    if (step.remove) {
      snapshot.erase(Id(step.root, step.key, step.name));
    } else {
      snapshot[Id(step.root, step.key, step.name)] = Stored(step.data);
    }
  }
}

bool Holds(const Snapshot& snapshot, const platform::LoadRule& rule) {
  const auto found = snapshot.find(Id(rule.root, rule.key, rule.name));
  if (found == snapshot.end()) return false;
  const RawValue& raw = found->second;
  std::wstring text;
  if (raw.type == REG_DWORD && raw.bytes.size() == 4) {
    std::int32_t number = 0;
    std::memcpy(&number, raw.bytes.data(), 4);
    if (rule.numeric) return number == rule.number;
    text = std::to_wstring(number);
  } else if (raw.type == REG_SZ) {
    text.assign(raw.bytes.size() / 2, L'\0');
    std::memcpy(text.data(), raw.bytes.data(), text.size() * 2);
    text = text.substr(0, text.find(L'\0'));
  }
  if (!rule.numeric) return text == rule.text;
  const auto number = AsNumber(text);
  return number && *number == rule.number;
}

class RefusalTest : public testing::Test {
 protected:
  void SetUp() override {
    // A clean start: none of the values the pages, repairs, password and preferences use.
    for (const Page& page : Pages()) {
      for (const platform::TweakBinding& binding : page.table) {
        Remove(binding.load.root, binding.load.key, binding.load.name);
        for (const auto* steps : {&binding.checked, &binding.unchecked}) {
          for (const platform::RegStep& step : *steps) Remove(step.root, step.key, step.name);
        }
      }
    }
    for (const KeyId& key : RestrictionKeys()) {
      for (const wchar_t* name : {L"nofolderoptions", L"disableregistrytools", L"disabletaskmgr"}) {
        Remove(key.root, key.path.c_str(), name);
      }
    }
    Remove(PasswordKey().root, L".wab", L"RandomID");
    clean = Take(keys);
  }
  void TearDown() override {
    testing_support::EndAllForms();
  }
  static void Remove(std::uint32_t root, const wchar_t* key, const wchar_t* name) {
    testing_support::DeleteValue(Handle(root), key, name);
  }
  void Check(const Snapshot& expected, const std::string& what) {
    EXPECT_EQ(Differences(expected, Take(keys)), std::vector<std::string>{}) << what;
    Restore(keys, clean);
  }

  const std::vector<KeyId> keys = AllKeys();
  KeptKeys kept{keys};
  Snapshot clean;
  testing_support::MsgBoxRecorder messages;
};

TEST_F(RefusalTest, EveryTweakActionOnARefusingKeyGoesBackAndChangesNothingElse) {
  int refusals = 0;
  int keysRefusing = 0;
  for (const KeyId& refusing : TableKeys()) {
    ++keysRefusing;
    for (const Page& page : Pages()) {
      for (const platform::TweakBinding& binding : page.table) {
        for (const bool checking : {true, false}) {
          const auto& steps = checking ? binding.checked : binding.unchecked;
          if (std::none_of(steps.begin(), steps.end(), [&](const auto& s) { return InKey(s, refusing); })) continue;
          const std::string what = std::string(page.name) + " " + testing_support::Utf8(binding.control) +
                                   (checking ? " checked" : " unchecked") + " while " +
                                   testing_support::Utf8(refusing.path) + " refuses";
          SCOPED_TRACE(what);
          // Every value the action touches holds something, so that a delete has work to do.
          Snapshot expected = clean;
          for (const auto* touched : {&binding.checked, &binding.unchecked}) {
            for (const platform::RegStep& step : *touched) Put(expected, step.root, step.key, step.name, kMarker);
          }
          if (checking) {
            Put(expected, binding.load.root, binding.load.key, binding.load.name, kMarker);
          } else {
            for (const platform::RegStep& step : binding.checked) {
              Put(expected, step.root, step.key, step.name, Stored(step.data));
            }
          }
          {
            const ScopedRefusal refusal(Handle(refusing.root), refusing.path);
            ++refusals;
            platform::TweakBoxes& boxes = page.open();
            platform::CheckBox& box = boxes.Box(binding.control);
            ASSERT_EQ(box.Value(), checking ? 0 : 1);
            EXPECT_TRUE(messages.Calls().empty()) << "a refused rewrite during the load is silent";
            testing_support::Click(box);
            RunUntilRefused(expected, steps, refusing);
            EXPECT_EQ(messages.Texts(), std::vector<std::wstring>{platform::kRefusedChangeMessage});
            EXPECT_EQ(box.Value(), Holds(expected, binding.load) ? 1 : 0) << "the box shows what the registry holds";
            page.close();
            messages.Clear();
          }
          Check(expected, what);
        }
      }
    }
  }
  // Every action of the four pages' tables, refused in each key it touches.
  EXPECT_EQ(keysRefusing, 11);
  EXPECT_EQ(refusals, 121);
}

TEST_F(RefusalTest, DeletingWhatIsNotThereIsDoneEvenWhereTheKeyRefuses) {
  for (const KeyId& refusing : AllKeys()) {
    SCOPED_TRACE(testing_support::Utf8(refusing.path));
    const ScopedRefusal refusal(Handle(refusing.root), refusing.path);
    EXPECT_EQ(platform::RegDeleteValue(refusing.root, refusing.path, L"korvane absent"), platform::RegOutcome::Done);
    EXPECT_EQ(platform::RegSetValue(refusing.root, refusing.path, L"korvane absent", L"1"),
              platform::RegOutcome::Refused);
  }
  Check(clean, "nothing is written");
}

TEST_F(RefusalTest, RestrictionRepairsReportWhatTheyCouldNotRemove) {
  struct Repair {
    repair::Restriction restriction;
    const wchar_t* key;
    const wchar_t* name;
  };
  const Repair repairs[] = {
      {repair::Restriction::FolderOptions, L"Explorer", L"NoFolderOptions"},
      {repair::Restriction::RegistryEditor, L"System", L"DisableRegistryTools"},
      {repair::Restriction::TaskManager, L"System", L"DisableTaskMgr"},
  };
  int refusals = 0;
  for (const KeyId& refusing : RestrictionKeys()) {
    for (const Repair& r : repairs) {
      const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\" + std::wstring(r.key);
      if (!(KeyId{refusing.root, key} == refusing)) continue;
      const std::string what = testing_support::Utf8(refusing.path) + " refuses under " +
                               (refusing.root == platform::kCurrentUser ? "the user" : "the machine");
      SCOPED_TRACE(what);
      // Set under both roots: the one that allows it is repaired, the other is reported.
      Snapshot expected = clean;
      const RawValue one{REG_DWORD, testing_support::DwordBytes(1)};
      for (const std::uint32_t root : {platform::kCurrentUser, platform::kLocalMachine}) {
        Put(expected, root, key.c_str(), r.name, one);
      }
      {
        const ScopedRefusal refusal(Handle(refusing.root), refusing.path);
        ++refusals;
        repair::FixRestriction(r.restriction);
      }
      const std::uint32_t other =
          refusing.root == platform::kCurrentUser ? platform::kLocalMachine : platform::kCurrentUser;
      expected.erase(Id(other, key, r.name));
      EXPECT_EQ(messages.Texts(), std::vector<std::wstring>{
                                      L"Korvane could not remove the restriction. Administrator rights may be required."});
      messages.Clear();
      Check(expected, what);
    }
  }
  EXPECT_EQ(refusals, 6);
}

TEST_F(RefusalTest, ThePasswordAndThePreferencesSayTheyWereNotSaved) {
  // The password: a new one and a removal.
  for (const wchar_t* typed : {L"new secret", L"", L"  "}) {
    SCOPED_TRACE(testing_support::Utf8(typed));
    Snapshot expected = clean;
    Put(expected, platform::kClassesRoot, L".wab", L"RandomID", {REG_SZ, testing_support::SzBytes(L"old")});
    {
      const ScopedRefusal refusal(HKEY_CLASSES_ROOT, L".wab");
      auto& form = platform::Instance<tweaks::FrmSecOpt>();
      EXPECT_EQ(form.TxtPass.Text(), L"old");
      form.TxtPass.SetText(typed);
      testing_support::Click(form.CmdSavePass);
      ASSERT_EQ(messages.Calls().size(), 1u);
      EXPECT_EQ(messages.Calls()[0].text, L"The password could not be saved. Administrator rights may be required.");
      EXPECT_EQ(messages.Calls()[0].icon, platform::MsgIcon::Critical);
      messages.Clear();
      form.Unload();
      testing_support::Pump();
    }
    Check(expected, "password");
  }

  // The preferences, as stored and as the defaults restore them.
  for (const bool restoreDefaults : {false, true}) {
    Snapshot expected = clean;
    Put(expected, platform::kCurrentUser, L"Software\\Korvane", L"splash", {REG_DWORD, testing_support::DwordBytes(0)});
    Put(expected, platform::kCurrentUser, L"Software\\Korvane", L"opentab", {REG_SZ, testing_support::SzBytes(L"Fix")});
    {
      const ScopedRefusal refusal(HKEY_CURRENT_USER, L"Software\\Korvane");
      auto& form = platform::Instance<shell::FrmOptions>();
      if (restoreDefaults) testing_support::Click(form.CmdRestore);
      messages.Clear();
      testing_support::Click(form.CmdSave);
      EXPECT_EQ(messages.Texts(), std::vector<std::wstring>{L"The preferences could not be saved."});
      messages.Clear();
      form.Unload();
      testing_support::Pump();
    }
    Check(expected, "preferences");
  }
}

}  // namespace
