// The file operations the repairs and the drive icon tool rely on. Every
// failure is thrown as a FileError for the calling handler to trap.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "system/handle.h"

namespace platform {

class FileError : public std::runtime_error {
 public:
  explicit FileError(DWORD code) : std::runtime_error("file operation failed"), code_(code) {}
  DWORD Code() const { return code_; }

 private:
  DWORD code_;
};

// Attribute sets the callers use: normal clears read-only, hidden, system and archive.
inline constexpr DWORD kAttrNormal = 0;
inline constexpr DWORD kAttrHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Works on files and folders; fails when the path, or its drive, is not there.
void SetAttr(std::wstring_view path, DWORD attributes);
// The same when the caller has just read what the item holds (a listing of its folder),
// so a bulk change asks the system once per item, not twice.
void SetAttr(std::wstring_view path, DWORD before, DWORD attributes);
// The attributes as they stand, to put them back later; fails as SetAttr does.
DWORD GetAttr(std::wstring_view path);

// A text file opened for output: created, or truncated to zero length. It is
// closed by Close() or, on every other path, by the destructor.
class OutputFile {
 public:
  explicit OutputFile(std::wstring_view path);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // The text between double quotes, then CR LF ("" gives 22 22 0D 0A).
  void WriteQuoted(std::wstring_view text);
  // The text unchanged, in the ANSI code page, then CR LF.
  void PrintLine(std::wstring_view text);
  void Close();

 private:
  void Write(const std::string& bytes);
  std::wstring path_;
  Handle handle_;
};

// Copies the content over a destination that can be overwritten.
void CopyOver(std::wstring_view source, std::wstring_view destination);
void DeleteOne(std::wstring_view path);
// Renames a file or folder in place (same folder or same volume). Recorded
// first; a rename the system refuses is marked as not made, then thrown.
void Rename(std::wstring_view from, std::wstring_view to);
// Moves a file to `to`, which must not exist yet: a copy is made there and
// flushed, the move recorded, then `from` removed. When the removal fails the
// copy goes, the move is marked as not made, and the failure is thrown.
void Move(std::wstring_view from, std::wstring_view to);
// The system's own words for an error code, without the trailing line break.
std::wstring SystemMessage(DWORD code);
// The folder the program was started from.
std::wstring ProgramFolder();
// The folder holding a file, "C:\" for a file at the root of drive C; empty without a folder.
std::wstring FolderOf(std::wstring_view path);

}  // namespace platform
