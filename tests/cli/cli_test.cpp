#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
using cli_tests::CliRun;
using cli_tests::Contains;
using cli_tests::RunCli;

const HKEY kHklm = HKEY_LOCAL_MACHINE;
const std::wstring kExplorerPolicies = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::wstring kIEPolicies = L"Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
const std::wstring kDontLoad = L"Control Panel\\don't load";
const std::string kRefused = "This change could not be made. Administrator rights may be required.\r\n";

// The lines as they arrive: CR LF after each.
std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

TEST(CliTest, VersionAndHelpDescribeEveryCommand) {
  const CliRun version = RunCli(L"--version");
  EXPECT_EQ(version.exitCode, 0u) << version;
  EXPECT_EQ(version.out, "korvane 1.48\r\n") << version;

  const CliRun help = RunCli(L"--help");
  EXPECT_EQ(help.exitCode, 0u) << help;
  for (const char* usage :
       {"korvane check E: | --removable [--clean] [--json]", "korvane undo list [--json]", "korvane undo last [--force]",
        "korvane undo ID [--force]", "korvane repair autorun E:", "korvane repair folder-options", "korvane repair task-manager",
        "korvane repair registry-editor", "korvane restore PATH", "korvane tweak list [--json]",
        "korvane tweak set ID on|off", "korvane --help | --version", "3  something was refused or failed", "UTF-8"}) {
    EXPECT_TRUE(Contains(help.out, usage)) << "help lacks \"" << usage << "\"\n" << help;
  }
  EXPECT_EQ(help.err, "") << help;
}

TEST(CliTest, BadUsageNamesTheCommandShowsItsUsageAndChangesNothing) {
  struct Case {
    const wchar_t* arguments;
    std::vector<const char*> said;
  };
  const Case cases[] = {
      {L"", {"korvane: no command given;"}},
      {L"frobnicate", {"korvane: word 1 is not a command;", "korvane --help"}},
      {L"repair", {"korvane repair: which one?\r\n", "usage: korvane repair task-manager\r\n"}},
      {L"repair autorun", {"korvane repair autorun: missing operand\r\n", "usage: korvane repair autorun E:\r\n"}},
      {L"repair autorun EE:", {"korvane repair autorun: word 3 is not a drive letter\r\n", "usage: korvane repair autorun E:"}},
      {L"repair task-manager now", {"korvane repair task-manager: word 3 was not expected\r\n", "usage: korvane repair task-manager"}},
      {L"tweak list --bogus", {"korvane tweak list: word 3 is not an option of this command\r\n", "usage: korvane tweak list [--json]"}},
      {L"tweak set security.disable-task-manager maybe", {"word 4 is neither on nor off", "usage: korvane tweak set"}},
      {L"tweak set security.no-such-tweak on", {"word 3 names no tweak", "usage: korvane tweak set"}},
      {L"tweak set security.disable-task-manager on --password", {"word 5 needs a value", "usage: korvane tweak set"}},
  };
  WriteDword(kHkcu, kSystemPolicies, L"DisableTaskMgr", 7);  // a sentinel no valid command here writes
  for (const Case& c : cases) {
    const CliRun run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, 2u) << Utf8(c.arguments) << "\n" << run;
    EXPECT_EQ(run.out, "") << Utf8(c.arguments) << "\n" << run;
    for (const char* said : c.said) EXPECT_TRUE(Contains(run.err, said)) << "missing \"" << said << "\"\n" << run;
  }
  EXPECT_DWORD(kHkcu, kSystemPolicies, L"DisableTaskMgr", 7);
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
}

