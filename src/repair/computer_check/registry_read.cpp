#include "repair/computer_check/registry_read.h"

#include <cstring>

#include "system/handle.h"
#include "system/late_load.h"

namespace repair::computer_check {

namespace {

// A command line is a few hundred characters; anything past this is not one.
constexpr DWORD kValueLimit = 64 * 1024;

HKEY RootHandle(platform::RegRoot root) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

platform::RegKey OpenKey(platform::RegRoot root, const std::wstring& key) {
  platform::RegKey open;
  if (RegOpenKeyExW(RootHandle(root), key.c_str(), 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, open.Out()) !=
      ERROR_SUCCESS) {
    open.Release();
  }
  return open;
}

}  // namespace

std::wstring KeyIdentity(platform::RegRoot root, const std::wstring& key) {
  using QueryKey = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  constexpr int kKeyNameInformation = 3;
  static const auto query = platform::LateProc<QueryKey>(L"ntdll.dll", "NtQueryKey");
  const platform::RegKey open = OpenKey(root, key);
  if (!open.Get() || !query) return {};
  std::vector<BYTE> buffer(4096);
  ULONG size = 0;
  if (query(open.Get(), kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &size) < 0) return {};
  // KEY_NAME_INFORMATION: a byte count, then the name.
  ULONG length = 0;
  std::memcpy(&length, buffer.data(), sizeof length);
  if (length > buffer.size() - sizeof length) return {};
  std::wstring name(length / sizeof(wchar_t), L'\0');
  std::memcpy(name.data(), buffer.data() + sizeof length, name.size() * sizeof(wchar_t));
  return name;
}

std::vector<RegEntry> ReadValues(platform::RegRoot root, const std::wstring& key) {
  std::vector<RegEntry> entries;
  const platform::RegKey open = OpenKey(root, key);
  if (!open.Get()) return entries;
  std::vector<BYTE> data(4096);
  wchar_t name[16384];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(std::size(name));
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(data.size());
    LONG code = RegEnumValueW(open.Get(), index, name, &nameLength, nullptr, &type, data.data(), &size);
    if (code == ERROR_MORE_DATA && size <= kValueLimit) {
      data.resize(size);
      nameLength = static_cast<DWORD>(std::size(name));
      code = RegEnumValueW(open.Get(), index, name, &nameLength, nullptr, &type, data.data(), &size);
    }
    if (code == ERROR_NO_MORE_ITEMS) break;
    if (code != ERROR_SUCCESS) continue;  // too large to be what it claims, or gone meanwhile
    entries.push_back({std::wstring(name, nameLength), {true, type, std::vector<BYTE>(data.begin(), data.begin() + size)}});
  }
  return entries;
}

std::vector<std::wstring> ReadSubkeys(platform::RegRoot root, const std::wstring& key) {
  std::vector<std::wstring> names;
  const platform::RegKey open = OpenKey(root, key);
  if (!open.Get()) return names;
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(std::size(name));
    const LONG code = RegEnumKeyExW(open.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (code == ERROR_NO_MORE_ITEMS) break;
    if (code == ERROR_SUCCESS) names.emplace_back(name, length);
  }
  return names;
}

std::optional<std::wstring> TextOf(const platform::RegState& state) {
  if (!state.present || (state.type != REG_SZ && state.type != REG_EXPAND_SZ)) return std::nullopt;
  std::wstring text(state.bytes.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), state.bytes.data(), text.size() * sizeof(wchar_t));
  if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
  return text;
}

platform::RegState TextState(DWORD type, const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return {true, type, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

platform::RegState DwordState(DWORD value) {
  const auto* bytes = reinterpret_cast<const BYTE*>(&value);
  return {true, REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof value)};
}

}  // namespace repair::computer_check
