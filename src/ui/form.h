// A thin layer over Win32 top-level windows: a form owns its controls, lays
// them out from twips at its own DPI, and dispatches to named handlers. Each
// form class has at most one instance (Instance<F>()).
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/twips.h"

namespace platform {

class Control;
struct FontStyle;

struct MenuEntry {
  std::wstring menu;     // the top-level menu's caption ("Tools")
  std::wstring caption;  // the entry's caption ("Preferences")
  WORD key = 0;          // accelerator virtual key, 0 for none
  BYTE modifiers = 0;    // FCONTROL, FSHIFT, FALT
  std::function<void()> action;
};

struct FormStyle {
  std::wstring caption;
  int clientWidth = 0;  // twips
  int clientHeight = 0;
  COLORREF backColor = CLR_INVALID;  // CLR_INVALID: the system's 3D face colour
  bool centred = true;
  bool minimizeBox = true;
  bool maximizeBox = false;
  bool titleBar = true;  // false: a bordered window with no title bar (a splash)
};

class Form {
 public:
  explicit Form(FormStyle style);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  HWND Hwnd() const { return hwnd_; }
  UINT Dpi() const { return dpi_; }
  int Px(int twips) const { return TwipsToPx(twips, dpi_); }

  // Visible, modeless, ownerless and active; an open window is brought forward.
  void Show();
  // Invisible; controls and their contents stay.
  void Hide();
  // Runs Form_Unload, then destroys the window; the next use loads it afresh.
  void Unload();
  bool Visible() const;

  void SetCaption(std::wstring_view caption);
  std::wstring Caption() const;

  // For tests and for the keyboard order: the controls in creation order.
  const std::vector<Control*>& Controls() const { return controls_; }
  Control* Find(std::wstring_view name) const;
  template <class C>
  C& Get(std::wstring_view name) const {
    return dynamic_cast<C&>(*Find(name));
  }
  // Runs the action of a menu entry, as its click or shortcut does.
  bool InvokeMenu(std::wstring_view caption);
  HACCEL Accelerators() const { return accel_; }

  // Called by Instance<F>(): creates the window and its controls, then runs Form_Load.
  void Load();
  void SetOnDestroyed(std::function<void()> onDestroyed) { onDestroyed_ = std::move(onDestroyed); }

  // Brush and text colour for a control; the form's own background by default.
  virtual HBRUSH ControlBackground(Control& control, HDC dc);
  HBRUSH SolidBrush(COLORREF color);
  HFONT Font(const FontStyle& style);
  HWND ToolTips();

  static Form* FromHwnd(HWND hwnd);
  // Ends the program: every form vanishes without its Form_Unload.
  static void EndProgram();
  static bool Ending();

 protected:
  virtual void Form_Load() {}
  virtual void Form_Activate() {}
  virtual void Form_Unload() {}
  // Runs once the controls stand in their places: at loading and after every relayout.
  virtual void Form_Resize() {}
  // Messages the form itself leaves alone (a worker's progress, WM_DEVICECHANGE); true when handled.
  virtual bool Form_Message(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT* /*result*/) { return false; }
  void AddMenu(MenuEntry entry);
  void StartTimer(UINT_PTR id, UINT milliseconds, std::function<void()> onTick);
  void StopTimer(UINT_PTR id);
  // Lays every control out again at the window's DPI (after a change of DPI).
  virtual void Relayout();
  // A control the window does not need at once (a page not shown) is left out
  // at loading and made by CreateNow, in its place in the keyboard order.
  static void CreateLater(Control& control);
  void CreateNow(Control& control);

 private:
  friend class Control;
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
  int Register(Control* control);
  Control* ControlFor(HWND hwnd) const;
  void BuildMenu();
  void SizeWindow(bool centre);
  void ClearFonts();

  FormStyle style_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  HMENU menu_ = nullptr;
  HACCEL accel_ = nullptr;
  HWND toolTips_ = nullptr;
  std::vector<Control*> controls_;
  std::vector<MenuEntry> menuEntries_;
  std::map<UINT_PTR, std::function<void()>> timers_;
  std::map<COLORREF, HBRUSH> brushes_;
  std::map<std::wstring, HFONT> fonts_;
  std::function<void()> onDestroyed_;
  HWND lastFocus_ = nullptr;  // the control that had the focus when the window was last left
};

template <class F>
F*& InstanceSlot() {
  static F* slot = nullptr;
  return slot;
}

// The one instance of a form class, created and loaded on first use.
template <class F>
F& Instance() {
  F*& slot = InstanceSlot<F>();
  if (!slot) {
    auto owned = std::make_unique<F>();
    slot = owned.get();
    owned->SetOnDestroyed([] { InstanceSlot<F>() = nullptr; });
    owned.release()->Load();
  }
  return *slot;
}

template <class F>
bool IsLoaded() {
  return InstanceSlot<F>() != nullptr;
}

// The program's one message loop: accelerators of the active form, then
// keyboard navigation, then dispatch.
int RunMessageLoop();
// Handles every message waiting now (tests and modal waits).
void PumpMessages();

}  // namespace platform
