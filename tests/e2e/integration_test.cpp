#include "journey.h"

#include "integration/registration.h"
#include "system/registry.h"

namespace {

using namespace testing_support;

const std::wstring kVerb = L"Software\\Classes\\Drive\\shell\\KorvaneCheck";
const wchar_t kCheckTitle[] = L"Check a Drive";

class IntegrationJourney : public Journey {
 protected:
  void TearDown() override {
    programs_.clear();
    DeleteKey(HKEY_CURRENT_USER, kVerb);
    Journey::TearDown();
  }
  Korvane& Launch(const std::wstring& commandLine) {
    programs_.push_back(std::make_unique<Korvane>(commandLine));
    EXPECT_TRUE(programs_.back()->Started()) << Utf8(commandLine);
    return *programs_.back();
  }
  // The window is on drive E: and its scan has begun (or already ended) there.
  static void ExpectScanOfE(HWND check) {
    std::wstring chosen;
    std::wstring progress;
    const ULONGLONG end = GetTickCount64() + kWaitMs;
    while (progress.empty() && GetTickCount64() < end) {
      for (HWND child : VisibleChildren(check)) {
        const std::wstring text = TextOf(child);
        if (ClassOf(child) == L"ComboBox") chosen = text;
        if (text.find(L"drive E:") != std::wstring::npos) progress = text;
      }
      Sleep(20);
    }
    EXPECT_EQ(Utf8(chosen.substr(0, 3)), "E: ") << Utf8(chosen);
    // "Reading drive E:...", "1 finding on drive E: ...", "Nothing was found on drive E: ..."
    EXPECT_TRUE(progress.starts_with(L"Reading drive E:") || progress.find(L" on drive E:") != std::wstring::npos)
        << Utf8(progress);
  }
  std::vector<std::unique_ptr<Korvane>> programs_;
};

TEST_F(IntegrationJourney, TheRegisteredCommandOpensTheDriveCheckOnThatDriveAndScans) {
  WriteBytes(OnDrive(kDrive, L"hidden.txt"), "x", FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(integration::Save({.menu = true}, Korvane::ExePath()).refused.empty());
  std::wstring command = platform::RegGetValue(platform::kCurrentUser, kVerb + L"\\command", L"").Text();
  ASSERT_NE(command.find(L"%1"), std::wstring::npos) << Utf8(command);
  command.replace(command.find(L"%1"), 2, L"E:\\");  // what Explorer gives for drive E:
  Korvane& program = Launch(command);
  const HWND check = program.WaitForWindow(kCheckTitle);
  ASSERT_TRUE(check);
  ExpectScanOfE(check);
  EXPECT_FALSE(program.FindWindowTitled(kMainTitle)) << "the main window showed";
  program.CloseWindow(check);
  EXPECT_TRUE(program.WaitForExit()) << "closing the only window did not end the program";
}

TEST_F(IntegrationJourney, ASecondStartHandsItsRequestToTheRunningCopyAndEnds) {
  Korvane* first = nullptr;
  const HWND main = StartOnPage(L"Welcome", kMainTitle, &first);
  ASSERT_TRUE(main);
  // A quoted "E:\" arrives as E:" and is read as E: all the same.
  Korvane& second = Launch(L"\"" + Korvane::ExePath() + L"\" --check \"E:\\\"");
  EXPECT_TRUE(second.WaitForExit()) << "the second start did not end";
  EXPECT_EQ(second.ExitCode(), 0u);
  const HWND check = first->WaitForWindow(kCheckTitle);
  ASSERT_TRUE(check) << "the running copy did not open the drive check";
  ExpectScanOfE(check);

  ShowWindow(main, SW_MINIMIZE);
  Korvane& third = Launch(L"\"" + Korvane::ExePath() + L"\"");
  EXPECT_TRUE(third.WaitForExit()) << "the third start did not end";
  const ULONGLONG end = GetTickCount64() + kWaitMs;
  while (IsIconic(main) && GetTickCount64() < end) Sleep(20);
  EXPECT_FALSE(IsIconic(main)) << "the main window did not come forward";
}

}  // namespace
