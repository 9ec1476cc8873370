#include "platform/file_ops.h"

namespace platform {

namespace {

[[noreturn]] void Fail() { throw FileError(GetLastError()); }

std::string ToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                      nullptr);
  return bytes;
}

}  // namespace

void SetAttr(std::wstring_view path, DWORD attributes) {
  const std::wstring p(path);
  if (!SetFileAttributesW(p.c_str(), attributes == kAttrNormal ? FILE_ATTRIBUTE_NORMAL : attributes)) Fail();
}

DWORD GetAttr(std::wstring_view path) {
  const std::wstring p(path);
  const DWORD attributes = GetFileAttributesW(p.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) Fail();
  return attributes;
}

OutputFile::OutputFile(std::wstring_view path) {
  const std::wstring p(path);
  handle_ = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) Fail();
}

OutputFile::~OutputFile() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

void OutputFile::Write(const std::string& bytes) {
  if (handle_ == INVALID_HANDLE_VALUE) throw FileError(ERROR_INVALID_HANDLE);
  DWORD written = 0;
  if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) Fail();
  if (written != bytes.size()) throw FileError(ERROR_WRITE_FAULT);
}

void OutputFile::WriteQuoted(std::wstring_view text) {
  std::string line(1, '"');
  line += ToAnsi(text);
  line += "\"\r\n";
  Write(line);
}

void OutputFile::PrintLine(std::wstring_view text) {
  std::string line = ToAnsi(text);
  line += "\r\n";
  Write(line);
}

void OutputFile::Close() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  const HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  const BOOL flushed = FlushFileBuffers(handle);
  const DWORD flushError = GetLastError();
  if (!CloseHandle(handle)) Fail();
  if (!flushed) throw FileError(flushError);
}

void CopyOver(std::wstring_view source, std::wstring_view destination) {
  const std::wstring from(source);
  const std::wstring to(destination);
  if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) Fail();
}

void DeleteOne(std::wstring_view path) {
  const std::wstring p(path);
  if (!DeleteFileW(p.c_str())) Fail();
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

}  // namespace platform
