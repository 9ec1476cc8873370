#include <gtest/gtest.h>

#include "ui/controls.h"
#include "ui/form.h"
#include "support/ui_helpers.h"

namespace {

using testing_support::Pump;

class GroupForm : public platform::Form {
 public:
  GroupForm()
      : Form({.caption = L"Groups", .clientWidth = 4000, .clientHeight = 2000, .backColor = platform::kWhite}),
        Coloured(*this, L"Coloured", {120, 120, 3600, 800}, L"Tweaks"),
        Plain(*this, L"Plain", {120, 1080, 3600, 800}, L"Tweaks") {
    Coloured.SetTextColor(platform::kTeal);
    Coloured.SetBackColor(platform::kWhite);
  }
  platform::GroupBox Coloured;
  platform::GroupBox Plain;
};

// How many pixels of the caption strip, as shown on screen, have exactly this colour.
int PixelsOfColour(const platform::Control& control, COLORREF colour) {
  RedrawWindow(control.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  const HDC dc = GetDC(control.Hwnd());
  RECT rect;
  GetClientRect(control.Hwnd(), &rect);
  int count = 0;
  for (int y = 0; y < 20 && y < rect.bottom; ++y) {
    for (int x = 0; x < rect.right / 2; ++x) count += GetPixel(dc, x, y) == colour ? 1 : 0;
  }
  ReleaseDC(control.Hwnd(), dc);
  return count;
}

TEST(GroupBoxTest, ACaptionColourOfItsOwnIsTheColourOnScreen) {
  auto& form = testing_support::ShowForm<GroupForm>();
  EXPECT_GT(PixelsOfColour(form.Coloured, platform::kTeal), 0);
  EXPECT_EQ(PixelsOfColour(form.Plain, platform::kTeal), 0);
  form.Coloured.SetText(L"Changed");
  Pump();
  EXPECT_GT(PixelsOfColour(form.Coloured, platform::kTeal), 0) << "a new caption keeps the colour";
  DestroyWindow(form.Hwnd());
  Pump();
}

}  // namespace
