// Looks at what a window really shows: where controls sit, whether texts fit,
// which colours are painted, what a tool tip says.
#pragma once

#include <windows.h>

#include <string>

#include "ui/controls.h"
#include "ui/form.h"

namespace testing_support {

// Twips in pixels at the DPI Windows gives the form's window, so that a size
// a test expects does not rest on the form's own idea of its DPI.
int Px(const platform::Form& form, int twips);
// The control's rectangle in its parent's client coordinates.
RECT InParent(const platform::Control& control);
// Whether the control's text, wrapped as a label wraps it, fits its rectangle.
bool TextFits(const platform::Control& control);
// Whether the caption fits as the control shows it: a label wraps it, a push
// button and a check box keep it on one line beside their edge or box.
bool CaptionFits(const platform::Control& control);
// Whether the control lies wholly inside its parent's client area.
bool InsideParent(const platform::Control& control);
// Saves what the screen shows of the window (frame included) as a 24-bit BMP.
bool SaveWindowBitmap(HWND hwnd, const std::wstring& path);
// How many pixels of exactly this colour the control shows once painted.
int PixelsOf(const platform::Control& control, COLORREF color);
// The text the form's tool tip window holds for the control.
std::wstring ShownTip(platform::Form& form, const platform::Control& control);

}  // namespace testing_support
