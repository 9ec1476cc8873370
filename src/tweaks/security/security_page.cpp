#include "tweaks/security/security_page.h"

#include <algorithm>

#include "tweaks/tweak_pages.h"
#include "tweaks/tweak_page.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "tweaks/security/enter_password.h"
#include "tweaks/security/password_store.h"
#include "tweaks/security/security_bindings.h"
#include "tweaks/security/set_password.h"

namespace tweaks {

namespace {

constexpr int kClientWidth = 8145;
constexpr int kGroupLeft = 600;
constexpr int kGroupTop = 1560;
constexpr int kGroupWidth = 6855;
constexpr int kGroupMargin = 120;

platform::TwipsRect PlaceInGroup(std::wstring_view control) {
  platform::TwipsRect place = SecurityBoxPlace(control);
  place.left += kGroupLeft;
  place.top += kGroupTop;
  return place;
}

}  // namespace

FrmSecTweaks::FrmSecTweaks()
    : Form({.caption = PageTitle(TweakPage::Security),
            .clientWidth = kClientWidth,
            .clientHeight = 5985,
            .backColor = platform::kWhite,
            .centred = true}),
      LblTweakIntro(*this, L"LblTweakIntro", {kGroupLeft, 120, 7200, 480},
                    L"Welcome to the Security tweak page, here you can perform various tweaks to restrict various "
                    L"features:"),
      LblPleaseRes(*this, L"LblPleaseRes", {kGroupLeft, 660, 7200, 420}, platform::kRestartNotice),
      LblHelp(*this, L"LblHelp", {kGroupLeft, 1140, 7200, 300}, platform::kHoverHelp),
      boxes(*this, SecurityBindings(), SecurityTabOrder(), &PlaceInGroup),
      FrmsecTweak(*this, L"FrmsecTweak", {kGroupLeft, kGroupTop, kGroupWidth, 4215}, L"Tweaks"),
      Label1(*this, L"Label1", {0, 0, 0, 0}, L"") {
  platform::StyleIntroLabel(LblTweakIntro);
  platform::StyleRestartLabel(LblPleaseRes);
  platform::StyleTweakGroup(FrmsecTweak);
  Label1.SetVisible(false);
  AddMenu({.menu = L"Tools", .caption = L"Set password", .action = [this] { MnuPass_Click(); }});
  AddMenu({.menu = L"More",
           .caption = L"Control Panel",
           .key = 'P',
           .modifiers = FCONTROL,
           .action = [] { ShowControlPanelPage(); }});
}

void FrmSecTweaks::Form_Load() { boxes.LoadAll(); }

void FrmSecTweaks::Form_Resize() {
  // A font wider than the one the layout was drawn for must not push a
  // caption across the frame: the group box grows to the right instead.
  int needed = kGroupWidth;
  for (const wchar_t* control : SecurityTabOrder()) {
    const RECT place = boxes.Box(control).PlacePx();
    needed = std::max(needed, MulDiv(place.right, 1440, static_cast<int>(Dpi())) - kGroupLeft + kGroupMargin);
  }
  const int width = std::min(needed, kClientWidth - kGroupLeft - kGroupMargin / 2);
  if (width == FrmsecTweak.Place().width) return;
  FrmsecTweak.Place().width = width;
  FrmsecTweak.Layout();
}

void FrmSecTweaks::Form_Activate() {
  if (Label1.Text() != L"ok") CheckPass();
}

void FrmSecTweaks::CheckPass() {
  if (StoredPassword().empty()) return;
  Hide();
  auto& ask = platform::Instance<FrmEntSecPAss>();
  ask.onAccepted = nullptr;  // the page's own question: a right password opens the page
  ask.Show();
}

void FrmSecTweaks::MnuPass_Click() { platform::Instance<FrmSecOpt>().Show(); }

}  // namespace tweaks
