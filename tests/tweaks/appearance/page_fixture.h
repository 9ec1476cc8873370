// Opens the appearance page against the real registry, keeping the values the
// page touches as they were before the test.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/form.h"
#include "support/registry_helpers.h"
#include "support/ui_helpers.h"
#include "tweaks/appearance/appearance_page.h"

namespace appearance_tests {

using testing_support::kHkcu;

inline const HKEY kHklm = HKEY_LOCAL_MACHINE;
inline constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";
inline constexpr wchar_t kPolicies[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\explorer";
inline constexpr wchar_t kNtWindows[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline constexpr wchar_t kErrorMode[] = L"NoPopUpsOnBoot, Error Mode";

struct ValuePlace {
  HKEY root;
  std::wstring key;
  std::wstring name;
};

// Every value the page reads or writes, and the two halves of the odd name.
inline const std::vector<ValuePlace>& TouchedValues() {
  static const std::vector<ValuePlace> places = {
      {kHkcu, kDesktop, L"FontSmoothing"},       {kHkcu, kDesktop, L"FontSmoothingType"},
      {kHkcu, kDesktop, L"SmoothScroll"},        {kHkcu, kDesktop, L"PaintDesktopVersion"},
      {kHkcu, kPolicies, L"ClassicShell"},       {kHkcu, kPolicies, L"NoUserNameInStartMenu"},
      {kHklm, kNtWindows, kErrorMode},           {kHklm, kNtWindows, L"NoPopUpsOnBoot"},
      {kHklm, kNtWindows, L"Error Mode"},
  };
  return places;
}

class AppearancePageTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const auto& place : TouchedValues()) saved_.KeepAndClear(place.root, place.key, place.name);
  }
  void TearDown() override {
    Close();
  }
  static void ClearValues() {
    for (const auto& place : TouchedValues()) testing_support::DeleteValue(place.root, place.key, place.name);
  }
  static tweaks::FrmAppTweaks& Open() { return testing_support::ShowForm<tweaks::FrmAppTweaks>(); }
  static void Close() {
    if (platform::IsLoaded<tweaks::FrmAppTweaks>()) platform::Instance<tweaks::FrmAppTweaks>().Unload();
    testing_support::Pump();
  }

 private:
  testing_support::SavedValues saved_;
};

}  // namespace appearance_tests
