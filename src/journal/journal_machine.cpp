#include "journal/journal_machine.h"

#include <windows.h>

#include <sddl.h>

#include "journal/journal_format.h"
#include "system/handle.h"
#include "system/utf8.h"

#include <algorithm>

namespace platform::journal::machine {

namespace {

constexpr std::uint64_t kMostRead = 16ull * 1024 * 1024;

std::wstring FolderPath() {
  wchar_t data[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"ProgramData", data, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(data, length) + L"\\Korvane";
}

// Administrators and SYSTEM write; everyone else may only read.
bool MakeFolder(const std::wstring& folder) {
  if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;GA;;;BA)(A;OICI;GA;;;SY)(A;OICI;GR;;;BU)",
                                                            SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const bool made = CreateDirectoryW(folder.c_str(), &attributes) || GetLastError() == ERROR_ALREADY_EXISTS;
  LocalFree(descriptor);
  return made;
}

// The folder names the user whose journal holds the item, so one user's line vouches for nobody else.
std::string LineOf(GroupId id, const Item& item, std::wstring_view folder) {
  std::string line = ToUtf8(folder) + "\t" + format::ItemLine(id, 0, item, folder);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace

std::wstring FilePath() {
  const std::wstring folder = FolderPath();
  return folder.empty() ? std::wstring() : folder + L"\\machine-journal.jsonl";
}

bool IsMachineWide(const Item& item) { return item.kind == ItemKind::Registry && item.root != kCurrentUser; }

bool Vouch(GroupId id, const Item& item, std::wstring_view folder) {
  const std::wstring path = FilePath();
  if (path.empty() || !MakeFolder(FolderPath())) return false;
  const Handle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const std::string line = LineOf(id, item, folder) + "\n";
  DWORD written = 0;
  return WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
         written == line.size() && FlushFileBuffers(file.Get());
}

bool Vouched::Holds(GroupId id, const Item& item, std::wstring_view folder) {
  if (!loaded_) {
    loaded_ = true;
    const Handle file(CreateFileW(FilePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (file && GetFileSizeEx(file.Get(), &size) && static_cast<std::uint64_t>(size.QuadPart) <= kMostRead) {
      std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
      DWORD read = 0;
      if (ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        bytes.resize(read);
        std::size_t start = 0;
        while (start < bytes.size()) {
          const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
          lines_.insert(bytes.substr(start, end - start));
          start = end + 1;
        }
      }
    }
  }
  return lines_.contains(LineOf(id, item, folder));
}

}  // namespace platform::journal::machine
