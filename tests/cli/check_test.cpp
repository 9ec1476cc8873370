#include <objbase.h>

#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "repair/drive_check/infected_drive.h"

namespace {

using namespace testing_support;
using cli_tests::CliRun;
using cli_tests::RunCli;
using drive_check_tests::Infect;

// What a finding's line says: its proposal and whether the window checks it.
std::map<std::string, int> Proposed(const nlohmann::json& findings) {
  std::map<std::string, int> counts;
  for (const nlohmann::json& finding : findings) {
    if (finding.at("proposedByDefault") == true) ++counts[finding.at("proposal").get<std::string>()];
  }
  return counts;
}

TEST(CliCheckTest, FindsWhatTheWormDidCleansWhatTheWindowProposesAndUndoesIt) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ClearDrive(kDrive);
  Infect(kDrive);
  const std::wstring worm = OnDrive(kDrive, L"worm.vbs");
  const std::wstring blank = OnDrive(kDrive, drive_check_tests::kBlank);

  CliRun run = RunCli(L"check E: --json");
  EXPECT_EQ(run.exitCode, 1u) << run;
  const nlohmann::json found = nlohmann::json::parse(run.out).at("findings");
  std::multiset<std::string> paths;
  for (const nlohmann::json& finding : found) paths.insert(finding.at("path").get<std::string>());
  std::multiset<std::string> expected;
  for (const std::string& line : drive_check_tests::Expected(kDrive)) {
    expected.insert(line.substr(line.find("checked ") + 8));
  }
  EXPECT_EQ(paths, expected) << run;  // non-ASCII and long paths among them, intact through the pipe
  EXPECT_EQ(Attributes(worm), drive_check_tests::kHiddenSystem | FILE_ATTRIBUTE_READONLY) << "a check changed the drive";

  run = RunCli(L"check E: --clean --json");
  EXPECT_EQ(run.exitCode, 0u) << run;
  const nlohmann::json cleaned = nlohmann::json::parse(run.out).at("clean");
  const std::map<std::string, int> proposed = Proposed(found);
  EXPECT_EQ(cleaned.at("quarantined"), proposed.at("Move to quarantine")) << run;
  EXPECT_EQ(cleaned.at("madeVisible"), proposed.at("Make visible")) << run;
  EXPECT_EQ(cleaned.at("renamed"), 0) << "the rename is never done from the command line\n" << run;
  EXPECT_TRUE(cleaned.at("failures").empty()) << run;
  EXPECT_FALSE(Exists(worm));
  EXPECT_EQ(Attributes(OnDrive(kDrive, L"Photos")), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(Attributes(blank), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY)) << "made visible, keeping its name";
  EXPECT_TRUE(Exists(OnDrive(kDrive, L"Notepad.lnk")));

  run = RunCli(L"check E:");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_TRUE(run.out.starts_with("Nothing was found on drive E: (")) << run;

  run = RunCli(L"undo last");
  EXPECT_EQ(run.exitCode, 3u) << "a worm's files go back on the drive only with --force" << run;
  EXPECT_NE(run.err.find("korvane undo: would put back E:\\worm.vbs\r\n"), std::string::npos) << run;
  EXPECT_FALSE(Exists(worm));
  run = RunCli(L"undo last --force");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_NE(run.out.find("\r\nUndone: change "), std::string::npos) << run;
  EXPECT_EQ(ReadBytes(worm), drive_check_tests::kWormVbs);
  EXPECT_EQ(Attributes(OnDrive(kDrive, L"Docs\\helper\\run.js")), drive_check_tests::kHidden);
  EXPECT_EQ(Attributes(worm), drive_check_tests::kHiddenSystem | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Attributes(OnDrive(kDrive, L"Photos")), FILE_ATTRIBUTE_DIRECTORY | drive_check_tests::kHiddenSystem);
  ClearDrive(kDrive);
  CoUninitialize();
}

TEST(CliCheckTest, AMissingOrWriteProtectedDriveEndsInAFailureWithNothingLost) {
  CliRun run = RunCli(L"check M:");
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_TRUE(run.err.starts_with("korvane check: drive M: could not be read")) << run;

  const std::wstring autorun = OnDrive(kReadOnlyDrive, L"autorun.inf");
  const auto before = ReadBytes(autorun);
  run = RunCli(L"check W:");
  EXPECT_EQ(run.exitCode, 1u) << "the scan still lists\n" << run;
  EXPECT_TRUE(run.out.find("W:\\autorun.inf  -> Move to quarantine") != std::string::npos) << run;
  run = RunCli(L"check W: --clean");
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_TRUE(run.out.find("Failed: 1\r\n    W:\\autorun.inf: ") != std::string::npos) << run;
  EXPECT_EQ(ReadBytes(autorun), before);
}

}  // namespace
