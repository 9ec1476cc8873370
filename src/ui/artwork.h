// Korvane's pictures, drawn in code: the logo, the faces of the navigation
// buttons and the page backgrounds.
#pragma once

#include <windows.h>

#include <string_view>

namespace platform {

void PaintLogo(HDC dc, const RECT& rect);
void PaintNavButton(HDC dc, const RECT& rect, std::wstring_view caption, bool pressed, bool focused, bool current);
// A soft wash in the page's own hue (index 0 to 4).
void PaintPageBackground(HDC dc, const RECT& rect, int page);
void PaintLine(HDC dc, const RECT& rect, COLORREF color);
// A face for the program's other picture buttons.
void PaintButtonFace(HDC dc, const RECT& rect, std::wstring_view caption, bool pressed, bool focused);

}  // namespace platform
