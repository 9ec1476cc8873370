#include "ui/list_view.h"

#include <commctrl.h>

#include "ui/form.h"

namespace platform {

ListView::ListView(Form& form, std::wstring name, TwipsRect rect, std::vector<ListColumn> columns)
    : Control(form, std::move(name), rect, L""), columns_(std::move(columns)) {}

void ListView::Create(HWND parent, int id) {
  CreateWindowOf(WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | LVS_NOSORTHEADER,
                 WS_EX_CLIENTEDGE, parent, id);
  ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = columns_[i].caption.data();
    column.cx = form_.Px(columns_[i].widthTwips);
    ListView_InsertColumn(hwnd_, static_cast<int>(i), &column);
  }
}

void ListView::Layout() {
  Control::Layout();
  if (!hwnd_) return;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    ListView_SetColumnWidth(hwnd_, static_cast<int>(i), form_.Px(columns_[i].widthTwips));
  }
}

void ListView::Clear() { ListView_DeleteAllItems(hwnd_); }

int ListView::AddRow(const std::vector<std::wstring>& cells, bool checked, LPARAM data) {
  std::wstring first = cells.empty() ? std::wstring() : cells[0];
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = RowCount();
  item.pszText = first.data();
  item.lParam = data;
  const int row = ListView_InsertItem(hwnd_, &item);
  for (std::size_t i = 1; i < cells.size(); ++i) {
    std::wstring text = cells[i];
    ListView_SetItemText(hwnd_, row, static_cast<int>(i), text.data());
  }
  SetChecked(row, checked);
  return row;
}

int ListView::RowCount() const { return ListView_GetItemCount(hwnd_); }

bool ListView::Checked(int row) const { return ListView_GetCheckState(hwnd_, row) != FALSE; }

void ListView::SetChecked(int row, bool checked) { ListView_SetCheckState(hwnd_, row, checked ? TRUE : FALSE); }

std::wstring ListView::Cell(int row, int column) const {
  std::wstring text(1024, L'\0');
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text.data();
  item.cchTextMax = static_cast<int>(text.size());
  const auto length = SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

LPARAM ListView::Data(int row) const {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  ListView_GetItem(hwnd_, &item);
  return item.lParam;
}

void ProgressBar::Create(HWND parent, int id) { CreateWindowOf(PROGRESS_CLASSW, PBS_SMOOTH, 0, parent, id); }

void ProgressBar::SetBusy(bool busy) {
  const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
  SetWindowLongPtrW(hwnd_, GWL_STYLE, busy ? (style | PBS_MARQUEE) : (style & ~static_cast<LONG_PTR>(PBS_MARQUEE)));
  SendMessageW(hwnd_, PBM_SETMARQUEE, busy ? TRUE : FALSE, 0);
}

void ProgressBar::SetPercent(int percent) { SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(percent), 0); }

int ProgressBar::Percent() const { return static_cast<int>(SendMessageW(hwnd_, PBM_GETPOS, 0, 0)); }

}  // namespace platform
