#include "system/registry.h"

#include <gtest/gtest.h>

#include "support/registry_helpers.h"

namespace {

using namespace testing_support;
using platform::RegOutcome;

const std::wstring kKey = L"Software\\Korvane\\RegistryTest";

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override { DeleteKey(kHkcu, kKey); }
  void TearDown() override { DeleteKey(kHkcu, kKey); }
};

std::wstring ReadText(const std::wstring& name) {
  return platform::RegGetValue(platform::kCurrentUser, kKey, name).Text();
}

TEST_F(RegistryTest, ReadsEachTypeAsTheRulesSay) {
  struct Case {
    const char* what;
    DWORD type;
    std::vector<BYTE> bytes;
    const wchar_t* expected;
    bool number;
  };
  std::vector<BYTE> abcNulMore = SzBytes(L"abc");
  for (BYTE b : SzBytes(L"more")) abcNulMore.push_back(b);
  const std::vector<BYTE> noNul = {'x', 0, 'y', 0, 'z', 0};
  const std::vector<BYTE> oddLength = {'o', 0, 'k', 0, 'q'};
  const std::vector<Case> cases = {
      {"text cut at its first NUL", REG_SZ, abcNulMore, L"abc", false},
      {"empty REG_SZ", REG_SZ, SzBytes(L""), L"", false},
      {"REG_SZ of no bytes at all", REG_SZ, {}, L"", false},
      {"REG_SZ without NUL reads whole", REG_SZ, noNul, L"xyz", false},
      {"REG_SZ of odd length drops the odd byte", REG_SZ, oddLength, L"ok", false},
      {"REG_DWORD 1", REG_DWORD, DwordBytes(1), L"1", true},
      {"REG_DWORD all bits set is -1", REG_DWORD, DwordBytes(0xFFFFFFFFu), L"-1", true},
      {"REG_DWORD of two bytes is malformed", REG_DWORD, {1, 0}, L"", false},
      {"REG_DWORD of eight bytes is malformed", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}, L"", false},
      {"REG_EXPAND_SZ", REG_EXPAND_SZ, SzBytes(L"%TEMP%"), L"", false},
      {"REG_MULTI_SZ", REG_MULTI_SZ, SzBytes(L"a"), L"", false},
      {"REG_BINARY", REG_BINARY, {1, 2, 3}, L"", false},
      {"REG_QWORD", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, L"", false},
  };
  for (const auto& c : cases) {
    WriteRaw(kHkcu, kKey, L"v", c.type, c.bytes);
    const auto value = platform::RegGetValue(platform::kCurrentUser, kKey, L"v");
    EXPECT_EQ(value.Text(), c.expected) << c.what;
    EXPECT_EQ(value.IsNumber(), c.number) << c.what;
  }
}

TEST_F(RegistryTest, MissingKeyAndMissingValueBothReadEmpty) {
  EXPECT_EQ(ReadText(L"absent"), L"");
  WriteDword(kHkcu, kKey, L"other", 5);
  EXPECT_EQ(ReadText(L"absent"), L"");
  EXPECT_FALSE(platform::RegGetValue(platform::kCurrentUser, kKey, L"absent").IsNumber());
}

TEST_F(RegistryTest, WritesNumbersAsDwordAndOtherTextTrimmed) {
  struct Case {
    const wchar_t* written;
    bool dword;
    DWORD number;
    const wchar_t* text;
  };
  const Case cases[] = {
      {L"1", true, 1, nullptr},        {L" 2 ", true, 2, nullptr},
      {L"-7", true, 0xFFFFFFF9u, nullptr}, {L"+10", true, 10, nullptr},
      {L"007", true, 7, nullptr},      {L"no", false, 0, L"no"},
      {L" no ", false, 0, L"no"},      {L"", false, 0, L""},
      {L"   ", false, 0, L""},         {L"1.5", false, 0, L"1.5"},
      {L"2147483648", false, 0, L"2147483648"}, {L" 99999999999 ", false, 0, L"99999999999"},
      {L"-2147483648", true, 0x80000000u, nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::RegSetValue(platform::kCurrentUser, kKey, L"v", c.written), RegOutcome::Done);
    if (c.dword) {
      EXPECT_DWORD(kHkcu, kKey, L"v", c.number) << "written: " << testing::PrintToString(std::wstring(c.written));
    } else {
      EXPECT_SZ(kHkcu, kKey, L"v", c.text) << "written: " << testing::PrintToString(std::wstring(c.written));
    }
  }
  platform::RegSetValue(platform::kCurrentUser, kKey, L"n", std::int32_t{0});
  EXPECT_DWORD(kHkcu, kKey, L"n", 0u);
}

