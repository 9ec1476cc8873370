// Registry data no program of ours wrote: seeded random values of every type
// and size in the keys Korvane reads, checked against a small model of the
// read rules, then every tweak page opened on top of them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <random>

#include "system/registry.h"
#include "reliability.h"
#include "repair/restriction_repair.h"
#include "shell/preferences_window.h"
#include "support/ui_helpers.h"
#include "tweaks/security/set_password.h"
#include "support/seams.h"
#include "support/text.h"

namespace {

using namespace reliability;
using testing_support::RawValue;

constexpr std::uint32_t kSeed = 20261208;

// What a value should read as: a number, or text ("" for everything unreadable).
struct Expected {
  bool isNumber = false;
  std::int32_t number = 0;
  std::wstring text;
};

Expected Model(const std::optional<RawValue>& raw) {
  if (!raw) return {};
  if (raw->type == REG_DWORD) {
    if (raw->bytes.size() != 4) return {};
    std::int32_t number = 0;
    std::memcpy(&number, raw->bytes.data(), 4);
    return {true, number, L""};
  }
  if (raw->type != REG_SZ) return {};
  std::wstring text(raw->bytes.size() / 2, L'\0');
  std::memcpy(text.data(), raw->bytes.data(), text.size() * 2);
  return {false, 0, text.substr(0, text.find(L'\0'))};
}

std::wstring AsText(const Expected& value) { return value.isNumber ? std::to_wstring(value.number) : value.text; }

bool RuleHolds(const platform::LoadRule& rule, const Expected& value) {
  if (!rule.numeric) return AsText(value) == rule.text;
  if (value.isNumber) return value.number == rule.number;
  const auto number = AsNumber(value.text);
  return number && *number == rule.number;
}

// Random values with a bias towards the data the rules care about.
class Generator {
 public:
  explicit Generator(std::uint32_t seed) : random_(seed) {}

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  bool Chance(int percent) { return Below(100) < percent; }

  std::size_t Size() {
    const int bucket = Below(100);
    if (bucket < 60) return static_cast<std::size_t>(Below(40));
    if (bucket < 90) return static_cast<std::size_t>(Below(4096));
    return static_cast<std::size_t>(60 * 1024 + Below(12 * 1024));  // beyond 64 KiB as well
  }

  std::wstring Text(const platform::LoadRule* rule) {
    static const wchar_t* const kInteresting[] = {
        L"1",  L"0",   L"10", L" 1 ", L"01",  L"+1", L"-0", L"-1",         L"2147483648", L"4294967297",
        L"no", L"No",  L"NO", L"Yes", L"no ", L" ",  L"",   L"1.0",        L"1e0",        L"0x1",
        L"٣", L"１", L"\t1", L"--1", L"+",   L"-",  L"00000000000000000000001"};
    if (rule && Chance(25)) {
      const std::wstring base = rule->numeric ? std::to_wstring(rule->number) : rule->text;
      switch (Below(4)) {
        case 0: return base;
        case 1: return L" " + base + L"  ";
        case 2: return L"0" + base;
        default: return base + L"x";
      }
    }
    if (Chance(50)) return kInteresting[Below(static_cast<int>(std::size(kInteresting)))];
    std::wstring text(Size() / 2, L'\0');
    for (wchar_t& c : text) c = static_cast<wchar_t>(Chance(80) ? L' ' + Below(95) : Below(0x10000));
    return text;
  }

