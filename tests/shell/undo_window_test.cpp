#include "shell/undo_window.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include "system/registry.h"
#include "shell/main_window.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;
using shell::FrmUndo;

const HKEY kHkcu = HKEY_CURRENT_USER;
const std::wstring kKey = L"Software\\Korvane\\UndoWindowTest";
const std::wstring kHeldKey = kKey + L"\\Held";

class UndoWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    journal::AllowValue(platform::kCurrentUser, kKey, L"value");
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
    DeleteKey(kHkcu, kKey);
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
std::string Cell(const platform::VirtualListView& list, int row, int column) {
  wchar_t text[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 512;
  SendMessageW(list.Hwnd(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return Utf8(text);
}

TEST_F(UndoWindowTest, OpensWithTheNewestSelectedAndEnterUndoesIt) {
  Change(L"Test: first", kKey, 1);
  Change(L"Test: second", kKey, 2);
  Change(L"Test: third", kKey, 3);
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
  EXPECT_DWORD(kHkcu, kKey, L"value", 2u);
  EXPECT_TRUE(boxes.Calls().empty()) << boxes.Calls().front();
  ASSERT_EQ(form.LvwGroups.RowCount(), 4) << "the list is read again after an undo";
  EXPECT_EQ(Cell(form.LvwGroups, 0, 1), "Undo: Test: third");
  EXPECT_EQ(form.LvwGroups.Selected(), std::vector<int>{0});

  // The two older groups together, newest first: the value ends as before the first.
  form.LvwGroups.SelectOnly(2);
  form.LvwGroups.Select(3, true);
  Click(form.CmdUndo);
  EXPECT_NO_VALUE(kHkcu, kKey, L"value");
}

TEST_F(UndoWindowTest, AsksOnceAboutAChangeMadeElsewhereAndNamesWhatCouldNotBePutBack) {
  {
    const journal::Action action(L"Test: two keys");
    platform::RegSetValue(platform::kCurrentUser, kKey, L"value", 1);
    platform::RegSetValue(platform::kCurrentUser, kHeldKey, L"value", 1);
  }
  WriteDword(kHkcu, kKey, L"value", 7);  // changed by another program since
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
  EXPECT_NO_VALUE(kHkcu, kKey, L"value") << "what could be put back was, after Yes";
  EXPECT_DWORD(kHkcu, kHeldKey, L"value", 1u);
}

}  // namespace
