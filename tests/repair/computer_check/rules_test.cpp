#include "repair/computer_check/launchers.h"
#include "repair/computer_check/rules.h"
#include "seeded_computer.h"

#include <numeric>

namespace {

using namespace computer_tests;
using cc::Kind;
using cc::Proposal;
using cc::Strength;

struct Planted {
  HKEY root;
  std::wstring key;
  std::wstring name;
  std::wstring text;  // a REG_SZ, or empty for the number below
  DWORD number = 0;
};

struct Computer {
  const char* name;
  cc::ScanOptions options;
  std::vector<Planted> values;
  std::vector<std::string> expected;  // every finding of the scan, as Line() writes it
};

std::vector<Computer> Computers() {
  const std::wstring runItem = Hkcu(kRun, L"");
  return {
      {"infected, worm and legitimate entries side by side",
       {},
       {
           {kHkcu, kRun, L"KvWormVbs", L"wscript.exe //B \"{appdata}\\kvworm.vbs\""},
           {kHkcu, kRun, L"KvWormDll", L"rundll32.exe \"{appdata}\\kvworm.dll\",Start"},
           {kHkcu, kRun, L"KvHidden", L"\"{hidden}\\kvprog.exe\""},
           {kHkcu, kRun, L"KvMissing", L"\"C:\\KvNowhere\\gone.exe\" /min"},
           {kHkcu, kRun, L"KvNotepad", L"\"{windows}\\system32\\notepad.exe\""},
           {kHkcu, kRun, L"KvShell32", L"rundll32.exe shell32.dll,Control_RunDLL"},
           {kHkcu, kRun, L"KvDefender", L"wscript.exe \"{locked}\\defender.vbs\""},
           {kHklm, kWowRun, L"KvWow", L"mshta.exe \"{appdata}\\kvworm.hta\""},
           {kHkcu, kPolicyRun, L"KvPolicy", L"powershell.exe -ExecutionPolicy Bypass -File \"{appdata}\\kvworm.ps1\""},
           {kHkcu, kWinlogon, L"Shell", L"explorer.exe, {appdata}\\kvshell.exe"},
           {kHklm, kWinlogon, L"Userinit", L"{windows}\\system32\\userinit.exe,{appdata}\\kvshell.exe,"},
           {kHklm, kDebuggers + L"\\taskmgr.exe", L"Debugger", L"{appdata}\\kvdbg.exe"},
           {kHklm, kDebuggers + L"\\regedit.exe", L"Debugger", L"C:\\KvNowhere\\blocked.exe"},
           {kHklm, kDebuggers + L"\\msconfig.exe", L"Debugger", L"\"{pf}\\procexp.exe\" /e"},
           {kHklm, kDebuggers + L"\\cmd.exe", L"Debugger", L"{windows}\\system32\\notepad.exe"},
           {kHklm, kShowAll, L"CheckedValue", L"", 0},
           {kHkcu, kCmdPolicy, L"DisableCMD", L"", 1},
           {kHkcu, kExplorerPolicy, L"DisallowRun", L"", 1},
           {kHkcu, kExplorerPolicy + L"\\DisallowRun", L"1", L"taskmgr.exe"},
           {kHkcu, kExplorerPolicy + L"\\DisallowRun", L"2", L"Regedit.exe"},
           {kHkcu, kExplorerPolicy + L"\\DisallowRun", L"3", L"notepad.exe"},
       },
       {
           Line(Kind::Process, Strength::Worm, Proposal::EndProcess, L"wscript.exe (process PID)"),
           Line(Kind::Run, Strength::Worm, Proposal::DeleteValue, runItem + L"KvWormVbs"),
           Line(Kind::Run, Strength::Worm, Proposal::DeleteValue, runItem + L"KvWormDll"),
           Line(Kind::Run, Strength::Worm, Proposal::DeleteValue, runItem + L"KvHidden"),
           Line(Kind::Run, Strength::Unusual, Proposal::DeleteValue, runItem + L"KvMissing"),
           Line(Kind::Run, Strength::Worm, Proposal::DeleteValue, Hklm(kWowRun, L"KvWow")),
           Line(Kind::Run, Strength::Worm, Proposal::DeleteValue, Hkcu(kPolicyRun, L"KvPolicy")),
           Line(Kind::Startup, Strength::Worm, Proposal::Quarantine, L"{startup}\\kvworm.vbs"),
           Line(Kind::Startup, Strength::Worm, Proposal::Quarantine, L"{startup}\\KvLink.lnk"),
           Line(Kind::Startup, Strength::Unusual, Proposal::Quarantine, L"{startup}\\kvtool.exe"),
           Line(Kind::Winlogon, Strength::Worm, Proposal::RemoveExtras, Hklm(kWinlogon, L"Userinit")),
           Line(Kind::Winlogon, Strength::Worm, Proposal::RemoveExtras, Hkcu(kWinlogon, L"Shell")),
           Line(Kind::Debugger, Strength::Worm, Proposal::DeleteValue, Hklm(kDebuggers + L"\\taskmgr.exe", L"Debugger")),
           Line(Kind::Debugger, Strength::Worm, Proposal::DeleteValue, Hklm(kDebuggers + L"\\regedit.exe", L"Debugger")),
           Line(Kind::Debugger, Strength::Unusual, Proposal::DeleteValue,
                Hklm(kDebuggers + L"\\msconfig.exe", L"Debugger")),
           Line(Kind::HiddenFiles, Strength::Worm, Proposal::SetValue, Hklm(kShowAll, L"CheckedValue")),
           Line(Kind::Policy, Strength::Worm, Proposal::DeleteValue, Hkcu(kCmdPolicy, L"DisableCMD")),
           Line(Kind::Policy, Strength::Worm, Proposal::DeleteValue, Hkcu(kExplorerPolicy, L"DisallowRun")),
           Line(Kind::Service, Strength::Worm, Proposal::DisableService, L"Service KvWormSvc"),
           Line(Kind::Task, Strength::Worm, Proposal::DisableTask, L"Task \\KvWormTask"),
       }},
      {"in a domain, the policies may be the organisation's",
       {.domainJoined = true},
       {
           {kHkcu, kCmdPolicy, L"DisableCMD", L"", 1},
           {kHkcu, kExplorerPolicy, L"DisallowRun", L"", 1},
           {kHkcu, kExplorerPolicy + L"\\DisallowRun", L"1", L"cmd.exe"},
       },
       {
           Line(Kind::Policy, Strength::Unusual, Proposal::DeleteValue, Hkcu(kCmdPolicy, L"DisableCMD")),
           Line(Kind::Policy, Strength::Unusual, Proposal::DeleteValue, Hkcu(kExplorerPolicy, L"DisallowRun")),
       }},
      {"healthy: the system's own values",
       {},
       {
           {kHklm, kShowAll, L"CheckedValue", L"", 1},
           {kHkcu, kWinlogon, L"Shell", L"Explorer.exe"},
           {kHklm, kWinlogon, L"Userinit", L"%SystemRoot%\\System32\\userinit.exe,"},
           {kHkcu, kExplorerPolicy, L"DisallowRun", L"", 1},
           {kHkcu, kExplorerPolicy + L"\\DisallowRun", L"1", L"game.exe"},
       },
       {}},
  };
}

void PlantFiles(Seeded& seeded, bool worms) {
  if (!worms) return;
  for (const wchar_t* script : {L"{appdata}\\kvworm.vbs", L"{appdata}\\kvworm.hta", L"{appdata}\\kvworm.ps1",
                                L"{startup}\\kvworm.vbs", L"{locked}\\defender.vbs"}) {
    seeded.File(script, kInertScript);
  }
  for (const wchar_t* program : {L"{appdata}\\kvworm.dll", L"{hidden}\\kvprog.exe", L"{pf}\\procexp.exe",
                                 L"{appdata}\\kvdbg.exe", L"{appdata}\\kvsvc.exe", L"{startup}\\kvtool.exe"}) {
    seeded.File(program, kInertProgram);
  }
  LockFolder(Place(L"{locked}\\defender.vbs"), true);
  LockFolder(Place(L"{locked}"), true);
  seeded.Shortcut(L"{startup}\\KvLink.lnk", L"{windows}\\system32\\wscript.exe", L"//B \"{appdata}\\kvworm.vbs\"");
  seeded.Shortcut(L"{startup}\\KvNotepad.lnk", L"{windows}\\system32\\notepad.exe", L"");
  seeded.Service(L"KvWormSvc", L"\"{appdata}\\kvsvc.exe\" -service");
  seeded.Task(L"KvWormTask", L"wscript.exe", L"//B \"{appdata}\\kvworm.vbs\"");
  seeded.Task(L"KvNotepadTask", L"{windows}\\system32\\notepad.exe", L"");
}

TEST(ComputerRules, EachSeededComputerGivesItsFindingsStrengthsAndActions) {
  for (const Computer& computer : Computers()) {
    SCOPED_TRACE(computer.name);
    Seeded seeded;
    const bool worms = !computer.expected.empty() && computer.options.domainJoined != true;
    PlantFiles(seeded, worms);
    for (const Planted& value : computer.values) {
      if (value.text.empty()) {
        seeded.Dword(value.root, value.key, value.name, value.number);
      } else {
        seeded.Text(value.root, value.key, value.name, value.text);
      }
    }
    const DWORD pid = worms ? seeded.Launcher(L"{appdata}\\kvworm.vbs") : 0;
    const cc::ScanResult scan = ScanNow(computer.options);
    std::multiset<std::string> expected;
    for (std::string line : computer.expected) {
      if (const auto at = line.find("PID"); at != std::string::npos) line.replace(at, 3, std::to_string(pid));
      expected.insert(line);
    }
    EXPECT_EQ(Lines(scan), expected);
    for (const cc::Finding& finding : scan.findings) {
      if (finding.kind == Kind::Policy && computer.options.domainJoined == true) {
        EXPECT_TRUE(finding.evidence.starts_with(L"unusual: may be set by your organisation")) << Utf8(finding.evidence);
      }
    }
  }
}

// What a clean would change, finding by finding.
TEST(ComputerRules, EachFindingCarriesExactlyItsChanges) {
  Seeded seeded;
  seeded.File(L"{appdata}\\kvworm.vbs", kInertScript);
  seeded.Text(kHkcu, kRun, L"KvWormVbs", L"wscript.exe //B \"{appdata}\\kvworm.vbs\"");
  seeded.Text(kHkcu, kWinlogon, L"Shell", L"{appdata}\\kvshell.exe");
  seeded.Text(kHklm, kWinlogon, L"Userinit", L"{windows}\\system32\\userinit.exe,{appdata}\\kvshell.exe,");
  seeded.Dword(kHkcu, kExplorerPolicy, L"DisallowRun", 1);
  seeded.Text(kHkcu, kExplorerPolicy + L"\\DisallowRun", L"1", L"taskmgr.exe");
  seeded.Text(kHkcu, kExplorerPolicy + L"\\DisallowRun", L"2", L"cmd.exe");
  const cc::ScanResult scan = ScanNow();

  struct Expected {
    std::wstring item;
    std::vector<std::wstring> steps;  // "name=after" or "name deleted"
    std::vector<std::wstring> files;
  };
  const std::wstring userinit = Place(L"{windows}\\system32\\userinit.exe,");
  const Expected cases[] = {
      {Hkcu(kRun, L"KvWormVbs"), {L"KvWormVbs deleted"}, {L"{appdata}\\kvworm.vbs"}},
      {Hkcu(kWinlogon, L"Shell"), {L"Shell=explorer.exe"}, {}},
      {Hklm(kWinlogon, L"Userinit"), {L"Userinit=" + userinit}, {}},
      {Hkcu(kExplorerPolicy, L"DisallowRun"), {L"1 deleted", L"2 deleted", L"DisallowRun deleted"}, {}},
  };
  for (const Expected& expected : cases) {
    SCOPED_TRACE(Utf8(expected.item));
    const cc::Finding* finding = FindingFor(scan, expected.item);
    ASSERT_NE(finding, nullptr);
    std::vector<std::wstring> steps;
    for (const cc::RegStep& step : finding->registry) {
      steps.push_back(step.name + (step.after ? L"=" + std::wstring(reinterpret_cast<const wchar_t*>(
                                                           step.after->bytes.data()))
                                              : L" deleted"));
    }
    EXPECT_EQ(Utf8(Place(std::accumulate(expected.steps.begin(), expected.steps.end(), std::wstring()))),
              Utf8(std::accumulate(steps.begin(), steps.end(), std::wstring())));
    std::vector<std::wstring> files;
    for (const std::wstring& file : expected.files) files.push_back(Place(file));
    EXPECT_EQ(finding->files, files);
  }
}

TEST(ComputerRules, LauncherPayloadNamesTheFileHandedOver) {
  const std::wstring system = KnownFolder(FOLDERID_System);
  const struct {
    std::wstring commandLine;
    std::wstring payload;  // empty: none
  } cases[] = {
      {L"wscript.exe //B //E:vbscript \"C:\\Users\\a b\\x.vbs\" arg", L"C:\\Users\\a b\\x.vbs"},
      {L"\"C:\\Windows\\System32\\cscript.exe\" C:\\p\\y.js", L"C:\\p\\y.js"},
      {L"rundll32 \"C:\\p\\z.dll\",Entry 1", L"C:\\p\\z.dll"},
      {L"rundll32.exe C:\\p\\z.dll,Entry", L"C:\\p\\z.dll"},
      {L"regsvr32 /s /u C:\\p\\r.ocx", L"C:\\p\\r.ocx"},
      {L"mshta.exe \"C:\\p\\a.hta\"", L"C:\\p\\a.hta"},
      {L"mshta.exe http://example.invalid/a.hta", L""},
      {L"mshta vbscript:Execute(\"x\")", L""},
      {L"powershell -NoP -W Hidden -File C:\\p\\s.ps1", L"C:\\p\\s.ps1"},
      {L"powershell.exe -EncodedCommand AAAA", L""},
      {L"%SystemRoot%\\system32\\WScript.exe \"%SystemRoot%\\k.vbs\"", Place(L"{windows}\\k.vbs")},
      {L"rundll32.exe shell32.dll,Control_RunDLL", system + L"\\shell32.dll"},
      {L"\"C:\\Program Files\\App\\app.exe\" C:\\p\\x.vbs", L""},
      {L"notepad.exe C:\\p\\x.vbs", L""},
      {L"", L""},
  };
  for (const auto& c : cases) {
    const auto payload = cc::LauncherPayload(c.commandLine);
    EXPECT_EQ(Utf8(payload.value_or(L"")), Utf8(c.payload)) << Utf8(c.commandLine);
  }
}

// What Seeded::Launcher runs in a copy of this program named wscript.exe.
TEST(ComputerStandIn, DISABLED_WaitsForItsInput) {
  char byte = 0;
  DWORD got = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr) && got > 0) {
  }
}

}  // namespace