  RawValue Value(const platform::LoadRule* rule) {
    static const DWORD kTypes[] = {REG_NONE,      REG_EXPAND_SZ, REG_BINARY,   REG_DWORD_BIG_ENDIAN,
                                   REG_LINK,      REG_MULTI_SZ,  REG_QWORD,    REG_RESOURCE_LIST,
                                   REG_FULL_RESOURCE_DESCRIPTOR, REG_RESOURCE_REQUIREMENTS_LIST};
    const int kind = Below(100);
    if (kind < 40) {
      const std::wstring text = Text(rule);
      std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(text.data()),
                              reinterpret_cast<const BYTE*>(text.data() + text.size()));
      if (Chance(70)) bytes.insert(bytes.end(), {0, 0});                 // terminated
      if (Chance(20)) {                                                  // more after a NUL
        bytes.insert(bytes.end(), {0, 0, 'x', 0, 'y', 0});
      }
      if (Chance(15)) bytes.push_back(static_cast<BYTE>(Below(256)));    // odd length
      return {REG_SZ, bytes};
    }
    if (kind < 70) {
      std::vector<BYTE> bytes(Chance(60) ? 4 : static_cast<std::size_t>(Below(9)));
      DWORD number = 0;
      switch (Below(4)) {
        case 0: number = rule && rule->numeric ? static_cast<DWORD>(rule->number) : 1; break;
        case 1: number = 0xFFFFFFFFu; break;
        case 2: number = static_cast<DWORD>(Below(11)); break;
        default: number = static_cast<DWORD>(random_()); break;
      }
      for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = i < 4 ? static_cast<BYTE>(number >> (8 * i)) : 0x5A;
      return {REG_DWORD, bytes};
    }
    const DWORD type = Chance(70) ? kTypes[Below(static_cast<int>(std::size(kTypes)))] : static_cast<DWORD>(random_());
    std::vector<BYTE> bytes(Size());
    for (BYTE& b : bytes) b = static_cast<BYTE>(Chance(30) ? 0 : Below(256));
    // The data of a text that some other type holds: it must not read as that text.
    if (rule && Chance(40) && !rule->numeric) {
      const std::wstring text = rule->text;
      bytes.assign(reinterpret_cast<const BYTE*>(text.c_str()),
                   reinterpret_cast<const BYTE*>(text.c_str() + text.size() + 1));
    }
    return {type, bytes};
  }

 private:
  std::mt19937 random_;
};

std::string Show(const Expected& value) {
  return value.isNumber ? "number " + std::to_string(value.number) : "text \"" + testing_support::Utf8(value.text) + "\"";
}
std::string Show(const platform::RegValue& value) {
  return value.IsNumber() ? "number " + std::to_string(value.Number()) : "text \"" + testing_support::Utf8(value.Text()) + "\"";
}

// A value a load rule reads, or another name in one of the keys Korvane reads.
struct Target {
  KeyId key;
  std::wstring name;
  const platform::LoadRule* rule;  // null for names no rule reads
};

std::vector<Target> Targets() {
  std::vector<Target> targets;
  for (const Page& page : Pages()) {
    for (const platform::TweakBinding& binding : page.table) {
      targets.push_back({{binding.load.root, binding.load.key}, binding.load.name, &binding.load});
    }
  }
  for (const KeyId& key : AllKeys()) {
    for (const wchar_t* name : {L"RandomID", L"splash", L"opentab", L"nofolderoptions", L"disabletaskmgr",
                                L"disableregistrytools", L"korvane fuzz", L""}) {
      targets.push_back({key, name, nullptr});
    }
  }
  return targets;
}

class RegistryFuzzTest : public testing::Test {
 protected:
  void TearDown() override {
    testing_support::EndAllForms();
  }
  KeptKeys kept{AllKeys()};
  testing_support::MsgBoxRecorder messages;
};

TEST_F(RegistryFuzzTest, EveryValueReadsAsTheRulesSay) {
  const auto start = std::chrono::steady_clock::now();
  Generator random(kSeed);
  const std::vector<Target> targets = Targets();
  constexpr int kValues = 8000;
  int mismatches = 0;
  std::size_t bytes = 0;
  int numbers = 0, texts = 0, empties = 0, holding = 0;
  for (int i = 0; i < kValues && mismatches < 10; ++i) {
    const Target& target = targets[static_cast<std::size_t>(random.Below(static_cast<int>(targets.size())))];
    const RawValue raw = random.Value(target.rule);
    bytes += raw.bytes.size();
    const HKEY root = Handle(target.key.root);
    testing_support::WriteRaw(root, target.key.path, target.name, raw.type, raw.bytes);
    const Expected expected = Model(testing_support::ReadRaw(root, target.key.path, target.name));
    const platform::RegValue got = platform::RegGetValue(target.key.root, target.key.path, target.name);
    const bool same = got.IsNumber() == expected.isNumber &&
                      (expected.isNumber ? got.Number() == expected.number : got.Text() == expected.text);
    if (!same) {
      ++mismatches;
      ADD_FAILURE() << "value " << i << " (type " << raw.type << ", " << raw.bytes.size() << " bytes) under "
                    << testing_support::Utf8(target.key.path) << " : " << testing_support::Utf8(target.name)
                    << " reads as " << Show(got) << ", expected " << Show(expected);
    }
    ++(expected.isNumber ? numbers : expected.text.empty() ? empties : texts);
    if (target.rule) {
      holding += RuleHolds(*target.rule, expected) ? 1 : 0;
      EXPECT_EQ(target.rule->Holds(), RuleHolds(*target.rule, expected))
          << "value " << i << ": the load rule of " << testing_support::Utf8(target.name);
    }
    if (random.Chance(10)) testing_support::DeleteValue(root, target.key.path, target.name);
  }
  EXPECT_TRUE(messages.Calls().empty());
  std::cout << "[ figures  ] " << kValues << " values (" << bytes << " bytes) written and read in "
            << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()
            << " ms; " << numbers << " read as numbers, " << texts << " as text, " << empties << " as \"\", "
            << holding << " held a load rule\n";
  EXPECT_GT(numbers, kValues / 10);
  EXPECT_GT(texts, kValues / 10);
  EXPECT_GT(empties, kValues / 10);
  EXPECT_GT(holding, kValues / 50);
}

