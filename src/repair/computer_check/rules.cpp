#include "repair/computer_check/rules.h"

#include <shlobj.h>

#include <algorithm>
#include <array>

#include "journal/journal.h"
#include "repair/computer_check/launchers.h"
#include "repair/computer_check/registry_read.h"
#include "system/handle.h"
#include "system/known_folder.h"
#include "system/system_text.h"

namespace repair::computer_check {

namespace {

using platform::kCurrentUser;
using platform::kLocalMachine;
using platform::RegRoot;

constexpr wchar_t kWinlogonKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr wchar_t kSystemPolicyKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kDebuggerKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
constexpr wchar_t kShowAllKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL";
constexpr wchar_t kCmdPolicyKey[] = L"Software\\Policies\\Microsoft\\Windows\\System";
constexpr wchar_t kExplorerPolicyKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

constexpr std::array<std::wstring_view, 8> kBlockedTools = {L"taskmgr.exe", L"regedit.exe", L"msconfig.exe",
                                                            L"cmd.exe",     L"rstrui.exe",  L"mmc.exe",
                                                            L"procexp.exe", L"procexp64.exe"};
// What DisallowRun may not keep from the user.
constexpr std::array<std::wstring_view, 3> kDisallowedTools = {L"taskmgr.exe", L"regedit.exe", L"cmd.exe"};
constexpr std::array<std::wstring_view, 4> kPrograms = {L".exe", L".com", L".scr", L".pif"};

std::wstring Describe(RegRoot root, const std::wstring& key, const std::wstring& name) {
  return platform::RegDescribe(root, key, name);
}

std::wstring Launcher(const std::wstring& commandLine) { return FileName(CommandProgram(commandLine)); }

bool EndsWithAny(const std::wstring& name, std::span<const std::wstring_view> suffixes) {
  const std::wstring lower = platform::Lowered(name);
  return std::any_of(suffixes.begin(), suffixes.end(), [&](std::wstring_view s) { return lower.ends_with(s); });
}

// A command line judged as an autostart entry: a launcher handed a file in a
// suspect place, or a program in a folder someone hid.
struct Judgement {
  Strength strength = Strength::Worm;
  std::wstring evidence;  // cppcheck-suppress unusedStructMember ; read through the optional
  std::vector<std::wstring> files;  // what goes to the quarantine with it
};

std::optional<Judgement> JudgeCommand(Context& context, const std::wstring& commandLine, bool missingIsUnusual) {
  const std::wstring program = CommandProgram(commandLine);
  if (const auto payload = LauncherPayload(commandLine)) {
    const std::wstring place = context.places.SuspectPlace(*payload);
    if (!place.empty()) {
      Judgement judgement{Strength::Worm, Launcher(commandLine) + L" starts " + *payload + L", " + place, {}};
      if (Places::Exists(*payload)) judgement.files.push_back(*payload);
      return judgement;
    }
  }
  if (!program.empty() && context.places.InHiddenFolder(program)) {
    Judgement judgement{Strength::Worm, L"starts a program in a hidden folder", {}};
    if (Places::Exists(program) && !context.places.SuspectPlace(program).empty()) judgement.files.push_back(program);
    return judgement;
  }
  if (missingIsUnusual && (program.empty() || !Places::Exists(program))) {
    return Judgement{Strength::Unusual, L"what it starts is not there", {}};
  }
  return std::nullopt;
}

void FindRunValues(Context& context) {
  struct Place {
    RegRoot root;
    std::wstring key;
  };
  std::vector<Place> places;
  for (const std::wstring_view key : {kRunKey, kRunOnceKey, kPolicyRunKey}) {
    places.push_back({kCurrentUser, std::wstring(key)});
    places.push_back({kLocalMachine, std::wstring(key)});
    const std::wstring wow64 = kWow64Prefix + std::wstring(key.substr(std::wstring_view(L"Software\\").size()));
    const std::wstring identity = KeyIdentity(kLocalMachine, wow64);
    if (!identity.empty() && platform::Lowered(identity) != platform::Lowered(KeyIdentity(kLocalMachine, std::wstring(key)))) {
      places.push_back({kLocalMachine, wow64});
    }
  }
  for (const Place& place : places) {
    for (const RegEntry& entry : ReadValues(place.root, place.key)) {
      ++context.read;
      const auto command = TextOf(entry.state);
      if (!command) continue;
      const auto judgement = JudgeCommand(context, *command, true);
      if (!judgement) continue;
      Finding finding{Kind::Run, Proposal::DeleteValue, judgement->strength};
      finding.item = Describe(place.root, place.key, entry.name);
      finding.evidence = judgement->evidence;
      finding.commandLine = *command;
      finding.registry.push_back({place.root, place.key, entry.name, std::nullopt});
      finding.files = judgement->files;
      context.Add(std::move(finding));
    }
    if (context.Cancelled()) return;
  }
}

std::optional<Judgement> JudgeStartupFile(Context& context, const std::wstring& path, const std::wstring& name) {
  if (IsScript(name)) return Judgement{Strength::Worm, L"a script started at every logon", {}};
  if (platform::Lowered(name).ends_with(L".lnk")) {
    const auto target = context.shortcuts.Read(path);
    if (!target || target->path.empty()) return std::nullopt;
    const std::wstring targetPath = Expand(target->path);
    const std::wstring command = L"\"" + targetPath + L"\" " + target->arguments;
    if (const auto payload = LauncherPayload(command)) {
      const std::wstring place = context.places.SuspectPlace(*payload);
      if (place.empty()) return std::nullopt;
      Judgement judgement{Strength::Worm, L"runs " + FileName(targetPath) + L" with " + *payload + L", " + place, {}};
      if (Places::Exists(*payload)) judgement.files.push_back(*payload);
      return judgement;
    }
    const std::wstring place = context.places.SuspectPlace(targetPath);
    if (IsScript(targetPath) && !place.empty()) {
      Judgement judgement{Strength::Worm, L"runs the script " + targetPath + L", " + place, {}};
      if (Places::Exists(targetPath)) judgement.files.push_back(targetPath);
      return judgement;
    }
    if (EndsWithAny(targetPath, kPrograms) && !place.empty()) {
      return Judgement{Strength::Unusual, L"starts the program " + targetPath + L", " + place, {}};
    }
    return std::nullopt;
  }
  if (EndsWithAny(name, kPrograms) && !context.places.SuspectPlace(path).empty()) {
    return Judgement{Strength::Unusual, L"a program in the Startup folder, " + context.places.SuspectPlace(path), {}};
  }
  return std::nullopt;
}

void FindStartupFiles(Context& context) {
  for (const bool everyone : {false, true}) {
    const std::wstring folder = platform::KnownFolder(everyone ? FOLDERID_CommonStartup : FOLDERID_Startup);
    if (folder.empty()) continue;
    WIN32_FIND_DATAW data;
    const platform::FindHandle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) continue;
    do {
      if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
      ++context.read;
      const std::wstring path = folder + L"\\" + data.cFileName;
      const auto judgement = JudgeStartupFile(context, path, data.cFileName);
      if (!judgement) continue;
      Finding finding{Kind::Startup, Proposal::Quarantine, judgement->strength};
      finding.item = path;
      finding.evidence = judgement->evidence;
      finding.files.push_back(path);
      for (const auto& file : judgement->files) finding.files.push_back(file);
      finding.needsAdmin = everyone;
      context.Add(std::move(finding));
    } while (!context.Cancelled() && FindNextFileW(find.Get(), &data));
  }
}

std::vector<std::wstring> SplitItems(const std::wstring& value) {
  std::vector<std::wstring> items;
  std::size_t start = 0;
  while (start <= value.size()) {
    auto end = value.find(L',', start);
    if (end == std::wstring::npos) end = value.size();
    std::wstring item = value.substr(start, end - start);
    item.erase(0, item.find_first_not_of(L" \t"));
    item.erase(item.find_last_not_of(L" \t") + 1);
    if (!item.empty()) items.push_back(item);
    start = end + 1;
  }
  return items;
}

// Shell and Userinit: the items the system puts there are kept; anything else is a worm's.
void JudgeWinlogon(Context& context, RegRoot root, const std::wstring& key, const std::wstring& name, bool userinit) {
  const platform::RegState state = platform::RegGetRaw(root, key, name);
  const auto value = TextOf(state);
  if (!value) return;
  ++context.read;
  const std::wstring windows = platform::Lowered(Expand(L"%SystemRoot%"));
  const std::wstring normalShort = userinit ? L"userinit.exe" : L"explorer.exe";
  const std::wstring normalLong = windows + (userinit ? L"\\system32\\userinit.exe" : L"\\explorer.exe");
  std::vector<std::wstring> kept;
  std::vector<std::wstring> extra;
  for (const std::wstring& item : SplitItems(*value)) {
    const std::wstring lower = platform::Lowered(Expand(item));
    if (lower == normalShort || lower == normalLong) {
      kept.push_back(item);
    } else {
      extra.push_back(item);
    }
  }
  if (extra.empty()) return;
  if (kept.empty()) kept.push_back(userinit ? Expand(L"%SystemRoot%\\system32\\userinit.exe") : L"explorer.exe");
  // Userinit's items each end with a comma, as the system writes it.
  std::wstring repaired;
  for (const std::wstring& item : kept) repaired += userinit ? item + L"," : (repaired.empty() ? L"" : L",") + item;
  std::wstring extras;
  for (const std::wstring& item : extra) extras += (extras.empty() ? L"" : L", ") + item;
  Finding finding{Kind::Winlogon, Proposal::RemoveExtras, Strength::Worm};
  finding.item = Describe(root, key, name);
  finding.evidence = L"also starts " + extras;
  finding.commandLine = *value;
  finding.registry.push_back({root, key, name, TextState(state.type, repaired)});
  context.Add(std::move(finding));
}

void FindWinlogon(Context& context) {
  JudgeWinlogon(context, kLocalMachine, kWinlogonKey, L"Shell", false);
  JudgeWinlogon(context, kLocalMachine, kWinlogonKey, L"Userinit", true);
  JudgeWinlogon(context, kCurrentUser, kWinlogonKey, L"Shell", false);
  JudgeWinlogon(context, kCurrentUser, kSystemPolicyKey, L"Shell", false);
}

void FindDebuggers(Context& context) {
  const std::wstring wow64Key = kWow64Prefix + std::wstring(kDebuggerKey).substr(9);
  std::vector<std::wstring> keys = {kDebuggerKey};
  // Where the 32-bit view is the same key (as under Wine), it is read once.
  const std::wstring identity = KeyIdentity(kLocalMachine, wow64Key);
  if (identity.empty() || platform::Lowered(identity) != platform::Lowered(KeyIdentity(kLocalMachine, kDebuggerKey))) keys.push_back(wow64Key);
  for (const std::wstring& key : keys) {
    for (const std::wstring_view tool : kBlockedTools) {
      const std::wstring toolKey = key + L"\\" + std::wstring(tool);
      const platform::RegState state = platform::RegGetRaw(kLocalMachine, toolKey, L"Debugger");
      const auto command = TextOf(state);
      if (!command) continue;
      ++context.read;
      const std::wstring file = LauncherPayload(*command).value_or(CommandProgram(*command));
      Finding finding{Kind::Debugger, Proposal::DeleteValue, Strength::Worm};
      if (file.empty() || !Places::Exists(file)) {
        finding.evidence = L"stops " + std::wstring(tool) + L" from starting: what it starts is not there";
      } else if (const std::wstring place = context.places.SuspectPlace(file); !place.empty()) {
        finding.evidence = Cat(tool, L" starts ", file, L" instead, ", place);
      } else if (context.places.UnderProgramFiles(file)) {
        finding.strength = Strength::Unusual;
        finding.evidence = std::wstring(tool) + L" is replaced by " + file + L" (installed under Program Files)";
      } else {
        continue;
      }
      finding.item = Describe(kLocalMachine, toolKey, L"Debugger");
      finding.commandLine = *command;
      finding.registry.push_back({kLocalMachine, toolKey, L"Debugger", std::nullopt});
      context.Add(std::move(finding));
    }
  }
}

void FindHiddenFiles(Context& context) {
  const platform::RegState state = platform::RegGetRaw(kLocalMachine, kShowAllKey, L"CheckedValue");
  ++context.read;
  if (!state.present || state == DwordState(1)) return;
  Finding finding{Kind::HiddenFiles, Proposal::SetValue, Strength::Worm};
  finding.item = Describe(kLocalMachine, kShowAllKey, L"CheckedValue");
  finding.evidence = L"\"Show hidden files\" cannot stay on (the value is not the number 1)";
  finding.registry.push_back({kLocalMachine, kShowAllKey, L"CheckedValue", DwordState(1)});
  context.Add(std::move(finding));
}

void FindPolicies(Context& context) {
  if (platform::RegGetRaw(kCurrentUser, kCmdPolicyKey, L"DisableCMD").present) {
    Finding finding{Kind::Policy, Proposal::DeleteValue, Strength::Worm};
    finding.item = Describe(kCurrentUser, kCmdPolicyKey, L"DisableCMD");
    finding.evidence = L"the Command Prompt is locked out";
    finding.registry.push_back({kCurrentUser, kCmdPolicyKey, L"DisableCMD", std::nullopt});
    context.Add(std::move(finding));
  }
  const std::wstring listKey = std::wstring(kExplorerPolicyKey) + L"\\DisallowRun";
  for (const RegRoot root : {kCurrentUser, kLocalMachine}) {
    ++context.read;
    if (!platform::RegGetValue(root, kExplorerPolicyKey, L"DisallowRun").EqualsNumber(1)) continue;
    Finding finding{Kind::Policy, Proposal::DeleteValue, Strength::Worm};
    std::size_t others = 0;
    std::wstring named;
    for (const RegEntry& entry : ReadValues(root, listKey)) {
      const auto text = TextOf(entry.state);
      const bool tool = text && std::find(kDisallowedTools.begin(), kDisallowedTools.end(), FileName(*text)) !=
                                    kDisallowedTools.end();
      if (!tool) {
        ++others;
        continue;
      }
      named += (named.empty() ? L"" : L", ") + FileName(*text);
      finding.registry.push_back({root, listKey, entry.name, std::nullopt});
    }
    if (finding.registry.empty()) continue;
    if (others == 0) finding.registry.push_back({root, kExplorerPolicyKey, L"DisallowRun", std::nullopt});
    finding.item = Describe(root, kExplorerPolicyKey, L"DisallowRun");
    finding.evidence = L"keeps " + named + L" from starting";
    context.Add(std::move(finding));
  }
}

struct ServiceHandleTraits {
  using Type = SC_HANDLE;
  static Type Invalid() { return nullptr; }
  static bool Valid(const SC_HANDLE__* handle) { return handle != nullptr; }
  static bool Close(Type handle) { return CloseServiceHandle(handle) != FALSE; }
};
using ServiceHandle = platform::UniqueHandle<ServiceHandleTraits>;

void FindServices(Context& context) {
  const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager.Get()) return;
  std::vector<BYTE> buffer(std::size_t{64} * 1024);
  DWORD needed = 0;
  DWORD count = 0;
  DWORD resume = 0;
  for (;;) {
    const BOOL done = EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                            buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count, &resume,
                                            nullptr);
    if (!done && GetLastError() != ERROR_MORE_DATA) return;
    const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < count && !context.Cancelled(); ++i) {
      ++context.read;
      const ServiceHandle service(OpenServiceW(manager.Get(), services[i].lpServiceName, SERVICE_QUERY_CONFIG));
      DWORD size = 0;
      if (!service.Get()) continue;
      QueryServiceConfigW(service.Get(), nullptr, 0, &size);
      if (size == 0 || size > 64 * 1024) continue;
      std::vector<BYTE> config(size);
      auto* info = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data());
      if (!QueryServiceConfigW(service.Get(), info, size, &size) || info->dwStartType == SERVICE_DISABLED ||
          !info->lpBinaryPathName) {
        continue;
      }
      const std::wstring image = info->lpBinaryPathName;
      const std::wstring program = CommandProgram(image);
      std::wstring evidence;
      if (IsScriptHost(program)) {
        evidence = L"runs a script host: " + image;
      } else if (const std::wstring place = context.places.SuspectPlace(program); !place.empty()) {
        evidence = Cat(L"runs ", program, L", ", place);
      } else {
        continue;
      }
      const std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + std::wstring(services[i].lpServiceName);
      Finding finding{Kind::Service, Proposal::DisableService, Strength::Worm};
      finding.item = std::wstring(L"Service ") + services[i].lpServiceName;
      finding.evidence = evidence;
      finding.commandLine = image;
      finding.registry.push_back({kLocalMachine, key, L"Start", DwordState(SERVICE_DISABLED)});
      context.Add(std::move(finding));
    }
    if (done || context.Cancelled()) return;
  }
}

