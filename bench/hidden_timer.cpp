// Times the drive check on a drive where every item is hidden and system
// (what `attrib +h +s /s /d` leaves), beside bare programs making the same
// system calls in the same run: a FindFirstFileExW walk, the check's own walk,
// the scan; SetFileAttributesW clearing and setting the flags on every item,
// the clean that makes everything visible, and the undo of that clean, each
// run's clean and undo also against the bare passes just before and after it,
// on the clock and in the process's processor time.
// Usage: hidden_timer <runs> <files> <drive letter of an empty drive>
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "repair/drive_check/clean.h"
#include "repair/drive_check/scan.h"
#include "repair/drive_check/shortcut.h"
#include "repair/drive_check/walker.h"

#include "timing.h"

namespace {

using bench::Median;
using bench::Now;

constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr int kFilesPerFolder = 1000;

std::vector<std::wstring> Generate(const std::wstring& root, std::uint64_t files) {
  std::vector<std::wstring> items;
  for (std::uint64_t made = 0, folder = 0; made < files; ++folder) {
    const std::wstring dir = root + L"album" + std::to_wstring(folder);
    CreateDirectoryW(dir.c_str(), nullptr);
    for (int i = 0; i < kFilesPerFolder && made < files; ++i, ++made) {
      const std::wstring file = dir + L"\\IMG_" + std::to_wstring(10000 + i) + L".JPG";
      const HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
      SetFileAttributesW(file.c_str(), kHiddenSystem);
      items.push_back(file);
    }
    SetFileAttributesW(dir.c_str(), kHiddenSystem);
    items.push_back(dir);
  }
  return items;
}

// The process's own processor time in ms, user and kernel: what a pass costs
// this process, less swayed than the clock by what else the machine runs.
double CpuNow() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

// A pass's time on the clock and in processor time, both in ms.
struct Cost {
  double clock = 0;
  double cpu = 0;
};

template <typename Pass>
Cost Timed(Pass pass) {
  const double clock = Now();
  const double cpu = CpuNow();
  pass();
  return {Now() - clock, CpuNow() - cpu};
}

Cost BareAttributes(const std::vector<std::wstring>& items, DWORD attributes) {
  return Timed([&] {
    for (const std::wstring& item : items) SetFileAttributesW(item.c_str(), attributes);
  });
}

struct Memory {
  double peakMiB = 0;
  double privateMiB = 0;
};

Memory MemoryNow() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return {static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0,
          static_cast<double>(counters.PagefileUsage) / 1048576.0};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 3;
  const std::uint64_t files = argc > 2 ? std::wcstoull(argv[2], nullptr, 10) : 100000;
  const wchar_t letter = argc > 3 ? argv[3][0] : L'S';
  const std::wstring root = std::wstring(1, letter) + L":\\";
  const repair::drive_check::ComScope com;
  platform::journal::SetJournalFailureHandler([](std::wstring_view) { return platform::journal::WithoutJournal::GoOn; });
  double start = Now();
  const std::vector<std::wstring> items = Generate(root, files);
  std::printf("Hidden drive: %zu items made in %.1f s\n", items.size(), (Now() - start) / 1000);
  const Memory idle = MemoryNow();

