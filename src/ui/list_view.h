// A report-view list with a check box on every row; and a progress bar. Thin wrappers like those in controls.h.
#pragma once

#include <string>
#include <vector>

#include "ui/controls.h"

namespace platform {

struct ListColumn {
  std::wstring caption;
  int widthTwips = 0;
};

class ListView : public Control {
 public:
  ListView(Form& form, std::wstring name, TwipsRect rect, std::vector<ListColumn> columns);
  void Clear();
  // Returns the row's index; `data` is kept with the row for the caller.
  int AddRow(const std::vector<std::wstring>& cells, bool checked, LPARAM data);
  int RowCount() const;
  bool Checked(int row) const;
  void SetChecked(int row, bool checked);
  std::wstring Cell(int row, int column) const;
  LPARAM Data(int row) const;

 protected:
  void Create(HWND parent, int id) override;
  void Layout() override;

 private:
  std::vector<ListColumn> columns_;
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
