#include "shell/main_window.h"

#include <string>

#include "system/app.h"
#include "ui/artwork.h"
#include "system/registry.h"
#include "repair/computer_check_window.h"
#include "repair/drive_check_window.h"
#include "shell/handover.h"
#include "shell/integration_window.h"
#include "shell/preferences_window.h"
#include "shell/settings.h"
#include "shell/undo_window.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "tweaks/ie/ie_page.h"
#include "tweaks/security/security_page.h"

namespace shell {

namespace {

using platform::TwipsRect;

constexpr int kMainClientWidth = 7650;
constexpr int kClientHeight = 5295;
constexpr int kHeaderHeight = 520;
constexpr int kNavWidth = 1530;
constexpr int kNavHeight = 375;
constexpr int kPageInset = 45;  // the tab control's border stays visible around a page's picture
constexpr UINT kHandoverRequest = WM_APP + 40;  // wParam: a drive letter, or 0 for the main window
constexpr UINT_PTR kHandoverTimer = 40;
constexpr UINT kHandoverTickMs = 250;

bool AnyWindowShown() {
  BOOL shown = FALSE;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM out) {
        if (!IsWindowVisible(hwnd)) return TRUE;
        *reinterpret_cast<BOOL*>(out) = TRUE;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&shown));
  return shown != FALSE;
}

constexpr const wchar_t* kNavNames[kPageCount][kPageCount] = {
    {L"Command1", L"Command2", L"Command3", L"Command4", L"Command5"},
    {L"CmdWel2", L"CmdInf2", L"CmdFix2", L"CmdAdd2", L"CmdAbout2"},
    {L"CmdWel3", L"CmdInf3", L"CmdFix3", L"CmdAdd3", L"CmdAbout3"},
    {L"CmdWel41", L"CmdInfo41", L"CmdFix41", L"CmdAdd41", L"Cmdabout41"},
    {L"CmdWel5", L"CmdInf5", L"CmdFix5", L"CmdAdd5", L"CmdAbout5"},
};
constexpr const wchar_t* kNavCaptions[kPageCount] = {L"Welcome!", L"Info", L"Fix", L"Tweak", L"About"};
constexpr const wchar_t* kTitles[kPageCount] = {L"Korvane - Welcome!", L"Korvane - Information",
                                                L"Korvane - Fix Disk Problems", L"Korvane - Tweak Main Menu",
                                                L"About Korvane"};

FrmMain::NavButtons MakeNav(FrmMain& form) {
  FrmMain::NavButtons nav;
  for (int page = 0; page < kPageCount; ++page) {
    for (int target = 0; target < kPageCount; ++target) {
      auto button = std::make_unique<platform::Button>(
          form, kNavNames[page][target], TwipsRect{target * kNavWidth, 0, kNavWidth, kNavHeight},
          kNavCaptions[target]);
      button->SetFont({.bold = true});
      button->onClick = [&form, target] { form.TabMain.SetTab(target); };
      platform::Button* raw = button.get();
      button->paintFace = [raw, page, target](HDC dc, const RECT& rect, bool pressed, bool focused) {
        platform::PaintNavButton(dc, rect, raw->Text(), pressed, focused, page == target);
      };
      nav[static_cast<std::size_t>(page)][static_cast<std::size_t>(target)] = std::move(button);
    }
  }
  return nav;
}

FrmMain::Backgrounds MakeBackgrounds(FrmMain& form) {
  FrmMain::Backgrounds backgrounds;
  for (int page = 0; page < kPageCount; ++page) {
    backgrounds[static_cast<std::size_t>(page)] = std::make_unique<platform::Picture>(
        form, L"PageBackground" + std::to_wstring(page),
        TwipsRect{kPageInset, kHeaderHeight + kPageInset, kMainClientWidth - 2 * kPageInset,
                  kClientHeight - kHeaderHeight - 2 * kPageInset},
        [page](HDC dc, const RECT& rect, UINT) { platform::PaintPageBackground(dc, rect, page); });
  }
  return backgrounds;
}

}  // namespace

