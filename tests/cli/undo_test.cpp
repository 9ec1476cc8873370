#include <string>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "journal/journal.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"

namespace {

using namespace testing_support;
using cli_tests::CliRun;
using cli_tests::RunCli;


nlohmann::json Newest() {
  const CliRun run = RunCli(L"undo list --json");
  EXPECT_EQ(run.exitCode, 0u) << run;
  const nlohmann::json groups = nlohmann::json::parse(run.out).at("groups");
  return groups.empty() ? nlohmann::json() : groups.front();
}

TEST(CliUndoTest, UndoesTheNewestChangeSkippingOneChangedSinceUnlessForced) {
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  ASSERT_EQ(RunCli(L"tweak set security.disable-task-manager on").exitCode, 0u);
  nlohmann::json newest = Newest();
  EXPECT_EQ(newest.at("what"), "Security Tweaks: Disable Task Manager checked") << newest;
  EXPECT_EQ(newest.at("items"), 1) << newest;
  const std::string id = std::to_string(newest.at("id").get<std::uint64_t>());
  CliRun run = RunCli(L"undo list");
  EXPECT_TRUE(run.out.starts_with(id + "  ")) << run;

  run = RunCli(L"undo last");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_TRUE(run.out.find("\r\nUndone: change " + id + " (Security Tweaks: Disable Task Manager checked)\r\n") !=
              std::string::npos)
      << run;
  EXPECT_NO_VALUE(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  EXPECT_NE(Newest().at("id"), newest.at("id")) << "the undo is a change of its own";

  // Another program changes the value after Korvane did: skipped without a question, then forced.
  RunCli(L"tweak set security.disable-task-manager on");
  WriteDword(kHkcu, kSystemPolicies, L"DisableTaskMgr", 5);
  run = RunCli(L"undo last");
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_TRUE(run.err.find("korvane undo: skipped change ") == 0) << run;
  EXPECT_DWORD(kHkcu, kSystemPolicies, L"DisableTaskMgr", 5);
  run = RunCli(L"undo last --force");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_NO_VALUE(kHkcu, kSystemPolicies, L"DisableTaskMgr");

  // A repair from the command line is recorded too, and undone by its number.
  WriteDword(kHkcu, kSystemPolicies, L"DisableTaskMgr", 1);
  RunCli(L"repair task-manager");
  newest = Newest();
  EXPECT_EQ(newest.at("what"), "Fix: Task Manager restriction") << newest;
  run = RunCli(L"undo " + std::to_wstring(newest.at("id").get<std::uint64_t>()));
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_DWORD(kHkcu, kSystemPolicies, L"DisableTaskMgr", 1);

  run = RunCli(L"undo 987654321");
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_EQ(run.err, "korvane undo: no recorded change has the number 987654321\r\n") << run;
  run = RunCli(L"undo last-but-one");
  EXPECT_EQ(run.exitCode, 2u) << run;
  EXPECT_TRUE(run.err.find("usage: korvane undo ID [--force]") != std::string::npos) << run;
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
}

}  // namespace

namespace {

TEST(CliUndoTest, ASecurityTweakIsUndoneOnlyWithThePassword) {
  const std::wstring passwordKey = L".wab";
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  WriteSz(HKEY_CLASSES_ROOT, passwordKey, L"RandomID", L"secret");
  ASSERT_EQ(RunCli(L"tweak set security.disable-task-manager on --password secret").exitCode, 0u);
  struct Case {
    const wchar_t* arguments;
    DWORD exitCode;
    bool stillOn;
  };
  const Case cases[] = {
      {L"undo last", 3, true},
      {L"undo last --password wrong", 3, true},
      {L"undo last --password secret", 0, false},
  };
  for (const Case& c : cases) {
    const CliRun run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << Utf8(c.arguments) << run;
    EXPECT_EQ(ReadRaw(kHkcu, kSystemPolicies, L"DisableTaskMgr").has_value(), c.stillOn) << Utf8(c.arguments) << run;
    if (c.exitCode != 0) {
      EXPECT_NE(run.err.find("protected by a password"), std::string::npos) << run;
    }
  }
  DeleteKey(HKEY_CLASSES_ROOT, passwordKey);
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
}

TEST(CliUndoTest, ShowsAChangeFromItsItemsAndRefusesAForgedOne) {
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  ASSERT_EQ(RunCli(L"tweak set security.disable-task-manager on").exitCode, 0u);
  const std::uint64_t id = Newest().at("id").get<std::uint64_t>();
  CliRun run = RunCli(L"undo show " + std::to_wstring(id) + L" --json");
  EXPECT_EQ(run.exitCode, 0u) << run;
  const nlohmann::json shown = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_FALSE(shown.is_discarded()) << run;
  EXPECT_EQ(shown.value("format", 0), 1) << run;
  ASSERT_EQ(shown.at("items").size(), 1u) << run;
  EXPECT_EQ(shown.at("items")[0].at("change"),
            "HKCU\\Software\\Microsoft\\windows\\currentversion\\policies\\system\\disabletaskmgr: not set → 1")
      << run;
  EXPECT_EQ(shown.at("items")[0].at("state"), "undoable") << run;

  // A group a program of the user's wrote into the journal, and a line it spoilt.
  const std::wstring file = platform::journal::Folder() + L"journal.jsonl";
  const std::string forged = std::to_string(id + 1000);
  WriteBytes(file, ReadBytes(file).value_or("") + "spoilt\n{\"group\":" + forged +
                       ",\"time\":\"2026-12-08 10:00:00\",\"what\":\"Preferences: saved\"}\n{\"group\":" + forged +
                       ",\"n\":0,\"kind\":\"registry\",\"root\":\"HKLM\",\"key\":\"Software\\\\Microsoft\\\\Windows\\\\"
                       "CurrentVersion\\\\Run\",\"name\":\"KorvaneForged\",\"before\":{\"type\":4,\"hex\":\"01000000\"},"
                       "\"after\":null}\n{\"group\":" + forged + ",\"end\":true}\n");
  run = RunCli(L"undo list");
  EXPECT_NE(run.out.find("1 line of the journal could not be read"), std::string::npos) << run;
  run = RunCli(L"undo last --force");
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_NE(run.out.find("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\KorvaneForged: 1 → not set"),
            std::string::npos)
      << "shown as what it is, not as its stored words" << run;
  EXPECT_NE(run.err.find("korvane undo: refused change " + forged + ": HKLM\\"), std::string::npos) << run;
  EXPECT_FALSE(ReadRaw(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"KorvaneForged"))
      << "nothing of it was written";
  EXPECT_EQ(RunCli(L"undo " + std::to_wstring(id)).exitCode, 0u) << "the real change still undoes";
  EXPECT_NO_VALUE(kHkcu, kSystemPolicies, L"DisableTaskMgr");
}

}  // namespace
