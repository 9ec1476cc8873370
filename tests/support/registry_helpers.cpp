#include "support/registry_helpers.h"

#include <sddl.h>

#include <sstream>

#include "support/text.h"

namespace testing_support {

HKEY Root(std::uint32_t root) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

std::optional<RawValue> ReadRaw(HKEY root, const std::wstring& key, const std::wstring& name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return std::nullopt;
  RawValue value;
  DWORD size = 0;
  LONG code = RegQueryValueExW(handle, name.c_str(), nullptr, &value.type, nullptr, &size);
  if (code == ERROR_SUCCESS) {
    value.bytes.resize(size);
    code = RegQueryValueExW(handle, name.c_str(), nullptr, &value.type, value.bytes.data(), &size);
    value.bytes.resize(size);
  }
  RegCloseKey(handle);
  if (code != ERROR_SUCCESS) return std::nullopt;
  return value;
}

void WriteRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
              const std::vector<BYTE>& bytes) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr),
            ERROR_SUCCESS);
  const LONG code =
      RegSetValueExW(handle, name.c_str(), 0, type, bytes.empty() ? nullptr : bytes.data(), static_cast<DWORD>(bytes.size()));
  RegCloseKey(handle);
  ASSERT_EQ(code, ERROR_SUCCESS);
}

std::vector<BYTE> SzBytes(const std::wstring& text) {
  const auto* begin = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(begin, begin + (text.size() + 1) * sizeof(wchar_t));
}

std::vector<BYTE> DwordBytes(DWORD value) {
  const auto* begin = reinterpret_cast<const BYTE*>(&value);
  return std::vector<BYTE>(begin, begin + sizeof value);
}

void WriteDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
  WriteRaw(root, key, name, REG_DWORD, DwordBytes(value));
}

void WriteSz(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  WriteRaw(root, key, name, REG_SZ, SzBytes(text));
}

void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) return;
  RegDeleteValueW(handle, name.c_str());
  RegCloseKey(handle);
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, MAXIMUM_ALLOWED, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

void DeleteKey(HKEY root, const std::wstring& key) {
  if (!KeyExists(root, key)) return;
  AllowWrites(root, key);
  RegDeleteTreeW(root, key.c_str());
  RegDeleteKeyW(root, key.c_str());
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key) {
  std::vector<std::wstring> names;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD length = 16384;
    if (RegEnumValueW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  RegCloseKey(handle);
  return names;
}

SavedValues::~SavedValues() {
  for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
    if (it->before) {
      WriteRaw(it->root, it->key, it->name, it->before->type, it->before->bytes);
    } else {
      DeleteValue(it->root, it->key, it->name);
    }
  }
}

void SavedValues::Keep(HKEY root, const std::wstring& key, const std::wstring& name) {
  kept_.push_back({root, key, name, ReadRaw(root, key, name)});
}

void SavedValues::KeepAndClear(HKEY root, const std::wstring& key, const std::wstring& name) {
  Keep(root, key, name);
  DeleteValue(root, key, name);
}

namespace {

void SetDacl(HKEY root, const std::wstring& key, const wchar_t* sddl) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, WRITE_DAC | READ_CONTROL, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot open the key to change its access";
    return;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr);
  EXPECT_EQ(RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
  LocalFree(descriptor);
  RegCloseKey(handle);
}

}  // namespace

// Denies setting values, creating subkeys and deleting to everyone; reading stays allowed.
void RefuseWrites(HKEY root, const std::wstring& key) { SetDacl(root, key, L"D:(D;;0x10006;;;WD)(A;;KA;;;WD)"); }

void AllowWrites(HKEY root, const std::wstring& key) { SetDacl(root, key, L"D:(A;;KA;;;WD)"); }

std::string Describe(const std::optional<RawValue>& value) {
  if (!value) return "no value";
  std::ostringstream out;
  if (value->type == REG_DWORD && value->bytes.size() == 4) {
    DWORD number;
    memcpy(&number, value->bytes.data(), 4);
    out << "REG_DWORD " << number;
  } else if (value->type == REG_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(value->bytes.data()), value->bytes.size() / sizeof(wchar_t));
    out << "REG_SZ \"" << Utf8(text) << "\" ("
        << value->bytes.size() << " bytes)";
  } else {
    out << "type " << value->type << ", " << value->bytes.size() << " bytes";
  }
  return out.str();
}

testing::AssertionResult HasDword(const char*, const char*, const char* nameExpr, const char*, HKEY root,
                                  const std::wstring& key, const std::wstring& name, DWORD expected) {
  const auto value = ReadRaw(root, key, name);
  if (value && value->type == REG_DWORD && value->bytes == DwordBytes(expected)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << nameExpr << ": expected REG_DWORD " << expected << ", got "
                                     << Describe(value);
}

testing::AssertionResult HasSz(const char*, const char*, const char* nameExpr, const char*, HKEY root,
                               const std::wstring& key, const std::wstring& name, const std::wstring& expected) {
  const auto value = ReadRaw(root, key, name);
  if (value && value->type == REG_SZ && value->bytes == SzBytes(expected)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << nameExpr << ": expected REG_SZ \""
                                     << Utf8(expected) << "\", got "
                                     << Describe(value);
}

testing::AssertionResult HasNoValue(const char*, const char*, const char* nameExpr, HKEY root,
                                    const std::wstring& key, const std::wstring& name) {
  const auto value = ReadRaw(root, key, name);
  if (!value) return testing::AssertionSuccess();
  return testing::AssertionFailure() << nameExpr << ": expected no value, got " << Describe(value);
}

}  // namespace testing_support
