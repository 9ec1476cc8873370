#include "repair/computer_check/clean.h"

#include <map>
#include <thread>

#include "journal/journal.h"
#include "repair/undo_scope.h"
#include "seeded_computer.h"

namespace {

using namespace computer_tests;
namespace journal = platform::journal;
using cc::Kind;

// Every planted value and file, as stored: a value's type and bytes, a file's bytes.
using State = std::map<std::string, std::string>;

struct Watched {
  HKEY root;
  std::wstring key;
  std::wstring name;
};

State StateOf(const std::vector<Watched>& values, const std::vector<std::wstring>& files) {
  State state;
  for (const Watched& value : values) {
    state[Utf8(value.key + L"\\" + value.name)] = Describe(ReadRaw(value.root, value.key, value.name));
  }
  for (const std::wstring& file : files) state[Utf8(Place(file))] = ReadBytes(Place(file)).value_or("(absent)");
  return state;
}

std::vector<bool> Checked(const cc::ScanResult& scan) {
  std::vector<bool> selected;
  for (const cc::Finding& finding : scan.findings) selected.push_back(finding.checked);
  return selected;
}

cc::CleanReport CleanChecked(const cc::ScanResult& scan) {
  const std::vector<bool> flags = Checked(scan);
  const auto selected = std::make_unique<bool[]>(flags.size());
  for (std::size_t i = 0; i < flags.size(); ++i) selected[i] = flags[i];
  return cc::Clean(scan, std::span<const bool>(selected.get(), flags.size()));
}

std::string Failures(const cc::CleanReport& report) {
  std::string text;
  for (const auto& failure : report.failures) text += Utf8(failure.item + L": " + failure.reason) + "\n";
  return text;
}

const std::wstring kService = L"SYSTEM\\CurrentControlSet\\Services\\KvWormSvc";

TEST(ComputerClean, CleanThenUndoPutsEveryValueAndFileBackByteForByte) {
  repair::AllowUndoOfKorvanesPlaces();
  Seeded seeded;
  seeded.File(L"{appdata}\\kvworm.vbs", kInertScript);
  seeded.File(L"{appdata}\\kvworm.hta", kInertScript + "<!-- hta -->");
  seeded.File(L"{startup}\\kvworm.vbs", kInertScript + "' startup");
  seeded.Shortcut(L"{startup}\\KvLink.lnk", L"{windows}\\system32\\wscript.exe", L"//B \"{appdata}\\kvworm.vbs\"");
  seeded.Service(L"KvWormSvc", L"\"{appdata}\\kvsvc.exe\"");
  seeded.File(L"{appdata}\\kvsvc.exe", kInertProgram);
  const std::vector<Watched> values = {
      {kHkcu, kRun, L"KvWormVbs"},
      {kHklm, kWowRun, L"KvWow"},
      {kHkcu, kWinlogon, L"Shell"},
      {kHklm, kWinlogon, L"Userinit"},
      {kHklm, kDebuggers + L"\\taskmgr.exe", L"Debugger"},
      {kHklm, kShowAll, L"CheckedValue"},
      {kHkcu, kCmdPolicy, L"DisableCMD"},
      {kHkcu, kExplorerPolicy, L"DisallowRun"},
      {kHkcu, kExplorerPolicy + L"\\DisallowRun", L"1"},
      {kHkcu, kExplorerPolicy + L"\\DisallowRun", L"2"},
      {kHklm, kService, L"Start"},
  };
  seeded.Text(kHkcu, kRun, L"KvWormVbs", L"wscript.exe //B \"{appdata}\\kvworm.vbs\"");
  seeded.Text(kHklm, kWowRun, L"KvWow", L"mshta.exe \"{appdata}\\kvworm.hta\"");
  seeded.Text(kHkcu, kWinlogon, L"Shell", L"explorer.exe,{appdata}\\kvshell.exe");
  seeded.Text(kHklm, kWinlogon, L"Userinit", L"{windows}\\system32\\userinit.exe,{appdata}\\kvshell.exe,");
  seeded.Text(kHklm, kDebuggers + L"\\taskmgr.exe", L"Debugger", L"{appdata}\\kvdbg.exe");
  seeded.Text(kHklm, kShowAll, L"CheckedValue", L"0");
  seeded.Dword(kHkcu, kCmdPolicy, L"DisableCMD", 2);
  seeded.Dword(kHkcu, kExplorerPolicy, L"DisallowRun", 1);
  seeded.Text(kHkcu, kExplorerPolicy + L"\\DisallowRun", L"1", L"taskmgr.exe");
  seeded.Text(kHkcu, kExplorerPolicy + L"\\DisallowRun", L"2", L"regedit.exe");
  const std::vector<std::wstring> files = {L"{appdata}\\kvworm.vbs", L"{appdata}\\kvworm.hta", L"{startup}\\kvworm.vbs",
                                           L"{startup}\\KvLink.lnk"};
  const State before = StateOf(values, files);

  const cc::ScanResult scan = ScanNow();
  const cc::CleanReport report = CleanChecked(scan);
  EXPECT_EQ(Failures(report), "");
  EXPECT_EQ(report.valuesChanged, 11u);
  EXPECT_EQ(report.quarantined, 4u);
  ASSERT_TRUE(report.group.has_value());

  // What the clean left: the worm's part gone, the system's part kept.
  const std::map<std::string, std::string> after = {
      {"KvWormVbs", "no value"},
      {"Shell", Describe(RawValue{REG_SZ, SzBytes(L"explorer.exe")})},
      {"Userinit", Describe(RawValue{REG_SZ, SzBytes(Place(L"{windows}\\system32\\userinit.exe,"))})},
      {"Debugger", "no value"},
      {"CheckedValue", Describe(RawValue{REG_DWORD, DwordBytes(1)})},
      {"DisableCMD", "no value"},
      {"Start", Describe(RawValue{REG_DWORD, DwordBytes(4)})},
  };
  for (const Watched& value : values) {
    const auto expected = after.find(Utf8(value.name));
    if (expected == after.end()) continue;
    EXPECT_EQ(Describe(ReadRaw(value.root, value.key, value.name)), expected->second) << Utf8(value.name);
  }
  for (const std::wstring& file : files) EXPECT_FALSE(Exists(Place(file))) << Utf8(Place(file));

  const journal::GroupId ids[] = {*report.group};
  const journal::UndoReport undo = journal::Undo(ids, [](const journal::Group&) { return journal::OnConflict::Stop; });
  EXPECT_TRUE(undo.failures.empty()) << Utf8(undo.failures.empty() ? L"" : undo.failures.front());
  EXPECT_TRUE(undo.refused.empty()) << Utf8(undo.refused.empty() ? L"" : undo.refused.front());
  EXPECT_FALSE(undo.stopped);
  EXPECT_EQ(StateOf(values, files), before);
}

TEST(ComputerClean, ARefusedChangeIsToldAndNothingOfItCounted) {
  const struct {
    const char* name;
    bool elevated;
    bool keyRefuses;
    std::wstring reason;
  } cases[] = {
      {"elevated, the key's security refuses", true, true, L"the change was refused: "},
      {"without administrator rights", false, false, L"needs administrator rights"},
  };
  const std::wstring debuggerKey = kDebuggers + L"\\regedit.exe";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Seeded seeded;
    seeded.File(L"{appdata}\\kvworm.vbs", kInertScript);
    seeded.Text(kHkcu, kRun, L"KvWormVbs", L"wscript.exe //B \"{appdata}\\kvworm.vbs\"");
    seeded.Text(kHklm, debuggerKey, L"Debugger", L"C:\\KvNowhere\\blocked.exe");
    std::optional<ScopedRefusal> refusal;
    if (c.keyRefuses) refusal.emplace(kHklm, debuggerKey);
    const cc::ScanResult scan = ScanNow({.elevated = c.elevated});
    const cc::Finding* blocked = FindingFor(scan, Hklm(debuggerKey, L"Debugger"));
    ASSERT_NE(blocked, nullptr);
    EXPECT_EQ(blocked->needsAdmin, !c.elevated);
    EXPECT_EQ(blocked->evidence.ends_with(L"; needs administrator rights"), !c.elevated) << Utf8(blocked->evidence);

    const cc::CleanReport report = CleanChecked(scan);
    ASSERT_EQ(report.failures.size(), 1u) << Failures(report);
    EXPECT_EQ(Utf8(report.failures[0].item), Utf8(Hklm(debuggerKey, L"Debugger")));
    EXPECT_TRUE(report.failures[0].reason.starts_with(c.reason)) << Utf8(report.failures[0].reason);
    EXPECT_EQ(report.valuesChanged, 1u);  // the HKCU value only
    EXPECT_EQ(report.quarantined, 1u);
    EXPECT_SZ(kHklm, debuggerKey, L"Debugger", L"C:\\KvNowhere\\blocked.exe");
    EXPECT_NO_VALUE(kHkcu, kRun, L"KvWormVbs");
    EXPECT_NE(cc::DescribeClean(report, L"").find(L"Failed: 1"), std::wstring::npos) << Utf8(cc::DescribeClean(report, L""));
  }
}

