// A report-view list whose rows are asked of its owner as they are drawn
// (owner data), so that a hundred thousand rows cost no more to show than ten;
// and a progress bar. Thin wrappers like those in controls.h.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/popup_menu.h"

namespace platform {

struct ListColumn {
  std::wstring caption;
  int width = 0;  // twips
  bool rightAligned = false;
};

struct ListStyle {
  bool checkBoxes = false;  // a box on each row the owner gives a state for
  bool sortable = false;    // the headers can be clicked (onColumnClick)
  bool fillLast = false;    // the last column takes the width the others leave
};

class ListView : public Control {
 public:
  ListView(Form& form, std::wstring name, TwipsRect rect, std::vector<ListColumn> columns, ListStyle style = {});

  std::function<std::wstring(int row, int column)> onGetText;
  // The row's box: checked or not; nothing for a row without one. The list
  // keeps no state of its own: the owner changes it in onToggle.
  std::function<std::optional<bool>(int row)> onGetCheck;
  // A click on a row's box, or Space with rows selected (each selected row, in order).
  std::function<void(const std::vector<int>& rows)> onToggle;
  std::function<void(int column)> onColumnClick;
  std::function<void()> onSelectionChange;
  // The whole row in words, for the hover tip of a row whose cells are cut short.
  std::function<std::wstring(int row)> onGetTip;
  std::function<void()> onEnter;  // Enter pressed in the list
  std::function<void(int row)> onDoubleClick;
  // The shortcut menu for the rows selected (a right-click selects the row under it first).
  std::function<std::vector<PopupEntry>()> onContextMenu;

  void SetRowCount(int rows);
  int RowCount() const;
  // Draws the rows again after the owner changed them (same count).
  void Refresh();
  std::vector<int> Selected() const;  // in row order
  int FocusedRow() const;  // -1 when none
  // Selects the one row, with the focus on it, and scrolls it into view; -1 selects nothing.
  void SelectOnly(int row);
  void Select(int row, bool selected);
  // The arrow in a header that shows the order; column -1 shows none.
  void SetSortMark(int column, bool ascending);
  const std::vector<ListColumn>& Columns() const { return columns_; }

  // What the control itself shows, read back from it.
  std::wstring Cell(int row, int column) const;
  bool Checked(int row) const;
  int ColumnWidthPx(int column) const;

  void Layout() override;

 protected:
  void Create(HWND parent, int id) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  void FillLastColumn();
  int BoxAt(POINT point) const;
  void ShowContextMenu(LPARAM at);
  std::vector<ListColumn> columns_;
  ListStyle style_;
  std::wstring shown_;  // the text last handed to the list, alive until it asks again
};

class ProgressBar : public Control {
 public:
  ProgressBar(Form& form, std::wstring name, TwipsRect rect) : Control(form, std::move(name), rect, L"") {}
  // Moving without an end in sight (the number of items is not known ahead).
  void SetBusy(bool busy);
  void SetPercent(int percent);
  int Percent() const;

 protected:
  void Create(HWND parent, int id) override;
};

}  // namespace platform
