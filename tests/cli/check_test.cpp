#include <objbase.h>

#include <algorithm>
#include <cstdlib>

#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "repair/drive_check/infected_drive.h"
#include "system/utf8.h"
#include "repair/drive_check/quarantine.h"

namespace {

using namespace testing_support;
using platform::FromUtf8;
using cli_tests::CliRun;
using cli_tests::Contains;
using cli_tests::RunCli;
using drive_check_tests::Infect;

// Every file under a folder and its subfolders, by full path.
void FilesUnder(const std::wstring& folder, std::set<std::wstring>& files) {
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) FilesUnder(path, files);
    else files.insert(path);
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

std::set<std::wstring> QuarantinedFiles() {
  std::set<std::wstring> files;
  FilesUnder(repair::drive_check::QuarantineRoot(), files);
  return files;
}

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
  const std::set<std::string> kinds = {"link", "autorun", "shortcut", "payload", "blank-folder", "hidden"};
  const std::set<std::string> proposals = {"quarantine", "make-visible", "rename", "leave"};
  for (const nlohmann::json& finding : found) {
    paths.insert(finding.at("path").get<std::string>());
    EXPECT_TRUE(kinds.contains(finding.at("kind"))) << finding;
    EXPECT_TRUE(proposals.contains(finding.at("proposal"))) << finding;
    EXPECT_TRUE(finding.at("strength") == "worm" || finding.at("strength") == "unusual") << finding;
    EXPECT_TRUE(finding.contains("kindCaption") && finding.contains("proposalCaption")) << finding;
  }
  std::multiset<std::string> expected;
  for (const std::string& line : drive_check_tests::Expected(kDrive)) {
    expected.insert(line.substr(line.find("checked ") + 8));
  }
  EXPECT_EQ(paths, expected) << run;  // non-ASCII and long paths among them, intact through the pipe
  EXPECT_EQ(Attributes(worm), drive_check_tests::kHiddenSystem | FILE_ATTRIBUTE_READONLY) << "a check changed the drive";

  // For a console: a blank name by what it is made of, and the command that carries the check out.
  run = RunCli(L"check E:");
  EXPECT_EQ(run.exitCode, 1u) << run;
  EXPECT_TRUE(Contains(run.out, "E:\\[blank name: no-break space] -> ")) << run;
  EXPECT_FALSE(Contains(run.out, "U+00A0")) << run;
  EXPECT_TRUE(run.out.ends_with("\r\nTo carry out what is marked [x]: korvane check E: --clean\r\n")) << run;

  run = RunCli(L"check E: --clean --json");
  EXPECT_EQ(run.exitCode, 0u) << run;
  const nlohmann::json cleaned = nlohmann::json::parse(run.out).at("clean");
  EXPECT_TRUE(cleaned.at("group").is_number()) << run;
  const std::map<std::string, int> proposed = Proposed(found);
  EXPECT_EQ(cleaned.at("quarantined"), proposed.at("quarantine")) << run;
  EXPECT_EQ(cleaned.at("madeVisible"), proposed.at("make-visible")) << run;
  EXPECT_EQ(cleaned.at("renamed"), 0) << "the rename is never done from the command line\n" << run;
  EXPECT_TRUE(cleaned.at("failures").empty()) << run;
  EXPECT_FALSE(Exists(worm));
  EXPECT_EQ(Attributes(OnDrive(kDrive, L"Photos")), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(Attributes(blank), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY)) << "made visible, keeping its name";
  EXPECT_TRUE(Exists(OnDrive(kDrive, L"Notepad.lnk")));
  const nlohmann::json listed = nlohmann::json::parse(RunCli(L"undo list --json").out).at("groups").front();
  EXPECT_EQ(listed.at("changes"), proposed.at("quarantine") + proposed.at("make-visible")) << "as the clean told" << listed;
  EXPECT_TRUE(Contains(RunCli(L"undo list").out, "(" + to_string(listed.at("changes")) + " items)")) << listed;

  run = RunCli(L"check E:");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_TRUE(run.out.starts_with("Nothing was found on drive E: among ")) << run;
  EXPECT_FALSE(Contains(run.out, "--clean")) << "nothing to carry out\n" << run;

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

  const std::set<std::wstring> keptBefore = QuarantinedFiles();
  run = RunCli(L"check W:");
  EXPECT_EQ(run.exitCode, 1u) << "the scan still lists\n" << run;
  EXPECT_TRUE(run.out.find("W:\\autorun.inf -> Move to quarantine") != std::string::npos) << run;
  run = RunCli(L"check W: --clean");
  EXPECT_EQ(run.exitCode, 3u) << run;
  EXPECT_TRUE(run.out.find("Failed: 1\r\n    W:\\autorun.inf: ") != std::string::npos) << run;
  // The drive cannot change, so what could go wrong is a copy taken off it and left behind.
  std::string added;
  for (const std::wstring& file : QuarantinedFiles()) {
    if (!keptBefore.contains(file)) added += Utf8(file) + "\n";
  }
  EXPECT_EQ(added, "") << "copies left in the quarantine by a clean that removed nothing";
}

// R: is removable (run-tests.sh) and present while its folder exists; E: and F: are fixed.
TEST(CliCheckTest, RemovableChecksEachRemovableDrivePresentAndExitsWithTheWorst) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const char* unixFolder = std::getenv("KORVANE_TEST_REMOVABLE");
  ASSERT_NE(unixFolder, nullptr) << "run the tests through tests/support/run-tests.sh";
  std::wstring folder = L"Z:" + FromUtf8(unixFolder);
  std::replace(folder.begin(), folder.end(), L'/', L'\\');
  ClearDrive(kDrive);
  Infect(kDrive);  // a fixed drive with a worm: never part of --removable

  CliRun run = RunCli(L"check --removable --json");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_EQ(nlohmann::json::parse(run.out).at("drives").size(), 0u) << "R: is absent\n" << run;

  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
  WriteBytes(OnDrive(L'R', L"worm.vbs"), "WScript.Echo 1", drive_check_tests::kHiddenSystem);
  WriteBytes(OnDrive(L'R', L"autorun.inf"), "[autorun]\r\nopen=wscript worm.vbs\r\n", drive_check_tests::kHiddenSystem);
  run = RunCli(L"CHECK --Removable --json");
  EXPECT_EQ(run.exitCode, 1u) << run;
  const nlohmann::json drives = nlohmann::json::parse(run.out).at("drives");
  ASSERT_EQ(drives.size(), 1u) << run;
  EXPECT_EQ(drives[0].at("drive"), "R:") << run;
  EXPECT_EQ(drives[0].at("wormFindingsRemain"), true) << run;

  run = RunCli(L"check --removable --clean");
  EXPECT_EQ(run.exitCode, 0u) << run;
  EXPECT_TRUE(Contains(run.out, "To undo this clean: korvane undo ")) << run;
  EXPECT_FALSE(Contains(run.out, "Tools > Undo")) << run;
  EXPECT_FALSE(Exists(OnDrive(L'R', L"worm.vbs")));
  EXPECT_TRUE(Exists(OnDrive(kDrive, L"worm.vbs"))) << "a fixed drive was cleaned";

  ClearDrive(L'R');
  RemoveDirectoryW(folder.c_str());
  ClearDrive(kDrive);
  CoUninitialize();
}

}  // namespace
