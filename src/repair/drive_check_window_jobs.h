// What the Check a Drive window shares with its workers. A worker never
// touches a control: it posts one of these messages and the window reads.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "repair/drive_check/clean.h"
#include "repair/drive_check/scan.h"

namespace repair {

inline constexpr UINT kScanProgress = WM_APP + 1;
inline constexpr UINT kScanDone = WM_APP + 2;
inline constexpr UINT kCleanProgress = WM_APP + 3;
inline constexpr UINT kCleanDone = WM_APP + 4;
inline constexpr ULONGLONG kProgressEveryMs = 250;  // a few updates a second

// Shared by the window and a worker; the worker never touches a control.
struct ScanJob {
  HWND window = nullptr;
  wchar_t drive = L'\0';
  drive_check::Progress progress;
  std::mutex lock;
  std::uint64_t items = 0;
  std::wstring folder;
  std::vector<drive_check::Finding> found;  // met since the window last read them
  std::shared_ptr<drive_check::ScanResult> result;
};

struct CleanJob {
  HWND window = nullptr;
  std::shared_ptr<const drive_check::ScanResult> scan;
  std::unique_ptr<bool[]> selected;
  std::vector<bool> selection;
  // Opened, and ended, on the window's thread: that is where its questions are asked.
  std::unique_ptr<platform::journal::Action> action;
  drive_check::CleanProgress progress;
  std::atomic<std::size_t> done{0};
  std::atomic<std::size_t> total{0};
  ULONGLONG lastPost = 0;  // the worker's own
  std::mutex lock;
  drive_check::CleanReport report;
  std::vector<bool> carried;
  std::wstring stillInfected;  // what the computer check says once worm files went
};

inline std::wstring DriveName(wchar_t letter) { return std::wstring(1, letter) + L":"; }

// "1 item", "2,345 items"
std::wstring Count(std::uint64_t number, const wchar_t* one, const wchar_t* many);

}  // namespace repair
