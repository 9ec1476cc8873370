// Times a tweak click with its journal record against the same writes made
// unrecorded, alternating checked and unchecked so that every click changes
// something; then the reading of a journal of 10,000 groups, and opening the
// Undo Changes window on it. The journal found there is set aside and put back.
// Usage: journal_timer <runs>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "journal/journal_format.h"
#include "journal/journal_machine.h"
#include "tweaks/tweak_binding.h"
#include "shell/undo_window.h"
#include "tweaks/security/security_bindings.h"

#include "timing.h"

namespace {

using bench::Median;
using bench::Now;

namespace journal = platform::journal;

template <class F>
double Time(F&& f) {
  const double start = Now();
  f();
  return Now() - start;
}

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

// Ten thousand groups of two registry items each, as clicks leave them.
std::string LargeJournal(const platform::TweakBinding& binding, const std::wstring& folder) {
  std::string bytes;
  journal::Item item;
  item.kind = journal::ItemKind::Registry;
  item.root = binding.load.root;
  item.key = binding.load.key;
  item.name = binding.load.name;
  item.regAfter = {true, REG_DWORD, {1, 0, 0, 0}};
  for (journal::GroupId id = 1; id <= 10000; ++id) {
    bytes += journal::format::HeaderLine(id, L"2026-12-08 14:03:12", L"Security Tweaks: Disable Task Manager checked");
    bytes += journal::format::ItemLine(id, 0, item, folder);
    bytes += journal::format::ItemLine(id, 1, item, folder);
    bytes += journal::format::EndLine(id);
  }
  return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(20, _wtoi(argv[1])) : 21;
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  journal::SetJournalFailureHandler([](std::wstring_view) { return journal::WithoutJournal::GoOn; });
  const std::wstring folder = journal::Folder();
  const std::wstring file = folder + L"journal.jsonl";
  const std::wstring saved = file + L".bench-saved";
  CreateDirectoryW(folder.c_str(), nullptr);
  const bool hadJournal = MoveFileExW(file.c_str(), saved.c_str(), MOVEFILE_REPLACE_EXISTING);

  const platform::TweakBinding& binding = tweaks::SecurityBindings().front();
  // The record must be on the disk by the click's end, and a flush of one small append to a
  // file in the same folder is most of that: the target is the unrecorded click plus one such.
  const std::wstring probe = folder + L"bench-append.txt";
  const std::string line(300, 'x');
  const auto flushedAppend = [&] {
    const HANDLE out = CreateFileW(probe.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    FlushFileBuffers(out);
    CloseHandle(out);
  };
  bool checked = false;
  const auto clicks = [&](const char* what, const platform::TweakBinding& tweak) {
    std::vector<double> recorded;
    std::vector<double> unrecorded;
    std::vector<double> appends;
    for (int i = 0; i < runs + 1; ++i) {
      // Interleaved, so that drift in the machine's speed touches all three alike; the first round warms up.
      checked = !checked;
      const double withJournal = Time([&] { platform::ApplyTweak(tweak, checked, L"Security Tweaks"); });
      checked = !checked;
      const double without = Time([&] {
        const journal::Unrecorded off;
        platform::RunSteps(checked ? tweak.checked : tweak.unchecked);
      });
      const double append = Time(flushedAppend);
      if (i == 0) continue;
      recorded.push_back(withJournal);
      unrecorded.push_back(without);
      appends.push_back(append);
    }
    const double click = Median(recorded);
    const double plain = Median(unrecorded);
    const double flush = Median(appends);
    std::printf("%s: runs %d, with its journal record median %.3f ms, unrecorded median %.3f ms, "
                "one flushed append median %.3f ms, ratio to both %.2f\n",
                what, runs, click, plain, flush, click / (plain + flush));
  };
  clicks("Tweak click", binding);
  // A machine-wide value's record is countersigned in the machine-wide store too: a second file flushed.
  for (const platform::TweakBinding& tweak : tweaks::SecurityBindings()) {
    if (tweak.load.root == platform::kLocalMachine && tweak.checked.size() == 1 && tweak.unchecked.size() == 1) {
      clicks("Machine-wide tweak click, countersigned", tweak);
      break;
    }
  }
  DeleteFileW(probe.c_str());

  // A recorded click in its three parts: the action opening (the lock, the journal opened), the
  // writes with their records, and the end line with the flush.
  {
    std::vector<double> opening, writing, ending;
    for (int i = 0; i < runs; ++i) {
      checked = !checked;
      std::optional<journal::Action> action;
      opening.push_back(Time([&] { action.emplace(L"Security Tweaks: bench"); }));
      writing.push_back(Time([&] { platform::RunSteps(checked ? binding.checked : binding.unchecked); }));
      ending.push_back(Time([&] { action.reset(); }));
    }
    std::printf("Profile: a recorded click's action opening median %.3f ms, writes with records %.3f ms, end and flush %.3f ms\n",
                Median(opening), Median(writing), Median(ending));
  }

  // Where the rest of a recorded click goes: the calls the journal makes around its appends, on
  // the files it keeps open.
  const std::wstring lockPath = folder + L"journal.lock";
  const auto profile = [&](const char* what, auto&& call) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(Time(call));
    std::printf("Profile: %s median %.3f ms\n", what, Median(times));
  };
  const HANDLE lockFile = CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, 0, nullptr);
  profile("lock and unlock", [&] {
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    LockFileEx(lockFile, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
    UnlockFileEx(lockFile, 0, 1, 0, &at);
  });
  profile("ask the lock file's length (a compaction lengthens it)", [&] {
    LARGE_INTEGER size{};
    GetFileSizeEx(lockFile, &size);
  });
  CloseHandle(lockFile);
  const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, 0, nullptr);
  profile("ask the journal's size and read its last 64 bytes", [&] {
    LARGE_INTEGER size{};
    GetFileSizeEx(held, &size);
    char tail[64];
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(size.QuadPart > 64 ? size.QuadPart - 64 : 0);
    DWORD got = 0;
    ReadFile(held, tail, sizeof tail, &got, &at);
  });
  CloseHandle(held);
  profile("open the journal for appending, close (what the yardstick's append pays and a click no longer does)", [&] {
    CloseHandle(CreateFileW(file.c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, 0, nullptr));
  });
  {
    journal::Item item;
    item.kind = journal::ItemKind::Registry;
    item.root = platform::kLocalMachine;
    item.key = L"SYSTEM\\CurrentControlSet\\Services\\CDRom";
    item.name = L"Autorun";
    item.regAfter = {true, REG_DWORD, {0, 0, 0, 0}};
    profile("countersign a machine-wide value (unflushed)", [&] { journal::machine::Vouch(1, item, folder, false); });
    profile("make the machine-wide folder (already there)", [&] { journal::machine::EnsureFolder(); });
  }
  profile("read a registry value", [&] { platform::RegGetRaw(binding.load.root, binding.load.key, binding.load.name); });
  profile("format a header and an item line", [&] {
    journal::Item item;
    item.kind = journal::ItemKind::Registry;
    item.key = binding.load.key;
    item.name = binding.load.name;
    item.regAfter = {true, REG_DWORD, {1, 0, 0, 0}};
    const std::string lines = journal::format::HeaderLine(1, L"2026-12-08 14:03:12", L"Security Tweaks: x") +
                              journal::format::ItemLine(1, 0, item, folder);
    (void)lines;
  });

  journal::Close();  // held open since the first click
  if (!WriteWhole(file, LargeJournal(binding, folder))) {
    std::printf("Could not write the large journal\n");
    return 1;
  }
  std::vector<double> reads;
  std::size_t groups = 0;
  for (int i = 0; i < 5; ++i) reads.push_back(Time([&] { groups = journal::Read().groups.size(); }));
  std::printf("Read a journal of %zu groups: median %.1f ms\n", groups, Median(reads));
  const double open = Time([] {
    shell::FrmUndo& form = platform::Instance<shell::FrmUndo>();
    form.Show();
    UpdateWindow(form.Hwnd());
  });
  std::printf("Open the Undo Changes window on it: %.1f ms, %d rows\n", open,
              platform::Instance<shell::FrmUndo>().LvwGroups.RowCount());
  platform::Form::EndProgram();

  journal::Close();
  DeleteFileW(file.c_str());
  if (hadJournal) MoveFileExW(saved.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
  return 0;
}