// Seeds every value a page's rules read, predicts each box and every value
// after the load (a box that loads checked writes its checked data again),
// opens the page and compares.
TEST_F(RegistryFuzzTest, EveryPageLoadsAsTheRulesSayOnHostileData) {
  const auto start = std::chrono::steady_clock::now();
  Generator random(kSeed + 1);
  const std::vector<KeyId> keys = AllKeys();
  constexpr int kRounds = 30;
  int loads = 0;
  int checkedBoxes = 0;
  for (const Page& page : Pages()) {
    for (int round = 0; round < kRounds; ++round) {
      SCOPED_TRACE(std::string(page.name) + " round " + std::to_string(round));
      for (const platform::TweakBinding& binding : page.table) {
        const HKEY root = Handle(binding.load.root);
        if (random.Chance(15)) {
          testing_support::DeleteValue(root, binding.load.key, binding.load.name);
        } else {
          const RawValue raw = random.Value(&binding.load);
          testing_support::WriteRaw(root, binding.load.key, binding.load.name, raw.type, raw.bytes);
        }
        // The values the actions write, seeded too, so that a rewrite that should not happen shows.
        for (const platform::RegStep& step : binding.checked) {
          if (random.Chance(30)) {
            const RawValue raw = random.Value(nullptr);
            testing_support::WriteRaw(Handle(step.root), step.key, step.name, raw.type, raw.bytes);
          }
        }
      }
      Snapshot expected = Take(keys);
      std::vector<std::wstring> checked;
      for (const platform::TweakBinding& binding : page.table) {
        const auto found = expected.find(Id(binding.load.root, binding.load.key, binding.load.name));
        const Expected value = Model(found == expected.end() ? std::nullopt : std::optional<RawValue>(found->second));
        if (!RuleHolds(binding.load, value)) continue;
        checked.push_back(binding.control);
        for (const platform::RegStep& step : binding.checked) {
          expected[Id(step.root, step.key, step.name)] = Stored(step.data);
        }
      }
      platform::TweakBoxes& boxes = page.open();
      ++loads;
      std::vector<std::wstring> shown;
      for (const platform::TweakBinding& binding : page.table) {
        if (boxes.Box(binding.control).Value() == 1) shown.push_back(binding.control);
      }
      page.close();
      EXPECT_EQ(shown, checked);
      checkedBoxes += static_cast<int>(checked.size());
      EXPECT_EQ(Differences(expected, Take(keys)), std::vector<std::string>{});
      EXPECT_TRUE(messages.Calls().empty());
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(checkedBoxes, loads / 4);
  std::cout << "[ figures  ] " << loads << " page loads on random data, " << checkedBoxes << " boxes loaded checked, in "
            << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()
            << " ms\n";
}

// The preferences and the password window read their values on opening; the
// password window stores whatever is typed, exactly.
TEST_F(RegistryFuzzTest, ThePreferencesAndThePasswordOpenOnAnyDataAndKeepWhatIsTyped) {
  Generator random(kSeed + 2);
  const KeyId settings = SettingsKey();
  const KeyId password = PasswordKey();
  constexpr int kRounds = 60;
  int typed = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const RawValue splash = random.Value(nullptr);
    const RawValue tab = random.Chance(30) ? RawValue{REG_SZ, testing_support::SzBytes(L"Fix")} : random.Value(nullptr);
    const RawValue stored = random.Value(nullptr);
    testing_support::WriteRaw(Handle(settings.root), settings.path, L"splash", splash.type, splash.bytes);
    testing_support::WriteRaw(Handle(settings.root), settings.path, L"opentab", tab.type, tab.bytes);
    testing_support::WriteRaw(Handle(password.root), password.path, L"RandomID", stored.type, stored.bytes);

    // The splash box: 0 unchecked, 1 checked, 2 greyed, anything else the default, checked.
    const Expected splashValue = Model(splash);
    std::optional<std::int32_t> state =
        splashValue.isNumber ? std::optional<std::int32_t>(splashValue.number) : AsNumber(splashValue.text);
    auto& options = platform::Instance<shell::FrmOptions>();
    EXPECT_EQ(options.ChkSplash.Value(), state && *state >= 0 && *state <= 2 ? *state : 1);
    options.Unload();

    auto& form = platform::Instance<tweaks::FrmSecOpt>();
    EXPECT_EQ(form.TxtPass.Text(), AsText(Model(stored)));
    std::wstring text = random.Text(nullptr);
    text = text.substr(0, text.find(L'\0'));
    if (text.size() > 1000) text.resize(1000);
    form.TxtPass.SetText(text);
    ++typed;
    testing_support::Click(form.CmdSavePass);
    const bool blank = text.find_first_not_of(L' ') == std::wstring::npos;
    const auto raw = testing_support::ReadRaw(Handle(password.root), password.path, L"RandomID");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->bytes, testing_support::SzBytes(blank ? L"" : text)) << testing_support::Utf8(text);
    if (platform::IsLoaded<tweaks::FrmSecOpt>()) form.Unload();
    testing_support::Pump();
  }
  EXPECT_EQ(messages.Texts(), std::vector<std::wstring>(kRounds, L"Password successfully saved"));
  std::cout << "[ figures  ] " << kRounds << " openings of the preferences and the password window on random data, "
            << typed << " passwords typed\n";
}

