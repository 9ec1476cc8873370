#include "repair/drive_check/quarantine.h"

#include <windows.h>

#include "journal/journal.h"
#include "repair/drive_check/rules.h"
#include "repair/drive_check/walker.h"
#include "system/file_ops.h"
#include "system/handle.h"
#include "system/system_text.h"
#include "system/utf8.h"

namespace repair::drive_check {

namespace {

constexpr DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(const std::wstring& folder) {
  if (CreateDirectoryW(LongPath(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
    return IsFolder(folder);
  }
  if (GetLastError() != ERROR_PATH_NOT_FOUND) return false;
  const auto slash = folder.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash < 3) return false;
  return MakeFolders(folder.substr(0, slash)) && CreateDirectoryW(LongPath(folder).c_str(), nullptr);
}

bool WriteRecord(const std::wstring& path, const std::wstring& text) {
  platform::Handle file(CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const std::string bytes = "\xEF\xBB\xBF" + platform::ToUtf8(text);
  DWORD written = 0;
  const bool wrote = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size() && FlushFileBuffers(file.Get());
  // Closed first: a failed record is deleted below, and it was opened without sharing.
  const bool done = file.Close() && wrote;
  if (!done) DeleteFileW(LongPath(path).c_str());
  return done;
}

// Whether another program holds the file so that it could not go: asked
// before anything is recorded, so that a file in use changes nothing.
// A reader that looks at a file for a moment (an indexer, a virus scanner, the
// shell reading a shortcut's icon) is waited for briefly before it counts.
std::wstring Held(const std::wstring& path) {
  constexpr int kTries = 5;
  for (int attempt = 1;; ++attempt) {
    const platform::Handle file(CreateFileW(LongPath(path).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    if (file) return {};
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION) return ErrorText(error);
    if (attempt == kTries) return L"in use by another program";
    Sleep(50);
  }
}

}  // namespace

// Told inside a sentence, so without the system's closing full stop.
std::wstring ErrorText(unsigned long code) {
  std::wstring message = platform::SystemMessage(code);
  while (!message.empty() && message.back() == L'.') message.pop_back();
  return message;
}

// Beside the journal, whose folder lookup loads the shell only when first needed.
std::wstring QuarantineRoot() {
  const std::wstring folder = platform::journal::Folder();
  return folder.empty() ? folder : folder + L"Quarantine";
}

std::optional<Quarantine> Quarantine::Open(wchar_t drive, const std::wstring& root) {
  // Without the user's folder the name below would point at the root of the current drive.
  if (root.empty()) return std::nullopt;
  const std::wstring base = root + L"\\" + platform::LocalTime(platform::TimeStyle::FileName) + L" drive " +
                            std::wstring(1, drive);
  std::wstring folder = base;
  for (int n = 2; n < 100; ++n) {
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES && MakeFolders(folder)) {
      return Quarantine(folder, platform::LocalTime());
    }
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;  // cannot be made
    folder = base + L" (" + std::to_wstring(n) + L")";
  }
  return std::nullopt;
}

std::wstring Quarantine::Take(const std::wstring& path, const std::wstring& driveRoot) const {
  if (std::wstring held = Held(path); !held.empty()) return held;
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ErrorText(GetLastError());
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return L"a folder, which the quarantine does not take";
  const std::wstring onDrive = path.substr(driveRoot.size());
  const auto slash = onDrive.find_last_of(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? folder_ : folder_ + L"\\" + onDrive.substr(0, slash);
  const std::wstring kept = folder_ + L"\\" + onDrive + kQuarantinedSuffix;
  const std::wstring recordFile = folder_ + L"\\" + onDrive + kRecordSuffix;
  if (!MakeFolders(folder)) return L"the quarantine folder cannot be written: " + ErrorText(GetLastError());
  const std::wstring words = platform::AttributeWords(attributes);
  const std::wstring record = L"Korvane moved this file here when it cleaned drive " + driveRoot.substr(0, 2) +
                              L".\r\nFrom: " + path + L"\r\nWhen: " + when_ + L"\r\nAttributes: " +
                              (words.empty() ? L"none" : words) + L"\r\nTo put it back by hand, copy \"" +
                              onDrive.substr(slash == std::wstring::npos ? 0 : slash + 1) + kQuarantinedSuffix +
                              L"\" to that place and take \"" + kQuarantinedSuffix + L"\" off its name.\r\n";
  if (!WriteRecord(recordFile, record)) {
    return L"the quarantine folder cannot be written: " + ErrorText(GetLastError());
  }
  // Cleared through the journal before the move is recorded, so that undoing
  // the move and then this puts the file back with its attributes.
  const bool marked = (attributes & kMarks) != 0;
  try {
    if (marked) platform::SetAttr(LongPath(path), attributes & ~kMarks);
    platform::Move(LongPath(path), LongPath(kept));
    return {};
  } catch (const platform::FileError& error) {
    DeleteFileW(LongPath(recordFile).c_str());
    try {
      // Only when the clear was made: put the marks back, recorded like any change.
      if (marked && (GetFileAttributesW(LongPath(path).c_str()) & kMarks) != (attributes & kMarks)) {
        platform::SetAttr(LongPath(path), attributes);
      }
    } catch (const platform::FileError&) {
      // The file stays, visible; the journal holds its old attributes.
    }
    if (error.Code() == ERROR_CANCELLED) return L"the change journal could not be written, so it was left where it is";
    if (error.Code() == ERROR_SHARING_VIOLATION) return L"in use by another program";
    return L"could not be moved to the quarantine: " + ErrorText(error.Code());
  }
}

}  // namespace repair::drive_check
