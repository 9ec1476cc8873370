#include "ui/artwork.h"

#include <algorithm>
#include <string>

namespace platform {

namespace {

COLORREF Mix(COLORREF a, COLORREF b, int part, int whole) {
  auto channel = [&](int ca, int cb) { return ca + (cb - ca) * part / std::max(whole, 1); };
  return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
             channel(GetBValue(a), GetBValue(b)));
}

void VerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) {
  // One brush per band of rows that share a colour: a pale gradient has few.
  const int height = rect.bottom - rect.top;
  for (int y = 0; y < height;) {
    const COLORREF color = Mix(top, bottom, y, height);
    int end = y + 1;
    while (end < height && Mix(top, bottom, end, height) == color) ++end;
    RECT band{rect.left, rect.top + y, rect.right, rect.top + end};
    const HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &band, brush);
    DeleteObject(brush);
    y = end;
  }
}

void Caption(HDC dc, RECT rect, std::wstring_view caption, COLORREF color, bool pressed) {
  if (pressed) OffsetRect(&rect, 1, 1);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  const std::wstring text(caption);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void Focus(HDC dc, RECT rect) {
  InflateRect(&rect, -3, -3);
  DrawFocusRect(dc, &rect);
}

}  // namespace

void PaintLogo(HDC dc, const RECT& rect) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  const int side = std::min(w, h);
  const int x = rect.left + (w - side) / 2;
  const int y = rect.top + (h - side) / 2;
  // A teal shield with a white check mark, as on the program's icon.
  const POINT shield[] = {{x + side / 10, y + side / 12},     {x + side * 9 / 10, y + side / 12},
                          {x + side * 9 / 10, y + side / 2},  {x + side / 2, y + side * 19 / 20},
                          {x + side / 10, y + side / 2}};
  const HBRUSH fill = CreateSolidBrush(RGB(0, 128, 128));
  const HPEN edge = CreatePen(PS_SOLID, std::max(1, side / 40), RGB(0, 90, 90));
  const HGDIOBJ oldBrush = SelectObject(dc, fill);
  const HGDIOBJ oldPen = SelectObject(dc, edge);
  Polygon(dc, shield, 5);
  const HPEN tick = CreatePen(PS_SOLID, std::max(2, side / 9), RGB(255, 255, 255));
  SelectObject(dc, tick);
  const POINT mark[] = {{x + side * 3 / 10, y + side / 2}, {x + side * 45 / 100, y + side * 65 / 100},
                        {x + side * 72 / 100, y + side * 3 / 10}};
  Polyline(dc, mark, 3);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(fill);
  DeleteObject(edge);
  DeleteObject(tick);
}

void PaintNavButton(HDC dc, const RECT& rect, std::wstring_view caption, bool pressed, bool focused, bool current) {
  const COLORREF top = current ? RGB(0, 150, 150) : RGB(70, 110, 150);
  const COLORREF bottom = current ? RGB(0, 90, 90) : RGB(30, 60, 95);
  VerticalGradient(dc, rect, pressed ? bottom : top, pressed ? top : bottom);
  const HBRUSH frame = CreateSolidBrush(RGB(20, 40, 60));
  FrameRect(dc, &rect, frame);
  DeleteObject(frame);
  Caption(dc, rect, caption, RGB(255, 255, 255), pressed);
  if (focused) Focus(dc, rect);
}

void PaintPageBackground(HDC dc, const RECT& rect, int page) {
  static constexpr COLORREF kHues[] = {RGB(255, 255, 255), RGB(225, 238, 250), RGB(250, 236, 224),
                                       RGB(226, 244, 238), RGB(238, 232, 248)};
  const COLORREF hue = kHues[std::clamp(page, 0, 4)];
  VerticalGradient(dc, rect, RGB(255, 255, 255), hue);
}

void PaintLine(HDC dc, const RECT& rect, COLORREF color) {
  const HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void PaintButtonFace(HDC dc, const RECT& rect, std::wstring_view caption, bool pressed, bool focused) {
  VerticalGradient(dc, rect, pressed ? RGB(200, 220, 220) : RGB(250, 252, 252),
                   pressed ? RGB(250, 252, 252) : RGB(200, 220, 220));
  const HBRUSH frame = CreateSolidBrush(RGB(0, 110, 110));
  FrameRect(dc, &rect, frame);
  DeleteObject(frame);
  Caption(dc, rect, caption, RGB(0, 60, 60), pressed);
  if (focused) Focus(dc, rect);
}

}  // namespace platform
