#include "tweaks/appearance/drive_icon.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "page_fixture.h"
#include "system/file_ops.h"
#include "system/message_box.h"
#include "support/drive_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace appearance_tests;
using namespace testing_support;
using platform::MsgBoxCall;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

const std::string kIconForm = "[Autorun]\r\nicon=icon.ico\r\n";
const std::string kEmptiedForm = "\"\"\r\n";
const std::string kOtherEntries = "[autorun]\r\nopen=virus.exe\r\nlabel=Stick\r\n";
const std::string kSourceBytes = "new icon bytes";
const std::string kOldIconBytes = "old icon bytes";

MsgBoxCall Ok(const std::wstring& text, MsgIcon icon, const std::wstring& title = L"Korvane") {
  return {text, title, icon, MsgButtons::Ok};
}
const MsgBoxCall kNoDrive = Ok(L"Please type a drive letter in the above space", MsgIcon::Information, L"Error");
const MsgBoxCall kNoPath = Ok(L"Please enter a path in the above space", MsgIcon::Information, L"Error");
const MsgBoxCall kInvalidPath = Ok(L"Invalid Path", MsgIcon::Exclamation);
const MsgBoxCall kChanged = Ok(L"The icon was successfully changed", MsgIcon::Information);
const MsgBoxCall kRestart =
    Ok(L"Please restart the computer/re-insert your drive for any changes to take effect", MsgIcon::Exclamation);
const MsgBoxCall kNotWritten = Ok(L"The icon was copied, but autorun.inf could not be written to the drive.",
                                  MsgIcon::Exclamation, L"Error");
const MsgBoxCall kQuestion{L"Are you sure you wish to restore defaults", L"Korvane", MsgIcon::Exclamation,
                           MsgButtons::YesNo};
const MsgBoxCall kNothingToRestore = Ok(L"No icon was found to restore", MsgIcon::Exclamation);
const MsgBoxCall kRestored = Ok(
    L"Default icon successfully restored, Please restart the computer/re-insert your drive for any changes to take "
    L"effect",
    MsgIcon::Information);
const MsgBoxCall kTooLong =
    Ok(L"A drive letter cannot contain more than one letter!", MsgIcon::Information, L"Stop");

std::wstring Autorun(wchar_t drive = kDrive) { return OnDrive(drive, L"autorun.inf"); }
std::wstring IconCopy(wchar_t drive = kDrive) { return OnDrive(drive, L"icon.ico"); }
std::wstring Source() { return OnDrive(kSecondDrive, L"source.ico"); }

// A file's bytes and attributes, to show that something was left alone.
struct FileState {
  std::optional<std::string> bytes;
  DWORD attributes;
  bool operator==(const FileState&) const = default;
};
FileState StateOf(const std::wstring& path) { return {ReadBytes(path), Attributes(path)}; }
std::ostream& operator<<(std::ostream& out, const FileState& state) {
  return out << (state.bytes ? "\"" + *state.bytes + "\"" : std::string("no file")) << " attributes "
             << state.attributes;
}

class DriveIconTest : public AppearancePageTest {
 protected:
  void SetUp() override {
    AppearancePageTest::SetUp();
    ClearDrive(kDrive);
    ClearDrive(kSecondDrive);
    WriteBytes(Source(), kSourceBytes);
  }
  void TearDown() override {
    AppearancePageTest::TearDown();
    ClearDrive(kDrive);
    ClearDrive(kSecondDrive);
  }
  tweaks::DriveIconTool& Tool() { return Open().icon; }
  void Fill(const std::wstring& drive, const std::wstring& path) {
    Tool().txticondrive.SetText(drive);
    Tool().TxtIconpath.SetText(path);
  }
  MsgBoxRecorder messages;
};

TEST_F(DriveIconTest, DriveBoxKeepsOneCapital) {
  struct Case {
    std::function<void(platform::TextBox&)> input;
    std::wstring text;
    bool warned;
  };
  const std::vector<Case> cases = {
      {[](auto& box) { Type(box, L"e"); }, L"E", false},
      {[](auto& box) { Type(box, L"?"); }, L"?", false},
      {[](auto& box) { Type(box, L"ex"); }, L"", true},
      {[](auto& box) { Type(box, L"E1"); }, L"", true},
      {[](auto& box) { Paste(box, L"ab"); }, L"", true},
      {[](auto& box) { Paste(box, L"abc"); }, L"", true},
  };
  for (const auto& c : cases) {
    auto& box = Tool().txticondrive;
    box.SetText(L"");
    messages.Clear();
    c.input(box);
    EXPECT_EQ(box.Text(), c.text);
    if (c.warned) {
      ASSERT_EQ(messages.Calls().size(), 1u) << Utf8(c.text);
      EXPECT_EQ(messages.Calls()[0], kTooLong);
    } else {
      EXPECT_TRUE(messages.Calls().empty()) << messages.Calls().front();
    }
  }
  // After the warning the box takes a letter again.
  Type(Tool().txticondrive, L"f");
  EXPECT_EQ(Tool().txticondrive.Text(), L"F");
}