  std::vector<double> bare, walk, scan, clear, set, clean, undo, unrecorded;
  // Each run's clean and undo against the bare passes just before and just after them,
  // on the clock and in processor time: a busy spell of the machine falls on both alike.
  std::vector<double> cleanRatio, undoRatio, cleanCpuRatio, undoCpuRatio;
  std::size_t findings = 0;
  std::size_t visible = 0;
  std::size_t failures = 0;
  Memory afterScan;
  bench::BareWalk(root.substr(0, 2));  // warms the caches for all
  for (int run = 0; run < runs; ++run) {
    start = Now();
    const std::uint64_t walked = bench::BareWalk(root.substr(0, 2));
    bare.push_back(Now() - start);

    const std::atomic<bool> never{false};
    std::uint64_t listed = 0;
    start = Now();
    repair::drive_check::Walk(root, never, [&](const std::wstring&, const repair::drive_check::FolderFacts&,
                                               std::span<const repair::drive_check::Entry> entries) {
      listed += entries.size();
    });
    walk.push_back(Now() - start);

    repair::drive_check::Progress progress;
    start = Now();
    const auto result = repair::drive_check::Scan(letter, {}, progress);
    scan.push_back(Now() - start);
    findings = result.findings.size();
    afterScan = MemoryNow();
    if (walked != listed || walked != result.items) std::printf("walked %llu, listed %llu, scanned %llu\n",
                                                                static_cast<unsigned long long>(walked),
                                                                static_cast<unsigned long long>(listed),
                                                                static_cast<unsigned long long>(result.items));

    const Cost clearBefore = BareAttributes(items, FILE_ATTRIBUTE_NORMAL);
    const Cost setBefore = BareAttributes(items, kHiddenSystem);
    clear.push_back(clearBefore.clock);
    set.push_back(setBefore.clock);

    const auto selected = std::make_unique<bool[]>(result.findings.size());
    for (std::size_t i = 0; i < result.findings.size(); ++i) selected[i] = result.findings[i].checked;
    repair::drive_check::CleanReport report;
    const Cost cleaned = Timed([&] {
      report = repair::drive_check::Clean(result, std::span<const bool>(selected.get(), result.findings.size()));
    });
    clean.push_back(cleaned.clock);
    visible = report.madeVisible;
    failures = report.failures.size();
    if (report.rescanNeeded) std::printf("clean refused: %ls\n", report.refusal.c_str());
    if (!report.group) break;
    const platform::journal::GroupId ids[] = {*report.group};
    platform::journal::UndoReport undone;
    const Cost undid = Timed([&] {
      undone = platform::journal::Undo(
          ids, [](const platform::journal::Group&) { return platform::journal::OnConflict::UndoAnyway; });
    });
    undo.push_back(undid.clock);
    if (!undone.failures.empty()) std::printf("undo: %zu failures\n", undone.failures.size());
    const Cost clearAfter = BareAttributes(items, FILE_ATTRIBUTE_NORMAL);
    const Cost setAfter = BareAttributes(items, kHiddenSystem);
    cleanRatio.push_back(cleaned.clock * 2 / (clearBefore.clock + clearAfter.clock));
    undoRatio.push_back(undid.clock * 2 / (setBefore.clock + setAfter.clock));
    cleanCpuRatio.push_back(cleaned.cpu * 2 / (clearBefore.cpu + clearAfter.cpu));
    undoCpuRatio.push_back(undid.cpu * 2 / (setBefore.cpu + setAfter.cpu));

    // The same clean with nothing written to the journal: what the journal costs.
    const auto again = repair::drive_check::Scan(letter, {}, progress);
    {
      const platform::journal::Unrecorded quiet;
      start = Now();
      repair::drive_check::Clean(again, std::span<const bool>(selected.get(), again.findings.size()));
      unrecorded.push_back(Now() - start);
    }
    static_cast<void>(BareAttributes(items, kHiddenSystem));
  }
  const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
  std::printf("Hidden drive check: runs %d, items %zu, findings %zu, made visible %zu, failed %zu\n", runs, items.size(),
              findings, visible, failures);
  std::printf("Hidden drive bare walk median %.1f ms; check's own walk %.1f ms (ratio %.2f); scan %.1f ms (ratio %.2f, target at most 2)\n",
              Median(bare), Median(walk), ratio(Median(walk), Median(bare)), Median(scan),
              ratio(Median(scan), Median(bare)));
  std::printf("Hidden drive bare clear median %.1f ms; clean %.1f ms (ratio %.2f, target at most 1.5)\n", Median(clear),
              Median(clean), ratio(Median(clean), Median(clear)));
  std::printf("Hidden drive clean with nothing recorded in the journal %.1f ms (ratio %.2f to the bare clear)\n",
              Median(unrecorded), ratio(Median(unrecorded), Median(clear)));
  std::printf("Hidden drive bare set median %.1f ms; undo of the clean %.1f ms (ratio %.2f, target at most 1.5)\n",
              Median(set), Median(undo), ratio(Median(undo), Median(set)));
  std::printf("Hidden drive each run against the bare passes just before and after it: clean ratio median %.2f, "
              "undo ratio median %.2f; in processor time, clean %.2f, undo %.2f (target at most 1.5)\n",
              Median(cleanRatio), Median(undoRatio), Median(cleanCpuRatio), Median(undoCpuRatio));
  std::printf("Hidden drive memory: peak working set %.1f MiB (before the scans %.1f MiB), private %.1f MiB after a scan "
              "(target under 150 MB)\n",
              afterScan.peakMiB, idle.peakMiB, afterScan.privateMiB);
  return 0;
}
