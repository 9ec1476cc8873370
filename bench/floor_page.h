// The floor for a tweak page: the same windows as the page, made directly with
// CreateWindowExW and one window procedure. What to make is read once from the
// page itself (classes, styles, places, texts, fonts, colours, tool tips, menu)
// and from its table of bindings; opening the floor then does only Win32 work.
// The description can be kept in a file, so that a floor in a process of its
// own makes the page without ever having run Korvane's code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ui/form.h"
#include "tweaks/tweak_binding.h"

namespace bench {

// A tweak box's registry read, copied out of its binding.
struct FloorLoad {
  platform::RegRoot root = 0;
  std::wstring key;
  std::wstring name;
  bool numeric = false;
  std::int32_t number = 0;
  std::wstring text;
};

struct FloorControl {
  std::wstring className;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT place{};
  std::wstring text;
  LOGFONTW font{};
  COLORREF textColor = CLR_INVALID;
  COLORREF backColor = CLR_INVALID;
  std::wstring toolTip;
  std::vector<std::wstring> items;  // a combo box's list
  bool loads = false;  // a tweak box, checked when its load holds
  FloorLoad load;
};

struct FloorMenu {
  std::wstring caption;
  std::vector<std::wstring> entries;
};

struct FloorPage {
  std::wstring button;  // the main window's button that opens the page
  std::wstring caption;
  DWORD style = 0;
  SIZE client{};
  COLORREF backColor = CLR_INVALID;
  std::vector<FloorMenu> menu;
  std::vector<FloorControl> controls;
};

// Reads what the loaded form shows; the form is left as it was.
FloorPage Snapshot(const platform::Form& form, std::span<const platform::TweakBinding> table, COLORREF backColor);

// The floors' file: written by one program, read by another. Reading a file
// cut short or not of this layout gives no pages.
bool SaveFloors(const std::wstring& path, std::span<const FloorPage> pages);
std::vector<FloorPage> LoadFloors(const std::wstring& path);

// Makes the page, loads its boxes from the registry and shows it; returns the
// top-level window, up and painted.
HWND OpenFloor(const FloorPage& page);
// Destroys the floor's window and frees its fonts.
void CloseFloor(HWND hwnd);

}  // namespace bench
