#include "shell/preferences_window.h"

#include <optional>

#include "journal/journal.h"
#include "system/message_box.h"
#include "system/numeric_text.h"
#include "system/registry.h"
#include "shell/settings.h"

namespace shell {

namespace {

using platform::kCurrentUser;

// The check box state stored as "splash": 0, 1, or 2 (greyed) as a number or numeric text.
std::optional<int> SplashState(const platform::RegValue& value) {
  const std::optional<std::int32_t> number =
      value.IsNumber() ? std::optional<std::int32_t>(value.Number()) : platform::ParseInt32(value.Text());
  if (!number || *number < 0 || *number > 2) return std::nullopt;
  return *number;
}

}  // namespace

FrmOptions::FrmOptions()
    : Form({.caption = L"Preferences", .clientWidth = 5160, .clientHeight = 2460, .minimizeBox = false}),
      ChkSplash(*this, L"ChkSplash", {360, 420, 0, 300}, L"Show Splash Screen at Startup"),
      LblOptStart(*this, L"LblOptStart", {360, 930, 2640, 300}, L"Start Korvane with this tab:"),
      CmbOptStart(*this, L"CmbOptStart", {3060, 885, 1680, 315},
                  {std::begin(kTabNames), std::end(kTabNames)}),
      FrameOpt(*this, L"FrameOpt", {180, 120, 4800, 1440}, L"General Preferences"),
      CmdSave(*this, L"CmdSave", {720, 1800, 1740, 420}, L"Save Changes"),
      CmdRestore(*this, L"CmdRestore", {2700, 1800, 1740, 420}, L"Restore Defaults") {
  CmdSave.onClick = [this] { CmdSave_Click(); };
  CmdRestore.onClick = [this] { CmdRestore_Click(); };
}

void FrmOptions::Form_Load() {
  ChkSplash.SetValueQuietly(1);
  // Missing or malformed settings leave the defaults; the window always opens.
  GetSettings();
}

bool FrmOptions::GetSettings() {
  const auto splash = SplashState(platform::RegGetValue(kCurrentUser, kSettingsKey, L"splash"));
  if (!splash) return false;
  ChkSplash.SetValue(*splash);
  return CmbOptStart.SelectText(platform::RegGetValue(kCurrentUser, kSettingsKey, L"opentab").Text());
}

void FrmOptions::CmdSave_Click() {
  const platform::journal::Action action(L"Preferences: saved");
  if (action.Cancelled()) return;
  const bool splashSaved =
      platform::RegSetValue(kCurrentUser, kSettingsKey, L"splash", ChkSplash.Value()) == platform::RegOutcome::Done;
  const bool tabSaved = platform::RegSetValue(kCurrentUser, kSettingsKey, L"opentab", CmbOptStart.SelectedText()) ==
                        platform::RegOutcome::Done;
  if (!splashSaved || !tabSaved) {
    platform::MsgBox(L"The preferences could not be saved.", platform::MsgIcon::Exclamation, L"Error");
    return;
  }
  platform::MsgBox(L"Changes saved successfully", platform::MsgIcon::Information, L"Confirmation");
  Hide();
}

void FrmOptions::CmdRestore_Click() {
  ChkSplash.SetValue(1);
  CmbOptStart.SelectText(kTabNames[0]);
  platform::MsgBox(L"Click 'save changes' to save the default preferences", platform::MsgIcon::Information);
}

}  // namespace shell
