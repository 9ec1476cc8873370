#include "shell/splash_window.h"

#include "ui/artwork.h"
#include "system/registry.h"
#include "shell/contact.h"
#include "shell/main_window.h"
#include "shell/settings.h"

namespace shell {

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 100;  // ms

}  // namespace

frmSplash::frmSplash()
    : Form({.caption = L"",
            .clientWidth = 6300,
            .clientHeight = 3300,
            .backColor = RGB(0, 0, 0),
            .titleBar = false}),
      imgLogo(*this, L"imgLogo", {420, 540, 1620, 1620},
              [](HDC dc, const RECT& rect, UINT) { platform::PaintLogo(dc, rect); }),
      lblProductName(*this, L"lblProductName", {2400, 480, 3600, 720}, L"Korvane"),
      lblVersion(*this, L"lblVersion", {2400, 1260, 3600, 300}, L"Version 1.48"),
      lblCompanyProduct(*this, L"lblCompanyProduct", {2400, 1620, 3600, 300}, kMakerLine),
      LblWeb(*this, L"LblWeb", {2400, 1980, 3600, 300}, kHomePage),
      LblLoad(*this, L"LblLoad", {420, 2700, 5460, 300}, L"Loading...") {
  for (platform::Label* label : {&lblProductName, &lblVersion, &lblCompanyProduct, &LblWeb, &LblLoad}) {
    label->SetTextColor(platform::kWhite);
    label->SetBackColor(platform::kTransparent);
  }
  lblProductName.SetFont({.pointsTenths = 280, .bold = true});
  lblVersion.SetFont({.bold = true});
  // A splash turned off never shows: its pictures and texts are made only when it does.
  for (platform::Control* control : Controls()) CreateLater(*control);
}

void frmSplash::Form_Load() {
  countdown_ = 1;
  StartTimer(kTimer1, kTimer1Interval, [this] { Timer1_Timer(); });
  if (platform::RegGetValue(platform::kCurrentUser, kSettingsKey, L"splash").EqualsNumber(0)) {
    wanted_ = false;
    Hide();
    platform::Instance<FrmMain>().Show();
    return;
  }
  for (platform::Control* control : Controls()) CreateNow(*control);
}

// The second tick unloads the window, about 200 ms after it was created.
void frmSplash::Timer1_Timer() {
  if (countdown_ != 0) {
    --countdown_;
  } else {
    Unload();
  }
}

void frmSplash::Form_Unload() { platform::Instance<FrmMain>().Show(); }

void StartUp() {
  auto& splash = platform::Instance<frmSplash>();
  if (splash.Wanted()) splash.Show();
}

}  // namespace shell
