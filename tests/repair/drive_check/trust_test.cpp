// What a careful owner must be able to trust: no checked row without worm
// evidence, exactly the listed item, nothing beyond a link, every payload
// form taken, and no clean of a drive that is no longer the one scanned.
#include <cstdlib>

#include "support/process_start.h"
#include "drive_state.h"
#include "infected_drive.h"
#include "journal/journal.h"
#include "repair/drive_check/clean.h"
#include "repair/drive_check/quarantine.h"
#include "repair/drive_check/shortcut.h"

namespace {

using namespace drive_check_tests;
using repair::drive_check::Progress;
using repair::drive_check::Scan;
using repair::drive_check::Strength;

const std::string kScript = "WScript.Echo 1\r\n";

std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

// The Unix path Wine keeps behind a Windows one.
std::string UnixPath(const std::wstring& path) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
  if (!unix) return {};
  std::string text = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return text;
}

// Runs a Unix program (Wine starts them like its own, but gives no handle to
// wait on) and waits until `done` says it has had its effect.
bool RunUnix(const std::wstring& program, const std::wstring& arguments, bool (*done)()) {
  std::wstring line = program + L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!testing_support::StartProcess(program.c_str(), line.data(), FALSE, 0, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 100 && !done(); ++i) Sleep(50);
  return done();
}

bool LinkThere() { return GetFileAttributesW(OnDrive(kDrive, L"j").c_str()) != INVALID_FILE_ATTRIBUTES; }
bool LinkGone() { return !LinkThere(); }

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class TrustTest : public testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    // The helpers' clearing would follow the link the containment case makes.
    const std::string link = UnixPath(OnDrive(kDrive, L"j"));
    if (!link.empty() && LinkThere()) RunUnix(L"Z:\\bin\\rm", L"-f " + Wide(link), LinkGone);
    // Names the helpers' plain paths cannot reach.
    for (const wchar_t* name : {L"Report.", L"notes "}) {
      SetFileAttributesW(Long(OnDrive(kDrive, name)).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(Long(OnDrive(kDrive, name)).c_str());
    }
    for (const wchar_t* name : {L"_.", L" ", L"  "}) RemoveDirectoryW(Long(OnDrive(kDrive, name)).c_str());
    ClearDrive(kDrive);
    ClearDrive(kSecondDrive);
    ClearFolder(platform::journal::Folder());
  }
  static ScanResult ScanOf(wchar_t drive) {
    Progress progress;
    return Scan(drive, {}, progress);
  }
  repair::drive_check::ComScope com;
};

