#include "repair/drive_repair.h"

#include "fix_page_fixture.h"
#include "support/drive_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
using platform::MsgIcon;
using repair_tests::Message;
using repair_tests::Showed;

const std::string kInfected = "[autorun]\r\nopen=virus.exe\r\nshell\\open\\command=virus.exe\r\n";
const std::string kReadOnlyDriveInfected = "[autorun]\r\nopen=virus.exe\r\n";
const std::string kEmptied = std::string("\x22\x22\x0D\x0A", 4);

const std::vector<platform::MsgBoxCall> kHealed = {
    Message(L"Korvane successfully attempted to heal your device", MsgIcon::Information),
    Message(L"Please restart the computer/re-insert your drive for any changes to take effect",
            MsgIcon::Exclamation),
    Message(L"If the problem persists the host computer may still be infected with a virus or the disk maybe "
            L"encountering unknown problems",
            MsgIcon::Critical),
};
const std::vector<platform::MsgBoxCall> kNothingFound = {
    Message(L"Korvane did not detect any disk errors", MsgIcon::Exclamation),
    Message(L"Please make sure that the drive letter was entered correctly", MsgIcon::Information),
};
const platform::MsgBoxCall kStop =
    Message(L"A drive letter cannot contain more than one letter!", MsgIcon::Information, L"Stop");

class DriveRepairTest : public repair_tests::FixPageTest {
 protected:
  void SetUp() override {
    ClearDrive(kDrive);
    FixPageTest::SetUp();
  }
  void TearDown() override {
    FixPageTest::TearDown();
    ClearDrive(kDrive);
  }
  void Fix(const std::wstring& letter) {
    Page().TxtDriveletter.SetText(L"");
    Type(Page().TxtDriveletter, letter);
    messages.Clear();
    Click(Page().CmdFixAuto);
  }
  const std::wstring autorun_ = OnDrive(kDrive, L"autorun.inf");
};

TEST_F(DriveRepairTest, LetterBoxKeepsOneCharacterInUpperCase) {
  struct Case {
    const wchar_t* typed;
    const wchar_t* pasted;
    const wchar_t* shown;
    std::size_t stops;
  };
  const Case cases[] = {
      {L"e", L"", L"E", 0},          {L"\x00e9", L"", L"\x00c9", 0},  {L"?", L"", L"?", 0},
      {L"1", L"", L"1", 0},          {L" ", L"", L" ", 0},            {L"\\", L"", L"\\", 0},
      {L":", L"", L":", 0},          {L"\xd835\xdc9c", L"", L"\xd835\xdc9c", 0},  // one letter beyond the BMP
      {L"ef", L"", L"", 1},          {L"efg", L"", L"G", 1},          {L"", L"ef", L"", 1},
      {L"e", L"f", L"", 1},          {L"", L"abc", L"", 1},
  };
  for (const auto& c : cases) {
    Page().TxtDriveletter.SetText(L"");
    messages.Clear();
    Type(Page().TxtDriveletter, c.typed);
    if (*c.pasted) Paste(Page().TxtDriveletter, c.pasted);
    const std::string what = Utf8(c.typed) + "|" + Utf8(c.pasted);
    EXPECT_EQ(Utf8(Page().TxtDriveletter.Text()), Utf8(c.shown)) << what;
    EXPECT_TRUE(Showed(messages, std::vector<platform::MsgBoxCall>(c.stops, kStop))) << what;
  }
}

TEST_F(DriveRepairTest, EnterMovesToFixWithoutRepairing) {
  WriteBytes(autorun_, kInfected, kHiddenSystem);
  Type(Page().TxtDriveletter, L"e");
  PressEnter(Page().TxtDriveletter);
  EXPECT_TRUE(Page().CmdFixAuto.HasFocus());
  EXPECT_EQ(Page().TxtDriveletter.Text(), L"E");
  EXPECT_TRUE(Showed(messages, {}));
  EXPECT_EQ(ReadBytes(autorun_), kInfected);
}

TEST_F(DriveRepairTest, EmptyBoxAsksForALetterAndTakesTheFocusBack) {
  Page().CmdFixReg.Focus();
  Click(Page().CmdFixAuto);
  EXPECT_TRUE(Showed(messages, {Message(L"Please enter a drive letter in the space to continue",
                                        MsgIcon::Exclamation)}));
  EXPECT_TRUE(Page().TxtDriveletter.HasFocus());
}

TEST_F(DriveRepairTest, EmptiesAnInfectedAutorunAndLeavesItHiddenAndSystem) {
  WriteBytes(autorun_, kInfected, kHiddenSystem | FILE_ATTRIBUTE_READONLY);
  for (int run = 1; run <= 2; ++run) {
    Fix(L"e");
    EXPECT_EQ(ReadBytes(autorun_), kEmptied) << "run " << run;
    EXPECT_EQ(Attributes(autorun_), kHiddenSystem) << "run " << run;
    EXPECT_TRUE(Showed(messages, kHealed)) << "run " << run;
  }
}

TEST_F(DriveRepairTest, NothingToRepairChangesNothing) {
  enum class Seed { None, Infected, Folder };
  struct Case {
    const wchar_t* letter;
    Seed seed;
  };
  const Case cases[] = {
      {L"e", Seed::None},     {L"m", Seed::Infected},  {L"w", Seed::Infected},  {L"e", Seed::Folder},
      {L"?", Seed::Infected}, {L"1", Seed::Infected},  {L":", Seed::Infected},  {L"\\", Seed::Infected},
      {L" ", Seed::Infected}, {L".", Seed::Infected},  {L"\x00e9", Seed::Infected},
  };
  for (const auto& c : cases) {
    ClearDrive(kDrive);
    if (c.seed == Seed::Infected) WriteBytes(autorun_, kInfected, kHiddenSystem | FILE_ATTRIBUTE_READONLY);
    if (c.seed == Seed::Folder) {
      ASSERT_TRUE(CreateDirectoryW(autorun_.c_str(), nullptr));
      SetFileAttributesW(autorun_.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    Fix(c.letter);
    const std::string what = Utf8(c.letter);
    EXPECT_TRUE(Showed(messages, kNothingFound)) << what;
    EXPECT_EQ(ReadBytes(OnDrive(kReadOnlyDrive, L"autorun.inf")), kReadOnlyDriveInfected) << what;
    switch (c.seed) {
      case Seed::None:
        EXPECT_FALSE(Exists(autorun_)) << what << ": no file is created";
        break;
      case Seed::Infected:
        EXPECT_EQ(ReadBytes(autorun_), kInfected) << what;
        EXPECT_EQ(Attributes(autorun_), kHiddenSystem | FILE_ATTRIBUTE_READONLY) << what;
        break;
      case Seed::Folder:
        // Its attributes were cleared before the write failed; it stays a folder.
        EXPECT_EQ(Attributes(autorun_), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY)) << what;
        break;
    }
  }
}

}  // namespace
