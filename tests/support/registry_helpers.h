// Reads and writes the test prefix's real registry below the module under
// test, so tests can seed raw data and check exactly what was stored.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace testing_support {

inline const HKEY kHkcu = HKEY_CURRENT_USER;
inline const std::wstring kSystemPolicies = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

HKEY Root(std::uint32_t root);
std::optional<RawValue> ReadRaw(HKEY root, const std::wstring& key, const std::wstring& name);
void WriteRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
              const std::vector<BYTE>& bytes);
void WriteDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
// A REG_SZ with its terminating NUL.
void WriteSz(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text);
void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name);
// Removes the key and everything below it, lifting any refusal first.
void DeleteKey(HKEY root, const std::wstring& key);
bool KeyExists(HKEY root, const std::wstring& key);
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key);

// Makes the key (created if missing) refuse writes and deletes of its values
// and the creation of subkeys, while still allowing reads.
void RefuseWrites(HKEY root, const std::wstring& key);
void AllowWrites(HKEY root, const std::wstring& key);

// Lifts a refusal when the test ends, whatever happens in between.
class ScopedRefusal {
 public:
  ScopedRefusal(HKEY root, std::wstring key) : root_(root), key_(std::move(key)) { RefuseWrites(root_, key_); }
  ~ScopedRefusal() { AllowWrites(root_, key_); }
  ScopedRefusal(const ScopedRefusal&) = delete;
  ScopedRefusal& operator=(const ScopedRefusal&) = delete;

 private:
  HKEY root_;
  std::wstring key_;
};

// Remembers values as they were and puts them back, present or absent, when
// it goes. A value kept twice goes back to what it held the first time.
class SavedValues {
 public:
  SavedValues() = default;
  ~SavedValues();
  SavedValues(const SavedValues&) = delete;
  SavedValues& operator=(const SavedValues&) = delete;

  void Keep(HKEY root, const std::wstring& key, const std::wstring& name);
  // Keeps the value and removes it, for a clean start.
  void KeepAndClear(HKEY root, const std::wstring& key, const std::wstring& name);

 private:
  struct Kept {
    HKEY root;
    std::wstring key;
    std::wstring name;
    std::optional<RawValue> before;
  };
  std::vector<Kept> kept_;
};

std::vector<BYTE> SzBytes(const std::wstring& text);  // with the NUL
std::vector<BYTE> DwordBytes(DWORD value);

}  // namespace testing_support

// Checks that report the caller's line and what was actually stored.
#define EXPECT_DWORD(root, key, name, expected) \
  EXPECT_PRED_FORMAT4(::testing_support::HasDword, root, key, name, expected)
#define EXPECT_SZ(root, key, name, expected) EXPECT_PRED_FORMAT4(::testing_support::HasSz, root, key, name, expected)
#define EXPECT_NO_VALUE(root, key, name) EXPECT_PRED_FORMAT3(::testing_support::HasNoValue, root, key, name)

namespace testing_support {
testing::AssertionResult HasDword(const char*, const char*, const char*, const char*, HKEY root,
                                  const std::wstring& key, const std::wstring& name, DWORD expected);
testing::AssertionResult HasSz(const char*, const char*, const char*, const char*, HKEY root,
                               const std::wstring& key, const std::wstring& name, const std::wstring& expected);
testing::AssertionResult HasNoValue(const char*, const char*, const char*, HKEY root, const std::wstring& key,
                                    const std::wstring& name);
std::string Describe(const std::optional<RawValue>& value);
}  // namespace testing_support
