#include "system/registry.h"

#include <optional>
#include <vector>

#include "journal/journal.h"
#include "system/handle.h"
#include "system/numeric_text.h"

namespace platform {

std::int32_t RegLastResult = 0;

namespace {

HKEY RootHandle(RegRoot root) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

LONG Track(LONG code) {
  RegLastResult = code;
  return code;
}

// A key's closing is the last call of an operation, so it is tracked too.
struct TrackedKeyTraits : RegKeyTraits {
  static bool Close(HKEY key) { return Track(RegCloseKey(key)) == ERROR_SUCCESS; }
};
using Key = UniqueHandle<TrackedKeyTraits>;

std::wstring Terminated(std::wstring_view text) { return std::wstring(text); }

bool IsRefusal(LONG code) {
  return code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND;
}

// The value exactly as stored, read through a key already open.
RegState ReadRaw(HKEY key, const std::wstring& name) {
  RegState state;
  // Room for any number or short text at the first asking. The value may grow
  // between two calls; ask again until it fits.
  DWORD size = 64;
  for (int attempt = 0; attempt < 4; ++attempt) {
    state.bytes.resize(size);
    DWORD got = size;
    const LONG code = Track(RegQueryValueExW(key, name.c_str(), nullptr, &state.type,
                                             state.bytes.empty() ? nullptr : state.bytes.data(), &got));
    if (code == ERROR_SUCCESS && got <= state.bytes.size()) {
      state.bytes.resize(got);
      state.present = true;
      return state;
    }
    if (code != ERROR_MORE_DATA && !(code == ERROR_SUCCESS && got > state.bytes.size())) return {};
    size = got;
  }
  return {};
}

// The key opened once for both the journal's reading of the value and the write; nullopt when
// it cannot be opened so (missing, or reading allowed but not writing), and the journal reads on its own.
std::optional<RegState> OpenForChange(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName, Key& key) {
  if (!journal::IsRecording()) return std::nullopt;
  Track(RegOpenKeyExW(RootHandle(root), Terminated(keyPath).c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.Out()));
  if (!key) return std::nullopt;
  return ReadRaw(key.Get(), std::wstring(valueName));
}

bool Recorded(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName, const std::optional<RegState>& before,
              const RegState& after) {
  return before ? journal::RecordRegistry(root, keyPath, valueName, *before, after)
                : journal::RecordRegistry(root, keyPath, valueName, after);
}

RegOutcome StoreRaw(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName, DWORD type,
                    const BYTE* data, DWORD size) {
  Key key;
  const std::optional<RegState> before = OpenForChange(root, keyPath, valueName, key);
  if (!Recorded(root, keyPath, valueName, before, RegState{true, type, std::vector<BYTE>(data, data + size)})) {
    return RegOutcome::Cancelled;
  }
  if (!key && Track(RegCreateKeyExW(RootHandle(root), Terminated(keyPath).c_str(), 0, nullptr, 0,
                                    KEY_SET_VALUE, nullptr, key.Out(), nullptr)) != ERROR_SUCCESS) {
    journal::RecordNotMade();
    return RegOutcome::Refused;
  }
  const LONG code = Track(RegSetValueExW(key.Get(), Terminated(valueName).c_str(), 0, type, data, size));
  if (code == ERROR_SUCCESS) return RegOutcome::Done;
  journal::RecordNotMade();
  RegLastResult = code;
  return RegOutcome::Refused;
}

RegOutcome StoreText(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName,
                     std::wstring_view text) {
  const std::wstring data(text);  // c_str() supplies the terminating NUL
  return StoreRaw(root, keyPath, valueName, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                  static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

// Whether the value may be there: only a read that finds it missing says no.
bool HasValue(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName) {
  Key key;
  Track(RegOpenKeyExW(RootHandle(root), Terminated(keyPath).c_str(), 0, KEY_QUERY_VALUE, key.Out()));
  if (!key) return true;
  return Track(RegQueryValueExW(key.Get(), Terminated(valueName).c_str(), nullptr, nullptr, nullptr, nullptr)) !=
         ERROR_FILE_NOT_FOUND;
}

}  // namespace

std::wstring RegValue::Text() const {
  if (IsNumber()) return std::to_wstring(Number());
  return std::get<std::wstring>(data_);
}

bool RegValue::EqualsNumber(std::int32_t n) const {
  if (IsNumber()) return Number() == n;
  const auto parsed = ParseInteger(std::get<std::wstring>(data_));
  return parsed && *parsed == n;
}

bool RegKeyExists(RegRoot root, std::wstring_view keyPath) {
  Key key;
  // Maximum-allowed access: a key that exists but refuses reading still exists.
  Track(RegOpenKeyExW(RootHandle(root), Terminated(keyPath).c_str(), 0, MAXIMUM_ALLOWED, key.Out()));
  return static_cast<bool>(key);
}

RegValue RegGetValue(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName) {
  Key key;
  Track(RegOpenKeyExW(RootHandle(root), Terminated(keyPath).c_str(), 0, KEY_QUERY_VALUE, key.Out()));
  if (!key) return {};
  const std::wstring name(valueName);
  DWORD type = 0;
  DWORD size = 0;
  Track(RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size));
  if (type == REG_SZ) {
    // Room for a terminator the stored data may lack; an odd byte is dropped.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = size;
    DWORD secondType = 0;
    if (Track(RegQueryValueExW(key.Get(), name.c_str(), nullptr, &secondType,
                               reinterpret_cast<BYTE*>(buffer.data()), &got)) != ERROR_SUCCESS ||
        secondType != REG_SZ) {
      return {};
    }
    const std::size_t chars = got / sizeof(wchar_t);
    std::wstring text(buffer.data(), chars);
    const auto nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return RegValue(std::move(text));
  }
  if (type == REG_DWORD) {
    // A REG_DWORD whose data is not exactly four bytes is malformed and reads as "".
    if (size != sizeof(DWORD)) return {};
    DWORD data = 0;
    DWORD got = sizeof data;
    if (Track(RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                               &got)) != ERROR_SUCCESS ||
        type != REG_DWORD || got != sizeof data) {
      return {};
    }
    return RegValue(static_cast<std::int32_t>(data));
  }
  return {};
}

RegOutcome RegSetValue(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName,
                       std::wstring_view value) {
  if (const auto number = ParseInt32(value)) return RegSetValue(root, keyPath, valueName, *number);
  // Numeric text outside 32 bits is not truncated: it is kept as trimmed text.
  return StoreText(root, keyPath, valueName, TrimBlanks(value));
}

RegOutcome RegSetValue(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName,
                       std::int32_t value) {
  const DWORD data = static_cast<DWORD>(value);
  return StoreRaw(root, keyPath, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

RegOutcome RegSetText(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName,
                      std::wstring_view text) {
  return StoreText(root, keyPath, valueName, text);
}

RegOutcome RegDeleteValue(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName) {
  Key key;
  std::optional<RegState> before = OpenForChange(root, keyPath, valueName, key);
  if (!key && !RegKeyExists(root, keyPath)) return RegOutcome::Done;
  if (!Recorded(root, keyPath, valueName, before, RegState{})) return RegOutcome::Cancelled;
  const LONG opened =
      key ? ERROR_SUCCESS
          : Track(RegOpenKeyExW(RootHandle(root), Terminated(keyPath).c_str(), 0, KEY_SET_VALUE, key.Out()));
  if (!key) {
    // A missing value is not there to delete, refusal or not.
    if (!IsRefusal(opened) || !HasValue(root, keyPath, valueName)) return RegOutcome::Done;
    journal::RecordNotMade();
    RegLastResult = opened;  // the refusal, not the probe, is the trace left
    return RegOutcome::Refused;
  }
  const LONG code = Track(RegDeleteValueW(key.Get(), Terminated(valueName).c_str()));
  if (!IsRefusal(code)) return RegOutcome::Done;
  journal::RecordNotMade();
  RegLastResult = code;
  return RegOutcome::Refused;
}

RegOutcome RegDeleteEmptyKey(RegRoot root, std::wstring_view keyPath) {
  {
    Key key;
    const LONG opened =
        Track(RegOpenKeyExW(RootHandle(root), Terminated(keyPath).c_str(), 0, KEY_QUERY_VALUE, key.Out()));
    if (!key) return IsRefusal(opened) ? RegOutcome::Refused : RegOutcome::Done;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (Track(RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr)) != ERROR_SUCCESS) {
      return RegOutcome::Refused;
    }
    if (subkeys != 0 || values != 0) return RegOutcome::Done;
  }
  // A key that gained a subkey meanwhile is refused by the call itself.
  const LONG code = Track(RegDeleteKeyW(RootHandle(root), Terminated(keyPath).c_str()));
  return IsRefusal(code) ? RegOutcome::Refused : RegOutcome::Done;
}

RegState RegGetRaw(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName) {
  Key key;
  Track(RegOpenKeyExW(RootHandle(root), Terminated(keyPath).c_str(), 0, KEY_QUERY_VALUE, key.Out()));
  if (!key) return {};
  return ReadRaw(key.Get(), std::wstring(valueName));
}

RegOutcome RegSetRaw(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName, const RegState& state) {
  if (!state.present) return RegDeleteValue(root, keyPath, valueName);
  return StoreRaw(root, keyPath, valueName, state.type, state.bytes.data(), static_cast<DWORD>(state.bytes.size()));
}

std::wstring RegDescribe(RegRoot root, std::wstring_view keyPath, std::wstring_view valueName) {
  std::wstring text = root == kClassesRoot ? L"HKCR" : root == kLocalMachine ? L"HKLM" : L"HKCU";
  text += L'\\';
  text += keyPath;
  text += L'\\';
  text += valueName.empty() ? std::wstring_view(L"(Default)") : valueName;
  return text;
}

}  // namespace platform