FrmMain::FrmMain()
    : Form({.caption = platform::kAppTitle, .clientWidth = kMainClientWidth, .clientHeight = kClientHeight}),
      nav(MakeNav(*this)),
      welcome(*this),
      info(*this),
      fix(*this),
      tweak(*this),
      about(*this),
      backgrounds(MakeBackgrounds(*this)),
      TabMain(*this, L"TabMain", {0, 0, kMainClientWidth, kClientHeight},
              {L"Tab 0", L"Tab 1", L"Tab 2", L"Tab 3", L"Tab 4"}, kHeaderHeight) {
  pageStarts_ = {welcome.FirstControl(), info.FirstControl(), fix.FirstControl(), tweak.FirstControl(),
                 about.FirstControl()};
  pagesEnd_ = Controls().size() - kPageCount - 1;  // the backgrounds and TabMain follow the pages
  // The start page: the tab's name exactly, else the Welcome page. Only the page
  // shown needs its windows; each other page is made when it first shows.
  const std::wstring openTab = platform::RegGetValue(platform::kCurrentUser, kSettingsKey, L"opentab").Text();
  for (int page = 0; page < kPageCount; ++page) {
    if (openTab == kTabNames[page]) startPage_ = page;
  }
  for (platform::Control* control : Controls()) {
    const int page = PageOf(*control);
    if (page >= 0 && page != startPage_) CreateLater(*control);
  }
  TabMain.onClick = [this] { TabMain_Click(); };
  tweak.CmdSecTweak.onClick = [] { platform::Instance<tweaks::FrmSecTweaks>().Show(); };
  tweak.CmdAppTweak.onClick = [] { platform::Instance<tweaks::FrmAppTweaks>().Show(); };
  tweak.CmdIETweak.onClick = [] { platform::Instance<tweaks::FrmProgTweaks>().Show(); };
  tweak.CmdCplTweaks.onClick = [] { tweaks::ShowControlPanelPage(); };
  AddMenu({.menu = L"Tools",
           .caption = L"Preferences",
           .key = 'P',
           .modifiers = FCONTROL,
           .action = [this] { MnuPref_Click(); }});
  AddMenu({.menu = L"Help", .caption = L"FAQ", .key = VK_F1, .action = [this] { Mnufaq_Click(); }});
  AddMenu({.menu = L"Help", .caption = L"About", .action = [this] { MnuAbout_Click(); }});
  AddMenu({.menu = L"Tools", .caption = L"Undo Changes...", .action = [] { ShowUndoWindow(); }});
  AddMenu({.menu = L"Tools", .caption = L"Check a Drive...", .action = [this] { MnuCheckDrive_Click(); }});
  AddMenu({.menu = L"Tools", .caption = L"Check This Computer...", .action = [] { repair::ShowCheckComputer(); }});
  AddMenu({.menu = L"Tools", .caption = L"Windows Integration...", .action = [this] { MnuIntegration_Click(); }});
}

FrmMain::~FrmMain() { FreePageBrushes(); }

void FrmMain::FreePageBrushes() {
  for (auto& brush : pageBrushes_) {
    if (brush) DeleteObject(brush);
    brush = nullptr;
  }
  for (auto& bitmap : pageBitmaps_) {
    if (bitmap) DeleteObject(bitmap);
    bitmap = nullptr;
  }
}

int FrmMain::PageOf(const platform::Control& control) const {
  const auto& controls = Controls();
  for (int page = 0; page < kPageCount; ++page) {
    for (const auto& button : nav[static_cast<std::size_t>(page)]) {
      if (button.get() == &control) return page;
    }
    if (backgrounds[static_cast<std::size_t>(page)].get() == &control) return page;
    const std::size_t end = page + 1 < kPageCount ? pageStarts_[static_cast<std::size_t>(page) + 1] : pagesEnd_;
    for (std::size_t i = pageStarts_[static_cast<std::size_t>(page)]; i < end; ++i) {
      if (controls[i] == &control) return page;
    }
  }
  return -1;
}

void FrmMain::ShowPage(int page) {
  // Hide the old page before showing the new one, so focus never lands on a hidden control.
  for (platform::Control* control : Controls()) {
    const int owner = PageOf(*control);
    if (owner >= 0 && owner != page) control->SetVisible(false);
  }
  for (platform::Control* control : Controls()) {
    if (PageOf(*control) != page) continue;
    control->SetVisible(true);
    CreateNow(*control);
  }
}

