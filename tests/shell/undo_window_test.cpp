#include "shell/undo_window.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include "system/registry.h"
#include "shell/main_window.h"
#include "tweaks/security/enter_password.h"
#include "tweaks/security/security_page.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;
using shell::FrmUndo;

const std::wstring kUndoTestKey = L"Software\\Korvane\\UndoWindowTest";
const std::wstring kHeldKey = kUndoTestKey + L"\\Held";

class UndoWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    journal::AllowValue(platform::kCurrentUser, kUndoTestKey, L"value");
    journal::AllowValue(platform::kCurrentUser, kHeldKey, L"value");
    Clean();
  }
  void TearDown() override {
    if (platform::IsLoaded<shell::FrmMain>() || platform::IsLoaded<FrmUndo>()) platform::Form::EndProgram();
    Pump();
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    Clean();
  }
  static void Clean() {
    AllowWrites(kHkcu, kHeldKey);
    DeleteKey(kHkcu, kUndoTestKey);
    ClearFolder(journal::Folder());
  }
  static void Change(const std::wstring& what, const std::wstring& key, int value) {
    const journal::Action action(what);
    platform::RegSetValue(platform::kCurrentUser, key, L"value", value);
  }
  static FrmUndo& OpenFromToolsMenu() {
    auto& main = platform::Instance<shell::FrmMain>();
    main.Show();
    EXPECT_TRUE(main.InvokeMenu(L"Undo Changes..."));
    Pump();
    EXPECT_TRUE(platform::IsLoaded<FrmUndo>());
    return platform::Instance<FrmUndo>();
  }
};