TEST_F(TrustTest, NoCheckedRowWithoutWormEvidence) {
  struct Case {
    const char* what;
    void (*build)(std::wstring (*at)(const std::wstring& name));
  };
  const Case cases[] = {
      {"a portable-programs stick",
       [](auto at) {
         WriteBytes(at(L"autorun.inf"), "[autorun]\r\nopen=Start.exe\r\nicon=Start.exe\r\n");
         WriteBytes(at(L"Start.exe"), kProgram);
         MakeFolder(at(L"Notepad++"));
         WriteBytes(at(L"Notepad++\\notepad++.exe"), kProgram);
         MakeShortcut(at(L"Notepad++.lnk"), at(L"Notepad++\\notepad++.exe"), L"");
         MakeFolder(at(L"Tools"));
         WriteBytes(at(L"Tools\\tests.cmd"), "@echo off\r\n");
         MakeShortcut(at(L"Run tests.lnk"), at(L"Tools\\tests.cmd"), L"");
         MakeShortcut(at(L"Command Prompt.lnk"), L"C:\\windows\\system32\\cmd.exe", L"");
       }},
      {"an installer stick",
       [](auto at) {
         WriteBytes(at(L"autorun.inf"),
                    "[AutoRun.Amd64]\r\nopen=setup.exe\r\nicon=setup.exe,0\r\n\r\n[AutoRun]\r\nopen=sources\\"
                    "SetupError.exe x64\r\nicon=sources\\SetupError.exe,0\r\n");
         WriteBytes(at(L"setup.exe"), kProgram);
         MakeFolder(at(L"sources"));
         WriteBytes(at(L"sources\\SetupError.exe"), kProgram);
         WriteBytes(at(L"bootmgr"), "boot", FILE_ATTRIBUTE_READONLY);
       }},
      {"a Command Prompt shortcut, its target a variable",
       [](auto at) { MakeShortcut(at(L"Prompt.lnk"), L"%COMSPEC%", L"/k cd /d %cd%"); }},
      {"customised folders",
       [](auto at) {
         MakeFolder(at(L"Music"));
         WriteBytes(at(L"Music\\desktop.ini"), "[.ShellClassInfo]\r\nIconResource=x.ico,0\r\n", kHiddenSystem);
         SetFileAttributesW(at(L"Music").c_str(), FILE_ATTRIBUTE_SYSTEM);
         MakeFolder(at(L"Pictures"));
         WriteBytes(at(L"Pictures\\desktop.ini"), "[.ShellClassInfo]\r\n", kHiddenSystem);
         SetFileAttributesW(at(L"Pictures").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
       }},
  };
  const auto at = [](const std::wstring& name) { return OnDrive(kDrive, name); };
  for (const Case& c : cases) {
    TearDown();
    c.build(+at);
    const DriveState before = StateOf(at(L"").substr(0, 2));
    const ScanResult scan = ScanOf(kDrive);
    for (const auto& finding : scan.findings) {
      EXPECT_FALSE(finding.checked) << c.what << ": " << Line(finding) << " (" << Utf8(finding.details) << ")";
    }
    const CleanReport report = CleanChecked(scan);
    EXPECT_EQ(report.madeVisible + report.quarantined + report.renamed, 0u) << c.what;
    EXPECT_EQ(Differences(StateOf(at(L"").substr(0, 2)), before), "") << c.what;
  }

  // A hidden script that nothing starts is shown again, never taken.
  TearDown();
  WriteBytes(at(L"backup.bat"), "xcopy /s C:\\Data E:\\Data\r\n", kHidden);
  const ScanResult scan = ScanOf(kDrive);
  EXPECT_EQ(Lines(scan.findings),
            std::multiset<std::string>{Line(FindingKind::Hidden, Proposal::MakeVisible, true, at(L"backup.bat"))});
  const CleanReport report = CleanChecked(scan);
  EXPECT_EQ(report.madeVisible, 1u);
  EXPECT_EQ(report.quarantined, 0u);
  EXPECT_EQ(Attributes(at(L"backup.bat")), 0u);
}

// Names the system would tidy when given as a plain path: each clean call must
// reach the listed item itself, never the neighbour the tidied name names.
TEST_F(TrustTest, TheCleanActsOnExactlyTheListedItem) {
  const auto at = [](const std::wstring& name) { return Long(OnDrive(kDrive, name)); };
  WriteBytes(at(L"Report"), "the visible one");
  WriteBytes(at(L"Report."), "the hidden one", kHidden);
  WriteBytes(at(L"notes"), "visible notes");
  WriteBytes(at(L"notes "), "hidden notes", kHiddenSystem);
  MakeFolder(at(L"_"));
  MakeFolder(at(L"_."), kHiddenSystem);
  MakeFolder(at(L" "), kHidden);
  MakeFolder(at(L"  "), kHiddenSystem);
  const std::wstring root = OnDrive(kDrive, L"").substr(0, 2);
  const DriveState before = StateOf(root);
  ASSERT_EQ(before.size(), 8u) << "every odd name was made";
  const ScanResult scan = ScanOf(kDrive);
  const CleanReport report = CleanChecked(scan);
  EXPECT_EQ(report.failures.size(), 0u) << Failures(report);
  EXPECT_EQ(report.madeVisible, 5u);
  DriveState expected = before;
  for (const wchar_t* name : {L"Report.", L"notes ", L"_.", L" ", L"  "}) {
    std::string& state = expected[root + L"\\" + name];
    const auto space = state.find(' ', state.starts_with("folder") ? 7 : 0);
    state = (state.starts_with("folder") ? "folder " : "") + std::to_string(state.starts_with("folder") ? 16 : 0) +
            (state.starts_with("folder") ? "" : state.substr(space));
  }
  EXPECT_EQ(Differences(StateOf(root), expected), "") << "only the listed items changed";
  const auto groups = platform::journal::Read().groups;
  ASSERT_FALSE(groups.empty());
  EXPECT_EQ(groups.front().items.size(), 5u) << "one journal item for each change made";
}

// A Unix symlink inside the drive's folder shows as a reparse point: the walk
// stays out, and what a shortcut names through it is neither proposed nor taken.
TEST_F(TrustTest, NothingBeyondALinkIsProposedOrTaken) {
  WriteBytes(OnDrive(kSecondDrive, L"app.exe"), kProgram, kHidden);
  WriteBytes(OnDrive(kSecondDrive, L"x.vbs"), kScript, kHiddenSystem);
  const std::string target = UnixPath(RootPath(kSecondDrive));
  const std::string link = UnixPath(OnDrive(kDrive, L"j"));
  ASSERT_FALSE(target.empty() || link.empty());
  ASSERT_TRUE(RunUnix(L"Z:\\bin\\ln", L"-s " + Wide(target) + L" " + Wide(link), LinkThere)) << "a Unix symlink made";
  MakeFolder(OnDrive(kDrive, L"App"), kHiddenSystem);
  MakeShortcut(OnDrive(kDrive, L"App.lnk"), OnDrive(kDrive, L"j\\app.exe"), L"");
  MakeShortcut(OnDrive(kDrive, L"Go.lnk"), L"C:\\windows\\system32\\wscript.exe", L"j\\x.vbs");
  WriteBytes(OnDrive(kDrive, L"autorun.inf"), "[autorun]\r\nopen=wscript j\\x.vbs\r\n");
  const DriveState outside = StateOf(RootPath(kSecondDrive).substr(0, 2));

  const ScanResult scan = ScanOf(kDrive);
  bool linkListed = false;
  for (const auto& finding : scan.findings) {
    EXPECT_EQ(finding.path.find(OnDrive(kDrive, L"j\\")), std::wstring::npos) << Line(finding);
    linkListed = linkListed || (finding.kind == FindingKind::Link && finding.path == OnDrive(kDrive, L"j"));
  }
  EXPECT_TRUE(linkListed) << "the link is listed, not followed";
  const auto everything = std::make_unique<bool[]>(scan.findings.size());
  std::fill_n(everything.get(), scan.findings.size(), true);
  const CleanReport report = Clean(scan, std::span<const bool>(everything.get(), scan.findings.size()));
  EXPECT_FALSE(report.rescanNeeded) << Utf8(report.refusal);
  EXPECT_EQ(Differences(StateOf(RootPath(kSecondDrive).substr(0, 2)), outside), "") << "nothing beyond the link changed";
}

TEST_F(TrustTest, EveryWormFormLosesItsPayload) {
  struct Case {
    const wchar_t* what;
    const wchar_t* payload;  // below the drive's hidden "_" folder unless it names a root file
    const char* bytes;
    const wchar_t* target;
    const wchar_t* arguments;
    const char* file = nullptr;  // a text file to write instead of a shortcut: "name|content"
  };
  const Case cases[] = {
      {L"rundll32 file,entry", L"~$WQ4T.FAT32", "MZ", L"C:\\windows\\system32\\rundll32.exe", L"~$WQ4T.FAT32,_ldr@16"},
      {L"wscript with an engine", L"_\\m.dat", "x", L"C:\\windows\\system32\\wscript.exe", L"//e:vbscript _\\m.dat"},
      {L"cscript with an engine", L"_\\j.txt", "x", L"cscript", L"//nologo //e:jscript \"_\\j.txt\""},
      {L"explorer given a file", L"_\\d.vbs", "x", L"C:\\windows\\explorer.exe", L"_\\d.vbs"},
      {L"a quoted command string", L"_\\q1.vbs", "x", L"C:\\windows\\system32\\cmd.exe",
       L"/c \"start _\\q1.vbs & start explorer Alpha\""},
      {L"%cd%", L"_\\q2.vbs", "x", L"C:\\windows\\system32\\cmd.exe", L"/c start %cd%\\_\\q2.vbs"},
      {L"%COMSPEC% as the target", L"_\\c.bat", "x", L"%COMSPEC%", L"/c _\\c.bat"},
      {L"regsvr32", L"_\\r.dll", "MZ", L"regsvr32.exe", L"/s /i _\\r.dll"},
      {L"mshta", L"_\\h.hta", "x", L"C:\\windows\\system32\\mshta.exe", L"\"_\\h.hta\""},
      {L"powershell -File", L"_\\p.ps1", "x", L"powershell.exe", L"-ExecutionPolicy Bypass -File _\\p.ps1"},
      {L"the folder-icon program", L"Alpha.exe", "MZ", nullptr, nullptr},
      {L"a document extension before the program one", L"photo.jpg.exe", "MZ", nullptr, nullptr},
      {L"a name turned round", L"invoice\u202Efdp.exe", "MZ", nullptr, nullptr},
      {L".url", L"_\\u.vbs", "x", nullptr, nullptr, "Open me.url|[InternetShortcut]\r\nURL=file:///E:/_/u.vbs\r\n"},
      {L".scf", L"_\\s.exe", "MZ", nullptr, nullptr, "Desktop.scf|[Shell]\r\nCommand=2\r\nIconFile=_\\s.exe\r\n"},
      {L"a padded autorun.inf", L"_\\a.vbs", "x", nullptr, nullptr, "autorun.inf|"},
  };
  for (const Case& c : cases) {
    TearDown();
    MakeFolder(OnDrive(kDrive, L"_"), kHiddenSystem);
    MakeFolder(OnDrive(kDrive, L"Alpha"), kHiddenSystem);
    const std::wstring payload = OnDrive(kDrive, c.payload);
    WriteBytes(payload, c.bytes);
    if (c.target) MakeShortcut(OnDrive(kDrive, L"Alpha.lnk"), c.target, c.arguments);
    if (c.file) {
      const std::string fileAndText = c.file;
      const std::string name = fileAndText.substr(0, fileAndText.find('|'));
      std::string content = fileAndText.substr(fileAndText.find('|') + 1);
      if (name == "autorun.inf") content = std::string(100 * 1024, ';') + "\r\n[autorun]\r\nopen=wscript _\\a.vbs\r\n";
      WriteBytes(OnDrive(kDrive, std::wstring(name.begin(), name.end())), content);
    }
    const ScanResult scan = ScanOf(kDrive);
    bool proposed = false;
    for (const auto& finding : scan.findings) {
      proposed = proposed || (finding.path == payload && finding.checked && finding.strength == Strength::Worm &&
                              finding.proposal == Proposal::MoveToQuarantine);
    }
    EXPECT_TRUE(proposed) << Utf8(c.what);
    const CleanReport report = CleanChecked(scan);
    EXPECT_TRUE(report.failures.empty()) << Utf8(c.what) << "\n" << Failures(report);
    EXPECT_FALSE(Exists(Long(payload))) << Utf8(c.what) << ": the payload is gone from the drive";
    EXPECT_TRUE(Exists(Long(report.quarantineFolder + payload.substr(2) + repair::drive_check::kQuarantinedSuffix)))
        << Utf8(c.what) << ": and kept in the quarantine";
  }
}

TEST_F(TrustTest, ADriveChangedSinceTheScanIsNotCleaned) {
  const std::wstring root = OnDrive(kDrive, L"").substr(0, 2);
  {
    Infect(kDrive);
    const DriveState scanned = StateOf(root);
    const ScanResult scan = ScanOf(kDrive);
    const SwappedDrive swap;
    ASSERT_TRUE(swap.Swapped());
    Infect(kDrive);  // another stick, the same worm, in the same letter
    const DriveState other = StateOf(root);
    const CleanReport report = CleanChecked(scan);
    EXPECT_TRUE(report.rescanNeeded) << "another stick in the letter";
    EXPECT_EQ(report.madeVisible + report.quarantined, 0u);
    const auto checked = Defaults(scan);
    EXPECT_EQ(report.failures.size(), static_cast<std::size_t>(std::count(checked.begin(), checked.end(), 1)))
        << "each checked row named as not changed";
    EXPECT_EQ(Differences(StateOf(root), other), "") << "the stick now in the letter is left alone";
    EXPECT_EQ(Differences(StateOf(swap.Away()), [&] {
                DriveState moved;
                for (const auto& [path, state] : scanned) moved[swap.Away() + path.substr(2)] = state;
                return moved;
              }()),
              "")
        << "and so is the one scanned";
    EXPECT_NE(repair::drive_check::DescribeClean(report, kDrive).find(L"Scan the drive again"), std::wstring::npos);
  }
  // The same stick, one folder changed: a file the worm put back under another name.
  TearDown();
  Infect(kDrive);
  const ScanResult scan = ScanOf(kDrive);
  MoveFileW(OnDrive(kDrive, L"Photos\\beach.jpg").c_str(), OnDrive(kDrive, L"Photos\\beach.jpg.exe").c_str());
  const DriveState changed = StateOf(root);
  const CleanReport report = CleanChecked(scan);
  EXPECT_TRUE(report.rescanNeeded) << "a folder changed";
  EXPECT_EQ(Differences(StateOf(root), changed), "");
}

}  // namespace
