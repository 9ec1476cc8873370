// What the reliability tests share: the tweak pages as data, the keys Korvane
// reads and writes, snapshots of their values, and a small model of how a
// written text is stored.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "ui/form.h"
#include "tweaks/tweak_binding.h"
#include "support/registry_helpers.h"
#include <algorithm>
#include <climits>
#include <cwctype>
#include <sstream>

#include "shell/settings.h"
#include "support/text.h"
#include "support/ui_helpers.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "tweaks/ie/ie_page.h"
#include "tweaks/security/security_bindings.h"
#include "tweaks/security/security_page.h"

namespace reliability {

struct Page {
  const char* name;
  std::span<const platform::TweakBinding> table;
  std::function<platform::TweakBoxes&()> open;  // creates and loads it when it is not open
  std::function<void()> close;
};

// Every tweak page in the program.
std::vector<Page> Pages();

// A registry key as the registry names it: root plus path, compared without case.
struct KeyId {
  std::uint32_t root;
  std::wstring path;
  bool operator<(const KeyId& other) const;
  bool operator==(const KeyId& other) const { return !(*this < other) && !(other < *this); }
};
std::wstring Lower(std::wstring text);
HKEY Handle(std::uint32_t root);

// The keys the restriction repairs, the password and the preferences use.
std::vector<KeyId> RestrictionKeys();
KeyId PasswordKey();
KeyId SettingsKey();
// Every key a page's load rule reads or its actions write in.
std::vector<KeyId> TableKeys();
// All of the above, once each.
std::vector<KeyId> AllKeys();

// A value's identity: key and name, without case.
using ValueId = std::tuple<std::uint32_t, std::wstring, std::wstring>;
ValueId Id(std::uint32_t root, const std::wstring& key, const std::wstring& name);

// The values held under a set of keys.
using Snapshot = std::map<ValueId, testing_support::RawValue>;
Snapshot Take(const std::vector<KeyId>& keys);
// Puts the keys back as the snapshot has them: values added since are removed.
void Restore(const std::vector<KeyId>& keys, const Snapshot& snapshot);
// The differences, one line each, for failure messages; empty when equal.
std::vector<std::string> Differences(const Snapshot& expected, const Snapshot& actual);

// How a write of text data is stored: numeric text as REG_DWORD, else trimmed REG_SZ.
testing_support::RawValue Stored(const std::wstring& data);
std::optional<std::int32_t> AsNumber(const std::wstring& text);

// Keeps the keys' values aside and puts them back when a test ends.
class KeptKeys {
 public:
  explicit KeptKeys(std::vector<KeyId> keys) : keys_(std::move(keys)), kept_(Take(keys_)) {}
  ~KeptKeys() { Restore(keys_, kept_); }
  KeptKeys(const KeptKeys&) = delete;
  KeptKeys& operator=(const KeptKeys&) = delete;

