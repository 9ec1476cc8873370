// A drive's whole state, to compare before and after, and the clean a
// person gets by pressing "Clean Selected" without changing a check box.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "repair/drive_check/clean.h"
#include "support/drive_helpers.h"
#include "support/text.h"

namespace drive_check_tests {

using testing_support::Attributes;
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

}  // namespace drive_check_tests