TEST_F(RegistryTest, TextIsStoredAsGivenWhenAsked) {
  platform::RegSetText(platform::kCurrentUser, kKey, L"v", L" 007 ");
  EXPECT_SZ(kHkcu, kKey, L"v", L" 007 ");
}

TEST_F(RegistryTest, WriteCreatesEveryMissingLevel) {
  const std::wstring deep = kKey + L"\\a\\b\\c";
  platform::RegSetValue(platform::kCurrentUser, deep, L"v", L"1");
  EXPECT_DWORD(kHkcu, deep, L"v", 1u);
}

TEST_F(RegistryTest, DeleteRemovesOneValueAndNeverAKey) {
  WriteDword(kHkcu, kKey, L"a", 1);
  WriteDword(kHkcu, kKey, L"b", 2);
  EXPECT_EQ(platform::RegDeleteValue(platform::kCurrentUser, kKey, L"a"), RegOutcome::Done);
  EXPECT_NO_VALUE(kHkcu, kKey, L"a");
  EXPECT_DWORD(kHkcu, kKey, L"b", 2u);
  EXPECT_EQ(platform::RegDeleteValue(platform::kCurrentUser, kKey, L"b"), RegOutcome::Done);
  EXPECT_TRUE(KeyExists(kHkcu, kKey)) << "the key outlives its last value";
  EXPECT_EQ(platform::RegDeleteValue(platform::kCurrentUser, kKey, L"never"), RegOutcome::Done)
      << "deleting what is not there is not a refusal";
}

TEST_F(RegistryTest, DeleteUnderMissingKeyDoesNotCreateIt) {
  const std::wstring missing = kKey + L"\\missing\\deeper";
  EXPECT_EQ(platform::RegDeleteValue(platform::kCurrentUser, missing, L"v"), RegOutcome::Done);
  EXPECT_FALSE(KeyExists(kHkcu, missing));
  EXPECT_FALSE(KeyExists(kHkcu, kKey));
}

TEST_F(RegistryTest, KeyExistsAndLeavesNothingOpen) {
  EXPECT_FALSE(platform::RegKeyExists(platform::kCurrentUser, kKey));
  WriteDword(kHkcu, kKey, L"a", 1);
  EXPECT_TRUE(platform::RegKeyExists(platform::kCurrentUser, kKey));
  EXPECT_EQ(platform::RegLastResult, ERROR_SUCCESS) << "the last call is the closing of the key";
  // With no handle left open, the key can be deleted at once.
  EXPECT_EQ(RegDeleteKeyW(kHkcu, kKey.c_str()), ERROR_SUCCESS);
}

TEST_F(RegistryTest, RefusedWritesAndDeletesAreReportedAndChangeNothing) {
  WriteDword(kHkcu, kKey, L"kept", 1);
  ScopedRefusal refusal(kHkcu, kKey);
  EXPECT_EQ(platform::RegSetValue(platform::kCurrentUser, kKey, L"kept", L"2"), RegOutcome::Refused);
  EXPECT_EQ(platform::RegSetValue(platform::kCurrentUser, kKey, L"new", L"text"), RegOutcome::Refused);
  EXPECT_EQ(platform::RegDeleteValue(platform::kCurrentUser, kKey, L"kept"), RegOutcome::Refused);
  EXPECT_EQ(platform::RegLastResult, ERROR_ACCESS_DENIED) << "the refusal leaves its trace";
  EXPECT_DWORD(kHkcu, kKey, L"kept", 1u);
  EXPECT_NO_VALUE(kHkcu, kKey, L"new");
  EXPECT_EQ(platform::RegGetValue(platform::kCurrentUser, kKey, L"kept").Text(), L"1") << "reads stay allowed";
}

TEST(RegValueTest, ComparesAsNumbersAndAsText) {
  using platform::RegValue;
  EXPECT_TRUE(RegValue(1).EqualsNumber(1));
  EXPECT_TRUE(RegValue(std::wstring(L"01")).EqualsNumber(1));
  EXPECT_TRUE(RegValue(std::wstring(L" 1 ")).EqualsNumber(1));
  EXPECT_FALSE(RegValue(std::wstring(L"")).EqualsNumber(0)) << "absent equals no number";
  EXPECT_FALSE(RegValue().EqualsNumber(0));
  EXPECT_FALSE(RegValue(std::wstring(L"no")).EqualsNumber(0));
  EXPECT_TRUE(RegValue(10).EqualsText(L"10"));
  EXPECT_TRUE(RegValue(-1).EqualsText(L"-1"));
  EXPECT_FALSE(RegValue(std::wstring(L" 1")).EqualsText(L"1"));
  EXPECT_FALSE(RegValue(std::wstring(L"no")).EqualsText(L"No"));
}

}  // namespace
