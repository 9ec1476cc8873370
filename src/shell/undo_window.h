// FrmUndo: the groups of the change journal, newest first, what the selected
// one changed, and the undo of the selected ones.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"
#include "journal/journal.h"
#include "ui/list_view.h"

namespace shell {

class FrmUndo : public platform::Form {
 public:
  FrmUndo();

  platform::ListView LvwGroups;
  platform::TextBox TxtDetails;
  platform::Label LblStatus;
  platform::Label LblDropped;
  platform::Button CmdUndo;

  // Reads the journal again and selects the newest group.
  void Refresh();
  void CmdUndo_Click();
  // Undoes the groups, the password already asked when one of them needs it.
  void UndoChosen(const std::vector<platform::journal::GroupId>& ids);
  const platform::journal::Listing& Listing() const { return listing_; }

 protected:
  void Form_Load() override;
  bool Form_Message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  std::wstring CellText(int row, int column) const;
  std::vector<platform::PopupEntry> GroupMenu();
  void ShowSelected();
  void Reread();
  void SelectGroup(platform::journal::GroupId id);
  platform::journal::Listing listing_;
};

// Lets undo write what the pages, the repairs and the preferences change; once, at start.

// The Tools menu's entry: opens the window, or brings it forward with the journal read again.
void ShowUndoWindow();

}  // namespace shell