TEST(CliTest, RepairAutorunEmptiesTheFileOrSaysWhyNot) {
  ClearDrive(kDrive);
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
  WriteBytes(autorun, "[autorun]\r\nopen=virus.exe\r\n", FILE_ATTRIBUTE_READONLY | kHiddenSystem);
  CliRun run = RunCli(L"repair autorun e:");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_EQ(run.out, Lines({"Korvane successfully attempted to heal your device",
                            "Please restart the computer/re-insert your drive for any changes to take effect",
                            "If the problem persists the host computer may still be infected with a virus or the "
                            "disk maybe encountering unknown problems"}))
      << run;
  EXPECT_EQ(ReadBytes(autorun), std::string("\"\"\r\n"));
  EXPECT_EQ(Attributes(autorun), kHiddenSystem);

  ClearDrive(kDrive);
  run = RunCli(L"repair autorun E:");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_EQ(run.out, Lines({"Korvane did not detect any disk errors"})) << run;
  EXPECT_FALSE(Exists(autorun)) << "the repair made an autorun.inf where there was none";

  run = RunCli(L"repair autorun M:");
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_EQ(run.err, "korvane repair autorun: drive M: is not there\r\n") << run;

  // The read-only drive keeps its infected file, and the failure is not told as "nothing found".
  run = RunCli(L"repair autorun W");
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_TRUE(Contains(run.err, "korvane repair autorun: could not repair W:/autorun.inf: ")) << run;
  EXPECT_EQ(ReadBytes(OnDrive(kReadOnlyDrive, L"autorun.inf")), std::string("[autorun]\r\nopen=virus.exe\r\n"));
}

