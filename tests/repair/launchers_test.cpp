#include "repair/launchers.h"

#include <gtest/gtest.h>

#include "repair/computer_check/launchers.h"
#include "repair/drive_check/command_words.h"
#include "support/text.h"

namespace {

namespace dc = repair::drive_check;
using testing_support::Utf8;

// Every path a command names is on the drive, so the drive check's answer turns on the launcher alone.
class EverythingReached : public dc::WalkedItems {
 public:
  std::optional<dc::Reached> Find(const std::wstring& path) const override {
    return dc::Reached{path, dc::Entry{path.substr(path.find_last_of(L'\\') + 1)}};
  }
};

// The one table as each check sees it through its own entry point: what a
// drive's shortcut may hand a payload to, and what counts on a computer.
TEST(LaunchersTest, EachCheckCountsItsOwnLaunchers) {
  const struct {
    const wchar_t* program;
    bool onDrive;
    bool onComputer;
    bool scriptHost;
  } cases[] = {
      {L"wscript.exe", true, true, true},
      {L"C:\\Windows\\System32\\CScript.EXE", true, true, true},
      {L"wsh.exe", false, true, true},
      {L"rundll32", true, true, false},
      {L"C:\\Windows\\System32\\regsvr32.exe", true, true, false},
      {L"MSHTA.exe", true, true, false},
      {L"powershell.exe", true, true, false},
      {L"pwsh", true, true, false},
      {L"cmd.exe", true, false, false},
      {L"conhost.exe", true, false, false},
      {L"C:\\Windows\\explorer.exe", true, false, false},
      {L"notepad.exe", false, false, false},
      {L"wscript.exe.exe", false, false, false},
      {L"wscript.com", false, false, false},
  };
  const EverythingReached walked;
  const dc::DriveFacts drive{L'E', L"E:\\"};
  for (const auto& c : cases) {
    const dc::CommandJudgement judged =
        dc::JudgeCommand(dc::Quoted(c.program) + L" E:\\payload.vbs", L"E:\\", drive, walked);
    EXPECT_EQ(!judged.launcher.empty(), c.onDrive) << "drive check: " << Utf8(c.program);
    EXPECT_EQ(repair::computer_check::IsLauncher(c.program), c.onComputer) << "computer check: " << Utf8(c.program);
    EXPECT_EQ(repair::computer_check::IsScriptHost(c.program), c.scriptHost) << "script host: " << Utf8(c.program);
  }
}

}  // namespace
