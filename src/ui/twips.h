// Geometry is given in twips; 1440 twips are one inch at any DPI.
#pragma once

#include <windows.h>

namespace platform {

inline int TwipsToPx(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;  // 0: as wide as the caption needs (check boxes, labels)
  int height = 0;
};

}  // namespace platform
