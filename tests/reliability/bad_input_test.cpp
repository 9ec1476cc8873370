#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "input_cases.h"
#include "repair_messages.h"
#include "shell/main_window.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/security/enter_password.h"
#include "tweaks/security/password_store.h"
#include "tweaks/security/security_page.h"
#include "tweaks/security/set_password.h"

namespace {

using namespace testing_support;
using namespace reliability_test;
using platform::Instance;


const std::string kStop = "[Stop] \"A drive letter cannot contain more than one letter!\" Information OK";
const std::string kEnterLetter = "[Korvane] \"Please enter a drive letter in the space to continue\" Exclamation OK";
const std::string kHealed = "[Korvane] \"Korvane successfully attempted to heal your device\" Information OK";
const std::string kSaved = "[Korvane] \"Password successfully saved\" Information OK";
const Shown kRefused = {"[Sorry] \"Incorrect password\" Exclamation OK",
                        "[Korvane] \"Please try again\" Information OK"};

const std::string kNoIconDrive = "[Error] \"Please type a drive letter in the above space\" Information OK";
const std::string kNoIconPath = "[Error] \"Please enter a path in the above space\" Information OK";
const std::string kIconInvalidPath = "[Korvane] \"Invalid Path\" Exclamation OK";

constexpr DWORD kInfectedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;

class BadInputTest : public testing::Test {
 protected:
  void TearDown() override {
    EndAllForms();
    ClearDrive(kDrive);
  }
  repair::FixPage& FixPage() {
    auto& main = Instance<shell::FrmMain>();
    main.Show();
    main.TabMain.SetTab(2);
    Pump();
    return main.fix;
  }