// What the list shows in a cell, read from the control itself.
std::string Cell(const platform::ListView& list, int row, int column) {
  wchar_t text[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 512;
  SendMessageW(list.Hwnd(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return Utf8(text);
}

TEST_F(UndoWindowTest, OpensWithTheNewestSelectedAndEnterUndoesIt) {
  Change(L"Test: first", kUndoTestKey, 1);
  Change(L"Test: second", kUndoTestKey, 2);
  Change(L"Test: third", kUndoTestKey, 3);
  FrmUndo& form = OpenFromToolsMenu();
  EXPECT_EQ(Utf8(form.Caption()), "Undo Changes");
  ASSERT_EQ(form.LvwGroups.RowCount(), 3);
  EXPECT_EQ(form.LvwGroups.Selected(), std::vector<int>{0});
  EXPECT_EQ(Cell(form.LvwGroups, 0, 1), "Test: third");
  EXPECT_EQ(Cell(form.LvwGroups, 2, 1), "Test: first");
  EXPECT_EQ(Cell(form.LvwGroups, 0, 2), "1");
  EXPECT_EQ(Cell(form.LvwGroups, 0, 0).size(), 19u) << Cell(form.LvwGroups, 0, 0);
  EXPECT_EQ(Utf8(form.LblDropped.Text()), "Every change Korvane made is listed.");

  MsgBoxRecorder boxes;
  PressEnter(form.LvwGroups);
  EXPECT_DWORD(kHkcu, kUndoTestKey, L"value", 2u);
  EXPECT_TRUE(boxes.Calls().empty()) << boxes.Calls().front();
  ASSERT_EQ(form.LvwGroups.RowCount(), 4) << "the list is read again after an undo";
  EXPECT_EQ(Cell(form.LvwGroups, 0, 1), "Undo: Test: third");
  EXPECT_EQ(form.LvwGroups.Selected(), std::vector<int>{1}) << "the selection stays on the row just undone";

  // The two older groups together, newest first: the value ends as before the first.
  form.LvwGroups.SelectOnly(2);
  form.LvwGroups.Select(3, true);
  Click(form.CmdUndo);
  EXPECT_NO_VALUE(kHkcu, kUndoTestKey, L"value");
}

// From the keyboard alone: Tab to the row, Enter undoes it, Enter again must not undo the undo.
TEST_F(UndoWindowTest, AKeyboardJourneyNeverUndoesTwice) {
  Change(L"Test: older", kUndoTestKey, 1);
  Change(L"Test: newer", kUndoTestKey, 2);
  FrmUndo& form = OpenFromToolsMenu();
  EXPECT_NE(Utf8(form.TxtDetails.Text()).find("HKCU\\Software\\Korvane\\UndoWindowTest\\value: 1 → 2"),
            std::string::npos)
      << "the details show what the selected change did, from its items: " << Utf8(form.TxtDetails.Text());
  PressEnter(form.LvwGroups);
  EXPECT_DWORD(kHkcu, kUndoTestKey, L"value", 1u);
  ASSERT_EQ(form.LvwGroups.RowCount(), 3);
  ASSERT_EQ(form.LvwGroups.Selected(), std::vector<int>{1});
  EXPECT_EQ(Cell(form.LvwGroups, 1, 1), "Test: newer");
  EXPECT_EQ(Cell(form.LvwGroups, 1, 3).substr(0, 7), "Undone ") << Cell(form.LvwGroups, 1, 3);
  EXPECT_NE(Utf8(form.LblStatus.Text()).find("Put back 1 item of change"), std::string::npos)
      << Utf8(form.LblStatus.Text());
  EXPECT_FALSE(IsWindowEnabled(form.CmdUndo.Hwnd())) << "an undone row cannot be undone again";

  MsgBoxRecorder boxes;
  PressEnter(form.LvwGroups);
  Click(form.CmdUndo);
  EXPECT_DWORD(kHkcu, kUndoTestKey, L"value", 1u) << "pressed again: nothing undone twice";
  EXPECT_EQ(form.LvwGroups.RowCount(), 3) << "no new group";
  EXPECT_TRUE(boxes.Calls().empty());
  EXPECT_NE(GetFocus(), nullptr) << "the focus never dies";

  // The undo's own row undoes it again (a redo), and the original row no longer shows as undone.
  form.LvwGroups.SelectOnly(0);
  EXPECT_TRUE(IsWindowEnabled(form.CmdUndo.Hwnd()));
  PressEnter(form.LvwGroups);
  EXPECT_DWORD(kHkcu, kUndoTestKey, L"value", 2u);
  ASSERT_EQ(form.LvwGroups.RowCount(), 4);
  EXPECT_EQ(Cell(form.LvwGroups, 0, 1), "Redo: Test: newer");
  EXPECT_EQ(Cell(form.LvwGroups, 2, 3), "") << "Test: newer is in force again";
}

TEST_F(UndoWindowTest, UndoingASecurityTweakAsksForThePassword) {
  const std::wstring passwordKey = L".wab";
  journal::AllowValue(platform::kCurrentUser, kUndoTestKey, L"guarded", journal::Guard::Password);
  {
    const journal::Action action(L"Security Tweaks: test box checked");
    platform::RegSetValue(platform::kCurrentUser, kUndoTestKey, L"guarded", 1);
  }
  WriteSz(HKEY_CLASSES_ROOT, passwordKey, L"RandomID", L"secret");
  FrmUndo& form = OpenFromToolsMenu();
  Click(form.CmdUndo);
  Pump();
  EXPECT_DWORD(kHkcu, kUndoTestKey, L"guarded", 1u) << "nothing is undone before the password";
  ASSERT_TRUE(platform::IsLoaded<tweaks::FrmEntSecPAss>());
  auto& ask = platform::Instance<tweaks::FrmEntSecPAss>();
  EXPECT_TRUE(ask.Visible());

  MsgBoxRecorder boxes;
  ask.TxtPass.SetText(L"wrong");
  Click(ask.CmdOk);
  EXPECT_DWORD(kHkcu, kUndoTestKey, L"guarded", 1u);
  EXPECT_EQ(Utf8(boxes.Calls().at(0).text), "Incorrect password");
  ask.TxtPass.SetText(L"secret");
  Click(ask.CmdOk);
  EXPECT_NO_VALUE(kHkcu, kUndoTestKey, L"guarded");
  EXPECT_FALSE(ask.Visible());
  EXPECT_FALSE(platform::IsLoaded<tweaks::FrmSecTweaks>()) << "the right password undid, it did not open the page";
  DeleteKey(HKEY_CLASSES_ROOT, passwordKey);
}

TEST_F(UndoWindowTest, AsksOnceAboutAChangeMadeElsewhereAndNamesWhatCouldNotBePutBack) {
  {
    const journal::Action action(L"Test: two keys");
    platform::RegSetValue(platform::kCurrentUser, kUndoTestKey, L"value", 1);
    platform::RegSetValue(platform::kCurrentUser, kHeldKey, L"value", 1);
  }
  WriteDword(kHkcu, kUndoTestKey, L"value", 7);  // changed by another program since
  const ScopedRefusal held(kHkcu, kHeldKey);
  FrmUndo& form = OpenFromToolsMenu();
  MsgBoxRecorder boxes;
  boxes.AnswerNext(platform::MsgResult::Yes);
  Click(form.CmdUndo);

  ASSERT_EQ(boxes.Calls().size(), 2u);
  EXPECT_EQ(boxes.Calls()[0].buttons, platform::MsgButtons::YesNoCancel) << boxes.Calls()[0];
  EXPECT_NE(boxes.Calls()[0].text.find(L"Test: two keys"), std::wstring::npos) << boxes.Calls()[0];
  EXPECT_EQ(Utf8(boxes.Calls()[1].text),
            "These could not be put back as they were:\n\n"
            "HKCU\\Software\\Korvane\\UndoWindowTest\\Held\\value: the change was refused");
  EXPECT_NO_VALUE(kHkcu, kUndoTestKey, L"value") << "what could be put back was, after Yes";
  EXPECT_DWORD(kHkcu, kHeldKey, L"value", 1u);
}

}  // namespace