TEST_F(DriveIconTest, EmptyBoxesAskForTheDriveFirstThenThePath) {
  struct Case {
    std::wstring drive;
    std::wstring path;
    MsgBoxCall message;
    std::wstring focused;
  };
  const std::vector<Case> cases = {
      {L"", L"", kNoDrive, L"txticondrive"},
      {L"", Source(), kNoDrive, L"txticondrive"},
      {L"E", L"", kNoPath, L"TxtIconpath"},
  };
  for (const auto& c : cases) {
    Fill(c.drive, c.path);
    Tool().cmdiconrestore.Focus();
    messages.Clear();
    Click(Tool().cmdiconok);
    ASSERT_EQ(messages.Calls().size(), 1u);
    EXPECT_EQ(messages.Calls()[0], c.message);
    EXPECT_EQ(GetFocus(), Open().Find(c.focused)->Hwnd());
  }
  EXPECT_FALSE(Exists(Autorun()));
  EXPECT_FALSE(Exists(IconCopy()));
}

TEST_F(DriveIconTest, AssignReplacesAutorunAndHidesBothFilesAfterTheMessages) {
  WriteBytes(Autorun(), kOtherEntries, kHiddenSystem);
  std::vector<FileState> duringMessages;
  messages.OnShow([&](const MsgBoxCall&) { duringMessages.push_back(StateOf(Autorun())); });
  Fill(L"E", Source());
  Click(Tool().cmdiconok);
  EXPECT_EQ(messages.Calls(), (std::vector<MsgBoxCall>{kChanged, kRestart}));
  EXPECT_EQ(ReadBytes(Autorun()), kIconForm);
  EXPECT_EQ(kIconForm.size(), 26u);
  EXPECT_EQ(ReadBytes(IconCopy()), kSourceBytes);
  EXPECT_EQ(Attributes(Autorun()), kHiddenSystem);
  EXPECT_EQ(Attributes(IconCopy()), kHiddenSystem);
  EXPECT_EQ(duringMessages, (std::vector<FileState>{{kIconForm, 0}, {kIconForm, 0}}))
      << "attributes are set once both messages are answered";
  EXPECT_EQ(Attributes(Source()), 0u) << "the source is left as it was";
}

TEST_F(DriveIconTest, SecondAssignmentReplacesAHiddenIcon) {
  struct Case {
    const char* what;
    DWORD attributes;
  };
  for (const Case& c : {Case{"hidden and system", kHiddenSystem},
                        Case{"read-only, hidden and system", kHiddenSystem | FILE_ATTRIBUTE_READONLY}}) {
    SCOPED_TRACE(c.what);
    WriteBytes(IconCopy(), kOldIconBytes, c.attributes);
    WriteBytes(Autorun(), kIconForm, kHiddenSystem);
    messages.Clear();
    Fill(L"E", Source());
    Click(Tool().cmdiconok);
    EXPECT_EQ(messages.Calls(), (std::vector<MsgBoxCall>{kChanged, kRestart}));
    EXPECT_EQ(ReadBytes(IconCopy()), kSourceBytes);
    EXPECT_EQ(Attributes(IconCopy()), kHiddenSystem);
    EXPECT_EQ(ReadBytes(Autorun()), kIconForm);
  }
}

TEST_F(DriveIconTest, AnyReadableFileIsCopiedAsTheIcon) {
  const std::vector<std::pair<std::wstring, std::string>> sources = {
      {OnDrive(kSecondDrive, L"notes.txt"), "plain text, not an icon"},
      {OnDrive(kSecondDrive, L"\u0416\u4e2d\u2603.ico"), "a name outside the ANSI code page"},
      {OnDrive(kSecondDrive, L"spaced name .ico"), "a name with blanks"},
  };
  for (const auto& [path, bytes] : sources) {
    SCOPED_TRACE(bytes);
    WriteBytes(path, bytes);
    messages.Clear();
    Fill(L"E", path);
    Click(Tool().cmdiconok);
    EXPECT_EQ(messages.Calls(), (std::vector<MsgBoxCall>{kChanged, kRestart}));
    EXPECT_EQ(ReadBytes(IconCopy()), bytes);
  }
}