constexpr Rule kRules[] = {
    {Kind::Run, L"Run and RunOnce, HKCU and HKLM (the 32-bit view too), Policies\\Explorer\\Run",
     L"a launcher starting a file in a user-writable place or on a removable drive; a program in a hidden folder "
     L"the system does not hide",
     L"what it starts is not there", L"delete the value; quarantine the file it starts when in such a place",
     FindRunValues},
    {Kind::Startup, L"the Startup folders, the user's and everyone's",
     L"a script, or a shortcut running a launcher with a file in such a place", L"a program in such a place",
     L"quarantine the file", FindStartupFiles},
    {Kind::Winlogon, L"Winlogon Shell and Userinit (HKLM), any Shell under HKCU",
     L"anything besides explorer.exe / userinit.exe", L"", L"remove only the extra items", FindWinlogon},
    {Kind::Debugger, L"Image File Execution Options Debugger of the tools a worm blocks, both views",
     L"a debugger in a user-writable place or one that is not there", L"a replacement under Program Files",
     L"delete the value", FindDebuggers},
    {Kind::HiddenFiles, L"Hidden\\SHOWALL CheckedValue (HKLM)", L"present and anything but the number 1", L"",
     L"set it to 1", FindHiddenFiles},
    {Kind::Policy, L"DisableCMD; DisallowRun naming taskmgr.exe, regedit.exe or cmd.exe", L"present",
     L"on a computer in a domain: may be set by the organisation",
     L"delete DisableCMD; delete only the entries naming those tools, and the flag when none is left", FindPolicies},
    {Kind::Service, L"services", L"an image in a user-writable place, or a script host", L"",
     L"set Start to disabled (4)", FindServices},
    {Kind::Task, L"scheduled tasks (and their files under System32\\Tasks)",
     L"an Exec action running a launcher with a file in such a place, or a file on a removable drive", L"",
     L"disable the task, then read its state back", FindTasks},
    {Kind::Process, L"running processes", L"a script host or rundll32 whose command line names a file found above",
     L"", L"end the process (a note in the journal)", FindProcesses},
};

}  // namespace

