#include "repair/hidden_restore.h"

#include <cstdlib>

#include "fix_page_fixture.h"
#include "support/drive_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
using platform::MsgIcon;
using repair_tests::Message;
using repair_tests::Showed;

constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD kHiddenSystemReadOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;

const platform::MsgBoxCall kRestored = Message(L"The File/Folder was successfully restored", MsgIcon::Information);
const platform::MsgBoxCall kInvalid = Message(L"The path entered was invalid", MsgIcon::Information, L"Error");

// Wine serves "\\server\share" from the prefix's folder dosdevices\unc\server\share.
std::wstring WineShareFolder() {
  const char* devices = std::getenv("KORVANE_TEST_DOSDEVICES");
  std::wstring folder = L"Z:";
  for (const char* c = devices ? devices : ""; *c; ++c) folder += static_cast<wchar_t>(*c == '/' ? '\\' : *c);
  for (const wchar_t* part : {L"\\unc", L"\\korvane", L"\\share"}) CreateDirectoryW((folder += part).c_str(), nullptr);
  return folder;
}

class HiddenRestoreTest : public repair_tests::FixPageTest {
 protected:
  void SetUp() override {
    ClearDrive(kDrive);
    FixPageTest::SetUp();
  }
  void TearDown() override {
    FixPageTest::TearDown();
    ClearDrive(kDrive);
  }
  void Restore(const std::wstring& path) {
    Page().TxtResPath.SetText(path);
    messages.Clear();
    Click(Page().CmdRestore);
  }
  void ClickInto(const platform::TextBox& box) {
    SendMessageW(box.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    SendMessageW(box.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    Pump();
  }
};

TEST_F(HiddenRestoreTest, OnlyTheHintGivesWayWhenTheBoxIsEntered) {
  auto& box = Page().TxtResPath;
  EXPECT_EQ(box.Text(), repair::kRestorePathHint);
  box.Focus();
  Pump();
  EXPECT_EQ(box.Text(), L"") << "focus takes the hint away";
  Type(box, L"E:\\Fol");
  ClickInto(box);
  EXPECT_EQ(box.Text(), L"E:\\Fol") << "a click keeps what is being typed";
  Page().CmdRestore.Focus();
  box.Focus();
  Pump();
  EXPECT_EQ(box.Text(), L"E:\\Fol") << "coming back keeps it too";
  box.SetText(repair::kRestorePathHint);
  ClickInto(box);
  EXPECT_EQ(box.Text(), L"") << "a click takes the hint away";
  EXPECT_TRUE(Showed(messages, {}));
}

TEST_F(HiddenRestoreTest, RestoringTheHintFailsAndEmptiesTheBox) {
  ASSERT_EQ(Page().TxtResPath.Text(), repair::kRestorePathHint);
  Click(Page().CmdRestore);
  EXPECT_TRUE(Showed(messages, {kInvalid}));
  EXPECT_EQ(Page().TxtResPath.Text(), L"");
  EXPECT_TRUE(Page().TxtResPath.HasFocus());
}

TEST_F(HiddenRestoreTest, ClearsTheAttributesOfTheItemNamed) {
  struct Case {
    const wchar_t* name;
    bool folder;
    DWORD before;
    const wchar_t* typed;  // "~" stands for the item's full path
  };
  const Case cases[] = {
      {L"hidden.txt", false, kHiddenSystemReadOnly, L"~"},
      {L"readonly.txt", false, FILE_ATTRIBUTE_READONLY, L"~"},
      {L"plain.txt", false, 0, L"~"},
      {L"Folder", true, kHidden | FILE_ATTRIBUTE_SYSTEM, L"~"},
      {L"slashes.txt", false, kHidden, L"E:/slashes.txt"},
      {L"trailing.txt", false, kHidden, L"~   "},
      {L"\x96a0\x3057\x03a9.txt", false, kHidden, L"~"},  // outside the ANSI code page
      {L"verbatim.txt", false, kHidden, L"\\\\?\\~"},
      {L"device.txt", false, kHidden, L"\\\\.\\~"},
  };
  for (const auto& c : cases) {
    const std::wstring path = OnDrive(kDrive, c.name);
    const std::string what = Utf8(c.name);
    if (c.folder) {
      ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
      WriteBytes(path + L"\\inner.txt", "x", kHidden);
    } else {
      WriteBytes(path, "data");
    }
    if (c.before) {
      ASSERT_TRUE(SetFileAttributesW(path.c_str(), c.before)) << what;
    }
    std::wstring typed = c.typed;
    if (const auto mark = typed.find(L'~'); mark != std::wstring::npos) {
      typed = typed.substr(0, mark).append(path).append(typed.substr(mark + 1));
    }
    Restore(typed);
    EXPECT_TRUE(Showed(messages, {kRestored})) << what;
    EXPECT_EQ(Attributes(path), c.folder ? kFolder : 0u) << what;
    EXPECT_EQ(Page().TxtResPath.Text(), typed) << what << ": the box keeps the path";
    if (c.folder) {
      EXPECT_EQ(Attributes(path + L"\\inner.txt"), kHidden) << "the folder's contents keep theirs";
    }
  }
}

TEST_F(HiddenRestoreTest, ClearsTheAttributesOfAnItemOnAShare) {
  const std::wstring shared = WineShareFolder() + L"\\shared.txt";
  WriteBytes(shared, "data", kHidden);
  Restore(L"\\\\?\\UNC\\korvane\\share\\shared.txt");
  EXPECT_TRUE(Showed(messages, {kRestored}));
  EXPECT_EQ(Attributes(shared), 0u);
  DeleteFileW(shared.c_str());
}

TEST_F(HiddenRestoreTest, BadPathsFailAndTouchNothing) {
  const std::wstring hidden = OnDrive(kDrive, L"hidden.txt");
  const std::wstring readOnlyDrive = OnDrive(kReadOnlyDrive, L"autorun.inf");
  const std::wstring cases[] = {
      L"",
      L"     ",
      repair::kRestorePathHint,
      std::wstring(L"   ").append(hidden),  // passed on as typed, not trimmed
      std::wstring(L"E:\\").append(300, L'a').append(L".txt"),
      L"E:\\\x03a9\x96a0-missing.txt",
      L"E:\\missing.txt",
      L"CON",
      L"nul",
      L"E:\\NUL.txt",
      L"E:\\com1 ",
      L"LPT1",
      L"\\\\.\\CON",
      L"\\\\.\\PhysicalDrive0",
      L"\\\\?\\GLOBALROOT\\Device\\Null",
      L"\\??\\E:\\hidden.txt\\x",
      L"M:\\hidden.txt",
      readOnlyDrive,
      L"*:\\?",
  };
  WriteBytes(hidden, "data", kHidden);
  for (const auto& path : cases) {
    const std::string what = Utf8(path.substr(0, 60));
    Restore(path);
    EXPECT_TRUE(Showed(messages, {kInvalid})) << what;
    EXPECT_EQ(Page().TxtResPath.Text(), L"") << what;
    EXPECT_TRUE(Page().TxtResPath.HasFocus()) << what;
    EXPECT_EQ(Attributes(hidden), kHidden) << what;
    EXPECT_EQ(ReadBytes(readOnlyDrive), "[autorun]\r\nopen=virus.exe\r\n") << what;
  }
}

TEST_F(HiddenRestoreTest, QuestionMarkNamesOurHidingTool) {
  ClickLabel(Page().LblQHide);
  const auto& calls = messages.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0] == (Message(L"Want to hide your files or folders for some reason?",
                                             MsgIcon::Information)));
  EXPECT_EQ(calls[1].title, L"Korvane");
  EXPECT_EQ(calls[1].icon, MsgIcon::Information);
  EXPECT_NE(calls[1].text.find(L"Korvane Hide"), std::wstring::npos) << Utf8(calls[1].text);
  EXPECT_NE(calls[1].text.find(L"www.example.com/korvane-hide"), std::wstring::npos) << Utf8(calls[1].text);
}

}  // namespace