TEST_F(DriveIconTest, BadPathsAndDrivesSayInvalidPathAndTouchNothing) {
  CreateDirectoryW(OnDrive(kSecondDrive, L"folder.ico").c_str(), nullptr);
  const std::wstring longPath = OnDrive(kSecondDrive, std::wstring(300, L'x') + L".ico");
  struct Case {
    const char* what;
    std::wstring drive;
    std::wstring path;
  };
  const std::vector<Case> cases = {
      {"missing source", L"E", OnDrive(kSecondDrive, L"missing.ico")},
      {"a folder", L"E", OnDrive(kSecondDrive, L"folder.ico")},
      {"longer than MAX_PATH", L"E", longPath},
      {"missing, outside the ANSI code page", L"E", OnDrive(kSecondDrive, L"\u4e2d\u6587.ico")},
      {"a wildcard", L"E", OnDrive(kSecondDrive, L"*.ico")},
      {"a relative name", L"E", L"source.ico"},
      {"missing drive", std::wstring(1, kMissingDrive), Source()},
      {"write-protected drive", std::wstring(1, kReadOnlyDrive), Source()},
      {"not a drive letter", L"?", Source()},
      {"a colon", L":", Source()},
      {"a backslash", L"\\", Source()},
      {"a digit", L"1", Source()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(Autorun(), kOtherEntries, kHiddenSystem);
    WriteBytes(IconCopy(), kOldIconBytes, kHiddenSystem);
    const FileState autorunBefore = StateOf(Autorun());
    const FileState iconBefore = StateOf(IconCopy());
    const FileState protectedBefore = StateOf(Autorun(kReadOnlyDrive));
    messages.Clear();
    Fill(c.drive, c.path);
    Click(Tool().cmdiconok);
    EXPECT_EQ(messages.Calls(), std::vector<MsgBoxCall>{kInvalidPath});
    EXPECT_EQ(StateOf(Autorun()), autorunBefore);
    EXPECT_EQ(StateOf(IconCopy()), iconBefore);
    EXPECT_EQ(StateOf(Autorun(kReadOnlyDrive)), protectedBefore);
    EXPECT_FALSE(Exists(IconCopy(kReadOnlyDrive)));
  }
  // Still usable: a good path now goes through.
  messages.Clear();
  Fill(L"E", Source());
  Click(Tool().cmdiconok);
  EXPECT_EQ(messages.Calls(), (std::vector<MsgBoxCall>{kChanged, kRestart}));
}

TEST_F(DriveIconTest, AutorunThatCannotBeWrittenIsReportedInsteadOfSuccess) {
  struct Case {
    const char* what;
    std::function<HANDLE()> block;  // returns a handle to close afterwards, or nullptr
  };
  const std::vector<Case> cases = {
      {"held open by another program",
       [] {
         WriteBytes(Autorun(), kOtherEntries);
         return CreateFileW(Autorun().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
       }},
      {"a folder of that name",
       [] {
         CreateDirectoryW(Autorun().c_str(), nullptr);
         return HANDLE{nullptr};
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ClearDrive(kDrive);
    const HANDLE held = c.block();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    messages.Clear();
    Fill(L"E", Source());
    Click(Tool().cmdiconok);
    if (held) CloseHandle(held);
    EXPECT_EQ(messages.Calls(), std::vector<MsgBoxCall>{kNotWritten});
    EXPECT_EQ(ReadBytes(IconCopy()), kSourceBytes);
    EXPECT_EQ(Attributes(IconCopy()), kHiddenSystem);
    if (held) {
      EXPECT_EQ(ReadBytes(Autorun()), kOtherEntries);
    } else {
      EXPECT_TRUE(Attributes(Autorun()) & FILE_ATTRIBUTE_DIRECTORY);
    }
  }
}

TEST_F(DriveIconTest, RestoreAsksFirstThenEmptiesAutorunAndRemovesTheIcon) {
  struct Case {
    const char* what;
    std::function<void()> seed;
    std::wstring drive;
    MsgResult answer;
    std::vector<MsgBoxCall> messages;
    FileState autorun;  // afterwards
    FileState icon;
  };
  const FileState none{std::nullopt, INVALID_FILE_ATTRIBUTES};
  const FileState emptied{kEmptiedForm, kHiddenSystem};
  const FileState assigned{kIconForm, kHiddenSystem};
  const FileState oldIcon{kOldIconBytes, kHiddenSystem};
  auto assignedDrive = [] {
    WriteBytes(Autorun(), kIconForm, kHiddenSystem);
    WriteBytes(IconCopy(), kOldIconBytes, kHiddenSystem);
  };
  const std::vector<Case> cases = {
      {"answered No", assignedDrive, L"E", MsgResult::No, {kQuestion}, assigned, oldIcon},
      {"answered No, empty box", assignedDrive, L"", MsgResult::No, {kQuestion}, assigned, oldIcon},
      {"answered Yes, empty box", assignedDrive, L"", MsgResult::Yes, {kQuestion, kNoDrive}, assigned, oldIcon},
      {"no autorun.inf", [] { WriteBytes(IconCopy(), kOldIconBytes, kHiddenSystem); }, L"E", MsgResult::Yes,
       {kQuestion, kNothingToRestore}, none, oldIcon},
      {"autorun.inf but no icon.ico", [] { WriteBytes(Autorun(), kOtherEntries); }, L"E", MsgResult::Yes,
       {kQuestion, kNothingToRestore}, emptied, none},
      {"full restore", assignedDrive, L"E", MsgResult::Yes, {kQuestion, kRestored}, emptied, none},
      {"read-only icon.ico", [] {
         WriteBytes(Autorun(), kIconForm, kHiddenSystem);
         WriteBytes(IconCopy(), kOldIconBytes, kHiddenSystem | FILE_ATTRIBUTE_READONLY);
       },
       L"E", MsgResult::Yes, {kQuestion, kRestored}, emptied, none},
      {"missing drive", assignedDrive, std::wstring(1, kMissingDrive), MsgResult::Yes,
       {kQuestion, kNothingToRestore}, assigned, oldIcon},
      {"not a drive letter", assignedDrive, L"*", MsgResult::Yes, {kQuestion, kNothingToRestore}, assigned, oldIcon},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ClearDrive(kDrive);
    c.seed();
    messages.Clear();
    messages.AnswerNext(c.answer);
    Fill(c.drive, L"");
    Click(Tool().cmdiconrestore);
    EXPECT_EQ(messages.Calls(), c.messages);
    EXPECT_EQ(StateOf(Autorun()), c.autorun);
    EXPECT_EQ(StateOf(IconCopy()), c.icon);
    if (c.messages.back() == kNoDrive) {
      EXPECT_EQ(GetFocus(), Tool().txticondrive.Hwnd()) << "the empty box takes the focus";
    }
  }
}

TEST_F(DriveIconTest, RestoreOnTheWriteProtectedDriveChangesNothing) {
  const FileState before = StateOf(Autorun(kReadOnlyDrive));
  ASSERT_TRUE(before.bytes);
  Fill(std::wstring(1, kReadOnlyDrive), L"");
  Click(Tool().cmdiconrestore);
  EXPECT_EQ(messages.Calls(), (std::vector<MsgBoxCall>{kQuestion, kNothingToRestore}));
  EXPECT_EQ(StateOf(Autorun(kReadOnlyDrive)), before);
}

TEST_F(DriveIconTest, BrowseOffersIconsFromTheProgramFolderAndKeepsTheLastChoice) {
  OpenFileAnswerer dialog;
  auto& tool = Tool();
  tool.TxtIconpath.SetText(L"typed by hand");
  dialog.ChooseNext(L"");  // cancelled before anything was chosen
  Click(tool.CmdBrowseicon);
  EXPECT_EQ(tool.TxtIconpath.Text(), L"");
  dialog.ChooseNext(L"C:\\icons\\drive.ico");
  Click(tool.CmdBrowseicon);
  EXPECT_EQ(tool.TxtIconpath.Text(), L"C:\\icons\\drive.ico");
  tool.TxtIconpath.SetText(L"edited");
  dialog.ChooseNext(L"");
  Click(tool.CmdBrowseicon);
  EXPECT_EQ(tool.TxtIconpath.Text(), L"C:\\icons\\drive.ico") << "a cancel brings back the last choice";
  ASSERT_EQ(dialog.Requests().size(), 3u);
  for (const auto& request : dialog.Requests()) {
    EXPECT_EQ(request.title, L"Choose Icon");
    EXPECT_EQ(request.filter, L"Icons|*.ico");
    EXPECT_EQ(request.initialFolder, platform::ProgramFolder());
  }
  EXPECT_FALSE(platform::ProgramFolder().empty());
  EXPECT_TRUE(messages.Calls().empty());
}

TEST_F(DriveIconTest, EnterInThePathBoxMovesToOkWithoutPressingIt) {
  auto& tool = Tool();
  Fill(L"E", Source());
  PressEnter(tool.TxtIconpath);
  EXPECT_EQ(GetFocus(), tool.cmdiconok.Hwnd());
  EXPECT_EQ(tool.TxtIconpath.Text(), Source());
  PressEnter(tool.txticondrive);
  EXPECT_EQ(tool.txticondrive.Text(), L"E");
  EXPECT_TRUE(messages.Calls().empty()) << messages.Calls().front();
  EXPECT_FALSE(Exists(IconCopy()));
}

}  // namespace
