#include "ui/form.h"

#include <commctrl.h>

#include <algorithm>
#include <set>

#include "system/app.h"
#include "ui/controls.h"

namespace platform {

namespace {

constexpr wchar_t kFormClass[] = L"KorvaneForm";
constexpr int kFirstControlId = 100;  // clear of IDOK and IDCANCEL, which navigation sends
constexpr int kFirstMenuId = 40000;

std::set<Form*>& LiveForms() {
  static std::set<Form*> forms;
  return forms;
}

Form*& LastActive() {
  static Form* form = nullptr;
  return form;
}

bool& EndingFlag() {
  static bool ending = false;
  return ending;
}

void RegisterFormClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = AppInstance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(AppInstance(), MAKEINTRESOURCEW(1));
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
  registered = true;
}

DWORD StyleFor(const FormStyle& form) {
  if (!form.titleBar) return WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (form.minimizeBox) style |= WS_MINIMIZEBOX;
  if (form.maximizeBox) style |= WS_MAXIMIZEBOX;
  return style;
}

}  // namespace

Form::Form(FormStyle style) : style_(std::move(style)) {}

Form::~Form() {
  ClearFonts();
  for (auto& [color, brush] : brushes_) DeleteObject(brush);
  if (accel_) DestroyAcceleratorTable(accel_);
}

Form* Form::FromHwnd(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return LiveForms().count(form) ? form : nullptr;
}

bool Form::Ending() { return EndingFlag(); }

void Form::EndProgram() {
  EndingFlag() = true;
  const std::vector<Form*> forms(LiveForms().begin(), LiveForms().end());
  for (Form* form : forms) {
    if (LiveForms().count(form) && form->hwnd_) DestroyWindow(form->hwnd_);
  }
  EndingFlag() = false;
  PostQuitMessage(0);
}

int Form::Register(Control* control) {
  controls_.push_back(control);
  return kFirstControlId + static_cast<int>(controls_.size()) - 1;
}

void Form::AddMenu(MenuEntry entry) { menuEntries_.push_back(std::move(entry)); }

void Form::BuildMenu() {
  if (menuEntries_.empty()) return;
  menu_ = CreateMenu();
  std::vector<std::pair<std::wstring, HMENU>> popups;
  std::vector<ACCEL> accels;
  for (std::size_t i = 0; i < menuEntries_.size(); ++i) {
    const auto& entry = menuEntries_[i];
    auto it = std::find_if(popups.begin(), popups.end(), [&](const auto& p) { return p.first == entry.menu; });
    if (it == popups.end()) {
      popups.emplace_back(entry.menu, CreatePopupMenu());
      it = std::prev(popups.end());
    }
    const WORD id = static_cast<WORD>(kFirstMenuId + i);
    std::wstring caption = entry.caption;
    if (entry.key) {
      std::wstring keyName;
      if (entry.modifiers & FCONTROL) keyName += L"Ctrl+";
      if (entry.key >= VK_F1 && entry.key <= VK_F24) {
        keyName += L"F" + std::to_wstring(entry.key - VK_F1 + 1);
      } else {
        keyName += static_cast<wchar_t>(entry.key);
      }
      caption += L"\t" + keyName;
      accels.push_back(ACCEL{static_cast<BYTE>(FVIRTKEY | entry.modifiers), entry.key, id});
    }
    AppendMenuW(it->second, MF_STRING, id, caption.c_str());
  }
  for (auto& [caption, popup] : popups) {
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), caption.c_str());
  }
  if (!accels.empty()) accel_ = CreateAcceleratorTableW(accels.data(), static_cast<int>(accels.size()));
}

bool Form::InvokeMenu(std::wstring_view caption) {
  for (auto& entry : menuEntries_) {
    if (entry.caption == caption) {
      if (entry.action) entry.action();
      return true;
    }
  }
  return false;
}

void Form::Load() {
  RegisterFormClass();
  BuildMenu();
  hwnd_ = CreateWindowExW(0, kFormClass, style_.caption.c_str(), StyleFor(style_), CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu_, AppInstance(), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  LiveForms().insert(this);
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form::WndProc));
  dpi_ = GetDpiForWindow(hwnd_);
  // Sized first, so that each control is made once, in its place.
  SizeWindow(style_.centred);
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (!controls_[i]->createLater_) controls_[i]->Create(hwnd_, kFirstControlId + static_cast<int>(i));
  }
  Form_Resize();
  Form_Load();
}

void Form::CreateLater(Control& control) { control.createLater_ = true; }

