#include "system/file_ops.h"

#include "journal/journal.h"
#include "system/utf8.h"

namespace platform {

namespace {

[[noreturn]] void Fail() { throw FileError(GetLastError()); }

// The journal could not be written and the user chose to make no change: ERROR_CANCELLED means that alone.
void RecordedOrThrow(bool recorded) {
  if (!recorded) throw FileError(ERROR_CANCELLED);
}

// A content change is refused also when the file cannot be read to keep a copy, with the system's reason.
void ContentRecordedOrThrow(DWORD code) {
  if (code != ERROR_SUCCESS) throw FileError(code);
}

}  // namespace

void SetAttr(std::wstring_view path, DWORD attributes) {
  SetAttr(path, GetFileAttributesW(std::wstring(path).c_str()), attributes);
}

void SetAttr(std::wstring_view path, DWORD before, DWORD attributes) {
  const std::wstring p(path);
  if (before != INVALID_FILE_ATTRIBUTES) RecordedOrThrow(journal::RecordAttributes(p, before, attributes));
  if (!SetFileAttributesW(p.c_str(), attributes == kAttrNormal ? FILE_ATTRIBUTE_NORMAL : attributes)) {
    const DWORD code = GetLastError();
    journal::RecordNotMade();
    throw FileError(code);
  }
}

DWORD GetAttr(std::wstring_view path) {
  const std::wstring p(path);
  const DWORD attributes = GetFileAttributesW(p.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) Fail();
  return attributes;
}

OutputFile::OutputFile(std::wstring_view path) : path_(path) {
  ContentRecordedOrThrow(journal::RecordContent(path_));
  handle_.Reset(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle_) {
    const DWORD code = GetLastError();
    journal::RecordContentAfter(path_);
    throw FileError(code);
  }
}

OutputFile::~OutputFile() {
  if (!handle_) return;
  handle_.Close();
  journal::RecordContentAfter(path_);
}

void OutputFile::Write(const std::string& bytes) {
  if (!handle_) throw FileError(ERROR_INVALID_HANDLE);
  DWORD written = 0;
  if (!WriteFile(handle_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) Fail();
  if (written != bytes.size()) throw FileError(ERROR_WRITE_FAULT);
}

void OutputFile::WriteQuoted(std::wstring_view text) {
  std::string line(1, '"');
  line += ToCodePage(text, CP_ACP);
  line += "\"\r\n";
  Write(line);
}

void OutputFile::PrintLine(std::wstring_view text) {
  std::string line = ToCodePage(text, CP_ACP);
  line += "\r\n";
  Write(line);
}

void OutputFile::Close() {
  if (!handle_) return;
  const BOOL flushed = FlushFileBuffers(handle_.Get());
  const DWORD flushError = GetLastError();
  const bool closed = handle_.Close();
  const DWORD closeError = GetLastError();
  journal::RecordContentAfter(path_);
  if (!closed) throw FileError(closeError);
  if (!flushed) throw FileError(flushError);
}

void CopyOver(std::wstring_view source, std::wstring_view destination) {
  const std::wstring from(source);
  const std::wstring to(destination);
  ContentRecordedOrThrow(journal::RecordContent(to));
  const BOOL copied = CopyFileW(from.c_str(), to.c_str(), FALSE);
  const DWORD code = GetLastError();
  journal::RecordContentAfter(to);
  if (!copied) throw FileError(code);
}

void DeleteOne(std::wstring_view path) {
  const std::wstring p(path);
  ContentRecordedOrThrow(journal::RecordContent(p));
  const BOOL deleted = DeleteFileW(p.c_str());
  const DWORD code = GetLastError();
  journal::RecordContentAfter(p);
  if (!deleted) throw FileError(code);
}

void Rename(std::wstring_view from, std::wstring_view to) {
  const std::wstring source(from);
  const std::wstring target(to);
  RecordedOrThrow(journal::RecordRename(source, target));
  if (!MoveFileExW(source.c_str(), target.c_str(), 0)) {
    const DWORD code = GetLastError();
    journal::RecordNotMade();
    throw FileError(code);
  }
}

void Move(std::wstring_view from, std::wstring_view to) {
  const std::wstring source(from);
  const std::wstring target(to);
  if (!CopyFileW(source.c_str(), target.c_str(), TRUE)) Fail();
  auto dropCopy = [&] {
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(target.c_str());
  };
  // The copy reaches the disk before the journal names it as where the file went.
  Handle copy(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  const bool flushed = copy && FlushFileBuffers(copy.Get());
  const DWORD flushError = GetLastError();
  copy.Close();
  if (!flushed) {
    dropCopy();
    throw FileError(flushError);
  }
  if (!journal::RecordMove(source, target)) {
    dropCopy();
    throw FileError(ERROR_CANCELLED);
  }
  const DWORD attributes = GetFileAttributesW(source.c_str());
  SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
  // Wine reports a removal the file system refused as done; only a second look tells.
  const bool deleted = DeleteFileW(source.c_str());
  const DWORD deleteError = GetLastError();
  if (!deleted || GetFileAttributesW(source.c_str()) != INVALID_FILE_ATTRIBUTES) {
    const DWORD code = deleted ? ERROR_ACCESS_DENIED : deleteError;
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(source.c_str(), attributes);
    journal::RecordNotMade();
    dropCopy();
    throw FileError(code);
  }
}

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return FolderOf(path);
}

std::wstring FolderOf(std::wstring_view path) {
  const auto slash = path.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos) return {};
  // "C:" alone is the current folder of drive C, not its root.
  const bool driveRoot = slash > 0 && path[slash - 1] == L':';
  return std::wstring(path.substr(0, driveRoot ? slash + 1 : slash));
}

std::wstring SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length ? std::wstring(buffer, length) : L"error " + std::to_wstring(code);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return text;
}

}  // namespace platform
