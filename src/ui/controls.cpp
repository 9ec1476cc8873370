#include "ui/controls.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "system/app.h"
#include "ui/form.h"

namespace platform {

Control::Control(Form& form, std::wstring name, TwipsRect rect, std::wstring text)
    : form_(form), name_(std::move(name)), rect_(rect), text_(std::move(text)) {
  form_.Register(this);
}

void Control::CreateWindowOf(const wchar_t* className, DWORD style, DWORD exStyle, HWND parent, int id) {
  if (visible_) style |= WS_VISIBLE;
  const RECT place = PlacePx();
  hwnd_ = CreateWindowExW(exStyle, className, text_.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, place.left,
                          place.top, place.right - place.left, place.bottom - place.top, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), AppInstance(), nullptr);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(CurrentFont()), FALSE);
  if (!toolTip_.empty()) RegisterToolTip(false);
}

HFONT Control::CurrentFont() const { return form_.Font(font_); }

// Measured before the window exists too, so that it is made in its place at
// once; one memory DC serves every measure (a screen DC costs a trip to the server).
int Control::NaturalWidthPx() const {
  static const HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, CurrentFont());
  const std::wstring text = Text();
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  return size.cx + form_.Px(60);
}

SIZE Control::SizePx() const {
  return {rect_.width > 0 ? form_.Px(rect_.width) : NaturalWidthPx(), form_.Px(rect_.height)};
}

RECT Control::PlacePx() const {
  const SIZE size = SizePx();
  const int left = form_.Px(rect_.left);
  const int top = form_.Px(rect_.top);
  return {left, top, left + size.cx, top + size.cy};
}

void Control::Layout() {
  if (!hwnd_) return;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(CurrentFont()), FALSE);
  const RECT place = PlacePx();
  SetWindowPos(hwnd_, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Control::SetText(std::wstring_view text) {
  text_ = text;
  if (hwnd_) SetWindowTextW(hwnd_, text_.c_str());
}

std::wstring Control::Text() const {
  if (!hwnd_) return text_;
  const int length = GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd_, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(got));
  return text;
}

