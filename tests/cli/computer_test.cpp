#include <functional>
#include <set>
#include <optional>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "repair/computer_check/seeded_computer.h"

namespace {

using namespace computer_tests;
using cli_tests::CliRun;
using cli_tests::RunCli;

const std::wstring kBlockedKey = kDebuggers + L"\\regedit.exe";

void PlantWorm(Seeded& seeded) {
  seeded.File(L"{appdata}\\kvworm.vbs", kInertScript);
  seeded.Text(kHkcu, kRun, L"KvWormVbs", L"wscript.exe //B \"{appdata}\\kvworm.vbs\"");
}

void PlantUnusual(Seeded& seeded) { seeded.Text(kHkcu, kRun, L"KvMissing", L"C:\\KvNowhere\\gone.exe"); }

// "kind strength proposal [x]" for each finding of the document.
std::multiset<std::string> Findings(const nlohmann::json& document) {
  std::multiset<std::string> lines;
  for (const nlohmann::json& f : document.at("findings")) {
    lines.insert(f.at("kind").get<std::string>() + " " + f.at("strength").get<std::string>() + " " +
                 f.at("proposal").get<std::string>() + (f.at("proposedByDefault") == true ? " [x]" : " [ ]"));
  }
  return lines;
}

TEST(CliComputerTest, FindingsAsJsonAndTheExitCodes) {
  const struct {
    const char* name;
    std::function<void(Seeded&)> plant;
    std::wstring arguments;
    DWORD exitCode;
    std::multiset<std::string> findings;
    std::optional<int> valuesChanged;  // with --clean
    bool putBack = false;  // something writes the worm's value again while the command waits
    std::vector<std::string> cameBack = {};
  } cases[] = {
      {"nothing found", [](Seeded&) {}, L"check computer --json", 0, {}, std::nullopt},
      {"only unusual", PlantUnusual, L"check computer --json", 0, {"run unusual delete-value [ ]"}, std::nullopt},
      {"a worm", [](Seeded& s) { PlantWorm(s), PlantUnusual(s); }, L"check computer --json", 1,
       {"run worm delete-value [x]", "run unusual delete-value [ ]"}, std::nullopt},
      {"cleaned", PlantWorm, L"check computer --clean --no-recheck --json", 0, {"run worm delete-value [x]"}, 1},
      {"refused", [](Seeded& s) { s.Text(kHklm, kBlockedKey, L"Debugger", L"C:\\KvNowhere\\x.exe"); },
       L"check computer --clean --no-recheck --json", 3, {"debugger worm delete-value [x]"}, 0},
      {"put back", PlantWorm, L"check computer --clean --json", 1, {"run worm delete-value [x]"}, 1, true,
       {Utf8(Hkcu(kRun, L"KvWormVbs"))}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Seeded seeded;
    c.plant(seeded);
    std::optional<ScopedRefusal> refusal;
    if (c.exitCode == 3) refusal.emplace(kHklm, kBlockedKey);
    std::thread writer([&] {
      if (!c.putBack) return;
      Sleep(2500);  // after the clean, within the five seconds the command waits
      WriteSz(kHkcu, kRun, L"KvWormVbs", Place(L"wscript.exe //B \"{appdata}\\kvworm.vbs\""));
    });
    const CliRun run = RunCli(c.arguments);
    writer.join();
    EXPECT_EQ(run.exitCode, c.exitCode) << run;
    const nlohmann::json document = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << run;
    EXPECT_EQ(document.value("format", 0), 1) << run;
    EXPECT_EQ(Findings(document), c.findings) << run;
    if (c.valuesChanged) {
      EXPECT_EQ(document.at("clean").at("valuesChanged"), *c.valuesChanged) << run;
    } else {
      EXPECT_FALSE(document.contains("clean")) << "a check without --clean changed something\n" << run;
    }
    if (c.arguments.find(L"--no-recheck") != std::wstring::npos) {
      EXPECT_FALSE(document.contains("cameBack")) << run;
    } else if (c.valuesChanged) {
      EXPECT_EQ(document.at("cameBack").get<std::vector<std::string>>(), c.cameBack) << run;
    }
  }
}

}  // namespace

namespace {

// Wine's Task Scheduler cannot disable a task it has only as a file: the
// command line must have asked it (not failed to reach it) and say it failed.
TEST(CliComputerTest, ATaskThatStaysEnabledIsToldAsAFailure) {
  Seeded seeded;
  seeded.File(L"{appdata}\\kvworm.vbs", kInertScript);
  seeded.Task(L"KvWormTask", L"wscript.exe", L"//B \"{appdata}\\kvworm.vbs\"");
  const CliRun run = RunCli(L"check computer --clean --no-recheck --json");
  EXPECT_EQ(run.exitCode, 3u) << run;
  const nlohmann::json document = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_FALSE(document.is_discarded()) << run;
  const nlohmann::json& clean = document.at("clean");
  EXPECT_EQ(clean.at("tasksDisabled"), 0) << run;
  ASSERT_EQ(clean.at("failures").size(), 1u) << run;
  EXPECT_EQ(clean.at("failures")[0].at("item"), "Task \\KvWormTask") << run;
  const std::set<std::string> askedAndRefused = {"the Task Scheduler does not know this task",
                                                 "the Task Scheduler said it was disabled, but it is still enabled"};
  EXPECT_TRUE(askedAndRefused.contains(clean.at("failures")[0].at("reason").get<std::string>())) << run;
}

}  // namespace
