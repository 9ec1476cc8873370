#include "journey.h"

namespace {

using namespace testing_support;

constexpr wchar_t kIconDriveLabel[] =
    L"Please type the drive letter of the drive you want to assign the icon to(e.g. c):";
constexpr wchar_t kIconPathLabel[] = L"Enter the full path of the icon:";
const std::string kFirstIcon("\0\0\1\0\1\0first icon", 16);
const std::string kSecondIcon("\0\0\1\0\1\0the second icon", 21);

class DriveIconJourney : public Journey {
 protected:
  void SetUp() override {
    Journey::SetUp();
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    const std::wstring stem = std::wstring(temp) + L"korvane-e2e-" + std::to_wstring(GetCurrentProcessId());
    first_ = stem + L"-first.ico";
    second_ = stem + L"-second.ico";
    WriteBytes(first_, kFirstIcon);
    WriteBytes(second_, kSecondIcon);
  }
  void TearDown() override {
    Journey::TearDown();
    DeleteFileW(first_.c_str());
    DeleteFileW(second_.c_str());
  }
  std::wstring first_;
  std::wstring second_;
};

TEST_F(DriveIconJourney, ADriveGetsAnIconThenAnotherThenItsOwnAgain) {
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
  const std::wstring icon = OnDrive(kDrive, L"icon.ico");
  WriteBytes(autorun, "[autorun]\r\nopen=setup.exe\r\nlabel=Stick\r\n");
  Korvane* program = nullptr;
  const HWND main = StartOnPage(L"Tweak", L"Korvane - Tweak Main Menu", &program);
  ASSERT_TRUE(main);
  const HWND page = Open(*program, main, L"Appearance Tweaks", L"Appearance Tweaks");
  ASSERT_TRUE(page);
  const HWND drive = FindTextBoxAfterLabel(page, kIconDriveLabel);
  const HWND path = FindTextBoxAfterLabel(page, kIconPathLabel);
  ASSERT_TRUE(drive && path) << "the icon tool's boxes are not beside their labels";
  ASSERT_NE(drive, path);
  const HWND ok = FindControl(page, L"OK");
  const HWND restore = FindControl(page, L"Restore Defaults");
  ASSERT_TRUE(ok && restore);
  const std::vector<std::wstring> changed = {
      Shown(L"Korvane", L"The icon was successfully changed"),
      Shown(L"Korvane", L"Please restart the computer/re-insert your drive for any changes to take effect")};

  program->Type(drive, L"e");
  EXPECT_EQ(TextOf(drive), L"E");
  program->Type(path, first_);
  program->Click(ok);
  EXPECT_EQ(program->OkAll(), changed);
  EXPECT_EQ(ReadBytes(autorun), std::optional<std::string>("[Autorun]\r\nicon=icon.ico\r\n"));
  EXPECT_EQ(ReadBytes(icon), std::optional<std::string>(kFirstIcon));
  EXPECT_EQ(Attributes(autorun), kHiddenSystem);
  EXPECT_EQ(Attributes(icon), kHiddenSystem);

  // A second icon replaces the first, hidden as it is.
  program->ClearAndType(path, second_);
  program->Click(ok);
  EXPECT_EQ(program->OkAll(), changed);
  EXPECT_EQ(ReadBytes(icon), std::optional<std::string>(kSecondIcon));
  EXPECT_EQ(ReadBytes(autorun), std::optional<std::string>("[Autorun]\r\nicon=icon.ico\r\n"));
  EXPECT_EQ(Attributes(icon), kHiddenSystem);

  // Asked first; No changes nothing.
  const std::wstring question = Shown(L"Korvane", L"Are you sure you wish to restore defaults");
  program->Click(restore);
  auto box = program->WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(Shown(box->title, box->text), question);
  ASSERT_TRUE(program->Answer(*box, L"No")) << "the question has no No button";
  EXPECT_EQ(program->OkAll(), std::vector<std::wstring>{});
  EXPECT_EQ(ReadBytes(icon), std::optional<std::string>(kSecondIcon));

  program->Click(restore);
  box = program->WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(Shown(box->title, box->text), question);
  ASSERT_TRUE(program->Answer(*box, L"Yes"));
  EXPECT_EQ(program->OkAll(),
            std::vector<std::wstring>{Shown(L"Korvane",
                                            L"Default icon successfully restored, Please restart the computer/re-insert "
                                            L"your drive for any changes to take effect")});
  EXPECT_EQ(ReadBytes(autorun), std::optional<std::string>("\"\"\r\n"));
  EXPECT_EQ(Attributes(autorun), kHiddenSystem);
  EXPECT_FALSE(Exists(icon));
  EXPECT_EQ(ReadBytes(first_), std::optional<std::string>(kFirstIcon)) << "the chosen icon itself stays";
}

}  // namespace
