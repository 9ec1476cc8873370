#include "tweaks/tweak_catalog.h"

#include <span>
#include <stdexcept>

#include "journal/journal.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "tweaks/ie/ie_page.h"
#include "tweaks/security/security_bindings.h"

namespace tweaks {

namespace {

struct IdRow {
  const wchar_t* control;
  const wchar_t* name;
};

struct PageRow {
  const wchar_t* prefix;
  const wchar_t* title;
  std::span<const platform::TweakBinding> (*bindings)();
  bool passwordLocked;
  std::span<const IdRow> ids;
};

constexpr IdRow kSecurityIds[] = {
    {L"chkFO", L"disable-folder-options"},
    {L"ChkTM", L"disable-task-manager"},
    {L"ChkRE", L"disable-registry-editor"},
    {L"ChkCpl", L"disable-control-panel"},
    {L"ChkDispCpl", L"disable-display-properties"},
    {L"ChkDoc", L"lock-my-documents"},
    {L"ChkFind", L"disable-search"},
    {L"ChkRun", L"disable-run"},
    {L"ChkShut", L"disable-shutdown"},
    {L"ChkBeep", L"disable-cpu-beep"},
    {L"ChkCDAuto", L"disable-cd-autorun"},
    {L"ChkProg", L"hide-all-programs"},
    {L"ChkNoMyComp", L"disable-my-computer"},
    {L"ChkNoPinStart", L"remove-pinned-items"},
    {L"ChkRClick", L"disable-right-click"},
    {L"ChkMyCompMng", L"disable-manage"},
};

constexpr IdRow kControlPanelIds[] = {
    {L"ChkCplAccess", L"hide-accessibility"},
    {L"ChkCplAddRem", L"hide-add-remove-programs"},
    {L"ChkCplConsole", L"hide-console"},
    {L"Chkcpldate", L"hide-date-time"},
    {L"ChkCplDisp", L"hide-display"},
    {L"ChkCplHard", L"hide-hardware-wizard"},
    {L"ChkCplIR", L"hide-infrared"},
    {L"ChkCplRegOpt", L"hide-regional"},
    {L"ChkCplWWW", L"hide-internet-settings"},
    {L"ChkCplFax", L"hide-fax"},
    {L"ChkDialup", L"hide-dial-up"},
    {L"ChkJoy", L"hide-joystick"},
    {L"ChkLcs", L"hide-licensing"},
    {L"ChkMail", L"hide-mail"},
    {L"ChkModem", L"hide-modem"},
    {L"ChkMouse", L"hide-mouse"},
    {L"ChkNetwork", L"hide-network"},
    {L"ChkSound", L"hide-sound"},
    {L"ChkNetware", L"hide-netware"},
    {L"ChkODBC", L"hide-odbc"},
    {L"ChkPCCard", L"hide-pc-card"},
    {L"ChkPorts", L"hide-ports"},
    {L"ChkPower", L"hide-power"},
    {L"ChkCam", L"hide-scanner-camera"},
    {L"ChkServer", L"hide-server-manager"},
    {L"ChkSpeech", L"hide-speech"},
    {L"ChkSystem", L"hide-system"},
    {L"ChkTele", L"hide-telephone"},
    {L"ChkTweak", L"hide-tweakui"},
    {L"ChkUserMan", L"hide-user-manager"},
    {L"ChkWSP", L"hide-wsp"},
    {L"ChkQT", L"hide-quicktime"},
    {L"ChkNorton", L"hide-norton-update"},
    {L"ChkCompaq", L"hide-compaq-agent"},
};

constexpr IdRow kAppearanceIds[] = {
    {L"ChkClrType", L"clear-type-fonts"},
    {L"ChkSmoothScroll", L"smooth-scrolling"},
    {L"ChkWinClassic", L"remove-my-computer-panel"},
    {L"ChkNoUserStart", L"hide-username-on-start"},
    {L"ChkVerDesktop", L"version-on-desktop"},
    {L"ChkErrorMsg", L"hide-startup-errors"},
};

constexpr IdRow kIEIds[] = {
    {L"ChkAC", L"auto-complete"},
    {L"ChkDefBro", L"check-default-browser"},
    {L"ChkLockHP", L"lock-home-page"},
    {L"ChkIEDown", L"ten-downloads"},
};

const PageRow kPages[] = {
    {L"security", L"Security Tweaks", &SecurityBindings, true, kSecurityIds},
    {L"controlpanel", L"Control Panel", &CplBindings, false, kControlPanelIds},
    {L"appearance", L"Appearance Tweaks", &AppearanceBindings, false, kAppearanceIds},
    {L"ie", L"Internet Explorer Tweaks", &IEBindings, false, kIEIds},
};

std::wstring IdOf(const PageRow& page, const platform::TweakBinding& binding) {
  const wchar_t* found = nullptr;
  for (const IdRow& row : page.ids) {
    if (std::wstring_view(row.control) != binding.control) continue;
    if (found) throw std::logic_error("a tweak box has two ids");
    found = row.name;
  }
  if (!found) throw std::logic_error("a tweak box has no id");
  return std::wstring(page.prefix) + L"." + found;
}

std::vector<CatalogTweak> Build() {
  std::vector<CatalogTweak> catalog;
  for (const PageRow& page : kPages) {
    const std::span<const platform::TweakBinding> bindings = page.bindings();
    if (bindings.size() != page.ids.size()) throw std::logic_error("an id names no tweak box");
    for (const platform::TweakBinding& binding : bindings) {
      catalog.push_back({IdOf(page, binding), page.title, &binding, page.passwordLocked});
    }
  }
  return catalog;
}

}  // namespace

const std::vector<CatalogTweak>& TweakCatalog() {
  static const std::vector<CatalogTweak> catalog = Build();
  return catalog;
}

const CatalogTweak* FindTweak(std::wstring_view id) {
  for (const CatalogTweak& tweak : TweakCatalog()) {
    if (tweak.id == id) return &tweak;
  }
  return nullptr;
}

void AllowUndoOfTweaks() {
  namespace journal = platform::journal;
  for (const CatalogTweak& tweak : TweakCatalog()) {
    for (const auto* steps : {&tweak.binding->checked, &tweak.binding->unchecked}) {
      for (const platform::RegStep& step : *steps) {
        journal::AllowValue(step.root, step.key, step.name,
                            tweak.passwordLocked ? journal::Guard::Password : journal::Guard::None);
      }
    }
  }
}

std::wstring TrimmedCaption(const platform::TweakBinding& binding) {
  std::wstring caption = binding.caption;
  while (!caption.empty() && caption.back() == L' ') caption.pop_back();
  return caption;
}

}  // namespace tweaks
