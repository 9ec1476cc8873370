// The registry values the security page and its lock touch: kept aside when a
// test starts, removed for a clean start, and put back when it ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/registry_helpers.h"

namespace security_test {

inline const std::wstring kExplorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline const std::wstring kSystem = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
inline const std::wstring kNonEnum = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\NonEnum";
inline const std::wstring kSound = L"Control Panel\\Sound";
inline const std::wstring kCdRom = L"SYSTEM\\CurrentControlSet\\Services\\CDRom";
inline const std::wstring kMyComputer = L"{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
inline const std::wstring kWab = L".wab";
inline const std::wstring kRandomId = L"RandomID";

struct Place {
  HKEY root;
  std::wstring key;
  std::wstring name;
};

inline std::vector<Place> TouchedValues() {
  const HKEY cu = HKEY_CURRENT_USER;
  return {
      {cu, kExplorer, L"nofolderoptions"},
      {cu, kSystem, L"disabletaskmgr"},
      {cu, kSystem, L"disableregistrytools"},
      {cu, kExplorer, L"nocontrolpanel"},
      {cu, kSystem, L"nodispcpl"},
      {cu, kExplorer, L"DisablePersonalDirChange"},
      {cu, kExplorer, L"nofind"},
      {cu, kExplorer, L"norun"},
      {cu, kExplorer, L"noclose"},
      {cu, kSound, L"Beep"},
      {HKEY_LOCAL_MACHINE, kCdRom, L"Autorun"},
      {cu, kExplorer, L"NoStartMenuMorePrograms"},
      {cu, kNonEnum, kMyComputer},
      {cu, kExplorer, L"NoStartMenuPinnedList"},
      {HKEY_LOCAL_MACHINE, kExplorer, L"NoViewContextMenu"},
      {cu, kExplorer, L"NoViewContextMenu"},
      {cu, kExplorer, L"NoManageMyComputerVerb"},
      {HKEY_CLASSES_ROOT, kWab, kRandomId},
  };
}

class SecurityValues : public testing_support::SavedValues {
 public:
  SecurityValues() {
    for (const Place& place : TouchedValues()) KeepAndClear(place.root, place.key, place.name);
  }
};

}  // namespace security_test
