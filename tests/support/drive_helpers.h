// The test drives the test run maps into the Wine prefix: E: and F: are
// writable folders, M: is a drive whose folder is missing, W: is a read-only
// file system holding an infected autorun.inf ("[autorun]", "open=virus.exe").
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace testing_support {

inline constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

inline constexpr wchar_t kDrive = L'E';
inline constexpr wchar_t kSecondDrive = L'F';
inline constexpr wchar_t kMissingDrive = L'M';
inline constexpr wchar_t kReadOnlyDrive = L'W';

std::wstring RootPath(wchar_t drive);                        // "E:\"
std::wstring OnDrive(wchar_t drive, const std::wstring& name);  // "E:\name"

// Empties a writable test drive, clearing attributes as it goes.
void ClearDrive(wchar_t drive);
// Empties a folder ("...\\", with its final backslash) the same way.
void ClearFolder(const std::wstring& folder);
void WriteBytes(const std::wstring& path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
std::optional<std::string> ReadBytes(const std::wstring& path);
// The attributes that matter here (read-only, hidden, system, directory), or
// INVALID_FILE_ATTRIBUTES; Wine's ARCHIVE on every plain file is masked out.
DWORD Attributes(const std::wstring& path);
bool Exists(const std::wstring& path);

}  // namespace testing_support
