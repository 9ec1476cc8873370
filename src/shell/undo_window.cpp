#include "shell/undo_window.h"

#include <algorithm>

#include "repair/undo_scope.h"
#include "system/app.h"
#include "system/message_box.h"
#include "system/system_text.h"
#include "tweaks/security/enter_password.h"
#include "tweaks/security/password_store.h"
#include "tweaks/tweak_catalog.h"

namespace shell {

namespace {

namespace journal = platform::journal;
using platform::MsgBox;
using platform::MsgIcon;

constexpr int kUndoClientWidth = 9000;
constexpr int kMargin = 120;
constexpr int kInner = kUndoClientWidth - 2 * kMargin;
constexpr int kListHeight = 3600;
constexpr int kDetailsTop = kMargin + kListHeight + 120;
constexpr int kDetailsHeight = 1500;
constexpr int kStatusTop = kDetailsTop + kDetailsHeight + 120;
constexpr int kBottomTop = kStatusTop + 360;
constexpr std::size_t kDetailLines = 200;
constexpr wchar_t kLoadRewrite[] = L": checked values rewritten on loading";
constexpr std::size_t kWhatLimit = 300;

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

// A page's load group in a user's words: the user never clicked anything. The
// rest as the journal says it, which anyone may have written: on one line.
std::wstring Wording(const journal::Group& group) {
  if (group.what.ends_with(kLoadRewrite)) {
    const std::wstring page =
        platform::Printable(group.what.substr(0, group.what.size() - std::size(kLoadRewrite) + 1), kWhatLimit);
    const std::wstring count = std::to_wstring(group.itemCount);
    return L"Korvane tidied " + count + (group.itemCount == 1 ? L" stored value" : L" stored values") + L" when " +
           page + L" opened";
  }
  return platform::Printable(group.what, kWhatLimit);
}

const wchar_t* StateWords(journal::ItemState state) {
  switch (state) {
    case journal::ItemState::Changed:
      return L"";
    case journal::ItemState::NotMade:
      return L"  [never made]";
    case journal::ItemState::Conflict:
      return L"  [changed since by something else]";
    case journal::ItemState::Refused:
      return L"  [refused]";
    case journal::ItemState::Nothing:
      break;
  }
  return L"";
}

std::wstring Plural(std::size_t count, const wchar_t* one, const wchar_t* many) {
  return std::to_wstring(count) + L" " + (count == 1 ? one : many);
}

}  // namespace

FrmUndo::FrmUndo()
    : Form({.caption = L"Undo Changes", .clientWidth = kUndoClientWidth, .clientHeight = kBottomTop + 540, .minimizeBox = false}),
      LvwGroups(*this, L"LvwGroups", {kMargin, kMargin, kInner, kListHeight},
                {{L"Time", 1900}, {L"What", 4300}, {L"Items", 700, true}, {L"State", 1800}}),
      TxtDetails(*this, L"TxtDetails", {kMargin, kDetailsTop, kInner, kDetailsHeight}, L"",
                 {.multiline = true, .readOnly = true}),
      LblStatus(*this, L"LblStatus", {kMargin, kStatusTop, kInner, 300}, L""),
      LblDropped(*this, L"LblDropped", {kMargin, kBottomTop + 60, 6600, 300}, L""),
      CmdUndo(*this, L"CmdUndo", {kUndoClientWidth - kMargin - 1800, kBottomTop, 1800, 420}, L"&Undo Selected") {
  // What undo may write is registered once, when undo is first at hand, not at every start.
  repair::AllowUndoOfKorvanesPlaces();
  LvwGroups.onGetText = [this](int row, int column) { return CellText(row, column); };
  LvwGroups.onEnter = [this] { CmdUndo_Click(); };
  LvwGroups.onSelectionChange = [this] { ShowSelected(); };
  LvwGroups.onContextMenu = [this] { return GroupMenu(); };
  CmdUndo.onClick = [this] { CmdUndo_Click(); };
}

void FrmUndo::Form_Load() {
  // The button looks like what Enter does, as in a dialog.
  SendMessageW(CmdUndo.Hwnd(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  Refresh();
  LvwGroups.Focus();
}

bool FrmUndo::Form_Message(UINT msg, WPARAM wParam, LPARAM /*lParam*/, LRESULT* result) {
  // Esc closes the window, as it closes a dialog.
  if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    Hide();
    *result = 0;
    return true;
  }
  return false;
}

std::wstring FrmUndo::CellText(int row, int column) const {
  if (row < 0 || static_cast<std::size_t>(row) >= listing_.groups.size()) return {};
  const journal::Group& group = listing_.groups[static_cast<std::size_t>(row)];
  switch (column) {
    case 0:
      return group.time;
    case 1:
      return group.finished ? Wording(group) : Wording(group) + L" (cut short)";
    case 2:
      // What the action told the person, where it said so: a clean's closing message counts files, not steps.
      return std::to_wstring(group.changes.value_or(group.itemCount));
    default:
      return group.undoneBy ? L"Undone " + group.undoneAt : L"";
  }
}

void FrmUndo::Reread() {
  listing_ = journal::ReadGroups();
  LvwGroups.SetRowCount(static_cast<int>(listing_.groups.size()));
  InvalidateRect(LvwGroups.Hwnd(), nullptr, TRUE);
  std::wstring text;
  if (listing_.droppedGroups > 0) {
    text = L"The " + std::to_wstring(listing_.droppedGroups) +
           L" oldest changes were let go to keep the journal within its bounds.";
  } else {
    text = listing_.groups.empty() ? L"Korvane has not changed anything yet." : L"Every change Korvane made is listed.";
  }
  if (listing_.skippedLines > 0) {
    text += L" " + Plural(listing_.skippedLines, L"damaged line", L"damaged lines") + L" of the journal skipped.";
  }
  LblDropped.SetText(text);
}

void FrmUndo::Refresh() {
  Reread();
  LvwGroups.SelectOnly(0);
  ShowSelected();
}

void FrmUndo::SelectGroup(journal::GroupId id) {
  for (std::size_t row = 0; row < listing_.groups.size(); ++row) {
    if (listing_.groups[row].id == id) {
      LvwGroups.SelectOnly(static_cast<int>(row));
      break;
    }
  }
  ShowSelected();
}

// The details of the one group selected, from its items; the button only when there is something to undo.
void FrmUndo::ShowSelected() {
  const std::vector<int> rows = LvwGroups.Selected();
  bool undoable = false;
  for (const int row : rows) undoable = undoable || !listing_.groups[static_cast<std::size_t>(row)].undoneBy;
  // A disabled button cannot keep the focus: the list takes it.
  if (!undoable && CmdUndo.HasFocus()) LvwGroups.Focus();
  EnableWindow(CmdUndo.Hwnd(), undoable);
  if (rows.size() != 1) {
    TxtDetails.SetText(rows.empty() ? L"" : Plural(rows.size(), L"change", L"changes") + L" selected.");
    return;
  }
  const journal::Group& listed = listing_.groups[static_cast<std::size_t>(rows.front())];
  const auto group = journal::ReadGroup(listed.id);
  if (!group) {
    TxtDetails.SetText(L"");
    return;
  }
  std::wstring text = L"Change " + std::to_wstring(group->id) + L", " + group->time + L": " + Wording(*group);
  if (group->undoneBy) text += L" (undone by change " + std::to_wstring(group->undoneBy) + L")";
  const std::vector<journal::ItemView> views = journal::Describe(*group);
  for (std::size_t i = 0; i < views.size() && i < kDetailLines; ++i) {
    text += L"\r\n" + views[i].change + StateWords(views[i].state);
  }
  if (views.size() > kDetailLines) text += L"\r\n... and " + std::to_wstring(views.size() - kDetailLines) + L" more";
  TxtDetails.SetText(text);
}

std::vector<platform::PopupEntry> FrmUndo::GroupMenu() {
  if (LvwGroups.Selected().empty()) return {};
  return {
      {L"&Undo", [this] { CmdUndo_Click(); }, IsWindowEnabled(CmdUndo.Hwnd()) != FALSE, true},
      {L"&Copy Details", [this] {
         if (!platform::CopyText(Hwnd(), TxtDetails.Text())) {
           MsgBox(L"The details could not be copied: another program is using the clipboard.", MsgIcon::Exclamation);
         }
       }},
  };
}

void FrmUndo::CmdUndo_Click() {
  std::vector<journal::GroupId> ids;
  for (const int row : LvwGroups.Selected()) {
    const journal::Group& group = listing_.groups[static_cast<std::size_t>(row)];
    if (!group.undoneBy) ids.push_back(group.id);  // an undone row is never undone twice
  }
  if (ids.empty()) {
    if (LvwGroups.Selected().empty()) MsgBox(L"Select the changes to undo in the list first.", MsgIcon::Information);
    LvwGroups.Focus();
    return;
  }
  // The password guards the security page's values however they are changed, undo included.
  const journal::Listing chosen = journal::ReadItemsOf(ids);
  const bool guarded = std::any_of(chosen.groups.begin(), chosen.groups.end(), [&](const journal::Group& group) {
    return std::find(ids.begin(), ids.end(), group.id) != ids.end() && journal::NeedsPassword(group);
  });
  if (guarded && !tweaks::StoredPassword().empty()) {
    auto& ask = platform::Instance<tweaks::FrmEntSecPAss>();
    ask.onAccepted = [ids] { platform::Instance<FrmUndo>().UndoChosen(ids); };
    LblStatus.SetText(L"Enter the security page's password to undo this change.");
    ask.Show();
    return;
  }
  UndoChosen(ids);
}

void FrmUndo::UndoChosen(const std::vector<journal::GroupId>& ids) {
  // Putting a worm's files back on a drive is never done by accident.
  std::wstring programs;
  std::size_t count = 0;
  for (const journal::Group& group : journal::ReadItemsOf(ids).groups) {
    if (std::find(ids.begin(), ids.end(), group.id) == ids.end()) continue;
    for (const std::wstring& program : journal::ProgramsPutBack(group)) {
      if (++count <= 20) programs += L"\n" + program;
    }
  }
  if (count > 20) programs += L"\n... and " + std::to_wstring(count - 20) + L" more";
  if (count > 0 &&
      MsgBox(L"Undoing this puts these programs and scripts back on the drive, where they may run again:\n" + programs +
                 L"\n\nPut them back?",
             MsgIcon::Exclamation, platform::kAppTitle, platform::MsgButtons::YesNo) != platform::MsgResult::Yes) {
    LblStatus.SetText(L"Nothing was undone.");
    LvwGroups.Focus();
    return;
  }
  const journal::UndoReport report = journal::Undo(ids, &AskAboutConflict);
  if (!report.refused.empty()) {
    std::wstring text = L"Korvane did not undo this, because it names what Korvane never changes:\n";
    for (const std::wstring& refusal : report.refused) text += L"\n" + refusal;
    MsgBox(text, MsgIcon::Exclamation);
  }
  if (!report.failures.empty()) {
    std::wstring text = L"These could not be put back as they were:\n";
    for (const std::wstring& failure : report.failures) text += L"\n" + failure;
    MsgBox(text, MsgIcon::Exclamation);
  }
  std::wstring status;
  if (report.undoGroup) {
    status = L"Put back " + Plural(report.putBack, L"item", L"items") + L" of " +
             (ids.size() == 1 ? L"change " + std::to_wstring(ids.front()) : Plural(ids.size(), L"change", L"changes")) +
             L"; recorded as change " + std::to_wstring(*report.undoGroup) + L".";
  } else if (!report.refused.empty()) {
    status = L"Nothing was undone: the change names what Korvane never changes.";
  } else if (!report.skipped.empty()) {
    status = L"Left as it was: something else has changed it since.";
  } else {
    status = L"Nothing was undone.";
  }
  LblStatus.SetText(status);
  Reread();
  // The selection stays on the row just undone, which now shows as undone.
  SelectGroup(ids.front());
  LvwGroups.Focus();
}

void ShowUndoWindow() {
  const bool wasLoaded = platform::IsLoaded<FrmUndo>();
  FrmUndo& form = platform::Instance<FrmUndo>();
  if (wasLoaded) form.Refresh();
  form.Show();
}

}  // namespace shell