void FrmMain::Form_Load() {
  shell::AcceptHandovers(Hwnd());
  // Selecting another start page shows it; the Welcome page is then never made.
  if (startPage_ == 0) {
    ShowPage(0);
  } else {
    TabMain.SetTab(startPage_);
  }
}

void FrmMain::MnuPref_Click() { platform::Instance<FrmOptions>().Show(); }

void FrmMain::MnuCheckDrive_Click() { repair::ShowCheckDrive(fix.TxtDriveletter.Text()); }

void FrmMain::MnuIntegration_Click() { platform::Instance<FrmIntegration>().Show(); }

void FrmMain::RequestCheck(wchar_t letter) {
  pendingCheck_ = letter;
  HandoverTick();
  if (pendingCheck_ || hiddenStart_) StartTimer(kHandoverTimer, kHandoverTickMs, [this] { HandoverTick(); });
}

void FrmMain::HandoverTick() {
  if (pendingCheck_ && repair::OpenDriveCheck(pendingCheck_, true)) pendingCheck_ = L'\0';
  // Started for a check, the program ends with its last window, as it would with the main one.
  if (hiddenStart_ && !pendingCheck_ && !Visible() && !AnyWindowShown()) {
    EndProgram();
    return;
  }
  if (!pendingCheck_ && !hiddenStart_) StopTimer(kHandoverTimer);
}

void FrmMain::ShowFromHandover() {
  hiddenStart_ = false;
  Show();
}

bool FrmMain::Form_Message(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (msg == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const auto request = data ? ReadHandover(*data) : std::nullopt;
    // Acted on once the sender is let go: it only waits to hear that the request was taken.
    if (request) PostMessageW(Hwnd(), kHandoverRequest, request->checkLetter, 0);
    *result = request ? TRUE : FALSE;
    return true;
  }
  if (msg == kHandoverRequest) {
    if (wParam) {
      RequestCheck(static_cast<wchar_t>(wParam));
    } else {
      ShowFromHandover();
    }
    return true;
  }
  return false;
}

void FrmMain::TabMain_Click() {
  const int page = TabMain.Tab();
  if (page < 0 || page >= kPageCount) return;
  ShowPage(page);
  SetCaption(kTitles[page]);
}

void FrmMain::Form_Unload() { EndProgram(); }

RECT FrmMain::PageRect() const {
  return RECT{Px(kPageInset), Px(kHeaderHeight + kPageInset), Px(kMainClientWidth - kPageInset),
              Px(kClientHeight - kPageInset)};
}

void FrmMain::Relayout() {
  Form::Relayout();
  FreePageBrushes();  // cut again at the new size when next needed
}

// Labels over a page's picture are painted with a brush cut from that picture;
// made when the page first shows, so pages never opened cost no memory.
HBRUSH FrmMain::PageBrush(int page) {
  const auto index = static_cast<std::size_t>(page);
  if (pageBrushes_[index]) return pageBrushes_[index];
  const RECT area = PageRect();
  const RECT local{0, 0, area.right - area.left, area.bottom - area.top};
  const HDC screen = GetDC(Hwnd());
  const HDC memory = CreateCompatibleDC(screen);
  pageBitmaps_[index] = CreateCompatibleBitmap(screen, local.right, local.bottom);
  const HGDIOBJ old = SelectObject(memory, pageBitmaps_[index]);
  platform::PaintPageBackground(memory, local, page);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(Hwnd(), screen);
  pageBrushes_[index] = CreatePatternBrush(pageBitmaps_[index]);
  return pageBrushes_[index];
}

HBRUSH FrmMain::ControlBackground(platform::Control& control, HDC dc) {
  const int page = PageOf(control);
  if (control.BackColor() != platform::kTransparent || page < 0) return Form::ControlBackground(control, dc);
  RECT place;
  GetWindowRect(control.Hwnd(), &place);
  MapWindowPoints(HWND_DESKTOP, Hwnd(), reinterpret_cast<POINT*>(&place), 2);
  const RECT area = PageRect();
  SetBrushOrgEx(dc, area.left - place.left, area.top - place.top, nullptr);
  return PageBrush(page);
}

void StartForCheck(wchar_t letter) {
  auto& main = platform::Instance<FrmMain>();
  main.hiddenStart_ = true;
  main.RequestCheck(letter);
}

}  // namespace shell
