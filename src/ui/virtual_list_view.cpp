#include "ui/virtual_list_view.h"

#include <commctrl.h>

#include "ui/form.h"

namespace platform {

VirtualListView::VirtualListView(Form& form, std::wstring name, TwipsRect rect, std::vector<VirtualListColumn> columns)
    : Control(form, std::move(name), rect, L""), columns_(std::move(columns)) {}

void VirtualListView::Create(HWND parent, int id) {
  // Registered on first use: the program's start does not pay for a class most runs never show.
  const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  CreateWindowOf(WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE,
                 parent, id);
  SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    column.fmt = columns_[i].rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.pszText = columns_[i].caption.data();
    column.cx = form_.Px(columns_[i].width);
    SendMessageW(hwnd_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  SetWindowSubclass(hwnd_, &VirtualListView::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void VirtualListView::Layout() {
  Control::Layout();
  if (!hwnd_) return;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, i, form_.Px(columns_[i].width));
  }
}

void VirtualListView::SetRowCount(int rows) { SendMessageW(hwnd_, LVM_SETITEMCOUNT, rows, 0); }

int VirtualListView::RowCount() const { return static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }

std::vector<int> VirtualListView::Selected() const {
  std::vector<int> rows;
  int row = -1;
  while ((row = static_cast<int>(SendMessageW(hwnd_, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0) rows.push_back(row);
  return rows;
}

void VirtualListView::Select(int row, bool selected) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  SendMessageW(hwnd_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void VirtualListView::SelectOnly(int row) {
  Select(-1, false);
  if (row < 0 || row >= RowCount()) return;
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(hwnd_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  SendMessageW(hwnd_, LVM_ENSUREVISIBLE, row, FALSE);
}

bool VirtualListView::OnNotify(NMHDR* header, LRESULT* result) {
  if ((header->code == LVN_ITEMCHANGED || header->code == LVN_ODSTATECHANGED) && onSelectionChanged) {
    onSelectionChanged();
    return false;
  }
  if (header->code != LVN_GETDISPINFOW) return false;
  auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
  if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 0) {
    shown_ = onGetText ? onGetText(info->item.iItem, info->item.iSubItem) : std::wstring();
    const std::size_t room = static_cast<std::size_t>(info->item.cchTextMax) - 1;
    const std::size_t length = std::min(shown_.size(), room);
    shown_.copy(info->item.pszText, length);
    info->item.pszText[length] = L'\0';
  }
  *result = 0;
  return true;
}

LRESULT CALLBACK VirtualListView::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                        DWORD_PTR data) {
  auto* list = reinterpret_cast<VirtualListView*>(data);
  try {
    const bool enter = msg == WM_GETDLGCODE && lParam &&
                       reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
                       reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN;
    // Enter in the list acts on the selection instead of going to dialog navigation.
    if (enter && list->onEnter) return DefSubclassProc(hwnd, msg, wParam, lParam) | DLGC_WANTMESSAGE;
    if (msg == WM_KEYDOWN && wParam == VK_RETURN && list->onEnter) {
      list->onEnter();
      return 0;
    }
  } catch (...) {
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace platform
