#include "repair/drive_check/drives.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <iterator>

namespace repair::drive_check {

namespace {

const wchar_t* TypeName(unsigned type) {
  switch (type) {
    case DRIVE_REMOVABLE: return L"Removable";
    case DRIVE_FIXED: return L"Fixed";
    case DRIVE_REMOTE: return L"Network";
    case DRIVE_CDROM: return L"CD/DVD";
    case DRIVE_RAMDISK: return L"RAM disk";
    default: return L"Unknown";
  }
}

// "76.2 GB": three figures, as Explorer shows sizes.
std::wstring Size(std::uint64_t bytes) {
  constexpr const wchar_t* kUnits[] = {L"bytes", L"KB", L"MB", L"GB", L"TB", L"PB"};
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 1000 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  const int decimals = unit == 0 || value >= 100 ? 0 : value >= 10 ? 1 : 2;
  wchar_t text[32];
  std::swprintf(text, std::size(text), L"%.*f %ls", decimals, value, kUnits[unit]);
  return text;
}

}  // namespace

bool IsWindowsDrive(wchar_t letter) {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH && std::towupper(folder[0]) == std::towupper(letter);
}

std::vector<DriveInfo> PresentDrives() {
  std::vector<DriveInfo> drives;
  // A drive without its medium would otherwise bring up a system error box.
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    DriveInfo drive;
    drive.letter = static_cast<wchar_t>(L'A' + i);
    const std::wstring root = std::wstring(1, drive.letter) + L":\\";
    drive.type = GetDriveTypeW(root.c_str());
    if (drive.type == DRIVE_NO_ROOT_DIR || drive.type == DRIVE_UNKNOWN) continue;
    wchar_t label[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) continue;
    drive.label = label;
    ULARGE_INTEGER free{};
    ULARGE_INTEGER total{};
    if (GetDiskFreeSpaceExW(root.c_str(), &free, &total, nullptr)) {
      drive.freeBytes = free.QuadPart;
      drive.totalBytes = total.QuadPart;
    }
    drives.push_back(drive);
  }
  SetErrorMode(oldMode);
  return drives;
}

std::wstring Describe(const DriveInfo& drive) {
  std::wstring text = std::wstring(1, drive.letter) + L":";
  if (!drive.label.empty()) text += L" " + drive.label;
  text += std::wstring(L" (") + TypeName(drive.type) + L", " + Size(drive.freeBytes) + L" free of " +
          Size(drive.totalBytes) + L")";
  return text;
}

}  // namespace repair::drive_check