std::span<const Rule> Rules() { return kRules; }
std::span<const std::wstring_view> BlockedTools() { return kBlockedTools; }

void Context::Add(Finding finding) {
  if (finding.kind == Kind::Policy && domainJoined) {
    finding.strength = Strength::Unusual;
    finding.evidence = L"unusual: may be set by your organisation; " + finding.evidence;
  }
  finding.checked = finding.strength == Strength::Worm;
  const bool machine = std::any_of(finding.registry.begin(), finding.registry.end(),
                                   [](const RegStep& step) { return step.root == kLocalMachine; });
  finding.needsAdmin = !elevated && (finding.needsAdmin || machine);
  if (finding.needsAdmin) finding.evidence += L"; needs administrator rights";
  findings.push_back(std::move(finding));
}

std::set<std::wstring> Context::FilesFound() const {
  std::set<std::wstring> files;
  for (const Finding& finding : findings) {
    for (const std::wstring& file : finding.files) files.insert(platform::Lowered(file));
    // A task's or a service's script is not moved, but it is still the worm's.
    if (const auto payload = LauncherPayload(finding.commandLine)) files.insert(platform::Lowered(*payload));
  }
  return files;
}

void AllowUndoOfComputerCheck() {
  namespace journal = platform::journal;
  // The 32-bit view of a machine key, where it is a key of its own.
  const auto wow = [](std::wstring_view key) { return L"Software\\WOW6432Node" + std::wstring(key.substr(8)); };
  for (const wchar_t* key : {kRunKey, kRunOnceKey}) journal::AllowKey(kLocalMachine, wow(key));
  for (const std::wstring_view tool : kBlockedTools) {
    journal::AllowValue(kLocalMachine, wow(kDebuggerKey) + L"\\" + std::wstring(tool), L"Debugger");
  }
  for (const RegRoot root : {kCurrentUser, kLocalMachine}) {
    for (const wchar_t* key : {kRunKey, kRunOnceKey, kPolicyRunKey}) journal::AllowKey(root, key);
    journal::AllowKey(root, std::wstring(kExplorerPolicyKey) + L"\\DisallowRun");
    journal::AllowValue(root, kExplorerPolicyKey, L"DisallowRun");
    journal::AllowValue(root, kWinlogonKey, L"Shell");
    journal::AllowValue(root, kSystemPolicyKey, L"Shell");
  }
  journal::AllowValue(kLocalMachine, kWinlogonKey, L"Userinit");
  journal::AllowValueInSubkeys(kLocalMachine, L"SYSTEM\\CurrentControlSet\\Services", L"Start");
  journal::AllowValue(kLocalMachine, kShowAllKey, L"CheckedValue");
  journal::AllowValue(kCurrentUser, kCmdPolicyKey, L"DisableCMD");
  for (const std::wstring_view tool : kBlockedTools) {
    journal::AllowValue(kLocalMachine, std::wstring(kDebuggerKey) + L"\\" + std::wstring(tool), L"Debugger");
  }
}

}  // namespace repair::computer_check