TEST(CliTest, RestrictionRepairsRemoveThePolicyUnderBothRootsOrReportARefusal) {
  struct Case {
    const wchar_t* command;
    std::wstring key;
    const wchar_t* value;
    std::string repaired;
    const char* notFound;
  };
  const std::string restart = "Please restart the computer for any changes to take effect\r\n";
  const Case cases[] = {
      {L"repair folder-options", kExplorerPolicies, L"NoFolderOptions",
       "Korvane successfully attempted to fix the folder options inaccessibility\r\n" + restart,
       "No Folder Options restriction detected\r\n"},
      {L"repair task-manager", kSystemPolicies, L"DisableTaskMgr",
       "Korvane successfully attempted to fix the Task Manager inaccessibility\r\n" + restart,
       "No Task Manager restriction detected\r\n"},
      {L"repair registry-editor", kSystemPolicies, L"DisableRegistryTools",
       "Korvane successfully attempted to fix the Registry Editor inaccessibility\r\n",
       "No Registry Editor restriction detected\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.command));
    WriteDword(kHkcu, c.key, c.value, 1);
    WriteSz(kHklm, c.key, c.value, L"1");
    CliRun run = RunCli(c.command);
    EXPECT_EQ(run.exitCode, 0u) << run;
    EXPECT_EQ(run.out, c.repaired) << run;
    EXPECT_NO_VALUE(kHkcu, c.key, c.value);
    EXPECT_NO_VALUE(kHklm, c.key, c.value);

    run = RunCli(c.command);
    EXPECT_EQ(run.exitCode, 0u) << run;
    EXPECT_EQ(run.out, c.notFound) << run;

    WriteDword(kHkcu, c.key, c.value, 1);
    {
      const ScopedRefusal refusal(kHkcu, c.key);
      run = RunCli(c.command);
    }
    EXPECT_EQ(run.exitCode, 3u) << run;
    EXPECT_EQ(run.out, "") << run;
    EXPECT_EQ(run.err, "Korvane could not remove the restriction. Administrator rights may be required.\r\n") << run;
    EXPECT_DWORD(kHkcu, c.key, c.value, 1);
    DeleteValue(kHkcu, c.key, c.value);
  }
}

TEST(CliTest, RestoreClearsTheAttributesOfANonAsciiPathAndPrintsItIntact) {
  ClearDrive(kDrive);
  const std::wstring name = L"\u00fcn\u00efc\u00f8d\u00e9-\u65e5\u672c";
  const std::wstring path = OnDrive(kDrive, name + L".txt");
  WriteBytes(path, "kept", FILE_ATTRIBUTE_READONLY | kHiddenSystem);
  CliRun run = RunCli(L"restore \"" + path + L"\"");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_EQ(run.out, "The File/Folder was successfully restored: " + Utf8(path) + "\r\n") << run;
  EXPECT_EQ(Attributes(path), 0u);
  EXPECT_EQ(ReadBytes(path), std::string("kept"));

  const std::wstring missing = OnDrive(kDrive, name + L"-gone");
  run = RunCli(L"restore \"" + missing + L"\"");
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_TRUE(Contains(run.err, "The path entered was invalid: " + Utf8(missing) + ": ")) << run;

  run = RunCli(L"restore CON");
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_EQ(run.err, "The path entered was invalid: CON names a device\r\n") << run;
  ClearDrive(kDrive);
}

TEST(CliTest, TweakListGivesEveryTweakOnceWithItsStateNow) {
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  WriteSz(kHkcu, kDontLoad, L"joy.cpl", L"no");
  CliRun run = RunCli(L"tweak list --json");
  ASSERT_EQ(run.exitCode, 0u) << run;
  const nlohmann::json document = nlohmann::json::parse(run.out);
  const nlohmann::json& list = document.at("tweaks");
  EXPECT_EQ(list.size(), 16u + 34u + 6u + 4u);
  std::set<std::string> ids;
  for (const nlohmann::json& tweak : list) {
    const std::string id = tweak.at("id");
    EXPECT_TRUE(ids.insert(id).second) << "twice: " << id;
    if (id == "security.disable-task-manager") {
      EXPECT_EQ(tweak.at("on"), false);
      EXPECT_EQ(tweak.at("page"), "Security Tweaks");
      EXPECT_EQ(tweak.at("caption"), "Disable Task Manager");
    }
    if (id == "controlpanel.hide-joystick") {
      EXPECT_EQ(tweak.at("on"), true);
    }
  }
  EXPECT_TRUE(ids.contains("security.disable-task-manager") && ids.contains("controlpanel.hide-joystick"));

  WriteDword(kHkcu, kSystemPolicies, L"DisableTaskMgr", 1);
  run = RunCli(L"tweak list");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_TRUE(Contains(run.out, "\r\non   security.disable-task-manager ")) << run;
  EXPECT_TRUE(Contains(run.out, "Security Tweaks: Disable Task Manager\r\n")) << run;
  EXPECT_TRUE(Contains(run.out, "\r\non   controlpanel.hide-joystick ")) << run;
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  DeleteValue(kHkcu, kDontLoad, L"joy.cpl");
}

TEST(CliTest, TweakSetClicksTheBoxHonouringRefusalsAndThePassword) {
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  CliRun run = RunCli(L"tweak set security.disable-task-manager on");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_EQ(run.out, "security.disable-task-manager is on\r\n") << run;
  EXPECT_DWORD(kHkcu, kSystemPolicies, L"DisableTaskMgr", 1);
  run = RunCli(L"tweak set security.disable-task-manager off");
  EXPECT_EQ(run.out, "security.disable-task-manager is off\r\n") << run;
  EXPECT_NO_VALUE(kHkcu, kSystemPolicies, L"DisableTaskMgr");

  run = RunCli(L"tweak set ie.lock-home-page on");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_DWORD(kHkcu, kIEPolicies, L"HomePage", 1);
  EXPECT_DWORD(kHkcu, kIEPolicies, L"NoSaveSettings", 0);
  RunCli(L"tweak set ie.lock-home-page off");
  EXPECT_NO_VALUE(kHkcu, kIEPolicies, L"HomePage");

  {
    const ScopedRefusal refusal(kHkcu, kSystemPolicies);
    run = RunCli(L"tweak set security.disable-task-manager on");
  }
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_EQ(run.err, kRefused + "security.disable-task-manager is off\r\n") << run;
  EXPECT_NO_VALUE(kHkcu, kSystemPolicies, L"DisableTaskMgr");

  // The security page's password guards its boxes from the command line too; other pages stay open.
  WriteSz(HKEY_CLASSES_ROOT, L".wab", L"RandomID", L"Sesame");
  for (const wchar_t* guessed : {L"", L" --password sesame"}) {
    run = RunCli(std::wstring(L"tweak set security.disable-task-manager on") + guessed);
    EXPECT_EQ(run.exitCode, 3u) << run;
    EXPECT_TRUE(Contains(run.err, "protected by a password")) << run;
    EXPECT_NO_VALUE(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  }
  run = RunCli(L"tweak set security.disable-task-manager on --password Sesame");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_DWORD(kHkcu, kSystemPolicies, L"DisableTaskMgr", 1);
  run = RunCli(L"tweak set controlpanel.hide-mouse on");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_SZ(kHkcu, kDontLoad, L"main.cpl", L"no");
  DeleteValue(HKEY_CLASSES_ROOT, L".wab", L"RandomID");
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  DeleteValue(kHkcu, kDontLoad, L"main.cpl");
}

}  // namespace
