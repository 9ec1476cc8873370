#include "ui/list_view.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/form.h"

namespace platform {

namespace {

constexpr UINT kUnchecked = 1;  // state image indexes of the list's own check box pictures
constexpr UINT kChecked = 2;

}  // namespace

ListView::ListView(Form& form, std::wstring name, TwipsRect rect, std::vector<ListColumn> columns, ListStyle style)
    : Control(form, std::move(name), rect, L""), columns_(std::move(columns)), style_(style) {}

void ListView::Create(HWND parent, int id) {
  // Registered on first use: the program's start does not pay for a class most runs never show.
  const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  DWORD style = WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS;
  if (!style_.sortable) style |= LVS_NOSORTHEADER;
  CreateWindowOf(WC_LISTVIEWW, style, WS_EX_CLIENTEDGE, parent, id);
  DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP | LVS_EX_INFOTIP;
  if (style_.checkBoxes) extended |= LVS_EX_CHECKBOXES;
  SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
  // An owner-data list keeps only selection and focus; the boxes are asked for like the text.
  if (style_.checkBoxes) SendMessageW(hwnd_, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    column.fmt = columns_[i].rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.pszText = columns_[i].caption.data();
    column.cx = form_.Px(columns_[i].width);
    SendMessageW(hwnd_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  SetWindowSubclass(hwnd_, &ListView::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
  FillLastColumn();
}

void ListView::Layout() {
  Control::Layout();
  if (!hwnd_) return;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, i, form_.Px(columns_[i].width));
  }
  FillLastColumn();
}

void ListView::FillLastColumn() {
  if (!style_.fillLast || columns_.empty() || !hwnd_) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  int others = 0;
  for (std::size_t i = 0; i + 1 < columns_.size(); ++i) others += ColumnWidthPx(static_cast<int>(i));
  const int last = static_cast<int>(columns_.size()) - 1;
  const int width = std::max<int>(form_.Px(columns_.back().width), client.right - others);
  if (width != ColumnWidthPx(last)) SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, last, width);
}

int ListView::ColumnWidthPx(int column) const {
  return static_cast<int>(SendMessageW(hwnd_, LVM_GETCOLUMNWIDTH, column, 0));
}

void ListView::SetRowCount(int rows) {
  SendMessageW(hwnd_, LVM_SETITEMCOUNT, rows, LVSICF_NOSCROLL);
  InvalidateRect(hwnd_, nullptr, TRUE);
  FillLastColumn();
}

int ListView::RowCount() const { return static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }

void ListView::Refresh() { InvalidateRect(hwnd_, nullptr, TRUE); }

std::vector<int> ListView::Selected() const {
  std::vector<int> rows;
  int row = -1;
  while ((row = static_cast<int>(SendMessageW(hwnd_, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0) rows.push_back(row);
  return rows;
}

int ListView::FocusedRow() const { return static_cast<int>(SendMessageW(hwnd_, LVM_GETNEXTITEM, -1, LVNI_FOCUSED)); }

void ListView::Select(int row, bool selected) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  SendMessageW(hwnd_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void ListView::SelectOnly(int row) {
  Select(-1, false);
  if (row < 0 || row >= RowCount()) return;
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(hwnd_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  SendMessageW(hwnd_, LVM_ENSUREVISIBLE, row, FALSE);
}

void ListView::SetSortMark(int column, bool ascending) {
  const auto header = reinterpret_cast<HWND>(SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (static_cast<int>(i) == column) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
    SendMessageW(header, HDM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
}

std::wstring ListView::Cell(int row, int column) const {
  std::wstring text(4096, L'\0');
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text.data();
  item.cchTextMax = static_cast<int>(text.size());
  const auto length = SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

bool ListView::Checked(int row) const {
  const auto state = static_cast<UINT>(SendMessageW(hwnd_, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
  return (state & LVIS_STATEIMAGEMASK) >> 12 == kChecked;
}

// The row whose box is at this point, or -1. Wine's hit test says "on the
// box" anywhere on a full-row-select row, so the box is found by its place:
// left of the row's icon.
int ListView::BoxAt(POINT point) const {
  LVHITTESTINFO hit{};
  hit.pt = point;
  const int row = static_cast<int>(SendMessageW(hwnd_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row < 0 || !(hit.flags & LVHT_ONITEMSTATEICON)) return -1;
  RECT bounds{LVIR_BOUNDS};
  RECT icon{LVIR_ICON};
  SendMessageW(hwnd_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
  SendMessageW(hwnd_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&icon));
  return point.x >= bounds.left && point.x < icon.left ? row : -1;
}

bool ListView::OnNotify(NMHDR* header, LRESULT* result) {
  *result = 0;
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      auto& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        shown_ = onGetText ? onGetText(item.iItem, item.iSubItem) : std::wstring();
        const std::size_t length = std::min(shown_.size(), static_cast<std::size_t>(item.cchTextMax) - 1);
        shown_.copy(item.pszText, length);
        item.pszText[length] = L'\0';
      }
      if ((item.mask & LVIF_STATE) && style_.checkBoxes && item.iSubItem == 0) {
        const auto check = onGetCheck ? onGetCheck(item.iItem) : std::nullopt;
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) |
                     (check ? INDEXTOSTATEIMAGEMASK(*check ? kChecked : kUnchecked) : 0);
        item.stateMask |= LVIS_STATEIMAGEMASK;
      }
      return true;
    }
    case LVN_GETINFOTIPW: {
      auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(header);
      if (!onGetTip || !tip->pszText || tip->cchTextMax <= 0) return true;
      const std::wstring text = onGetTip(tip->iItem);
      const std::size_t length = std::min(text.size(), static_cast<std::size_t>(tip->cchTextMax) - 1);
      text.copy(tip->pszText, length);
      tip->pszText[length] = L'\0';
      return true;
    }
    // Owner-data rows have no box state of their own: a click on the box comes only as a click.
    case NM_CLICK:
      if (const int row = style_.checkBoxes ? BoxAt(reinterpret_cast<NMITEMACTIVATE*>(header)->ptAction) : -1;
          row >= 0 && onToggle) {
        onToggle({row});
      }
      return true;
    case NM_DBLCLK: {
      const POINT at = reinterpret_cast<NMITEMACTIVATE*>(header)->ptAction;
      LVHITTESTINFO hit{};
      hit.pt = at;
      const int row = static_cast<int>(SendMessageW(hwnd_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
      // The second click of a quick pair on a box changes it once more, as on any check box.
      if (const int box = style_.checkBoxes ? BoxAt(at) : -1; box >= 0) {
        if (onToggle) onToggle({box});
      } else if (row >= 0 && onDoubleClick) {
        onDoubleClick(row);
      }
      return true;
    }
    case LVN_KEYDOWN:
      if (style_.checkBoxes && reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_SPACE && onToggle) {
        const std::vector<int> rows = Selected();
        if (!rows.empty()) onToggle(rows);
      }
      return true;
    case LVN_COLUMNCLICK:
      if (onColumnClick) onColumnClick(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
      return true;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
      if (onSelectionChange) onSelectionChange();
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK ListView::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                        DWORD_PTR data) {
  auto* list = reinterpret_cast<ListView*>(data);
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
    // Shift+F10 and the menu key open the menu here, once, whatever the system would send on their release.
    const bool menuKey = (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) &&
                         (wParam == VK_APPS || (wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0));
    const bool menuKeyUp = (msg == WM_KEYUP || msg == WM_SYSKEYUP) && (wParam == VK_APPS || wParam == VK_F10);
    const bool onRows = msg == WM_CONTEXTMENU && reinterpret_cast<HWND>(wParam) == hwnd;  // not the header
    if (list->onContextMenu && (menuKey || onRows)) {
      list->ShowContextMenu(menuKey ? -1 : lParam);
      return 0;
    }
    if (list->onContextMenu && menuKeyUp) return 0;
    if (msg == WM_SIZE) {
      const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
      list->FillLastColumn();
      return result;
    }
  } catch (...) {
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// At the mouse; from the keyboard, at the focused row (or the list's corner).
void ListView::ShowContextMenu(LPARAM at) {
  POINT point{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
  if (at == -1) {
    point = {0, 0};
    const int row = FocusedRow();
    RECT label{LVIR_LABEL};
    if (row >= 0 && SendMessageW(hwnd_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&label))) {
      point = {label.left, label.bottom};
    }
    ClientToScreen(hwnd_, &point);
  }
  const std::vector<PopupEntry> entries = onContextMenu();
  if (!entries.empty()) PopupMenu(GetAncestor(hwnd_, GA_ROOT), point, entries);
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
