#include "shell/integration_window.h"

#include <gtest/gtest.h>

#include "integration/registration.h"
#include "shell/handover.h"
#include "shell/main_window.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace testing_support;
using shell::FrmIntegration;

const std::wstring kVerb = L"Software\\Classes\\Drive\\shell\\KorvaneCheck";

class IntegrationWindowTest : public testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override {
    EndAllForms();
    Clean();
  }
  static void Clean() {
    AllowWrites(kHkcu, kVerb);
    integration::Save({.menu = false, .autoPlay = false}, integration::ProgramPath());
    DeleteKey(kHkcu, kVerb);
  }
  static FrmIntegration& OpenFromTools() {
    EXPECT_TRUE(ShowForm<shell::FrmMain>().InvokeMenu(L"Windows Integration..."));
    EXPECT_TRUE(platform::IsLoaded<FrmIntegration>());
    return platform::Instance<FrmIntegration>();
  }
};

TEST_F(IntegrationWindowTest, BoxesShowWhatIsRegisteredForThisCopy) {
  integration::Save({.menu = true}, integration::ProgramPath());
  WriteSz(kHkcu, L"Software\\Classes\\Korvane.DriveCheck\\shell\\check\\command", L"", L"\"C:\\Gone\\korvane.exe\" --check %1");
  FrmIntegration& form = OpenFromTools();
  EXPECT_EQ(form.ChkMenu.Value(), 1);
  EXPECT_EQ(form.ChkAutoPlay.Value(), 0) << "another program's registration reads as unchecked";
  EXPECT_NE(form.LblNote.Text().find(L"C:\\Gone\\korvane.exe, which is no longer there"), std::wstring::npos)
      << Utf8(form.LblNote.Text());
  // Save replaces the stale one and the boxes follow what is stored.
  MsgBoxRecorder boxes;
  form.ChkAutoPlay.SetValue(1);
  form.CmdSave.Click();
  EXPECT_TRUE(integration::ReadState(integration::Place::AutoPlay, integration::ProgramPath()).On());
  EXPECT_EQ(form.LblNote.Text(), L"");
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], L"Changes saved successfully");
}

TEST_F(IntegrationWindowTest, ARefusedSaveIsToldAndTheBoxShowsTheTruth) {
  const ScopedRefusal refusal(kHkcu, kVerb);
  FrmIntegration& form = OpenFromTools();
  MsgBoxRecorder boxes;
  form.ChkMenu.SetValue(1);
  form.CmdSave.Click();
  ASSERT_EQ(boxes.Calls().size(), 1u);
  EXPECT_EQ(boxes.Calls()[0].icon, platform::MsgIcon::Exclamation);
  EXPECT_NE(boxes.Texts()[0].find(L"HKCU\\" + kVerb + L"\\(Default)"), std::wstring::npos) << Utf8(boxes.Texts()[0]);
  EXPECT_EQ(form.ChkMenu.Value(), 0);
}

TEST(StartArguments, CheckTakesADriveInEveryFormExplorerGivesIt) {
  const struct {
    std::vector<std::wstring> args;
    bool accepted;
    wchar_t letter;
  } cases[] = {
      {{}, true, L'\0'},          {{L"--check", L"E:\\"}, true, L'E'},   {{L"--check", L"e:"}, true, L'E'},
      {{L"--check", L"E"}, true, L'E'}, {{L"--check", L"E:\""}, true, L'E'},  // "E:\" quoted arrives so
      {{L"--check", L"E:\\\""}, true, L'E'},   {{L"--check", L"E:\\x"}, false, L'\0'},
      {{L"--check", L"1:"}, false, L'\0'},     {{L"--check", L"\u00c4:"}, false, L'\0'},
      {{L"--check"}, false, L'\0'},           {{L"--check", L"E:", L"F:"}, false, L'\0'},
      {{L"/check", L"E:"}, true, L'\0'},  // unknown arguments were always let be
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.size() > 1 ? Utf8(c.args[1]) : std::to_string(c.args.size()) + " arguments");
    const auto request = shell::ParseStartArguments(c.args);
    ASSERT_EQ(request.has_value(), c.accepted);
    if (request) {
      EXPECT_EQ(request->checkLetter, c.letter);
    }
  }
}

TEST(StartArguments, OnlyAWellFormedHandoverIsTaken) {
  wchar_t letter = L'E';
  wchar_t two[2] = {L'E', L'F'};
  const wchar_t none = L'\0';
  const wchar_t lower = L'e';
  const struct {
    COPYDATASTRUCT data;
    bool taken;
  } cases[] = {
      {{0x4B564348, sizeof letter, &letter}, true},
      {{0x4B564348, sizeof none, const_cast<wchar_t*>(&none)}, true},
      {{0x4B564349, sizeof letter, &letter}, false},
      {{0x4B564348, sizeof two, two}, false},
      {{0x4B564348, sizeof letter, nullptr}, false},
      {{0x4B564348, sizeof lower, const_cast<wchar_t*>(&lower)}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(shell::ReadHandover(c.data).has_value(), c.taken) << c.data.cbData;
}

}  // namespace
