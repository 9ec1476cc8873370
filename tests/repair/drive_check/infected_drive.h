// Builds real infected drives on the test drives: hidden items, shortcuts
// made through the shell's link object, a blank-named folder, an autorun.inf.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "repair/drive_check/scan.h"
#include "support/drive_helpers.h"
#include "support/text.h"

namespace drive_check_tests {

using namespace testing_support;
using repair::drive_check::Finding;
using repair::drive_check::FindingKind;
using repair::drive_check::Proposal;

constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;
inline const std::wstring kBlank = L"\u00A0";  // a no-break space: the folder looks nameless

inline void MakeFolder(const std::wstring& path, DWORD attributes = 0) {
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
      << Utf8(path) << " error " << GetLastError();
  if (attributes) {
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
  }
}

inline void MakeShortcut(const std::wstring& file, const std::wstring& target, const std::wstring& arguments) {
  IShellLinkW* link = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  link->SetPath(target.c_str());
  link->SetArguments(arguments.c_str());
  IPersistFile* persist = nullptr;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
  const HRESULT saved = persist->Save(file.c_str(), TRUE);
  persist->Release();
  link->Release();
  ASSERT_EQ(saved, S_OK) << Utf8(file);
}

// One line per finding, so that a mismatch shows what was found.
inline std::string Line(const Finding& f) {
  return std::to_string(static_cast<int>(f.kind)) + " " + std::to_string(static_cast<int>(f.proposal)) +
         (f.checked ? " checked " : " unchecked ") + Utf8(f.path);
}

inline std::string Line(FindingKind kind, Proposal proposal, bool checked, const std::wstring& path) {
  return Line(Finding{kind, proposal, checked, path, L"", 0});
}

inline std::multiset<std::string> Lines(const std::vector<Finding>& findings) {
  std::multiset<std::string> lines;
  for (const auto& f : findings) lines.insert(Line(f));
  return lines;
}

inline const std::string kWormVbs = "Set s = CreateObject(\"WScript.Shell\")\r\n";
inline const std::string kProgram = std::string("MZ\x90\0\x03\0\0\0", 8) + std::string(300, '\x7F');
inline const std::string kPhoto = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(5000, '\x42');

// The worm's work on drive `d`, and what must be left alone beside it.
inline void Infect(wchar_t d) {
  const auto at = [d](const std::wstring& name) { return OnDrive(d, name); };
  MakeFolder(at(L"Photos"), kHiddenSystem);
  WriteBytes(at(L"Photos\\beach.jpg"), kPhoto);
  WriteBytes(at(L"worm.vbs"), kWormVbs, kHiddenSystem | FILE_ATTRIBUTE_READONLY);
  MakeShortcut(at(L"Photos.lnk"), L"C:\\windows\\system32\\wscript.exe", L"//B \"worm.vbs\" Photos");
  MakeFolder(at(L"Docs"));
  MakeFolder(at(L"Docs\\Report"), kHidden);
  WriteBytes(at(L"Docs\\Report\\plan.txt"), "plan");
  MakeFolder(at(L"Docs\\helper"));
  WriteBytes(at(L"Docs\\helper\\run.js"), "WScript.Echo(1)", kHidden);
  MakeShortcut(at(L"Docs\\Report.lnk"), L"C:\\windows\\system32\\cmd.exe", L"/c start helper\\run.js & start Report");
  MakeFolder(at(L"tools"));
  WriteBytes(at(L"tools\\setup.exe"), kProgram, kHidden);  // a shortcut starting a hidden program
  MakeShortcut(at(L"Setup.lnk"), at(L"tools\\setup.exe"), L"");
  WriteBytes(at(L"tools\\launch.vbs"), kWormVbs);
  MakeShortcut(at(L"Games.lnk"), L"%windir%\\system32\\WScript.exe", L"\"\\tools\\launch.vbs\"");
  MakeFolder(at(kBlank), kHiddenSystem);
  WriteBytes(at(kBlank + L"\\file1.txt"), "one");
  MakeFolder(at(kBlank + L"\\sub"));
  WriteBytes(at(kBlank + L"\\sub\\file2.txt"), "two", kHidden);
  WriteBytes(at(L"hidden.txt"), "hidden text", kHidden | FILE_ATTRIBUTE_READONLY);
  // A folder beyond MAX_PATH with a name outside the ANSI code page.
  std::wstring deep = L"\\\\?\\" + at(L"deep");
  MakeFolder(deep);
  for (int i = 0; i < 12; ++i) MakeFolder(deep += L"\\" + std::wstring(24, static_cast<wchar_t>(L'a' + i)));
  WriteBytes(deep + L"\\\u03A9mega \u0444\u0430\u0439\u043B.txt", "deep", kHidden);
  MakeFolder(at(L"RECYCLER"), kHiddenSystem);
  MakeFolder(at(L"RECYCLER\\S-1-5-21"), kHiddenSystem);
  WriteBytes(at(L"RECYCLER\\S-1-5-21\\run.exe"), kProgram, kHiddenSystem);
  WriteBytes(at(L"RECYCLER\\S-1-5-21\\INFO2"), "bin", kHidden);
  WriteBytes(at(L"autorun.inf"), "[AutoRun]\r\nopen=RECYCLER\\S-1-5-21\\run.exe\r\nshell\\open\\command=RECYCLER\\S-1-5-21\\run.exe\r\n",
             kHiddenSystem);
  // Left alone.
  MakeShortcut(at(L"Notepad.lnk"), L"C:\\windows\\notepad.exe", L"");
  WriteBytes(at(L"Letter.txt"), "Dear");
  MakeShortcut(at(L"Letter.lnk"), at(L"Letter.txt"), L"");
  MakeFolder(at(L"System Volume Information"), kHiddenSystem);
  WriteBytes(at(L"System Volume Information\\tracking.log"), "log", kHiddenSystem);
  MakeFolder(at(L"Music"));
  WriteBytes(at(L"Music\\desktop.ini"), "[.ShellClassInfo]\r\n", kHiddenSystem);
  WriteBytes(at(L"Music\\song.mp3"), "ID3");
}

inline std::wstring DeepFile(wchar_t d) {
  std::wstring deep = OnDrive(d, L"deep");
  for (int i = 0; i < 12; ++i) deep += L"\\" + std::wstring(24, static_cast<wchar_t>(L'a' + i));
  return deep + L"\\\u03A9mega \u0444\u0430\u0439\u043B.txt";
}

// What a scan of the infected drive must find, and nothing else.
inline std::multiset<std::string> Expected(wchar_t d) {
  const auto at = [d](const std::wstring& name) { return OnDrive(d, name); };
  return {
      Line(FindingKind::Shortcut, Proposal::MoveToQuarantine, true, at(L"Photos.lnk")),
      Line(FindingKind::Shortcut, Proposal::MoveToQuarantine, true, at(L"Docs\\Report.lnk")),
      Line(FindingKind::Shortcut, Proposal::MoveToQuarantine, true, at(L"Setup.lnk")),
      Line(FindingKind::Shortcut, Proposal::MoveToQuarantine, true, at(L"Games.lnk")),
      Line(FindingKind::WormProgram, Proposal::MoveToQuarantine, true, at(L"tools\\launch.vbs")),
      Line(FindingKind::WormProgram, Proposal::MoveToQuarantine, true, at(L"worm.vbs")),
      Line(FindingKind::WormProgram, Proposal::MoveToQuarantine, true, at(L"Docs\\helper\\run.js")),
      Line(FindingKind::WormProgram, Proposal::MoveToQuarantine, true, at(L"tools\\setup.exe")),
      Line(FindingKind::WormProgram, Proposal::MoveToQuarantine, true, at(L"RECYCLER\\S-1-5-21\\run.exe")),
      Line(FindingKind::Autorun, Proposal::MoveToQuarantine, true, at(L"autorun.inf")),
      Line(FindingKind::BlankFolder, Proposal::MakeVisible, true, at(kBlank)),
      Line(FindingKind::BlankFolder, Proposal::RenameToRecovered, false, at(kBlank)),
      Line(FindingKind::Hidden, Proposal::MakeVisible, true, at(L"Photos")),
      Line(FindingKind::Hidden, Proposal::MakeVisible, true, at(L"Docs\\Report")),
      Line(FindingKind::Hidden, Proposal::MakeVisible, true, at(kBlank + L"\\sub\\file2.txt")),
      Line(FindingKind::Hidden, Proposal::MakeVisible, true, at(L"hidden.txt")),
      Line(FindingKind::Hidden, Proposal::MakeVisible, true, DeepFile(d)),
  };
}

}  // namespace drive_check_tests
