#include "shell/undo_window.h"

#include "repair/restriction_repair.h"
#include "system/app.h"
#include "system/message_box.h"
#include "tweaks/tweak_catalog.h"

namespace shell {

namespace {

namespace journal = platform::journal;
using platform::MsgBox;
using platform::MsgIcon;

constexpr int kClientWidth = 9000;
constexpr int kMargin = 120;
constexpr int kListHeight = 4200;
constexpr int kBottomTop = kMargin + kListHeight + 180;

journal::OnConflict AskAboutConflict(const journal::Group& group) {
  std::wstring text = L"Something other than Korvane has changed what this change made, since it was made:\n\n";
  text += group.time + L"   " + group.what;
  text += L"\n\nUndo it anyway? (No leaves this change as it is; Cancel stops the undo here.)";
  switch (MsgBox(text, MsgIcon::Exclamation, platform::kAppTitle, platform::MsgButtons::YesNoCancel)) {
    case platform::MsgResult::Yes:
      return journal::OnConflict::UndoAnyway;
    case platform::MsgResult::No:
      return journal::OnConflict::Skip;
    default:
      return journal::OnConflict::Stop;
  }
}

}  // namespace

FrmUndo::FrmUndo()
    : Form({.caption = L"Undo Changes", .clientWidth = kClientWidth, .clientHeight = kBottomTop + 540, .minimizeBox = false}),
      LvwGroups(*this, L"LvwGroups", {kMargin, kMargin, kClientWidth - 2 * kMargin, kListHeight},
                {{L"Time", 2040}, {L"What", 5400}, {L"Items", 900, true}}),
      LblDropped(*this, L"LblDropped", {kMargin, kBottomTop + 60, 6600, 300}, L""),
      CmdUndo(*this, L"CmdUndo", {kClientWidth - kMargin - 1800, kBottomTop, 1800, 420}, L"Undo Selected") {
  LvwGroups.onGetText = [this](int row, int column) { return CellText(row, column); };
  LvwGroups.onEnter = [this] { CmdUndo_Click(); };
  CmdUndo.onClick = [this] { CmdUndo_Click(); };
}

void FrmUndo::Form_Load() {
  // The button looks like what Enter does, as in a dialog.
  SendMessageW(CmdUndo.Hwnd(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  Refresh();
  LvwGroups.Focus();
}

std::wstring FrmUndo::CellText(int row, int column) const {
  if (row < 0 || static_cast<std::size_t>(row) >= listing_.groups.size()) return {};
  const journal::Group& group = listing_.groups[static_cast<std::size_t>(row)];
  switch (column) {
    case 0:
      return group.time;
    case 1:
      return group.finished ? group.what : group.what + L" (cut short)";
    default:
      return std::to_wstring(group.itemCount);
  }
}

void FrmUndo::Refresh() {
  listing_ = journal::ReadGroups();
  LvwGroups.SetRowCount(static_cast<int>(listing_.groups.size()));
  LvwGroups.SelectOnly(0);
  InvalidateRect(LvwGroups.Hwnd(), nullptr, TRUE);
  if (listing_.droppedGroups > 0) {
    LblDropped.SetText(L"The " + std::to_wstring(listing_.droppedGroups) +
                       L" oldest changes were let go to keep the journal within its bounds.");
  } else {
    LblDropped.SetText(listing_.groups.empty() ? L"Korvane has not changed anything yet."
                                               : L"Every change Korvane made is listed.");
  }
}

void FrmUndo::CmdUndo_Click() {
  std::vector<journal::GroupId> ids;
  for (const int row : LvwGroups.Selected()) ids.push_back(listing_.groups[static_cast<std::size_t>(row)].id);
  if (ids.empty()) {
    MsgBox(L"Select the changes to undo in the list first.", MsgIcon::Information);
    LvwGroups.Focus();
    return;
  }
  const journal::UndoReport report = journal::Undo(ids, &AskAboutConflict);
  if (!report.failures.empty()) {
    std::wstring text = L"These could not be put back as they were:\n";
    for (const std::wstring& failure : report.failures) text += L"\n" + failure;
    MsgBox(text, MsgIcon::Exclamation);
  }
  Refresh();
}

void AllowUndo() {
  static const bool allowed = [] {
    tweaks::AllowUndoOfTweaks();
    repair::AllowUndoOfRestrictions();
    for (const wchar_t* name : platform::kSettingNames) journal::AllowValue(platform::kCurrentUser, platform::kSettingsKey, name);
    return true;
  }();
  (void)allowed;
}

void ShowUndoWindow() {
  const bool wasLoaded = platform::IsLoaded<FrmUndo>();
  FrmUndo& form = platform::Instance<FrmUndo>();
  if (wasLoaded) form.Refresh();
  form.Show();
}

}  // namespace shell
