#include "tweaks/ie/ie_page.h"

#include <stdexcept>
#include <string_view>
#include <vector>

#include "tweaks/tweak_pages.h"
#include "tweaks/tweak_page.h"

namespace tweaks {

namespace {

using platform::Delete;
using platform::EqualsText;
using platform::kCurrentUser;
using platform::TwipsRect;
using platform::Write;

constexpr int kClientWidth = 8880;
constexpr int kClientHeight = 3300;
constexpr TwipsRect kGroup = {240, 1140, kClientWidth - 480, 1920};
constexpr int kBoxLeft = 240;  // from the group box's edges
constexpr int kFirstBox = 360;
constexpr int kBoxPitch = 360;
constexpr int kBoxHeight = 255;

const std::array<const wchar_t*, 4> kColumn = {L"ChkAC", L"ChkDefBro", L"ChkLockHP", L"ChkIEDown"};

TwipsRect ColumnPlace(std::wstring_view control) {
  for (std::size_t i = 0; i < kColumn.size(); ++i) {
    if (control == kColumn[i]) {
      return {kGroup.left + kBoxLeft, kGroup.top + kFirstBox + static_cast<int>(i) * kBoxPitch, 0, kBoxHeight};
    }
  }
  throw std::out_of_range("an Internet Explorer box has no place on the page");
}

}  // namespace

// Of the boxes that write two values, ChkAC reads back its second and the
// others their first; ChkAC and ChkDefBro write their "off" data rather than delete.
std::span<const platform::TweakBinding> IEBindings() {
  static const std::vector<platform::TweakBinding> table = {
      {L"ChkAC",
       L"auto-complete",
       L"Enable Auto Complete",
       L"Checking this saves a list of recent search terms in the IE toolbars for quick reference",
       L"GetAutoCompleteVal",
       EqualsText(kCurrentUser, kIEPolicyKey, L"FormSuggest", L"0"),
       {Write(kCurrentUser, kIEPolicyKey, L"formSuggest Passwords", L"0"),
        Write(kCurrentUser, kIEPolicyKey, L"formSuggest", L"0")},
       {Write(kCurrentUser, kIEPolicyKey, L"formSuggest Passwords", L"1"),
        Write(kCurrentUser, kIEPolicyKey, L"formSuggest", L"1")}},
      {L"ChkDefBro",
       L"check-default-browser",
       L"Check if Default Browser",
       L"Checking this makes internet explorer check if it is the default browser each time it starts",
       L"GetDefBroVal",
       EqualsText(kCurrentUser, kIEPolicyKey, L"Check_If_Default", L"1"),
       {Write(kCurrentUser, kIEPolicyKey, L"Check_If_Default", L"1")},
       {Write(kCurrentUser, kIEPolicyKey, L"Check_If_Default", L"0")}},
      {L"ChkLockHP",
       L"lock-home-page",
       L"Lock Current Home Page",
       L"Checking this locks the current homepage in internet explorer",
       L"GetHPLock",
       EqualsText(kCurrentUser, kIEPolicyKey, L"HomePage", L"1"),
       {Write(kCurrentUser, kIEPolicyKey, L"HomePage", L"1"), Write(kCurrentUser, kIEPolicyKey, L"NoSaveSettings", L"0")},
       {Delete(kCurrentUser, kIEPolicyKey, L"HomePage"), Delete(kCurrentUser, kIEPolicyKey, L"NoSaveSettings")}},
      {L"ChkIEDown",
       L"ten-downloads",
       L"Increase Max simultaneous downloads to 10",
       L"Checking this allows upto 10 simultaneous downloads to take place in internet explorer",
       L"GetIEDownNo",
       EqualsText(kCurrentUser, kConnectionKey, L"MaxConnectionsPer1_0Server", L"10"),
       {Write(kCurrentUser, kConnectionKey, L"MaxConnectionsPer1_0Server", L"10"),
        Write(kCurrentUser, kConnectionKey, L"MaxConnectionsPerServer", L"10")},
       {Delete(kCurrentUser, kConnectionKey, L"MaxConnectionsPer1_0Server"),
        Delete(kCurrentUser, kConnectionKey, L"MaxConnectionsPerServer")}},
  };
  return table;
}

FrmProgTweaks::FrmProgTweaks()
    : Form({.caption = PageTitle(TweakPage::InternetExplorer),
            .clientWidth = kClientWidth,
            .clientHeight = kClientHeight,
            .backColor = platform::kWhite}),
      LblTweakIntro(*this, L"LblTweakIntro", {240, 120, kClientWidth - 480, 255},
                    L"Here you can perform various functions to tweaks to optimize Internet Explorer"),
      LblPleaseRes(*this, L"LblPleaseRes", {240, 420, kClientWidth - 480, 255}, platform::kRestartNotice),
      LblHelp(*this, L"LblHelp", {240, 720, kClientWidth - 480, 255}, platform::kHoverHelp),
      FrameInternetTweaks(*this, L"FrameInternetTweaks", kGroup, L"Tweaks"),
      boxes(*this, IEBindings(), kColumn, &ColumnPlace) {
  platform::StyleIntroLabel(LblTweakIntro);
  platform::StyleRestartLabel(LblPleaseRes);
  platform::StyleTweakGroup(FrameInternetTweaks);
}

void FrmProgTweaks::Form_Load() { boxes.LoadAll(); }

}  // namespace tweaks
