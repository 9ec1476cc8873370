#include "tweaks/controlpanel/control_panel_page.h"

#include <algorithm>
#include <cwchar>
#include <stdexcept>
#include <string_view>

#include "tweaks/tweak_pages.h"
#include "tweaks/tweak_page.h"

namespace tweaks {

namespace {

using platform::TwipsRect;

constexpr int kMinClientWidth = 8640;
constexpr int kClientHeight = 7260;
constexpr int kMargin = 240;
constexpr TwipsRect kGroup = {240, 780, 0, 6240};  // its width follows from the columns
constexpr int kFirstRow = 480;  // below the group box's top edge
constexpr int kRowPitch = 480;
constexpr int kColumns[] = {240, 2880, 5400};  // from the group box's left edge
constexpr int kColumnGap = 120;  // at least between a caption and the next column
constexpr int kBoxHeight = 255;

constexpr const wchar_t* kGrid[][3] = {
    {L"ChkCplAccess", L"ChkCplHard", L"ChkJoy"},     {L"ChkCplAddRem", L"ChkCplIR", L"ChkLcs"},
    {L"ChkCplConsole", L"ChkCplRegOpt", L"ChkMouse"}, {L"Chkcpldate", L"ChkCplWWW", L"ChkMail"},
    {L"ChkCplDisp", L"ChkCplFax", L"ChkSound"},       {L"ChkModem", L"ChkNetwork", L"ChkDialup"},
    {L"ChkNetware", L"ChkODBC", L"ChkPCCard"},        {L"ChkPorts", L"ChkPower", L"ChkCam"},
    {L"ChkServer", L"ChkSpeech", L"ChkSystem"},       {L"ChkTele", L"ChkTweak", L"ChkUserMan"},
    {L"ChkWSP", L"ChkQT", L"ChkNorton"},              {L"ChkCompaq", nullptr, nullptr},
};

struct Grid {
  std::array<int, 3> columns;  // from the group box's left edge
  TwipsRect group;
  int clientWidth;
};

const wchar_t* CaptionOf(std::wstring_view control) {
  for (const auto& binding : CplBindings()) {
    if (control == binding.control) return binding.caption;
  }
  throw std::out_of_range("a Control Panel box has no binding");
}

// What a check box takes for its caption, as the box sizes itself: the check
// mark, the text in the message font, and a little room.
int BoxTwips(HDC dc, const wchar_t* caption) {
  SIZE size{};
  GetTextExtentPoint32W(dc, caption, static_cast<int>(std::wcslen(caption)), &size);
  return MulDiv(size.cx + GetSystemMetrics(SM_CXMENUCHECK), 1440, GetDeviceCaps(dc, LOGPIXELSX)) + 60;
}

// The columns stand where they were drawn, unless the widest caption of a column
// would run into the next one, as with fonts wider than the one they were drawn for.
Grid MeasureGrid() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  metrics.lfMessageFont.lfWeight = FW_NORMAL;
  const HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  const HDC dc = GetDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, font);
  Grid grid{{kColumns[0], kColumns[1], kColumns[2]}, kGroup, 0};
  int reach = 0;
  for (std::size_t column = 0; column < 3; ++column) {
    grid.columns[column] = std::max(grid.columns[column], reach + kColumnGap);
    for (const auto& row : kGrid) {
      if (row[column]) reach = std::max(reach, grid.columns[column] + BoxTwips(dc, CaptionOf(row[column])));
    }
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  grid.group.width = reach + kMargin;
  grid.clientWidth = std::max(kMinClientWidth, grid.group.left + grid.group.width + kMargin);
  return grid;
}

const Grid& CplGrid() {
  static const Grid grid = MeasureGrid();
  return grid;
}

TwipsRect GridPlace(std::wstring_view control) {
  const Grid& grid = CplGrid();
  for (int row = 0; row < static_cast<int>(std::size(kGrid)); ++row) {
    for (std::size_t column = 0; column < 3; ++column) {
      const wchar_t* name = kGrid[row][column];
      if (name && control == name) {
        return {grid.group.left + grid.columns[column], grid.group.top + kFirstRow + row * kRowPitch, 0,
                kBoxHeight};
      }
    }
  }
  throw std::out_of_range("a Control Panel box has no place in the grid");
}

}  // namespace

FrmCpl::FrmCpl()
    : Form({.caption = PageTitle(TweakPage::ControlPanel),
            .clientWidth = CplGrid().clientWidth,
            .clientHeight = kClientHeight,
            .backColor = platform::kWhite}),
      LblTweakIntro(*this, L"LblTweakIntro", {kMargin, 120, CplGrid().clientWidth - 2 * kMargin, 255},
                    L"Here you can show\\hide the various different categories in the control panel"),
      LblHelp(*this, L"LblHelp", {kMargin, 420, CplGrid().clientWidth - 2 * kMargin, 255}, platform::kHoverHelp),
      FrmCplContents(*this, L"FrmCplContents", CplGrid().group, L"Control Panel Tweaks"),
      boxes(*this, CplBindings(), kCplTabOrder, &GridPlace) {
  platform::StyleIntroLabel(LblTweakIntro);
  platform::StyleTweakGroup(FrmCplContents);
}

void FrmCpl::Form_Load() { boxes.LoadAll(); }

void ShowControlPanelPage() { platform::Instance<FrmCpl>().Show(); }

}  // namespace tweaks
