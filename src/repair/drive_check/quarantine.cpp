#include "repair/drive_check/quarantine.h"

#include <windows.h>

#include <vector>

#include "system/file_ops.h"
#include "journal/journal.h"
#include "repair/drive_check/walker.h"

namespace repair::drive_check {

namespace {

constexpr DWORD kChunk = 256 * 1024;
constexpr DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  void Close() {
    if (Valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

bool MakeFolders(const std::wstring& folder) {
  if (CreateDirectoryW(SystemPath(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
    return (GetFileAttributesW(SystemPath(folder).c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           GetFileAttributesW(SystemPath(folder).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  if (GetLastError() != ERROR_PATH_NOT_FOUND) return false;
  const auto slash = folder.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash < 3) return false;
  return MakeFolders(folder.substr(0, slash)) && CreateDirectoryW(SystemPath(folder).c_str(), nullptr);
}

bool Rewind(HANDLE file) {
  LARGE_INTEGER zero{};
  return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) != FALSE;
}

bool ReadChunk(HANDLE file, std::vector<char>& buffer, DWORD& got) {
  return ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) != FALSE;
}

// Copies from the open original; the copy is flushed to the disk.
bool CopyInto(HANDLE from, HANDLE to) {
  std::vector<char> buffer(kChunk);
  DWORD got = 0;
  while (ReadChunk(from, buffer, got) && got > 0) {
    DWORD written = 0;
    if (!WriteFile(to, buffer.data(), got, &written, nullptr) || written != got) return false;
  }
  return GetLastError() != ERROR_HANDLE_EOF && FlushFileBuffers(to);
}

bool SameBytes(HANDLE a, HANDLE b) {
  if (!Rewind(a) || !Rewind(b)) return false;
  std::vector<char> left(kChunk);
  std::vector<char> right(kChunk);
  for (;;) {
    DWORD gotLeft = 0;
    DWORD gotRight = 0;
    if (!ReadChunk(a, left, gotLeft) || !ReadChunk(b, right, gotRight)) return false;
    if (gotLeft != gotRight || !std::equal(left.begin(), left.begin() + gotLeft, right.begin())) return false;
    if (gotLeft == 0) return true;
  }
}

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

bool WriteRecord(const std::wstring& path, const std::wstring& text) {
  Handle file(CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
  if (!file.Valid()) return false;
  const std::string bytes = "\xEF\xBB\xBF" + Utf8(text);
  DWORD written = 0;
  return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && FlushFileBuffers(file.Get());
}

std::wstring LocalTime(const wchar_t* format) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[64];
  swprintf(text, std::size(text), format, now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
  return text;
}

std::wstring Attributes(DWORD attributes) {
  std::wstring words;
  const std::pair<DWORD, const wchar_t*> names[] = {{FILE_ATTRIBUTE_READONLY, L"read-only"},
                                                    {FILE_ATTRIBUTE_HIDDEN, L"hidden"},
                                                    {FILE_ATTRIBUTE_SYSTEM, L"system"}};
  for (const auto& [bit, name] : names) {
    if (attributes & bit) words += (words.empty() ? L"" : L", ") + std::wstring(name);
  }
  return words.empty() ? L"none" : words;
}

}  // namespace

std::wstring SystemPath(const std::wstring& path) { return path.size() < MAX_PATH ? path : LongPath(path); }

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

std::optional<Quarantine> Quarantine::Open(wchar_t drive) {
  // Without the user's folder the name below would point at the root of the current drive.
  if (QuarantineRoot().empty()) return std::nullopt;
  const std::wstring base = QuarantineRoot() + L"\\" + LocalTime(L"%04u-%02u-%02u %02u%02u%02u") + L" drive " +
                            std::wstring(1, drive);
  std::wstring folder = base;
  for (int n = 2; n < 100; ++n) {
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES && MakeFolders(folder)) {
      return Quarantine(folder, LocalTime(L"%04u-%02u-%02u %02u:%02u:%02u"));
    }
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;  // cannot be made
    folder = base + L" (" + std::to_wstring(n) + L")";
  }
  return std::nullopt;
}

std::wstring Quarantine::Take(const std::wstring& path, const std::wstring& driveRoot) const {
  Handle original(CreateFileW(SystemPath(path).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!original.Valid()) {
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return L"in use by another program";
    return ErrorText(error);
  }
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  const std::wstring onDrive = path.substr(driveRoot.size());
  const auto slash = onDrive.find_last_of(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? folder_ : folder_ + L"\\" + onDrive.substr(0, slash);
  const std::wstring kept = folder_ + L"\\" + onDrive + kQuarantinedSuffix;
  {
    if (!MakeFolders(folder)) return L"the quarantine folder cannot be written: " + ErrorText(GetLastError());
    Handle copy(CreateFileW(SystemPath(kept).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy.Valid()) return L"the quarantine folder cannot be written: " + ErrorText(GetLastError());
    if (!CopyInto(original.Get(), copy.Get())) {
      const DWORD error = GetLastError();
      copy.Close();
      DeleteFileW(SystemPath(kept).c_str());
      return L"could not be copied: " + ErrorText(error);
    }
    if (!SameBytes(original.Get(), copy.Get())) {
      copy.Close();
      DeleteFileW(SystemPath(kept).c_str());
      return L"the copy in the quarantine did not match the file";
    }
    const std::wstring record = L"Korvane moved this file here when it cleaned drive " + driveRoot.substr(0, 2) +
                                L".\r\nFrom: " + path + L"\r\nWhen: " + when_ + L"\r\nAttributes: " +
                                Attributes(attributes) + L"\r\nTo put it back by hand, copy \"" +
                                onDrive.substr(slash == std::wstring::npos ? 0 : slash + 1) + kQuarantinedSuffix +
                                L"\" to that place and take \"" + kQuarantinedSuffix + L"\" off its name.\r\n";
    if (!WriteRecord(folder_ + L"\\" + onDrive + kRecordSuffix, record)) {
      copy.Close();
      DeleteFileW(SystemPath(kept).c_str());
      return L"the quarantine folder cannot be written: " + ErrorText(GetLastError());
    }
  }
  auto dropCopy = [&] {
    DeleteFileW(SystemPath(kept).c_str());
    DeleteFileW(SystemPath(folder_ + L"\\" + onDrive + kRecordSuffix).c_str());
  };
  // Cleared through the journal before the move is recorded, so that undoing
  // the move and then this puts the file back with its attributes.
  const bool marked = attributes != INVALID_FILE_ATTRIBUTES && (attributes & kMarks);
  try {
    if (marked) platform::SetAttr(SystemPath(path), attributes & ~kMarks);
  } catch (const platform::FileError& error) {
    dropCopy();
    return L"could not be removed from the drive: " + ErrorText(error.Code());
  }
  auto stay = [&](const std::wstring& why) {
    try {
      if (marked) platform::SetAttr(SystemPath(path), attributes);
    } catch (const platform::FileError&) {
      // The file stays, visible; the journal holds its old attributes.
    }
    return why;
  };
  if (!platform::journal::RecordMove(SystemPath(path), SystemPath(kept))) {
    dropCopy();
    return stay(L"the change journal could not be written, so it was left where it is");
  }
  FILE_DISPOSITION_INFO dispose{TRUE};
  if (!SetFileInformationByHandle(original.Get(), FileDispositionInfo, &dispose, sizeof dispose)) {
    return stay(L"could not be removed from the drive: " + ErrorText(GetLastError()));
  }
  original.Close();
  // A removal the file system refused only shows once the handle is closed.
  if (GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
    return stay(L"could not be removed from the drive");
  }
  return {};
}

}  // namespace repair::drive_check
