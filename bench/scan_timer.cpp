// Times the drive check's scan of a generated tree against a bare
// FindFirstFileExW walk of the same tree, alternating, medians of the runs.
// Usage: scan_timer <runs> <items> [<shortcuts: 1 in each folder (default), 0 none>]
#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "repair/drive_check/scan.h"
#include "repair/drive_check/shortcut.h"
#include "repair/drive_check/walker.h"

#include "timing.h"

namespace {

using bench::Median;
using bench::Now;

void Touch(const std::wstring& path, DWORD attributes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

// A real shortcut, as on a drive: the scan reads each one.
void MakeShortcut(const std::wstring& path) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return;
  }
  link->SetPath(L"C:\\windows\\notepad.exe");
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    persist->Save(path.c_str(), TRUE);
    persist->Release();
  }
  link->Release();
}

// Folders of 99 files each (one a shortcut), one in a hundred hidden, under 100 top folders.
std::uint64_t Generate(const std::wstring& root, std::uint64_t items, bool shortcuts) {
  CreateDirectoryW(root.c_str(), nullptr);
  std::uint64_t made = 0;
  for (int top = 0; made < items; ++top) {
    const std::wstring a = root + L"\\top" + std::to_wstring(top);
    CreateDirectoryW(a.c_str(), nullptr);
    ++made;
    for (int sub = 0; sub < 10 && made < items; ++sub) {
      const std::wstring b = a + L"\\sub" + std::to_wstring(sub);
      CreateDirectoryW(b.c_str(), nullptr);
      ++made;
      for (int file = 0; file < 99 && made < items; ++file, ++made) {
        const std::wstring name = b + L"\\file" + std::to_wstring(file);
        if (file == 7 && shortcuts) {
          MakeShortcut(name + L".lnk");
        } else {
          Touch(name + L".txt", file == 42 ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL);
        }
      }
    }
  }
  return made;
}

void Remove(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        Remove(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 7;
  const std::uint64_t items = argc > 2 ? std::wcstoull(argv[2], nullptr, 10) : 100000;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring root = std::wstring(temp) + L"korvane-scan-bench";
  const repair::drive_check::ComScope com;
  Remove(root);
  const bool shortcuts = argc > 3 ? _wtoi(argv[3]) != 0 : true;
  const std::uint64_t made = Generate(root, items, shortcuts);
  std::vector<double> bare;
  std::vector<double> scan;
  std::vector<double> walk;
  std::uint64_t walked = 0;
  std::uint64_t scanned = 0;
  std::size_t findings = 0;
  bench::BareWalk(root);  // warms the caches for both
  for (int run = 0; run < runs; ++run) {
    double start = Now();
    walked = bench::BareWalk(root);
    bare.push_back(Now() - start);
    // The check's own walk, listing each folder through its handle with ids, and no rules.
    const std::atomic<bool> never{false};
    start = Now();
    repair::drive_check::Walk(root, never, [](const std::wstring&, const repair::drive_check::FolderFacts&,
                                              std::span<const repair::drive_check::Entry>) {});
    walk.push_back(Now() - start);
    repair::drive_check::Progress progress;
    start = Now();
    const auto result = repair::drive_check::Scan(root[0], {.root = root}, progress);
    scan.push_back(Now() - start);
    scanned = result.items;
    findings = result.findings.size();
  }
  Remove(root);
  const double bareMs = Median(bare);
  const double scanMs = Median(scan);
  std::printf("Drive check scan: runs %d, items %llu (walked %llu, scanned %llu, findings %zu), bare walk median %.1f ms, "
              "scan median %.1f ms, ratio %.2f (target at most 1.2)\n",
              runs, static_cast<unsigned long long>(made), static_cast<unsigned long long>(walked),
              static_cast<unsigned long long>(scanned), findings, bareMs, scanMs, bareMs > 0 ? scanMs / bareMs : 0.0);
  std::printf("Drive check scan: the check's own walk alone, median %.1f ms\n", Median(walk));
  return 0;
}
