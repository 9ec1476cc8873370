#include <string>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "support/registry_helpers.h"

namespace {

using namespace testing_support;
using cli_tests::CliRun;
using cli_tests::RunCli;

const HKEY kHkcu = HKEY_CURRENT_USER;
const std::wstring kSystemPolicies = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

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
