#include "repair/drive_check/drives.h"

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cwctype>

#include "system/handle.h"
#include "system/system_text.h"

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

// Asks the disk behind the volume which bus it hangs on. Opening the volume
// with no access asks for no rights; a volume that cannot be opened (a network
// drive, a folder mapped to a letter under Wine) is not on the USB bus.
bool OnUsbBus(wchar_t letter) {
  const std::wstring volume = std::wstring(L"\\\\.\\") + letter + L":";
  const platform::Handle device(
      CreateFileW(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!device) return false;
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  alignas(STORAGE_DEVICE_DESCRIPTOR) unsigned char buffer[1024] = {};
  DWORD got = 0;
  const BOOL asked = DeviceIoControl(device.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer,
                                     sizeof buffer, &got, nullptr);
  const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer);
  // A short answer leaves the bus type unset: not trusted.
  return asked && got >= offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof descriptor->BusType &&
         descriptor->BusType == BusTypeUsb;
}

}  // namespace

bool IsRemovable(wchar_t letter, unsigned type) {
  return type == DRIVE_REMOVABLE || (type == DRIVE_FIXED && OnUsbBus(letter));
}

bool IsWindowsDrive(wchar_t letter) {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH && std::towupper(folder[0]) == std::towupper(letter);
}

std::vector<DriveInfo> PresentDrives() {
  std::vector<DriveInfo> drives;
  // A drive without its medium would otherwise bring up a system error box.
  // Only this thread's mode: a scan on another thread relies on the program's own.
  DWORD oldMode = 0;
  const bool quieted = SetThreadErrorMode(GetThreadErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX,
                                          &oldMode) != FALSE;
  const DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    DriveInfo drive;
    drive.letter = static_cast<wchar_t>(L'A' + i);
    const std::wstring root = std::wstring(1, drive.letter) + L":\\";
    drive.type = GetDriveTypeW(root.c_str());
    if (drive.type == DRIVE_NO_ROOT_DIR || drive.type == DRIVE_UNKNOWN) continue;
    // Wine answers the volume query of a removable drive without its medium; its root does not answer.
    if (GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    wchar_t label[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) continue;
    drive.label = label;
    drive.removable = IsRemovable(drive.letter, drive.type);
    ULARGE_INTEGER free{};
    ULARGE_INTEGER total{};
    if (GetDiskFreeSpaceExW(root.c_str(), &free, &total, nullptr)) {
      drive.freeBytes = free.QuadPart;
      drive.totalBytes = total.QuadPart;
    }
    drives.push_back(drive);
  }
  if (quieted) SetThreadErrorMode(oldMode, nullptr);
  return drives;
}

std::vector<DriveInfo> RemovableDrives() {
  std::vector<DriveInfo> drives = PresentDrives();
  std::erase_if(drives, [](const DriveInfo& drive) { return !drive.removable || IsWindowsDrive(drive.letter); });
  return drives;
}

std::wstring Describe(const DriveInfo& drive) {
  std::wstring text = std::wstring(1, drive.letter) + L":";
  if (!drive.label.empty()) text += L" " + drive.label;
  text += std::wstring(L" (") + TypeName(drive.type) + L", " + platform::ByteSize(drive.freeBytes) + L" free of " +
          platform::ByteSize(drive.totalBytes) + L")";
  return text;
}

}  // namespace repair::drive_check