TEST(ComputerClean, TheSecondLookReportsAValuePutBack) {
  const struct {
    const char* name;
    bool putBack;
  } cases[] = {{"something sets it again", true}, {"it stays removed", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Seeded seeded;
    seeded.File(L"{appdata}\\kvworm.vbs", kInertScript);
    seeded.Text(kHkcu, kRun, L"KvWormVbs", L"wscript.exe //B \"{appdata}\\kvworm.vbs\"");
    const cc::CleanReport report = CleanChecked(ScanNow());
    ASSERT_EQ(report.valuesChanged, 1u) << Failures(report);
    // Stands in for a worm's process that writes its value back a moment later.
    std::thread writer([&] {
      Sleep(200);
      if (c.putBack) WriteSz(kHkcu, kRun, L"KvWormVbs", Place(L"wscript.exe //B \"{appdata}\\kvworm.vbs\""));
    });
    const auto back = cc::SecondLook(report, std::chrono::milliseconds(1500));
    writer.join();
    std::vector<std::string> items;
    for (const cc::Changed& change : back) items.push_back(Utf8(change.item));
    EXPECT_EQ(items, c.putBack ? std::vector<std::string>{Utf8(Hkcu(kRun, L"KvWormVbs"))} : std::vector<std::string>{});
    EXPECT_EQ(cc::DescribeSecondLook(back).find(L"keeps setting") != std::wstring::npos, c.putBack);
  }
}

// A running script host ends; a task is disabled only if reading it back says
// so (Wine's Task Scheduler knows no task written as a file, so it is told as failed).
TEST(ComputerClean, ProcessesEndAndTasksAreReadBack) {
  Seeded seeded;
  seeded.File(L"{appdata}\\kvworm.vbs", kInertScript);
  seeded.Task(L"KvWormTask", L"wscript.exe", L"//B \"{appdata}\\kvworm.vbs\"");
  const DWORD pid = seeded.Launcher(L"{appdata}\\kvworm.vbs");
  const cc::ScanResult scan = ScanNow();
  const cc::CleanReport report = CleanChecked(scan);
  EXPECT_EQ(report.processesEnded, 1u);
  EXPECT_EQ(report.tasksDisabled, 0u);
  ASSERT_EQ(report.failures.size(), 1u) << Failures(report);
  EXPECT_EQ(Utf8(report.failures[0].item), "Task \\KvWormTask");
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  EXPECT_TRUE(!process || WaitForSingleObject(process, 0) == WAIT_OBJECT_0) << "the stand-in still runs";
  if (process) CloseHandle(process);
  // The ended process is noted in the journal; the task that stayed enabled is not.
  const journal::GroupId ids[] = {*report.group};
  const journal::Listing listing = journal::ReadItemsOf(ids);
  std::vector<std::string> notes;
  for (const journal::Group& group : listing.groups) {
    if (group.id != *report.group) continue;
    for (const journal::Item& item : group.items) {
      if (item.kind == journal::ItemKind::Note && !item.path.empty()) notes.push_back(Utf8(item.path.substr(0, 20)));
    }
  }
  EXPECT_EQ(notes, std::vector<std::string>{"Ended wscript.exe (p"});
}

}  // namespace