void Form::CreateNow(Control& control) {
  if (!hwnd_ || control.hwnd_) return;
  const auto at = std::find(controls_.begin(), controls_.end(), &control);
  if (at == controls_.end()) return;
  control.Create(hwnd_, kFirstControlId + static_cast<int>(at - controls_.begin()));
  // A new child goes to the bottom of the z-order, which is the keyboard order:
  // right when no control made after it in creation order exists yet, else it
  // belongs just after the nearest control made before it.
  if (std::none_of(at + 1, controls_.end(), [](const Control* later) { return later->hwnd_ != nullptr; })) return;
  HWND after = HWND_TOP;
  for (auto before = at; before != controls_.begin();) {
    --before;
    if ((*before)->hwnd_) {
      after = (*before)->hwnd_;
      break;
    }
  }
  SetWindowPos(control.hwnd_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form::SizeWindow(bool centre) {
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
  RECT rect{0, 0, Px(style_.clientWidth), Px(style_.clientHeight)};
  AdjustWindowRectExForDpi(&rect, style, menu_ != nullptr, 0, dpi_);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (centre) {
    MONITORINFO info{sizeof info};
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &info);
    const RECT& work = info.rcWork;
    const int x = work.left + std::max(0L, (work.right - work.left - width) / 2);
    const int y = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
  // A menu bar that wraps takes client height; grow until the client area is whole.
  RECT client;
  GetClientRect(hwnd_, &client);
  if (client.bottom < Px(style_.clientHeight)) {
    RECT window;
    GetWindowRect(hwnd_, &window);
    SetWindowPos(hwnd_, nullptr, 0, 0, width, height + Px(style_.clientHeight) - client.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
}

void Form::Relayout() {
  for (Control* control : controls_) control->Layout();
  InvalidateRect(hwnd_, nullptr, TRUE);
  Form_Resize();
}

void Form::Show() {
  const bool wasOpen = IsWindowVisible(hwnd_) != FALSE;
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetActiveWindow(hwnd_);
  // A hidden window that is shown and activated is on top already; raising it
  // again costs Wine a round of window moves.
  if (wasOpen) BringWindowToTop(hwnd_);
}

void Form::Hide() { ShowWindow(hwnd_, SW_HIDE); }

bool Form::Visible() const { return IsWindowVisible(hwnd_) != FALSE; }

void Form::Unload() {
  const HWND hwnd = hwnd_;
  if (!Ending()) Form_Unload();
  // Form_Unload of the main window ends the program, which has destroyed this form already.
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
}

void Form::SetCaption(std::wstring_view caption) {
  style_.caption = caption;
  SetWindowTextW(hwnd_, style_.caption.c_str());
}

std::wstring Form::Caption() const {
  const int length = GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  GetWindowTextW(hwnd_, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

Control* Form::Find(std::wstring_view name) const {
  for (Control* control : controls_) {
    if (control->Name() == name) return control;
  }
  return nullptr;
}

// HWND is an opaque handle; cppcheck takes it for a data pointer that could point to const.
// cppcheck-suppress constParameter
Control* Form::ControlFor(HWND hwnd) const {
  // No window is no control: a control not made yet has none either.
  if (!hwnd) return nullptr;
  for (Control* control : controls_) {
    if (control->Hwnd() == hwnd) return control;
  }
  return nullptr;
}

void Form::StartTimer(UINT_PTR id, UINT milliseconds, std::function<void()> onTick) {
  timers_[id] = std::move(onTick);
  SetTimer(hwnd_, id, milliseconds, nullptr);
}

void Form::StopTimer(UINT_PTR id) {
  KillTimer(hwnd_, id);
  timers_.erase(id);
}

HBRUSH Form::SolidBrush(COLORREF color) {
  auto& brush = brushes_[color];
  if (!brush) brush = CreateSolidBrush(color);
  return brush;
}

HFONT Form::Font(const FontStyle& style) {
  const std::wstring key = style.face + L"|" + std::to_wstring(style.pointsTenths) + (style.bold ? L"|b" : L"|n") +
                           (style.underline ? L"u" : L"");
  auto& font = fonts_[key];
  if (!font) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_);
    LOGFONTW logFont = metrics.lfMessageFont;
    if (!style.face.empty()) {
      logFont.lfFaceName[style.face.copy(logFont.lfFaceName, LF_FACESIZE - 1)] = L'\0';
      logFont.lfCharSet = DEFAULT_CHARSET;
    }
    if (style.pointsTenths > 0) logFont.lfHeight = -MulDiv(style.pointsTenths, static_cast<int>(dpi_), 720);
    logFont.lfWeight = style.bold ? FW_BOLD : FW_NORMAL;
    logFont.lfUnderline = style.underline ? TRUE : FALSE;
    font = CreateFontIndirectW(&logFont);
  }
  return font;
}

void Form::ClearFonts() {
  for (auto& [key, font] : fonts_) DeleteObject(font);
  fonts_.clear();
}

HWND Form::ToolTips() {
  if (!toolTips_) {
    toolTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                AppInstance(), nullptr);
    SendMessageW(toolTips_, TTM_SETMAXTIPWIDTH, 0, Px(6000));
    SendMessageW(toolTips_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
  }
  return toolTips_;
}

HBRUSH Form::ControlBackground(Control& control, HDC dc) {
  COLORREF back = control.BackColor();
  if (back == kTransparent || back == CLR_INVALID) back = style_.backColor;
  if (back == CLR_INVALID) back = GetSysColor(COLOR_BTNFACE);
  SetBkColor(dc, back);
  return SolidBrush(back);
}

LRESULT CALLBACK Form::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Form* form = FromHwnd(hwnd);
  if (!form) return DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    return form->Handle(msg, wParam, lParam);
  } catch (...) {
    // Nothing may unwind into user32; a handler that failed has done what it could.
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT Form::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id >= kFirstMenuId && id < kFirstMenuId + static_cast<int>(menuEntries_.size())) {
        if (auto& action = menuEntries_[static_cast<std::size_t>(id - kFirstMenuId)].action) action();
        return 0;
      }
      if (Control* control = ControlFor(reinterpret_cast<HWND>(lParam))) {
        control->OnCommand(HIWORD(wParam));
        return 0;
      }
      // IDCANCEL from Esc, through dialog navigation: the window may take it.
      LRESULT result = 0;
      if (Form_Message(msg, wParam, lParam, &result)) return result;
      return 0;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      LRESULT result = 0;
      if (Control* control = ControlFor(header->hwndFrom)) {
        if (control->OnNotify(header, &result)) return result;
      }
      break;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (Control* control = ControlFor(item->hwndItem)) {
        if (control->OnDrawItem(*item)) return TRUE;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      const HDC dc = reinterpret_cast<HDC>(wParam);
      Control* control = ControlFor(reinterpret_cast<HWND>(lParam));
      if (!control) break;
      if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX) {
        if (control->BackColor() == CLR_INVALID) break;
        SetBkColor(dc, control->BackColor());
        if (control->TextColor() != CLR_INVALID) ::SetTextColor(dc, control->TextColor());
        return reinterpret_cast<LRESULT>(SolidBrush(control->BackColor()));
      }
      ::SetTextColor(dc, control->TextColor() != CLR_INVALID ? control->TextColor() : GetSysColor(COLOR_WINDOWTEXT));
      if (control->BackColor() == kTransparent) SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<LRESULT>(ControlBackground(*control, dc));
    }
    case WM_ERASEBKGND: {
      RECT rect;
      GetClientRect(hwnd_, &rect);
      const COLORREF back = style_.backColor == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : style_.backColor;
      FillRect(reinterpret_cast<HDC>(wParam), &rect, SolidBrush(back));
      return TRUE;
    }
    case WM_SETCURSOR: {
      if (Control* control = ControlFor(reinterpret_cast<HWND>(wParam))) {
        if (control->Cursor() && LOWORD(lParam) == HTCLIENT) {
          ::SetCursor(control->Cursor());
          return TRUE;
        }
      }
      break;
    }
    case WM_TIMER: {
      auto it = timers_.find(wParam);
      if (it != timers_.end()) {
        auto tick = it->second;  // the tick may unload this form
        tick();
      }
      return 0;
    }
    case WM_ACTIVATE: {
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
      }
      // The default handling gives the focus to the window (and on to its last
      // control); it comes first so that a focus Form_Activate moves stays put.
      const LRESULT result = DefWindowProcW(hwnd_, msg, wParam, lParam);
      // Runs when the window becomes the program's active window coming from
      // another of its windows, not when the user returns from another program.
      if (LOWORD(wParam) != WA_INACTIVE && LastActive() != this) {
        LastActive() = this;
        Form_Activate();
      }
      return result;
    }
    case WM_SETFOCUS: {
      // As in a dialog, the focus goes on to the control that had it last, or
      // to the first one in the keyboard order.
      HWND target = lastFocus_;
      if (!target || !IsChild(hwnd_, target) || !IsWindowVisible(target) || !IsWindowEnabled(target)) {
        target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
      }
      if (target && target != hwnd_) {
        SetFocus(target);
        return 0;
      }
      break;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wParam);
      ClearFonts();
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      Relayout();
      if (toolTips_) SendMessageW(toolTips_, TTM_SETMAXTIPWIDTH, 0, Px(6000));
      return 0;
    }
    case WM_CLOSE:
      // Disabled, it waits for a message box: the code waiting for the answer still needs the window.
      if (!IsWindowEnabled(hwnd_)) return 0;
      Unload();
      return 0;
    case WM_NCDESTROY: {
      LiveForms().erase(this);
      if (LastActive() == this) LastActive() = nullptr;
      for (auto& [id, tick] : timers_) KillTimer(hwnd_, id);
      const LRESULT result = DefWindowProcW(hwnd_, msg, wParam, lParam);
      hwnd_ = nullptr;
      auto onDestroyed = std::move(onDestroyed_);
      delete this;
      if (onDestroyed) onDestroyed();
      return result;
    }
    default: {
      LRESULT result = 0;
      if (Form_Message(msg, wParam, lParam, &result)) return result;
      break;
    }
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

namespace {

// Shortcuts of the active form first (Ctrl+P differs between windows), then
// Tab, arrows and Enter handled as in a dialog.
bool Translated(MSG& msg) {
  const HWND active = GetActiveWindow();
  Form* form = Form::FromHwnd(active);
  if (!form) return false;
  if (form->Accelerators() && TranslateAcceleratorW(active, form->Accelerators(), &msg)) return true;
  return IsDialogMessageW(active, &msg) != FALSE;
}

}  // namespace

int RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (Translated(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT || Translated(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace platform
