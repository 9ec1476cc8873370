// A drive's whole state, to compare before and after, and the clean a
// person gets by pressing "Clean Selected" without changing a check box.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "repair/drive_check/clean.h"
#include "support/drive_helpers.h"
#include "support/text.h"

namespace drive_check_tests {

using testing_support::Attributes;
using testing_support::ClearFolder;
using testing_support::ReadBytes;
using testing_support::Utf8;
using repair::drive_check::Clean;
using repair::drive_check::CleanReport;
using repair::drive_check::ScanResult;

// Every item under a folder: its attributes and, for files, its bytes.
using DriveState = std::map<std::wstring, std::string>;

inline void Record(const std::wstring& folder, DriveState& state) {
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((L"\\\\?\\" + folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    const DWORD attributes = Attributes(L"\\\\?\\" + path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      state[path] = "folder " + std::to_string(attributes);
      Record(path, state);
    } else {
      state[path] = std::to_string(attributes) + " " + ReadBytes(L"\\\\?\\" + path).value_or("unreadable");
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

inline DriveState StateOf(const std::wstring& folder) {
  DriveState state;
  Record(folder, state);
  return state;
}

// The items that differ, one line each: empty when the states are the same.
inline std::string Differences(const DriveState& got, const DriveState& expected) {
  std::string lines;
  for (const auto& [path, state] : expected) {
    auto it = got.find(path);
    if (it == got.end()) {
      lines += "missing " + Utf8(path) + "\n";
    } else if (it->second != state) {
      lines += "changed " + Utf8(path) + ": " + it->second.substr(0, 12) + "\n";
    }
  }
  for (const auto& [path, state] : got) {
    if (!expected.count(path)) lines += "added " + Utf8(path) + "\n";
  }
  return lines;
}

inline std::vector<char> Defaults(const ScanResult& scan) {
  std::vector<char> flags;
  for (const auto& finding : scan.findings) flags.push_back(finding.checked ? 1 : 0);
  return flags;
}

inline CleanReport CleanChecked(const ScanResult& scan) {
  const auto flags = Defaults(scan);
  const auto selected = std::make_unique<bool[]>(flags.size());
  for (std::size_t i = 0; i < flags.size(); ++i) selected[i] = flags[i] != 0;
  return Clean(scan, std::span<const bool>(selected.get(), flags.size()));
}

inline std::string Failures(const CleanReport& report) {
  std::string text;
  for (const auto& failure : report.failures) text += Utf8(failure.path + L": " + failure.reason) + "\n";
  return text;
}

// The folder behind drive E: is moved aside, and another takes its place
// (another stick in the same letter), or none does (the stick pulled out).
class SwappedDrive {
 public:
  explicit SwappedDrive(bool replaced = true) {
    const char* devices = std::getenv("KORVANE_TEST_DOSDEVICES");
    if (!devices) return;
    std::wstring run = L"Z:";
    for (const char* c = devices; *c; ++c) run += static_cast<wchar_t>(*c == '/' ? '\\' : *c);
    wchar_t full[MAX_PATH];
    GetFullPathNameW((run + L"\\..\\..\\").c_str(), MAX_PATH, full, nullptr);
    folder_ = std::wstring(full) + L"drive_e";
    away_ = folder_ + L".away";
    moved_ = MoveFileW(folder_.c_str(), away_.c_str());
    swapped_ = moved_ && (!replaced || CreateDirectoryW(folder_.c_str(), nullptr));
  }
  ~SwappedDrive() {
    // A swap that never happened leaves the drive's own folder alone.
    if (!moved_) return;
    if (GetFileAttributesW(folder_.c_str()) != INVALID_FILE_ATTRIBUTES) {
      ClearFolder(folder_ + L"\\");
      RemoveDirectoryW(folder_.c_str());
    }
    MoveFileW(away_.c_str(), folder_.c_str());
  }
  SwappedDrive(const SwappedDrive&) = delete;
  SwappedDrive& operator=(const SwappedDrive&) = delete;
  bool Swapped() const { return swapped_; }
  const std::wstring& Away() const { return away_; }

 private:
  std::wstring folder_;
  std::wstring away_;
  bool moved_ = false;
  bool swapped_ = false;
};

}  // namespace drive_check_tests
