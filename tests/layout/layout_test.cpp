// Every window's captions fit their controls at the DPI the process runs at.
// The run at 96 DPI starts this program again at 120, 144 and 192 DPI.
// With KORVANE_SHOTS set to a folder, each window is also saved there as
// <folder>\<dpi>\<window>.bmp (tools/screenshots.sh turns them into PNGs).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/form.h"
#include "platform/tweak_binding.h"
#include "repair/drive_check/shortcut.h"
#include "repair/drive_check_window.h"
#include "shell/main_window.h"
#include "shell/preferences_window.h"
#include "shell/splash_window.h"
#include "shell/undo_window.h"
#include "tweaks/appearance/appearance_page.h"
#include "tweaks/controlpanel/control_panel_page.h"
#include "tweaks/ie/ie_page.h"
#include "tweaks/security/enter_password.h"
#include "tweaks/security/security_bindings.h"
#include "tweaks/security/security_page.h"
#include "tweaks/security/set_password.h"
#include "../repair/drive_check/infected_drive.h"
#include "support/layout_helpers.h"
#include "support/registry_helpers.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace testing_support;
using platform::Instance;

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

struct Window {
  const char* name;
  std::function<platform::Form&()> open;
};

platform::Form& MainOnPage(int page) {
  auto& form = Instance<shell::FrmMain>();
  form.Show();
  form.TabMain.SetTab(page);
  return form;
}

template <class F>
platform::Form& Shown() {
  auto& form = Instance<F>();
  form.Show();
  return form;
}

platform::Form& UndoWithChanges() {
  // Real clicks, so that the window lists what it is for.
  for (const auto& binding : tweaks::SecurityBindings().first(3)) platform::ApplyTweak(binding, true, L"Security Tweaks");
  return Shown<shell::FrmUndo>();
}

// The drive check with the findings of an infected test drive.
platform::Form& CheckingDrive() {
  static const repair::drive_check::ComScope com;
  ClearDrive(kDrive);
  drive_check_tests::Infect(kDrive);
  repair::ShowCheckDrive(L"E");
  auto& form = Instance<repair::FrmCheckDrive>();
  Click(form.CmdScan);
  for (const ULONGLONG until = GetTickCount64() + 30000; form.Scanning() && GetTickCount64() < until;) {
    Pump();
    Sleep(10);
  }
  return form;
}

const std::vector<Window>& Windows() {
  static const std::vector<Window> windows = {
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
      {"splash", &Shown<shell::frmSplash>},
      {"undo-changes", &UndoWithChanges},
      {"check-a-drive", &CheckingDrive},
  };
  return windows;
}

bool ShowsCaption(const platform::Control& control) {
  return (dynamic_cast<const platform::Label*>(&control) || dynamic_cast<const platform::Button*>(&control) ||
          dynamic_cast<const platform::CheckBox*>(&control)) &&
         IsWindowVisible(control.Hwnd()) && !control.Text().empty();
}

void SaveShot(platform::Form& form, const char* name) {
  const char* folder = std::getenv("KORVANE_SHOTS");
  if (!folder) return;
  const std::wstring dir = std::wstring(folder, folder + strlen(folder)) + L"\\" + std::to_wstring(form.Dpi());
  CreateDirectoryW(dir.c_str(), nullptr);
  SetForegroundWindow(form.Hwnd());
  RedrawWindow(form.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  GdiFlush();
  const std::string file = std::string(name) + ".bmp";
  EXPECT_TRUE(SaveWindowBitmap(form.Hwnd(), dir + L"\\" + std::wstring(file.begin(), file.end())));
}

class LayoutTest : public testing::TestWithParam<Window> {
 protected:
  void SetUp() override { DeleteKey(HKEY_CLASSES_ROOT, L".wab"); }
  void TearDown() override {
    platform::Form::EndProgram();
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
};

TEST_P(LayoutTest, CaptionsFitAndControlsStayInside) {
  const char* wanted = std::getenv("KORVANE_LAYOUT_DPI");
  platform::Form& form = GetParam().open();
  RedrawWindow(form.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  if (wanted) {
    ASSERT_EQ(form.Dpi(), static_cast<UINT>(atoi(wanted))) << "Wine did not take the new LogPixels";
  }
  int checked = 0;
  for (const platform::Control* control : form.Controls()) {
    if (!IsWindowVisible(control->Hwnd())) continue;
    EXPECT_TRUE(InsideParent(*control)) << Utf8(control->Name()) << " at " << form.Dpi() << " DPI";
    if (!ShowsCaption(*control)) continue;
    ++checked;
    EXPECT_TRUE(CaptionFits(*control)) << Utf8(control->Name()) << " \"" << Utf8(control->Text()) << "\" at "
                                       << form.Dpi() << " DPI";
  }
  EXPECT_GT(checked, 0);
  SaveShot(form, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Windows, LayoutTest, testing::ValuesIn(Windows()),
                         [](const testing::TestParamInfo<Window>& param) {
                           std::string name = param.param.name;
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

// Wine reads LogPixels when a process starts, so each DPI gets a process of its own.
TEST(LayoutAtDpi, HigherDpisInProcessesOfTheirOwn) {
  if (std::getenv("KORVANE_LAYOUT_DPI")) GTEST_SKIP() << "already a child run";
  const std::optional<RawValue> original = ReadRaw(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  for (DWORD dpi : {120u, 144u, 192u}) {
    WriteDword(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", dpi);
    SetEnvironmentVariableW(L"KORVANE_LAYOUT_DPI", std::to_wstring(dpi).c_str());
    std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_filter=Windows/LayoutTest.*";
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u) << "layout checks failed at " << dpi << " DPI";
  }
  SetEnvironmentVariableW(L"KORVANE_LAYOUT_DPI", nullptr);
  if (original) {
    WriteRaw(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", original->type, original->bytes);
  } else {
    DeleteValue(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
  }
}

}  // namespace
