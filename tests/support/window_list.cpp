#include "support/window_list.h"

#include "tweaks/tweak_binding.h"
#include "repair/drive_check/clean.h"
#include "repair/drive_check/shortcut.h"
#include "repair/computer_check_window.h"
#include "repair/drive_check_window.h"
#include "shell/main_window.h"
#include "shell/integration_window.h"
#include "shell/preferences_window.h"
#include "shell/splash_window.h"
#include "shell/undo_window.h"
#include "support/ui_helpers.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "tweaks/ie/ie_page.h"
#include "tweaks/security/enter_password.h"
#include "tweaks/security/security_bindings.h"
#include "tweaks/security/security_page.h"
#include "tweaks/security/set_password.h"
#include "../repair/computer_check/seeded_computer.h"
#include "../repair/drive_check/infected_drive.h"

namespace testing_support {

namespace {

platform::Form& MainOnPage(int page) {
  auto& form = ShowForm<shell::FrmMain>();
  form.TabMain.SetTab(page);
  Pump();
  return form;
}

template <class F>
platform::Form& Shown() {
  return ShowForm<F>();
}

// The drive check with the findings of an infected test drive.
platform::Form& CheckingDrive() {
  static const repair::drive_check::ComScope com;
  ClearDrive(kDrive);
  drive_check_tests::Infect(kDrive);
  repair::ShowCheckDrive(L"E");
  auto& form = platform::Instance<repair::FrmCheckDrive>();
  Click(form.CmdScan);
  for (const ULONGLONG until = GetTickCount64() + 30000; form.Scanning() && GetTickCount64() < until;) {
    Pump();
    Sleep(10);
  }
  return form;
}

// The computer check of a computer with a worm's Run value and one whose
// program is gone, both inert, kept until the program ends (for the picture).
platform::Form& CheckingComputer() {
  static computer_tests::Seeded seeded;
  static const bool planted = [] {
    seeded.File(L"{appdata}\\kvworm.vbs", computer_tests::kInertScript);
    seeded.Text(computer_tests::kHkcu, computer_tests::kRun, L"KvWormVbs", L"wscript.exe //B \"{appdata}\\kvworm.vbs\"");
    seeded.Text(computer_tests::kHkcu, computer_tests::kRun, L"KvMissing", L"C:\\KvNowhere\\gone.exe");
    return true;
  }();
  EXPECT_TRUE(planted);
  repair::ShowCheckComputer();
  auto& form = platform::Instance<repair::FrmCheckComputer>();
  Click(form.CmdScan);
  for (const ULONGLONG until = GetTickCount64() + 30000; form.Busy() && GetTickCount64() < until;) {
    Pump();
    Sleep(10);
  }
  return form;
}

// Real clicks and a clean of a drive first, so that the window lists what it is for.
platform::Form& UndoWithChanges() {
  static const repair::drive_check::ComScope com;
  ClearDrive(kDrive);
  drive_check_tests::Infect(kDrive);
  repair::drive_check::Progress progress;
  const auto scan = repair::drive_check::Scan(kDrive, {}, progress);
  const auto selected = std::make_unique<bool[]>(scan.findings.size());
  for (std::size_t i = 0; i < scan.findings.size(); ++i) selected[i] = scan.findings[i].checked;
  repair::drive_check::Clean(scan, std::span<const bool>(selected.get(), scan.findings.size()));
  for (const auto& binding : tweaks::SecurityBindings().first(3)) platform::ApplyTweak(binding, true, L"Security Tweaks");
  return ShowForm<shell::FrmUndo>();
}

}  // namespace

const std::vector<WindowCase>& AllWindows() {
  static const std::vector<WindowCase> windows = {
      {"main-welcome", []() -> platform::Form& { return MainOnPage(0); }},
      {"main-info", []() -> platform::Form& { return MainOnPage(1); }},
      {"main-fix", []() -> platform::Form& { return MainOnPage(2); }},
      {"main-tweak", []() -> platform::Form& { return MainOnPage(3); }},
      {"main-about", []() -> platform::Form& { return MainOnPage(4); }},
      {"security-tweaks", &Shown<tweaks::FrmSecTweaks>},
      {"appearance-tweaks", &Shown<tweaks::FrmAppTweaks>},
      {"control-panel-tweaks", &Shown<tweaks::FrmCpl>},
      {"ie-tweaks", &Shown<tweaks::FrmProgTweaks>},
      {"enter-password", &Shown<tweaks::FrmEntSecPAss>},
      {"set-password", &Shown<tweaks::FrmSecOpt>},
      {"preferences", &Shown<shell::FrmOptions>},
      {"check-a-drive", &CheckingDrive},
      {"undo-changes", &UndoWithChanges},
      {"windows-integration", &Shown<shell::FrmIntegration>},
      {"check-this-computer", &CheckingComputer},
      {"splash", &Shown<shell::frmSplash>},
  };
  return windows;
}

std::vector<WindowCase> InputWindows() {
  std::vector<WindowCase> windows = AllWindows();
  windows.pop_back();
  return windows;
}

std::string WindowTestName(const testing::TestParamInfo<WindowCase>& param) {
  std::string name = param.param.name;
  for (char& c : name) c = c == '-' ? '_' : c;
  return name;
}

}  // namespace testing_support
