#include "repair/computer_check/places.h"

#include <shlobj.h>

#include <string>

#include "repair/computer_check/launchers.h"
#include "system/known_folder.h"
#include "system/system_text.h"

namespace repair::computer_check {

namespace {

std::wstring LoweredKnownFolder(REFKNOWNFOLDERID id) { return platform::Lowered(platform::KnownFolder(id)); }

bool Within(const std::wstring& lowerPath, const std::wstring& lowerFolder) {
  return !lowerFolder.empty() && lowerPath.size() > lowerFolder.size() && lowerPath.starts_with(lowerFolder) &&
         (lowerPath[lowerFolder.size()] == L'\\' || lowerFolder.back() == L'\\');
}

std::wstring Parent(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  return slash == 2 && path[1] == L':' ? path.substr(0, 3) : path.substr(0, slash);
}

// The user's own token; when Korvane runs elevated, the unelevated one the
// user normally runs with, since that is what a worm would have had.
platform::Handle UserToken() {
  platform::Handle process;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, process.Out())) return {};
  platform::Handle identification;
  TOKEN_LINKED_TOKEN linked{};
  DWORD got = 0;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  if (GetTokenInformation(process.Get(), TokenElevationType, &type, sizeof type, &got) &&
      type == TokenElevationTypeFull &&
      GetTokenInformation(process.Get(), TokenLinkedToken, &linked, sizeof linked, &got)) {
    const platform::Handle linkedToken(linked.LinkedToken);
    if (!DuplicateToken(linkedToken.Get(), SecurityIdentification, identification.Out())) identification.Release();
  }
  if (!identification && !DuplicateToken(process.Get(), SecurityIdentification, identification.Out())) {
    identification.Release();
  }
  return identification;
}

}  // namespace

Places::Places()
    : token_(UserToken()),
      windows_(LoweredKnownFolder(FOLDERID_Windows)),
      programFiles_{LoweredKnownFolder(FOLDERID_ProgramFilesX64), LoweredKnownFolder(FOLDERID_ProgramFilesX86)} {
  const std::wstring profile = LoweredKnownFolder(FOLDERID_Profile);
  systemHidden_[0] = profile.empty() ? std::wstring() : profile + L"\\appdata";
  systemHidden_[1] = LoweredKnownFolder(FOLDERID_ProgramData);
  guarded_ = windows_.empty() || !Grants(windows_, FILE_ADD_FILE);
}

bool Places::Exists(const std::wstring& file) { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Places::Grants(const std::wstring& path, DWORD access) {
  if (!token_) return false;
  constexpr SECURITY_INFORMATION kParts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                          DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  GetFileSecurityW(path.c_str(), kParts, nullptr, 0, &size);
  if (size == 0 || size > 64 * 1024) return false;
  std::string descriptor(size, '\0');
  if (!GetFileSecurityW(path.c_str(), kParts, descriptor.data(), size, &size)) return false;
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  PRIVILEGE_SET privileges{};
  DWORD privilegesSize = sizeof privileges;
  DWORD granted = 0;
  BOOL allowed = FALSE;
  return AccessCheck(descriptor.data(), token_.Get(), access, &mapping, &privileges, &privilegesSize, &granted, &allowed) &&
         allowed;
}

bool Places::UnderWindows(const std::wstring& file) const { return Within(platform::Lowered(file), windows_); }

bool Places::UnderProgramFiles(const std::wstring& file) const {
  const std::wstring lower = platform::Lowered(file);
  return Within(lower, programFiles_[0]) || Within(lower, programFiles_[1]);
}

bool Places::FolderWritable(const std::wstring& folder) {
  const std::wstring key = platform::Lowered(folder);
  if (const auto found = writable_.find(key); found != writable_.end()) return found->second;
  const bool writable = Grants(folder, FILE_ADD_FILE);
  writable_[key] = writable;
  return writable;
}

bool Places::UserWritable(const std::wstring& file) {
  if (!guarded_ && (UnderWindows(file) || UnderProgramFiles(file))) return false;
  // A file that is not there: its nearest folder that is, where it could be put back.
  std::wstring folder = Parent(file);
  while (!folder.empty() && !Exists(folder) && Parent(folder) != folder) folder = Parent(folder);
  if (folder.empty()) return false;
  if (FolderWritable(folder)) return true;
  return Exists(file) && Grants(file, FILE_WRITE_DATA);
}

bool Places::Removable(const std::wstring& file) const {
  if (file.size() < 3 || file[1] != L':') return false;
  const wchar_t letter = platform::Lowered(file.substr(0, 1))[0];
  if (const auto found = removable_.find(letter); found != removable_.end()) return found->second;
  const std::wstring root = std::wstring(1, letter) + L":\\";
  return removable_[letter] = GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE;
}

bool Places::InHiddenFolder(const std::wstring& file) {
  for (std::wstring folder = Parent(file); folder.size() > 3; folder = Parent(folder)) {
    const std::wstring lower = platform::Lowered(folder);
    if (lower == windows_ || Within(lower, windows_)) return false;
    // The system hides these itself; what lies below them is still looked at.
    if (lower == systemHidden_[0] || lower == systemHidden_[1]) continue;
    auto found = hidden_.find(lower);
    if (found == hidden_.end()) {
      const DWORD attributes = GetFileAttributesW(folder.c_str());
      found = hidden_.emplace(lower, attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN)).first;
    }
    if (found->second) return true;
  }
  return false;
}

std::wstring Places::SuspectPlace(const std::wstring& file) {
  if (Removable(file)) return L"on a removable drive";
  if (UserWritable(file)) return L"in a folder the user can write";
  return {};
}

}  // namespace repair::computer_check