  MsgBoxRecorder messages;
};

TEST_F(BadInputTest, DriveLetterBoxTakesOneCharacterOrStopsOnceThenTheRepairAnswers) {
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
  auto& page = FixPage();
  for (const Input& input : HostileInputs()) {
    SCOPED_TRACE(input.name);
    ClearDrive(kDrive);
    WriteBytes(autorun, kInfected, kInfectedAttributes);
    page.TxtDriveletter.SetText(L"");
    messages.Clear();

    Paste(page.TxtDriveletter, input.text);
    const std::wstring received = Received(page.TxtDriveletter, input.text);
    const std::wstring kept = Characters(received) > 1 ? L"" : Upper(received);
    EXPECT_EQ(messages.Shown(), Characters(received) > 1 ? Shown{kStop} : Shown{});
    EXPECT_EQ(Utf8(page.TxtDriveletter.Text()), Utf8(kept));

    messages.Clear();
    Click(page.CmdFixAuto);
    if (kept.empty()) {
      EXPECT_EQ(messages.Shown(), Shown{kEnterLetter});
      EXPECT_TRUE(page.TxtDriveletter.HasFocus());
    } else if (kept == std::wstring(1, kDrive)) {
      ASSERT_FALSE(messages.Calls().empty());
      EXPECT_EQ(messages.Shown()[0], kHealed);
      EXPECT_EQ(ReadBytes(autorun), std::string("\"\"\r\n"));
      continue;
    } else {
      EXPECT_EQ(messages.Shown(), kNothingFound) << "letter " << Utf8(kept);
    }
    EXPECT_EQ(ReadBytes(autorun), kInfected);
    EXPECT_EQ(Attributes(autorun), kInfectedAttributes);
  }
}

// Typed, a character outside the BMP arrives as two WM_CHARs; it is still one character.
TEST_F(BadInputTest, DriveLetterBoxCountsATypedSurrogatePairAsOneCharacter) {
  auto& page = FixPage();
  for (const std::wstring typed : {L"\U0001F600", L"\u05D0", L"\U0001D41A"}) {
    SCOPED_TRACE(Utf8(typed));
    page.TxtDriveletter.SetText(L"");
    messages.Clear();
    Type(page.TxtDriveletter, typed);
    EXPECT_EQ(messages.Shown(), Shown{});
    EXPECT_EQ(Utf8(page.TxtDriveletter.Text()), Utf8(Upper(typed)));
    Type(page.TxtDriveletter, L"x");
    EXPECT_EQ(messages.Shown(), Shown{kStop});
    EXPECT_EQ(page.TxtDriveletter.Text(), L"");
  }
}

TEST_F(BadInputTest, RestorePathEndsInSuccessOnlyForAnItemThatIsThere) {
  const std::wstring foreign = OnDrive(kDrive, L"\U0001F600\u05D0\u0645 \u202Ename.txt");
  const std::wstring plain = OnDrive(kDrive, L"hidden.txt");
  std::vector<Input> inputs = HostileInputs();
  inputs.push_back({"a path in several scripts", foreign});
  inputs.push_back({"a path of 10,000 characters", OnDrive(kDrive, std::wstring(9997, L'a'))});
  inputs.push_back({"two paths on two lines", plain + L"\r\n" + foreign});
  inputs.push_back({"a path with a control character", plain + L"\x01"});
  inputs.push_back({"a path with trailing blanks and a tab", plain + L" \t"});
  auto& page = FixPage();
  for (const Input& input : inputs) {
    SCOPED_TRACE(input.name);
    ClearDrive(kDrive);
    for (const std::wstring& file : {foreign, plain}) WriteBytes(file, "x", FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(Exists(foreign));
    page.TxtResPath.Focus();
    page.TxtResPath.SetText(L"");
    Paste(page.TxtResPath, input.text);
    const std::wstring received = Received(page.TxtResPath, input.text);
    ASSERT_EQ(Utf8(page.TxtResPath.Text()), Utf8(received));
    messages.Clear();

    Click(page.CmdRestore);
    const bool named = received == foreign || received == plain;
    if (named) {
      EXPECT_EQ(messages.Shown(), Shown{kRestored});
      EXPECT_EQ(Attributes(received), 0u);
      EXPECT_EQ(Utf8(page.TxtResPath.Text()), Utf8(received));
    } else {
      EXPECT_EQ(messages.Shown(), Shown{kInvalidPath});
      EXPECT_EQ(page.TxtResPath.Text(), L"");
      EXPECT_TRUE(page.TxtResPath.HasFocus());
    }
    if (!named || received != foreign) {
      EXPECT_EQ(Attributes(foreign), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    }
    if (!named || received != plain) {
      EXPECT_EQ(Attributes(plain), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    }
  }
  EXPECT_EQ(Utf8(Received(page.TxtResPath, foreign)), Utf8(foreign)) << "the path must reach the box whole";
}

tweaks::DriveIconTool& IconTool() {
  auto& page = ShowForm<tweaks::FrmAppTweaks>();
  return page.icon;
}

TEST_F(BadInputTest, IconDriveBoxTakesOneCharacterOrStopsOnceAndTouchesNoDrive) {
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
  auto& tool = IconTool();
  tool.TxtIconpath.SetText(OnDrive(kSecondDrive, L"missing.ico"));
  for (const Input& input : HostileInputs()) {
    SCOPED_TRACE(input.name);
    ClearDrive(kDrive);
    WriteBytes(autorun, kInfected, kInfectedAttributes);
    tool.txticondrive.SetText(L"");
    messages.Clear();

    Paste(tool.txticondrive, input.text);
    const std::wstring received = Received(tool.txticondrive, input.text);
    const std::wstring kept = Characters(received) > 1 ? L"" : Upper(received);
    EXPECT_EQ(messages.Shown(), Characters(received) > 1 ? Shown{kStop} : Shown{});
    EXPECT_EQ(Utf8(tool.txticondrive.Text()), Utf8(kept));

    messages.Clear();
    Click(tool.cmdiconok);
    EXPECT_EQ(messages.Shown(), Shown{kept.empty() ? kNoIconDrive : kIconInvalidPath});
    EXPECT_EQ(ReadBytes(autorun), kInfected);
    EXPECT_EQ(Attributes(autorun), kInfectedAttributes);
    EXPECT_FALSE(Exists(OnDrive(kDrive, L"icon.ico")));
  }
}

TEST_F(BadInputTest, IconPathCopiesOnlyAFileThatIsThere) {
  const std::wstring foreign = OnDrive(kSecondDrive, L"\U0001F600\u05D0\u0645 \u202Eicon.ico");
  const std::wstring plain = OnDrive(kSecondDrive, L"plain.ico");
  std::vector<Input> inputs = HostileInputs();
  inputs.push_back({"a path in several scripts", foreign});
  inputs.push_back({"a path of 10,000 characters", OnDrive(kSecondDrive, std::wstring(9997, L'a'))});
  inputs.push_back({"two paths on two lines", plain + L"\r\n" + foreign});
  inputs.push_back({"a path with a control character", plain + L"\x01"});
  ClearDrive(kSecondDrive);
  WriteBytes(foreign, "foreign icon");
  WriteBytes(plain, "plain icon");
  auto& tool = IconTool();
  tool.txticondrive.SetText(L"E");
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
  const std::wstring icon = OnDrive(kDrive, L"icon.ico");
  for (const Input& input : inputs) {
    SCOPED_TRACE(input.name);
    ClearDrive(kDrive);
    WriteBytes(autorun, kInfected, kInfectedAttributes);
    tool.TxtIconpath.SetText(L"");
    Paste(tool.TxtIconpath, input.text);
    const std::wstring received = Received(tool.TxtIconpath, input.text);
    ASSERT_EQ(Utf8(tool.TxtIconpath.Text()), Utf8(received));
    messages.Clear();

    Click(tool.cmdiconok);
    if (received == foreign || received == plain) {
      EXPECT_EQ(messages.Shown(), kIconChanged);
      EXPECT_EQ(ReadBytes(icon), ReadBytes(received));
      EXPECT_EQ(ReadBytes(autorun), kIconForm);
      continue;
    }
    EXPECT_EQ(messages.Shown(), Shown{received.empty() ? kNoIconPath : kIconInvalidPath});
    EXPECT_EQ(ReadBytes(autorun), kInfected);
    EXPECT_EQ(Attributes(autorun), kInfectedAttributes);
    EXPECT_FALSE(Exists(icon));
  }
  EXPECT_EQ(Utf8(Received(tool.TxtIconpath, foreign)), Utf8(foreign)) << "the path must reach the box whole";
  ClearDrive(kSecondDrive);
}

class PasswordInputTest : public BadInputTest {
 protected:
  void SetUp() override { saved_.Keep(HKEY_CLASSES_ROOT, L".wab", L"RandomID"); }
  SavedValues saved_;
};

// Whatever is typed is stored as it stands (blanks alone turn protection off),
// and afterwards exactly that text unlocks the page and nothing else does.
TEST_F(PasswordInputTest, AnyTextIsStoredAsItStandsAndOnlyItUnlocks) {
  for (const Input& input : HostileInputs()) {
    SCOPED_TRACE(input.name);
    auto& set = ShowForm<tweaks::FrmSecOpt>();
    set.TxtPass.SetText(L"");
    messages.Clear();
    Paste(set.TxtPass, input.text);
    const std::wstring received = Received(set.TxtPass, input.text);
    Click(set.CmdSavePass);
    EXPECT_EQ(messages.Shown(), Shown{kSaved});
    const bool blank = received.find_first_not_of(L' ') == std::wstring::npos;
    const std::wstring stored = blank ? L"" : received;
    EXPECT_SZ(HKEY_CLASSES_ROOT, L".wab", L"RandomID", stored);
    EXPECT_EQ(Utf8(tweaks::StoredPassword()), Utf8(stored));

    auto& enter = Instance<tweaks::FrmEntSecPAss>();
    auto& page = Instance<tweaks::FrmSecTweaks>();
    page.Label1.SetText(L"");
    enter.Show();
    Pump();
    for (const std::wstring& typed : {input.text + L"!", input.text}) {
      enter.TxtPass.SetText(L"");
      messages.Clear();
      Paste(enter.TxtPass, typed);
      const bool matches = Received(enter.TxtPass, typed) == stored;
      Click(enter.CmdOk);
      EXPECT_EQ(messages.Shown(), matches ? Shown{} : kRefused) << "typed " << Utf8(typed);
      EXPECT_EQ(page.Label1.Text(), matches ? L"ok" : L"");
      if (!blank && received == input.text) {
        EXPECT_EQ(matches, typed == input.text) << "typed " << Utf8(typed);
      }
    }
    EndAllForms();
  }
}

}  // namespace
