#include "journey.h"

namespace {

using namespace testing_support;

constexpr wchar_t kFixTitle[] = L"Korvane - Fix Disk Problems";
constexpr wchar_t kDriveLabel[] = L"Fix Disk Problems[Type drive letter(eg:c) and click fix]";
constexpr wchar_t kPathLabel[] = L"Enter full path of the hidden file or folder:";
constexpr wchar_t kHint[] =
    L"Hint: Want to enable the folder options, task manager, registry editor inaccessibility?, Click 'Tweak'";

class RepairJourney : public Journey {
 protected:
  void SetUp() override {
    Journey::SetUp();
    // Reached from the Welcome page by its "Fix" button, as a first-time user does.
    DeleteValue(HKEY_CURRENT_USER, kSettingsKey, L"opentab");
    WriteDword(HKEY_CURRENT_USER, kSettingsKey, L"splash", 0);
    main_ = StartOn(kMainTitle, &program_);
    ASSERT_TRUE(main_);
    program_->Click(FindControl(main_, L"Fix"));
    ASSERT_EQ(TextOf(main_), kFixTitle);
  }
  Korvane& Program() { return *program_; }
  HWND Main() const { return main_; }

 private:
  Korvane* program_ = nullptr;
  HWND main_ = nullptr;
};

TEST_F(RepairJourney, AnInfectedDriveIsEmptiedAndHidden) {
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
  WriteBytes(autorun, "[autorun]\r\nopen=virus.exe\r\nshell\\open\\command=virus.exe\r\n",
             FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  const HWND letter = FindTextBoxAfterLabel(Main(), kDriveLabel);
  ASSERT_TRUE(letter) << "no drive letter box beside its label";
  const HWND fix = FindInRow(Main(), kDriveLabel, L"Fix");
  ASSERT_TRUE(fix);

  Program().Click(fix);
  EXPECT_EQ(Program().OkAll(),
            std::vector<std::wstring>{Shown(L"Korvane", L"Please enter a drive letter in the space to continue")});

  Program().Type(letter, L"ef");
  EXPECT_EQ(Program().OkAll(),
            std::vector<std::wstring>{Shown(L"Stop", L"A drive letter cannot contain more than one letter!")});
  EXPECT_EQ(TextOf(letter), L"");

  Program().Type(letter, L"e");
  EXPECT_EQ(TextOf(letter), L"E");
  Program().Click(fix);
  const std::vector<std::wstring> healed = {
      Shown(L"Korvane", L"Korvane successfully attempted to heal your device"),
      Shown(L"Korvane", L"Please restart the computer/re-insert your drive for any changes to take effect"),
      Shown(L"Korvane",
            L"If the problem persists the host computer may still be infected with a virus or the disk maybe "
            L"encountering unknown problems")};
  EXPECT_EQ(Program().OkAll(), healed);
  EXPECT_EQ(ReadBytes(autorun), std::optional<std::string>("\"\"\r\n"));
  EXPECT_EQ(Attributes(autorun), kHiddenSystem);

  // A drive that is not there, and one that cannot be written, have nothing repaired.
  const std::vector<std::wstring> nothing = {
      Shown(L"Korvane", L"Korvane did not detect any disk errors"),
      Shown(L"Korvane", L"Please make sure that the drive letter was entered correctly")};
  for (const wchar_t* drive : {L"m", L"w"}) {
    SCOPED_TRACE(Utf8(drive));
    Program().ClearAndType(letter, drive);
    Program().Click(fix);
    EXPECT_EQ(Program().OkAll(), nothing);
  }
  EXPECT_EQ(ReadBytes(OnDrive(kReadOnlyDrive, L"autorun.inf")),
            std::optional<std::string>("[autorun]\r\nopen=virus.exe\r\n"));
}

TEST_F(RepairJourney, ATaskManagerLockIsLiftedUnderBothRoots) {
  SavedValues saved;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    saved.Keep(root, kSystemPolicies, L"disabletaskmgr");
    WriteDword(root, kSystemPolicies, L"disabletaskmgr", 1);
  }
  const HWND fix = FindInRow(Main(), L"Fix Task Manager inaccessibility", L"Fix");
  ASSERT_TRUE(fix);
  Program().Click(fix);
  EXPECT_EQ(Program().OkAll(),
            (std::vector<std::wstring>{
                Shown(L"Korvane", L"Korvane successfully attempted to fix the Task Manager inaccessibility"),
                Shown(L"Korvane", L"Please restart the computer for any changes to take effect")}));
  EXPECT_NO_VALUE(HKEY_CURRENT_USER, kSystemPolicies, L"disabletaskmgr");
  EXPECT_NO_VALUE(HKEY_LOCAL_MACHINE, kSystemPolicies, L"disabletaskmgr");

  Program().Click(fix);
  EXPECT_EQ(Program().OkAll(), std::vector<std::wstring>{Shown(L"Korvane", L"No Task Manager restriction detected")});

  // The "?" beside the hint says why a lock under the machine's root may stay.
  const HWND help = FindInRow(Main(), kHint, L"?");
  ASSERT_TRUE(help);
  Program().ClickLabel(help);
  EXPECT_EQ(Program().OkAll(),
            std::vector<std::wstring>{Shown(L"Information",
                                            L"Fixing the folder options, task manager and registry editor "
                                            L"inaccessibility may require administrator privileges")});
}

TEST_F(RepairJourney, FilesHiddenByAVirusAreRestoredOneByOne) {
  const std::wstring report = OnDrive(kDrive, L"report.doc");
  const std::wstring photos = OnDrive(kDrive, L"Photos");
  const std::wstring inside = OnDrive(kDrive, L"Photos\\beach.jpg");
  WriteBytes(report, "report");
  ASSERT_TRUE(CreateDirectoryW(photos.c_str(), nullptr));
  WriteBytes(inside, "jpeg");
  // What the virus did.
  for (const std::wstring& path : {report, photos, inside}) {
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), kHiddenSystem | FILE_ATTRIBUTE_READONLY));
  }

  const HWND path = FindTextBoxAfterLabel(Main(), kPathLabel);
  ASSERT_TRUE(path);
  const HWND restore = FindControl(Main(), L"Restore");
  ASSERT_TRUE(restore);
  Program().ClickInto(path);
  EXPECT_EQ(TextOf(path), L"") << "the example gives way when the box is entered";
  Program().Type(path, L"E:/Photos");
  Program().Click(restore);
  EXPECT_EQ(Program().OkAll(), std::vector<std::wstring>{Shown(L"Korvane", L"The File/Folder was successfully restored")});
  EXPECT_EQ(Attributes(photos), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(Attributes(inside), kHiddenSystem | FILE_ATTRIBUTE_READONLY) << "only the folder itself is restored";
  EXPECT_EQ(Attributes(report), kHiddenSystem | FILE_ATTRIBUTE_READONLY) << "the other item stays hidden";
  EXPECT_EQ(TextOf(path), L"E:/Photos");

  Program().ClearAndType(path, L"E:/no such file.doc");
  Program().Click(restore);
  EXPECT_EQ(Program().OkAll(), std::vector<std::wstring>{Shown(L"Error", L"The path entered was invalid")});
  EXPECT_EQ(TextOf(path), L"") << "a wrong path is cleared for the next try";

  Program().Type(path, L"E:\\report.doc");
  Program().Click(restore);
  EXPECT_EQ(Program().OkAll(), std::vector<std::wstring>{Shown(L"Korvane", L"The File/Folder was successfully restored")});
  EXPECT_EQ(Attributes(report), 0u);
}

}  // namespace
