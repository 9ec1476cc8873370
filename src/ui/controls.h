// Wrappers for the Windows controls a form holds. A control is declared as a
// member of its form with its name, place (twips) and caption, and created
// with the form's window; creation order is the keyboard tab order.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/twips.h"

namespace platform {

class Form;

inline constexpr COLORREF kTransparent = 0xFF000001;  // drawn over the form's background
inline constexpr COLORREF kTeal = RGB(0, 128, 128);
inline constexpr COLORREF kIntroColor = RGB(192, 64, 0);
inline constexpr COLORREF kWhite = RGB(255, 255, 255);

struct FontStyle {
  std::wstring face;  // empty: the system's message font
  int pointsTenths = 0;  // 0: the message font's size
  bool bold = false;
  bool underline = false;
};

class Control {
 public:
  Control(Form& form, std::wstring name, TwipsRect rect, std::wstring text);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  HWND Hwnd() const { return hwnd_; }
  const std::wstring& Name() const { return name_; }
  Form& Owner() const { return form_; }

  void SetText(std::wstring_view text);
  std::wstring Text() const;
  void SetVisible(bool visible);
  bool Visible() const;
  void Focus();
  bool HasFocus() const;

  // The hover description; code can read it back (the links keep their targets there).
  void SetToolTip(std::wstring_view text);
  const std::wstring& ToolTip() const { return toolTip_; }

  void SetFont(FontStyle font) { font_ = std::move(font); }
  void SetTextColor(COLORREF color) { textColor_ = color; }
  void SetBackColor(COLORREF color) { backColor_ = color; }
  COLORREF TextColor() const { return textColor_; }
  COLORREF BackColor() const { return backColor_; }
  void SetCursor(HCURSOR cursor) { cursor_ = cursor; }
  HCURSOR Cursor() const { return cursor_; }

  TwipsRect& Place() { return rect_; }
  // Positions the window at the form's DPI and gives it its font.
  virtual void Layout();
  // Where Layout puts the window, in the form's client pixels.
  RECT PlacePx() const;
  // Made with its form's window, or only when its form asks (Form::CreateNow).
  bool Created() const { return hwnd_ != nullptr; }

 protected:
  friend class Form;
  virtual void Create(HWND parent, int id) = 0;
  virtual void OnCommand(int /*code*/) {}
  virtual bool OnNotify(NMHDR* /*header*/, LRESULT* /*result*/) { return false; }
  virtual bool OnDrawItem(const DRAWITEMSTRUCT& /*item*/) { return false; }
  virtual int NaturalWidthPx() const;
  // The window's size at the form's DPI; its place is the rectangle's corner.
  virtual SIZE SizePx() const;
  // Makes the window in its place, with its font and its tool tip.
  void CreateWindowOf(const wchar_t* className, DWORD style, DWORD exStyle, HWND parent, int id);
  HFONT CurrentFont() const;

  Form& form_;
  std::wstring name_;
  TwipsRect rect_;
  std::wstring text_;  // the caption until the window exists
  std::wstring toolTip_;
  FontStyle font_;
  COLORREF textColor_ = CLR_INVALID;
  COLORREF backColor_ = CLR_INVALID;
  HCURSOR cursor_ = nullptr;
  HWND hwnd_ = nullptr;
  bool visible_ = true;
  bool createLater_ = false;

 private:
  void RegisterToolTip(bool mayExist);
};

// A label with onClick is a link: it is also a tab stop, and Enter or Space click it.
class Label : public Control {
 public:
  using Control::Control;
  std::function<void()> onClick;
  void SetCentred(bool centred) { centred_ = centred; }

 protected:
  void Create(HWND parent, int id) override;
  void OnCommand(int code) override;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  bool centred_ = false;
};

class Button : public Control {
 public:
  using Control::Control;
  std::function<void()> onClick;
  // Draws the face itself (a picture with its caption); plain push button otherwise.
  std::function<void(HDC, const RECT&, bool pressed, bool focused)> paintFace;
  // Runs onClick, as a press of the button does.
  void Click();

 protected:
  void Create(HWND parent, int id) override;
  void OnCommand(int code) override;
  bool OnDrawItem(const DRAWITEMSTRUCT& item) override;
};

// State 0 unchecked, 1 checked, 2 greyed. Changing the state from code raises
// onClick exactly as a click does; setting the state it has raises nothing.
// Every click changes the state, however quickly it follows the one before; a
// click on a greyed box unchecks it, as a three-state box goes on after greyed.
class CheckBox : public Control {
 public:
  using Control::Control;
  std::function<void()> onClick;
  int Value() const;
  void SetValue(int value);
  // Changes the state without raising onClick (to undo a refused change).
  void SetValueQuietly(int value);

 protected:
  void Create(HWND parent, int id) override;
  void OnCommand(int code) override;
  int NaturalWidthPx() const override;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  void SetKind(DWORD kind);
};

struct TextBoxStyle {
  bool multiline = false;
  bool readOnly = false;
  bool password = false;
};

class TextBox : public Control {
 public:
  TextBox(Form& form, std::wstring name, TwipsRect rect, std::wstring text, TextBoxStyle style = {});
  std::function<void()> onChange;
  // The character typed; return true to keep it from the box (Enter is 13).
  std::function<bool(wchar_t)> onKeyPress;
  std::function<void()> onGotFocus;
  std::function<void()> onClick;

 protected:
  void Create(HWND parent, int id) override;
  void OnCommand(int code) override;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  TextBoxStyle style_;
};

// Unthemed, so that its caption takes the colour its form hands it.
class GroupBox : public Control {
 public:
  using Control::Control;

 protected:
  void Create(HWND parent, int id) override;
};

// A drop-down list the user picks from and cannot type into.
class ComboBox : public Control {
 public:
  ComboBox(Form& form, std::wstring name, TwipsRect rect, std::vector<std::wstring> items);
  int ListIndex() const;  // -1 when nothing is selected
  void SetListIndex(int index);
  std::wstring SelectedText() const;
  // Selects the item with exactly this text; false when there is none.
  bool SelectText(std::wstring_view text);
  const std::vector<std::wstring>& Items() const { return items_; }
  // Replaces the list; nothing is selected after.
  void SetItems(std::vector<std::wstring> items);

 protected:
  void Create(HWND parent, int id) override;
  SIZE SizePx() const override;

 private:
  std::vector<std::wstring> items_;
};

class TabControl : public Control {
 public:
  TabControl(Form& form, std::wstring name, TwipsRect rect, std::vector<std::wstring> captions,
             int headerHeightTwips);
  std::function<void()> onClick;  // every change of page, by the user or by code
  int Tab() const;
  void SetTab(int index);

 protected:
  void Create(HWND parent, int id) override;
  void Layout() override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;

 private:
  void SizeHeaders();
  std::vector<std::wstring> captions_;
  int headerHeight_;
};

// Draws itself through a function: logos, page backgrounds, lines.
class Picture : public Control {
 public:
  using Painter = std::function<void(HDC, const RECT&, UINT dpi)>;
  Picture(Form& form, std::wstring name, TwipsRect rect, Painter painter);

 protected:
  void Create(HWND parent, int id) override;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  Painter painter_;
};

}  // namespace platform
