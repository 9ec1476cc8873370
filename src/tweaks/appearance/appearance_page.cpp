#include "tweaks/appearance/appearance_page.h"

#include <array>
#include <vector>

#include "ui/artwork.h"
#include "tweaks/tweak_pages.h"
#include "tweaks/tweak_page.h"

namespace tweaks {

namespace {

using platform::Delete;
using platform::EqualsText;
using platform::kCurrentUser;
using platform::kLocalMachine;
using platform::TwipsRect;
using platform::Write;

constexpr int kClientWidth = 8700;
constexpr int kClientHeight = 5040;
constexpr int kTweaksTop = 1380;
constexpr int kIconToolTop = 3120;

constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";
constexpr wchar_t kDesktopAsWritten[] = L"control panel\\desktop";
constexpr wchar_t kExplorerPolicies[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\explorer";
constexpr wchar_t kNtWindows[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
// One value whose name holds the comma and the blank.
constexpr wchar_t kErrorMode[] = L"NoPopUpsOnBoot, Error Mode";

// One row per box, in load order.
const std::vector<platform::TweakBinding>& Table() {
  static const std::vector<platform::TweakBinding> table = {
      {L"ChkClrType", L"clear-type-fonts", L"Enable Clear Type Fonts", L"Checking this activates a special type of font.", L"GetCtValue",
       EqualsText(kCurrentUser, kDesktop, L"FontSmoothing", L"2"),
       {Write(kCurrentUser, kDesktopAsWritten, L"Fontsmoothing", L"2"),
        Write(kCurrentUser, kDesktopAsWritten, L"Fontsmoothingtype", L"2")},
       {Write(kCurrentUser, kDesktopAsWritten, L"Fontsmoothing", L"1"),
        Write(kCurrentUser, kDesktopAsWritten, L"Fontsmoothingtype", L"1")}},
      {L"ChkSmoothScroll", L"smooth-scrolling", L"Enable Smooth scrolling", L"Checking this enables smooth scrolling(requires restart)",
       L"GetSmooth", EqualsText(kCurrentUser, kDesktop, L"SmoothScroll", L"1"),
       {Write(kCurrentUser, kDesktop, L"SmoothScroll", L"1")},
       {Delete(kCurrentUser, kDesktop, L"SmoothScroll")}},
      {L"ChkWinClassic", L"remove-my-computer-panel", L"Remove left panel in My computer",
       L"Checking this remove the left panel in my computer showing \"system tasks...etc\"(requires restart)",
       L"GetClassicVal", EqualsText(kCurrentUser, kExplorerPolicies, L"ClassicShell", L"1"),
       {Write(kCurrentUser, kExplorerPolicies, L"ClassicShell", L"1")},
       {Delete(kCurrentUser, kExplorerPolicies, L"ClassicShell")}},
      {L"ChkNoUserStart", L"hide-username-on-start", L"Do not show username on start",
       L"Checking this removes the username in the start menu(requires restart)", L"GetUserStartVal",
       EqualsText(kCurrentUser, kExplorerPolicies, L"NoUserNameInStartMenu", L"1"),
       {Write(kCurrentUser, kExplorerPolicies, L"NoUserNameInStartMenu", L"1")},
       {Delete(kCurrentUser, kExplorerPolicies, L"NoUserNameInStartMenu")}},
      {L"ChkVerDesktop", L"version-on-desktop", L"Windows version on desktop",
       L"Checking this displays the current windows version on the desktop(requires restart)", L"GetWinVerDesktop",
       EqualsText(kCurrentUser, kDesktop, L"PaintDesktopVersion", L"1"),
       {Write(kCurrentUser, kDesktop, L"PaintDesktopVersion", L"1")},
       {Delete(kCurrentUser, kDesktop, L"PaintDesktopVersion")}},
      {L"ChkErrorMsg", L"hide-startup-errors", L"Do not show error messages on startup",
       L"Checking this disables the error messages when your system starts up, eg: Automatic updates are turned "
       L"off.(requires restart)",
       L"GetErrorMsg", EqualsText(kLocalMachine, kNtWindows, kErrorMode, L"2"),
       {Write(kLocalMachine, kNtWindows, kErrorMode, L"2")},
       {Delete(kLocalMachine, kNtWindows, kErrorMode)}},
  };
  return table;
}

constexpr std::array<const wchar_t*, 6> kTabOrder = {L"ChkClrType",     L"ChkSmoothScroll", L"ChkWinClassic",
                                                     L"ChkNoUserStart", L"ChkVerDesktop",   L"ChkErrorMsg"};

// Two columns, three rows, in the order of the keyboard.
TwipsRect PlaceBox(std::wstring_view control) {
  for (std::size_t i = 0; i < kTabOrder.size(); ++i) {
    if (control == kTabOrder[i]) {
      const int column = static_cast<int>(i % 2);
      const int row = static_cast<int>(i / 2);
      return {360 + column * 4200, kTweaksTop + 330 + row * 360, 0, 300};
    }
  }
  return {};
}

}  // namespace

std::span<const platform::TweakBinding> AppearanceBindings() { return Table(); }

FrmAppTweaks::FrmAppTweaks()
    : Form({.caption = PageTitle(TweakPage::Appearance),
            .clientWidth = kClientWidth,
            .clientHeight = kClientHeight,
            .backColor = platform::kWhite}),
      icon(*this, {120, kIconToolTop, kClientWidth - 240, 1800}),
      boxes(*this, Table(), kTabOrder, &PlaceBox),
      FrameAppTweaks(*this, L"FrameAppTweaks", {120, kTweaksTop, kClientWidth - 240, 1500}, L"Tweaks"),
      LblTweakIntro(*this, L"LblTweakIntro", {240, 120, kClientWidth - 480, 480},
                    L"Welcome to the appearance tweak page, here you can perform various tweaks to optimize the "
                    L"look of your computer:"),
      LblPleaseRes(*this, L"LblPleaseRes", {240, 660, kClientWidth - 480, 300}, platform::kRestartNotice),
      LblHelp(*this, L"LblHelp", {240, 1020, kClientWidth - 480, 300}, platform::kHoverHelp),
      Line2(*this, L"Line2", {120, kIconToolTop - 120, kClientWidth - 240, 15},
            [](HDC dc, const RECT& rect, UINT) { platform::PaintLine(dc, rect, platform::kTeal); }) {
  platform::StyleIntroLabel(LblTweakIntro);
  platform::StyleRestartLabel(LblPleaseRes);
  platform::StyleTweakGroup(FrameAppTweaks);
}

void FrmAppTweaks::Form_Load() { boxes.LoadAll(); }

}  // namespace tweaks
