// The one place where Korvane touches the registry. Four routines, no handle
// kept between calls; a failed read yields "", a failed write or delete is
// dropped (callers that care ask the returned outcome).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// <windows.h> maps these names onto the W functions; ours take their place.
#undef RegGetValue
#undef RegSetValue
#undef RegDeleteValue

namespace platform {

using RegRoot = std::uint32_t;
inline constexpr RegRoot kClassesRoot = 0x80000000u;
inline constexpr RegRoot kCurrentUser = 0x80000001u;
inline constexpr RegRoot kLocalMachine = 0x80000002u;

// A value as read: a REG_DWORD's number, a REG_SZ's text up to its first NUL,
// or "" for everything else (absent, another type, any failure).
class RegValue {
 public:
  RegValue() = default;
  // Implicit on purpose: a read's number or text is its value (the finding is the design).
  // cppcheck-suppress noExplicitConstructor
  RegValue(std::int32_t number) : data_(number) {}  // NOLINT(google-explicit-constructor)
  // cppcheck-suppress noExplicitConstructor
  RegValue(std::wstring text) : data_(std::move(text)) {}  // NOLINT(google-explicit-constructor)

  bool IsNumber() const { return std::holds_alternative<std::int32_t>(data_); }
  std::int32_t Number() const { return std::get<std::int32_t>(data_); }
  // The value as text: a number as its decimal digits.
  std::wstring Text() const;
  // Numeric equality: a number, or text that reads as that number; "" equals none.
  bool EqualsNumber(std::int32_t n) const;
  // Exact, case-sensitive text equality, a number taken as its decimal digits.
  bool EqualsText(std::wstring_view text) const { return Text() == text; }

 private:
  std::variant<std::wstring, std::int32_t> data_;
};

// A value exactly as stored: absent, or its type and bytes.
struct RegState {
  bool present = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
  bool operator==(const RegState&) const = default;
};

// Whether a write or delete took effect. Deleting what is not there is Done;
// Refused is any other error (typically access denied); Cancelled, that the
// journal could not be written and the user chose to make no change.
enum class RegOutcome { Done, Refused, Cancelled };

// Every registry call the module makes stores its return code here.
extern std::int32_t RegLastResult;

bool RegKeyExists(RegRoot root, std::wstring_view keyPath);
RegValue RegGetValue(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName);
// Numeric text ("1", " -2 ") is stored as REG_DWORD; other text, trimmed of
// blanks, as REG_SZ. Creates the key and every missing key above it.
RegOutcome RegSetValue(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName,
                       std::wstring_view value);
RegOutcome RegSetValue(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName,
                       std::int32_t value);
// Stores the text as a REG_SZ exactly as given, without the numeric rule or trimming.
RegOutcome RegSetText(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName,
                      std::wstring_view text);
// Deletes one value; never a key, and never creates a missing key.
RegOutcome RegDeleteValue(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName);

// Deletes the key only when it holds no value and no subkey: nothing is lost,
// and writing a value there again makes it anew. Missing or not empty is Done.
RegOutcome RegDeleteEmptyKey(RegRoot root, std::wstring_view keyPath);

// The value as stored, whatever its type; absent when it cannot be read.
RegState RegGetRaw(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName);
// Puts a value back exactly: written with its type and bytes, or deleted when absent.
RegOutcome RegSetRaw(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName, const RegState& state);
// "HKCU\Software\...\name", for messages and the journal.
std::wstring RegDescribe(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName);

}  // namespace platform