 private:
  std::vector<KeyId> keys_;
  Snapshot kept_;
};

// Definitions.


namespace {

template <class F>
inline Page PageOf(const char* name, std::span<const platform::TweakBinding> table) {
  return {name, table, []() -> platform::TweakBoxes& { return platform::Instance<F>().boxes; },
          [] {
            if (platform::IsLoaded<F>()) SendMessageW(platform::Instance<F>().Hwnd(), WM_CLOSE, 0, 0);
            testing_support::Pump();
          }};
}

inline const std::wstring kPolicies = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\";

inline void AddOnce(std::vector<KeyId>& keys, const KeyId& key) {
  if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
}

}  // namespace

inline std::vector<Page> Pages() {
  return {
      PageOf<tweaks::FrmSecTweaks>("security", tweaks::SecurityBindings()),
      PageOf<tweaks::FrmCpl>("control panel", tweaks::CplBindings()),
      PageOf<tweaks::FrmProgTweaks>("internet explorer", tweaks::IEBindings()),
      PageOf<tweaks::FrmAppTweaks>("appearance", tweaks::AppearanceBindings()),
  };
}

inline std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

inline bool KeyId::operator<(const KeyId& other) const {
  if (root != other.root) return root < other.root;
  return Lower(path) < Lower(other.path);
}

inline HKEY Handle(std::uint32_t root) { return testing_support::Root(root); }

inline std::vector<KeyId> RestrictionKeys() {
  std::vector<KeyId> keys;
  for (const std::uint32_t root : {platform::kCurrentUser, platform::kLocalMachine}) {
    keys.push_back({root, kPolicies + L"Explorer"});
    keys.push_back({root, kPolicies + L"System"});
  }
  return keys;
}

inline KeyId PasswordKey() { return {platform::kClassesRoot, L".wab"}; }
inline KeyId SettingsKey() { return {platform::kCurrentUser, L"Software\\Korvane"}; }

inline std::vector<KeyId> TableKeys() {
  std::vector<KeyId> keys;
  for (const Page& page : Pages()) {
    for (const platform::TweakBinding& binding : page.table) {
      AddOnce(keys, {binding.load.root, binding.load.key});
      for (const auto* steps : {&binding.checked, &binding.unchecked}) {
        for (const platform::RegStep& step : *steps) AddOnce(keys, {step.root, step.key});
      }
    }
  }
  return keys;
}

inline std::vector<KeyId> AllKeys() {
  std::vector<KeyId> keys = TableKeys();
  for (const KeyId& key : RestrictionKeys()) AddOnce(keys, key);
  AddOnce(keys, PasswordKey());
  AddOnce(keys, SettingsKey());
  return keys;
}

inline ValueId Id(std::uint32_t root, const std::wstring& key, const std::wstring& name) {
  return {root, Lower(key), Lower(name)};
}

inline Snapshot Take(const std::vector<KeyId>& keys) {
  Snapshot snapshot;
  for (const KeyId& key : keys) {
    for (const std::wstring& name : testing_support::ValueNames(Handle(key.root), key.path)) {
      if (auto value = testing_support::ReadRaw(Handle(key.root), key.path, name)) {
        snapshot[Id(key.root, key.path, name)] = *value;
      }
    }
  }
  return snapshot;
}

inline void Restore(const std::vector<KeyId>& keys, const Snapshot& snapshot) {
  for (const KeyId& key : keys) {
    for (const std::wstring& name : testing_support::ValueNames(Handle(key.root), key.path)) {
      if (!snapshot.contains(Id(key.root, key.path, name))) {
        testing_support::DeleteValue(Handle(key.root), key.path, name);
      }
    }
  }
  for (const auto& [id, value] : snapshot) {
    testing_support::WriteRaw(Handle(std::get<0>(id)), std::get<1>(id), std::get<2>(id), value.type, value.bytes);
  }
}

inline std::vector<std::string> Differences(const Snapshot& expected, const Snapshot& actual) {
  std::vector<std::string> lines;
  auto describe = [](const ValueId& id) {
    std::ostringstream out;
    out << std::hex << std::get<0>(id) << std::dec << "\\" << testing_support::Utf8(std::get<1>(id)) << " : "
        << testing_support::Utf8(std::get<2>(id));
    return out.str();
  };
  for (const auto& [id, value] : expected) {
    const auto found = actual.find(id);
    if (found == actual.end()) {
      lines.push_back(describe(id) + " is gone");
    } else if (found->second.type != value.type || found->second.bytes != value.bytes) {
      lines.push_back(describe(id) + " was " + testing_support::Describe(value) + ", is " +
                      testing_support::Describe(found->second));
    }
  }
  for (const auto& [id, value] : actual) {
    if (!expected.contains(id)) lines.push_back(describe(id) + " appeared: " + testing_support::Describe(value));
  }
  return lines;
}

inline std::optional<std::int32_t> AsNumber(const std::wstring& text) {
  const auto first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return std::nullopt;
  std::wstring digits = text.substr(first, text.find_last_not_of(L' ') - first + 1);
  bool negative = false;
  if (digits[0] == L'-' || digits[0] == L'+') {
    negative = digits[0] == L'-';
    digits.erase(0, 1);
  }
  if (digits.empty() || digits.find_first_not_of(L"0123456789") != std::wstring::npos) return std::nullopt;
  digits.erase(0, std::min(digits.find_first_not_of(L'0'), digits.size() - 1));
  if (digits.size() > 10) return std::nullopt;
  const long long value = (negative ? -1 : 1) * std::stoll(digits);
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

inline testing_support::RawValue Stored(const std::wstring& data) {
  if (const auto number = AsNumber(data)) {
    return {REG_DWORD, testing_support::DwordBytes(static_cast<DWORD>(*number))};
  }
  const auto first = data.find_first_not_of(L' ');
  const std::wstring trimmed =
      first == std::wstring::npos ? L"" : data.substr(first, data.find_last_not_of(L' ') - first + 1);
  return {REG_SZ, testing_support::SzBytes(trimmed)};
}

}  // namespace reliability
