// What the computer check knows about where a file lies: whether the user
// could have put it there, whether it is on a removable drive, whether it
// sits in a folder someone hid. Answers are kept per folder for one scan.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "system/handle.h"

namespace repair::computer_check {

class Places {
 public:
  Places();

  // The folder's security lets the user (the unelevated user when Korvane
  // runs elevated) create files in it, or the file itself may be written.
  // The Windows folder and Program Files count only where the system guards
  // them: where the Windows folder itself is open to the user (Wine, a drive
  // without security), every installed program would otherwise be suspect.
  bool UserWritable(const std::wstring& file);
  bool Removable(const std::wstring& file) const;
  // A folder above the file is hidden, and is not one the system hides itself (AppData, ProgramData).
  bool InHiddenFolder(const std::wstring& file);
  bool UnderProgramFiles(const std::wstring& file) const;
  bool UnderWindows(const std::wstring& file) const;
  static bool Exists(const std::wstring& file);

  // "User-writable" or "on a removable drive" evidence, as words for a person; empty when neither.
  std::wstring SuspectPlace(const std::wstring& file);

 private:
  bool FolderWritable(const std::wstring& folder);
  bool Grants(const std::wstring& path, DWORD access);

  platform::Handle token_;  // an identification token of the user, for AccessCheck
  std::wstring windows_;
  std::wstring programFiles_[2];
  std::wstring systemHidden_[2];  // AppData, ProgramData
  bool guarded_ = true;  // the Windows folder refuses the user
  std::map<std::wstring, bool> writable_;
  std::map<std::wstring, bool> hidden_;
  mutable std::map<wchar_t, bool> removable_;  // by drive letter: asking the system costs a round trip each time
};

}  // namespace repair::computer_check