void Control::SetVisible(bool visible) {
  visible_ = visible;
  if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

bool Control::Visible() const { return hwnd_ ? IsWindowVisible(hwnd_) != FALSE : visible_; }

void Control::Focus() {
  if (hwnd_) SetFocus(hwnd_);
}

bool Control::HasFocus() const { return hwnd_ && GetFocus() == hwnd_; }

void Control::SetToolTip(std::wstring_view text) {
  toolTip_ = text;
  if (hwnd_) RegisterToolTip(true);
}

// A window just made has no tool yet: asking would cost a message per control.
void Control::RegisterToolTip(bool mayExist) {
  TTTOOLINFOW info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = GetParent(hwnd_);
  info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  const HWND tips = form_.ToolTips();
  // Asking whether the tool exists must not copy its old text over ours.
  const bool exists = mayExist && SendMessageW(tips, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
  info.lpszText = toolTip_.data();
  SendMessageW(tips, exists ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

// Labels notify so that they can be clicked and show their tool tips.
void Label::Create(HWND parent, int id) {
  const DWORD link = onClick ? WS_TABSTOP : 0;
  CreateWindowOf(L"STATIC", link | SS_NOTIFY | SS_NOPREFIX | (centred_ ? SS_CENTER : SS_LEFT), 0, parent, id);
  if (onClick) SetWindowSubclass(hwnd_, &Label::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

namespace {

bool IsPressKey(WPARAM key) { return key == VK_RETURN || key == VK_SPACE; }

// Repaints the parent under the label too: a see-through label cannot wipe its old focus rectangle.
void RepaintWithParent(HWND hwnd) {
  RECT rect;
  GetWindowRect(hwnd, &rect);
  const HWND parent = GetParent(hwnd);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  RedrawWindow(parent, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace

LRESULT CALLBACK Label::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                     DWORD_PTR data) {
  auto* label = reinterpret_cast<Label*>(data);
  try {
    switch (msg) {
      case WM_GETDLGCODE:
        if (lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
            IsPressKey(reinterpret_cast<const MSG*>(lParam)->wParam)) {
          return DefSubclassProc(hwnd, msg, wParam, lParam) | DLGC_WANTMESSAGE;
        }
        break;
      case WM_KEYDOWN:
        if (IsPressKey(wParam) && label->onClick) {
          label->onClick();
          return 0;
        }
        break;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        RepaintWithParent(hwnd);
        break;
      case WM_PAINT: {
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        if (GetFocus() == hwnd) {
          RECT rect;
          GetClientRect(hwnd, &rect);
          const HDC dc = GetDC(hwnd);
          DrawFocusRect(dc, &rect);
          ReleaseDC(hwnd, dc);
        }
        return result;
      }
      case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &Label::SubclassProc, 1);
        break;
      default:
        break;
    }
  } catch (...) {
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void Label::OnCommand(int code) {
  if (code == STN_CLICKED && onClick) onClick();
}

void Button::Create(HWND parent, int id) {
  CreateWindowOf(L"BUTTON", WS_TABSTOP | (paintFace ? BS_OWNERDRAW : BS_PUSHBUTTON), 0, parent, id);
}

void Button::Click() {
  if (onClick) onClick();
}

void Button::OnCommand(int code) {
  if (code == BN_CLICKED) Click();
}

bool Button::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (!paintFace) return false;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const HGDIOBJ old = SelectObject(item.hDC, CurrentFont());
  paintFace(item.hDC, item.rcItem, pressed, focused);
  SelectObject(item.hDC, old);
  return true;
}

void CheckBox::Create(HWND parent, int id) {
  CreateWindowOf(L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX | BS_NOTIFY, 0, parent, id);
  SetWindowSubclass(hwnd_, &CheckBox::SubclassProc, 1, 0);
}

// A notifying button takes a quick second press for a double-click and neither
// changes nor reports a click; the person meant a second click.
LRESULT CALLBACK CheckBox::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                        DWORD_PTR /*data*/) {
  if (msg == WM_LBUTTONDBLCLK) return DefSubclassProc(hwnd, WM_LBUTTONDOWN, wParam, lParam);
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &CheckBox::SubclassProc, 1);
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

int CheckBox::Value() const {
  switch (SendMessageW(hwnd_, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
      return 1;
    case BST_INDETERMINATE:
      return 2;
    default:
      return 0;
  }
}

void CheckBox::SetValue(int value) {
  if (Value() == value) return;
  SetValueQuietly(value);
  if (onClick) onClick();
}

// The box is three-state only while greyed, so that clicks never cycle into greyed.
void CheckBox::SetKind(DWORD kind) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
  if ((style & BS_TYPEMASK) != kind) SendMessageW(hwnd_, BM_SETSTYLE, (style & 0xFFFF & ~BS_TYPEMASK) | kind, FALSE);
}

void CheckBox::SetValueQuietly(int value) {
  SetKind(value == 2 ? BS_AUTO3STATE : BS_AUTOCHECKBOX);
  const WPARAM state = value == 2 ? BST_INDETERMINATE : value ? BST_CHECKED : BST_UNCHECKED;
  SendMessageW(hwnd_, BM_SETCHECK, state, 0);
}

void CheckBox::OnCommand(int code) {
  if (code != BN_CLICKED) return;
  if (Value() != 2) SetKind(BS_AUTOCHECKBOX);
  if (onClick) onClick();
}

int CheckBox::NaturalWidthPx() const {
  return Control::NaturalWidthPx() + GetSystemMetricsForDpi(SM_CXMENUCHECK, form_.Dpi());
}

TextBox::TextBox(Form& form, std::wstring name, TwipsRect rect, std::wstring text, TextBoxStyle style)
    : Control(form, std::move(name), rect, std::move(text)), style_(style) {}

void TextBox::Create(HWND parent, int id) {
  DWORD style = WS_TABSTOP;
  if (style_.multiline) {
    style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
  } else {
    style |= ES_AUTOHSCROLL;
  }
  if (style_.readOnly) style |= ES_READONLY;
  if (style_.password) style |= ES_PASSWORD;
  CreateWindowOf(L"EDIT", style, WS_EX_CLIENTEDGE, parent, id);
  if (style_.password) SendMessageW(hwnd_, EM_SETPASSWORDCHAR, L'*', 0);
  SetWindowSubclass(hwnd_, &TextBox::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void TextBox::OnCommand(int code) {
  if (code == EN_CHANGE && onChange) onChange();
  if (code == EN_SETFOCUS && onGotFocus) onGotFocus();
}

LRESULT CALLBACK TextBox::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                       DWORD_PTR data) {
  auto* box = reinterpret_cast<TextBox*>(data);
  try {
    switch (msg) {
      case WM_GETDLGCODE:
        // Enter belongs to a box that handles key presses, not to dialog navigation.
        if (box->onKeyPress && lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN) {
          return DefSubclassProc(hwnd, msg, wParam, lParam) | DLGC_WANTALLKEYS;
        }
        // Tab leaves a box the user only reads, instead of trapping the keyboard there.
        if (box->style_.readOnly && lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lParam)->wParam == VK_TAB) {
          return DefSubclassProc(hwnd, msg, wParam, lParam) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
        }
        break;
      case WM_CHAR:
        if (box->onKeyPress && box->onKeyPress(static_cast<wchar_t>(wParam))) return 0;
        break;
      case WM_LBUTTONUP: {
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        if (box->onClick) box->onClick();
        return result;
      }
      case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &TextBox::SubclassProc, 1);
        break;
      default:
        break;
    }
  } catch (...) {
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void GroupBox::Create(HWND parent, int id) {
  CreateWindowOf(L"BUTTON", BS_GROUPBOX, WS_EX_TRANSPARENT, parent, id);
  // Themed group boxes ignore the caption colour the form hands them. Wine keeps
  // the theme for an empty name; a blank one turns it off there and on Windows.
  SetWindowTheme(hwnd_, L" ", L" ");
}

ComboBox::ComboBox(Form& form, std::wstring name, TwipsRect rect, std::vector<std::wstring> items)
    : Control(form, std::move(name), rect, L""), items_(std::move(items)) {}

void ComboBox::Create(HWND parent, int id) {
  CreateWindowOf(L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, parent, id);
  for (const auto& item : items_) SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

// The height given is the closed box; the list drops below it.
SIZE ComboBox::SizePx() const {
  return {form_.Px(rect_.width), form_.Px(rect_.height) * (static_cast<int>(items_.size()) + 2)};
}

void ComboBox::SetItems(std::vector<std::wstring> items) {
  items_ = std::move(items);
  if (!hwnd_) return;
  SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
  for (const auto& item : items_) SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  Layout();
}

int ComboBox::ListIndex() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)); }

void ComboBox::SetListIndex(int index) { SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

std::wstring ComboBox::SelectedText() const {
  const int index = ListIndex();
  return index >= 0 && index < static_cast<int>(items_.size()) ? items_[static_cast<std::size_t>(index)]
                                                               : std::wstring();
}

bool ComboBox::SelectText(std::wstring_view text) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == text) {
      SetListIndex(static_cast<int>(i));
      return true;
    }
  }
  return false;
}

TabControl::TabControl(Form& form, std::wstring name, TwipsRect rect, std::vector<std::wstring> captions,
                       int headerHeightTwips)
    : Control(form, std::move(name), rect, L""), captions_(std::move(captions)), headerHeight_(headerHeightTwips) {}

void TabControl::Create(HWND parent, int id) {
  CreateWindowOf(WC_TABCONTROLW, TCS_FIXEDWIDTH | TCS_FOCUSNEVER, 0, parent, id);
  for (std::size_t i = 0; i < captions_.size(); ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = captions_[i].data();
    SendMessageW(hwnd_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  SizeHeaders();
}

void TabControl::Layout() {
  Control::Layout();
  if (hwnd_) SizeHeaders();
}

// The headers share the row evenly, less the control's own edge, so no scroll arrows appear.
void TabControl::SizeHeaders() {
  if (captions_.empty()) return;
  const int width = (form_.Px(rect_.width) - 4) / static_cast<int>(captions_.size());
  SendMessageW(hwnd_, TCM_SETITEMSIZE, 0, MAKELPARAM(width, form_.Px(headerHeight_)));
}

int TabControl::Tab() const { return static_cast<int>(SendMessageW(hwnd_, TCM_GETCURSEL, 0, 0)); }

void TabControl::SetTab(int index) {
  if (Tab() == index) return;
  SendMessageW(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  if (onClick) onClick();
}

bool TabControl::OnNotify(NMHDR* header, LRESULT* result) {
  if (header->code != TCN_SELCHANGE) return false;
  if (onClick) onClick();
  *result = 0;
  return true;
}

Picture::Picture(Form& form, std::wstring name, TwipsRect rect, Painter painter)
    : Control(form, std::move(name), rect, L""), painter_(std::move(painter)) {}

void Picture::Create(HWND parent, int id) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Picture::WndProc;
    wc.hInstance = AppInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"KorvanePicture";
    RegisterClassExW(&wc);
    registered = true;
  }
  CreateWindowOf(L"KorvanePicture", 0, 0, parent, id);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT CALLBACK Picture::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* picture = reinterpret_cast<Picture*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      const HDC dc = BeginPaint(hwnd, &ps);
      RECT rect;
      GetClientRect(hwnd, &rect);
      // What lies behind the picture first: the parent's brush for this control.
      const auto behind = reinterpret_cast<HBRUSH>(
          SendMessageW(GetParent(hwnd), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
      if (behind) FillRect(dc, &rect, behind);
      try {
        if (picture && picture->painter_) picture->painter_(dc, rect, picture->form_.Dpi());
      } catch (...) {
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_NCHITTEST:
      return HTTRANSPARENT;  // clicks go through to whatever lies beneath
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace platform
