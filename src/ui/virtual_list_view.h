// A report-view list whose rows are asked for as they are drawn (a virtual
// list), so that ten thousand rows cost no more to show than ten.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace platform {

struct VirtualListColumn {
  std::wstring caption;
  int width = 0;  // twips
  bool rightAligned = false;
};

class VirtualListView : public Control {
 public:
  VirtualListView(Form& form, std::wstring name, TwipsRect rect, std::vector<VirtualListColumn> columns);
  std::function<std::wstring(int row, int column)> onGetText;
  std::function<void()> onEnter;  // Enter pressed in the list
  std::function<void()> onSelectionChanged;

  void SetRowCount(int rows);
  int RowCount() const;
  std::vector<int> Selected() const;  // in row order
  // Selects the one row, with the focus on it, and scrolls it into view.
  void SelectOnly(int row);
  void Select(int row, bool selected);
  const std::vector<VirtualListColumn>& Columns() const { return columns_; }
  void Layout() override;

 protected:
  void Create(HWND parent, int id) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  std::vector<VirtualListColumn> columns_;
  std::wstring shown_;  // the text last handed to the list, alive until it asks again
};

}  // namespace platform
