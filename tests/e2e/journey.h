// What every journey shares: the registry values and test drives it touches
// are put back afterwards, and the program is started from outside.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/drive_helpers.h"
#include "support/driver.h"
#include "support/registry_helpers.h"
#include "support/text.h"

namespace testing_support {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Korvane";
inline constexpr wchar_t kDontLoad[] = L"Control Panel\\don't load";
inline constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";
inline constexpr wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr wchar_t kMainTitle[] = L"Korvane";

class Journey : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Exists(Korvane::ExePath())) << Utf8(Korvane::ExePath()) << " is not built";
    saved_ = std::make_unique<SavedValues>();
    saved_->Keep(HKEY_CURRENT_USER, kSettingsKey, L"splash");
    saved_->Keep(HKEY_CURRENT_USER, kSettingsKey, L"opentab");
    ClearDrive(kDrive);
    ClearDrive(kSecondDrive);
  }
  void TearDown() override {
    programs_.clear();  // closes or kills every korvane.exe this test started
    saved_.reset();
    ClearDrive(kDrive);
    ClearDrive(kSecondDrive);
  }

  SavedValues& Saved() { return *saved_; }

  // Starts korvane.exe and waits for its main window with that title.
  Korvane& Start() {
    programs_.push_back(std::make_unique<Korvane>());
    Korvane& program = *programs_.back();
    EXPECT_TRUE(program.Started()) << "cannot start " << Utf8(Korvane::ExePath());
    return program;
  }
  HWND StartOn(const std::wstring& title, Korvane** started = nullptr) {
    Korvane& program = Start();
    if (started) *started = &program;
    const HWND main = program.WaitForWindow(title);
    EXPECT_TRUE(main) << "no window titled \"" << Utf8(title) << "\"";
    return main;
  }
  // Starts straight on a page, without the splash: what most journeys begin with.
  HWND StartOnPage(const std::wstring& tab, const std::wstring& title, Korvane** started) {
    WriteDword(HKEY_CURRENT_USER, kSettingsKey, L"splash", 0);
    WriteSz(HKEY_CURRENT_USER, kSettingsKey, L"opentab", tab);
    return StartOn(title, started);
  }

  // Opens a window from a button of another and waits for it.
  static HWND Open(Korvane& program, HWND from, const std::wstring& button, const std::wstring& title) {
    const HWND control = FindControl(from, button);
    EXPECT_TRUE(control) << "no \"" << Utf8(button) << "\" in \"" << Utf8(TextOf(from)) << "\"";
    if (!control) return nullptr;
    program.Click(control);
    const HWND window = program.WaitForWindow(title);
    EXPECT_TRUE(window) << "\"" << Utf8(button) << "\" did not open \"" << Utf8(title) << "\"";
    return window;
  }

  static std::wstring Shown(const std::wstring& title, const std::wstring& text) { return title + L": " + text; }

 private:
  std::unique_ptr<SavedValues> saved_;
  std::vector<std::unique_ptr<Korvane>> programs_;
};

}  // namespace testing_support
