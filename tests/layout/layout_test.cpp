// Every window's captions fit their controls at the DPI the process runs at.
// The run at 96 DPI starts this program again at 120, 144 and 192 DPI.
// With KORVANE_SHOTS set to a folder, each window is also saved there as
// <folder>\<dpi>\<window>.bmp (tools/screenshots.sh turns them into PNGs).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "support/process_start.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "support/drive_helpers.h"
#include "support/layout_helpers.h"
#include "support/registry_helpers.h"
#include "support/text.h"
#include "support/ui_helpers.h"
#include "support/window_list.h"

namespace {

using namespace testing_support;

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

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
  // Let the window settle (activation, a long details text laid out) before it is drawn for the picture.
  for (int i = 0; i < 5; ++i) {
    Pump();
    Sleep(40);
  }
  RedrawWindow(form.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  GdiFlush();
  const std::string file = std::string(name) + ".bmp";
  EXPECT_TRUE(SaveWindowBitmap(form.Hwnd(), dir + L"\\" + std::wstring(file.begin(), file.end())));
}

class LayoutTest : public testing::TestWithParam<WindowCase> {
 protected:
  void SetUp() override { DeleteKey(HKEY_CLASSES_ROOT, L".wab"); }
  void TearDown() override {
    EndAllForms();
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

INSTANTIATE_TEST_SUITE_P(Windows, LayoutTest, testing::ValuesIn(AllWindows()), WindowTestName);

// Wine reads LogPixels when a process starts, so each DPI gets a process of its own.
// The child's report says how many window checks it ran: a filter that matches
// nothing must not pass.
int TestsRun(const std::wstring& report) {
  const std::string text = ReadBytes(report).value_or("");
  std::smatch found;
  return std::regex_search(text, found, std::regex("tests=\"(\\d+)\"")) ? std::stoi(found[1]) : -1;
}

TEST(LayoutAtDpi, HigherDpisInProcessesOfTheirOwn) {
  if (std::getenv("KORVANE_LAYOUT_DPI")) GTEST_SKIP() << "already a child run";
  SavedValues saved;
  saved.Keep(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  for (DWORD dpi : {120u, 144u, 192u}) {
    WriteDword(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", dpi);
    SetEnvironmentVariableW(L"KORVANE_LAYOUT_DPI", std::to_wstring(dpi).c_str());
    const std::wstring report = std::wstring(temp) + L"korvane-layout-" + std::to_wstring(dpi) + L".xml";
    DeleteFileW(report.c_str());
    std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_filter=Windows/LayoutTest.* --gtest_output=xml:" +
                        report;
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(testing_support::StartProcess(nullptr, line.data(), TRUE, 0, nullptr, &startup, &process));
    // A child that hangs is ended, so that the run goes on and says so.
    const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
    if (!ended) {
      TerminateProcess(process.hProcess, 3);
      WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(ended) << "the run at " << dpi << " DPI hung and was ended";
    EXPECT_EQ(code, 0u) << "layout checks failed at " << dpi << " DPI";
    EXPECT_EQ(TestsRun(report), static_cast<int>(AllWindows().size())) << "window checks run at " << dpi << " DPI";
    DeleteFileW(report.c_str());
  }
  SetEnvironmentVariableW(L"KORVANE_LAYOUT_DPI", nullptr);
}

}  // namespace