// The restriction repairs on whatever a virus left: a value is removed only
// where it reads as 1, and the message says what was found.
TEST_F(RegistryFuzzTest, RestrictionRepairsRemoveOnlyWhatReadsAsOne) {
  struct Repair {
    repair::Restriction restriction;
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* notFound;
    const wchar_t* repaired;
  };
  const Repair repairs[] = {
      {repair::Restriction::FolderOptions, L"Explorer", L"NoFolderOptions", L"No Folder Options restriction detected",
       L"Korvane successfully attempted to fix the folder options inaccessibility"},
      {repair::Restriction::RegistryEditor, L"System", L"DisableRegistryTools",
       L"No Registry Editor restriction detected",
       L"Korvane successfully attempted to fix the Registry Editor inaccessibility"},
      {repair::Restriction::TaskManager, L"System", L"DisableTaskMgr", L"No Task Manager restriction detected",
       L"Korvane successfully attempted to fix the Task Manager inaccessibility"},
  };
  const std::vector<KeyId> keys = RestrictionKeys();
  Generator random(kSeed + 3);
  constexpr int kRounds = 120;
  int removed = 0;
  for (int round = 0; round < kRounds; ++round) {
    const Repair& r = repairs[random.Below(3)];
    SCOPED_TRACE("round " + std::to_string(round) + " " + testing_support::Utf8(r.name));
    const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\" + std::wstring(r.key);
    const platform::LoadRule one = platform::EqualsNumber(platform::kCurrentUser, key.c_str(), r.name, 1);
    bool found = false;
    for (const std::uint32_t root : {platform::kCurrentUser, platform::kLocalMachine}) {
      if (random.Chance(20)) {
        testing_support::DeleteValue(Handle(root), key, r.name);
      } else {
        const RawValue raw = random.Value(&one);
        testing_support::WriteRaw(Handle(root), key, r.name, raw.type, raw.bytes);
      }
    }
    Snapshot expected = Take(keys);
    for (const std::uint32_t root : {platform::kCurrentUser, platform::kLocalMachine}) {
      const auto value = expected.find(Id(root, key, r.name));
      if (value != expected.end() && RuleHolds(one, Model(value->second))) {
        found = true;
        ++removed;
        expected.erase(value);
      }
    }
    messages.Clear();
    repair::FixRestriction(r.restriction);
    ASSERT_FALSE(messages.Calls().empty());
    EXPECT_EQ(messages.Calls()[0].text, found ? r.repaired : r.notFound);
    EXPECT_EQ(Differences(expected, Take(keys)), std::vector<std::string>{});
  }
  EXPECT_GT(removed, kRounds / 10);
  std::cout << "[ figures  ] " << kRounds << " restriction repairs on random data, " << removed << " values removed\n";
}

}  // namespace
