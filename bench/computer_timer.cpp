// Times the computer check's scan against a bare program that reads the same
// places: the same Run keys and values, the Startup folders and their
// shortcuts (each target checked for existence), the services' settings, the
// tasks and the running processes. Seeds the prefix first (1,000 Run values,
// 1,000 Startup files, half of them shortcuts); alternating runs, medians.
// Usage: computer_timer <runs>
#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <taskschd.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "repair/computer_check/rules.h"
#include "repair/computer_check/scan.h"

#include "timing.h"

namespace {

using bench::Median;
using bench::Now;

std::wstring Known(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path)) && path) folder = path;
  CoTaskMemFree(path);
  return folder;
}

void Write(const std::wstring& path, const char* bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes, static_cast<DWORD>(strlen(bytes)), &written, nullptr);
  CloseHandle(file);
}

void Shortcut(const std::wstring& file, const std::wstring& target, const std::wstring& arguments) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return;
  }
  link->SetPath(target.c_str());
  link->SetArguments(arguments.c_str());
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    persist->Save(file.c_str(), TRUE);
    persist->Release();
  }
  link->Release();
}

void SetText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

// Inert entries of four kinds: a system program, a script host with a script
// in AppData, rundll32 with a DLL there, and a program that is not there.
void Seed() {
  const std::wstring files = Known(FOLDERID_RoamingAppData) + L"\\KvBench";
  const std::wstring startup = Known(FOLDERID_Startup);
  CreateDirectoryW(files.c_str(), nullptr);
  const std::wstring system = Known(FOLDERID_System);
  for (int i = 0; i < 1000; ++i) {
    const std::wstring n = std::to_wstring(i);
    const std::wstring script = files + L"\\s" + n + L".vbs";
    const std::wstring library = files + L"\\l" + n + L".dll";
    Write(script, "' does nothing\r\n");
    Write(library, "MZ");
    const std::wstring commands[] = {L"\"" + system + L"\\notepad.exe\" /k" + n, L"wscript.exe //B \"" + script + L"\"",
                                     L"rundll32.exe \"" + library + L"\",Run", L"\"C:\\KvBench\\missing" + n + L".exe\""};
    SetText(i < 600 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, repair::computer_check::kRunKey, L"KvBench" + n,
            commands[i % 4]);
    if (i % 2 == 0) {
      Shortcut(startup + L"\\KvBench" + n + L".lnk", i % 4 ? system + L"\\wscript.exe" : system + L"\\notepad.exe",
               i % 4 ? L"//B \"" + script + L"\"" : L"");
    } else {
      Write(startup + L"\\KvBench" + n + (i % 4 == 1 ? L".vbs" : L".exe"), i % 4 == 1 ? "' does nothing\r\n" : "MZ");
    }
  }
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Expand(const std::wstring& text) {
  wchar_t buffer[4096];
  const DWORD length = ExpandEnvironmentStringsW(text.c_str(), buffer, 4096);
  return length > 0 && length <= 4096 ? std::wstring(buffer) : text;
}

// A command line's program and its first argument, each checked for existence.
std::size_t CheckCommand(const std::wstring& command) {
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(Expand(command).c_str(), &count);
  std::size_t present = 0;
  for (int i = 0; words && i < count && i < 2; ++i) present += Exists(words[i]);
  if (words) LocalFree(words);
  return present;
}

std::size_t ReadKey(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return 0;
  std::size_t seen = 0;
  wchar_t name[16384];
  BYTE data[8192];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = 16384;
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegEnumValueW(handle, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    if (type == REG_SZ || type == REG_EXPAND_SZ) seen += CheckCommand(reinterpret_cast<const wchar_t*>(data));
  }
  RegCloseKey(handle);
  return seen;
}

std::size_t ReadStartup(const std::wstring& folder) {
  std::size_t seen = 0;
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                       nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::wstring name = data.cFileName;
    if (name.size() < 4 || _wcsicmp(name.c_str() + name.size() - 4, L".lnk") != 0) continue;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
      continue;
    }
    IPersistFile* persist = nullptr;
    wchar_t target[MAX_PATH] = {};
    wchar_t arguments[INFOTIPSIZE] = {};
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load((folder + L"\\" + name).c_str(), STGM_READ))) {
      link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
      link->GetArguments(arguments, INFOTIPSIZE);
      seen += CheckCommand(L"\"" + std::wstring(target) + L"\" " + arguments);
    }
    if (persist) persist->Release();
    link->Release();
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return seen;
}

std::size_t ReadServices() {
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
  if (!manager) return 0;
  std::vector<BYTE> buffer(64 * 1024);
  DWORD needed = 0, count = 0, resume = 0;
  std::size_t seen = 0;
  EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, buffer.data(),
                        static_cast<DWORD>(buffer.size()), &needed, &count, &resume, nullptr);
  const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    const SC_HANDLE service = OpenServiceW(manager, services[i].lpServiceName, SERVICE_QUERY_CONFIG);
    if (!service) continue;
    DWORD size = 0;
    QueryServiceConfigW(service, nullptr, 0, &size);
    std::vector<BYTE> config(size ? size : 1);
    auto* info = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data());
    if (size && QueryServiceConfigW(service, info, size, &size) && info->lpBinaryPathName) {
      seen += CheckCommand(info->lpBinaryPathName);
    }
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return seen;
}

std::size_t ReadTasksAndProcesses() {
  std::size_t seen = 0;
  ITaskService* service = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                 reinterpret_cast<void**>(&service)))) {
    VARIANT empty{};
    ITaskFolder* root = nullptr;
    BSTR path = SysAllocString(L"\\");
    if (SUCCEEDED(service->Connect(empty, empty, empty, empty)) && SUCCEEDED(service->GetFolder(path, &root))) {
      IRegisteredTaskCollection* tasks = nullptr;
      LONG count = 0;
      if (SUCCEEDED(root->GetTasks(TASK_ENUM_HIDDEN, &tasks)) && SUCCEEDED(tasks->get_Count(&count))) seen += count;
      if (tasks) tasks->Release();
      root->Release();
    }
    SysFreeString(path);
    service->Release();
  }
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((Known(FOLDERID_System) + L"\\Tasks\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do ++seen;
    while (FindNextFileW(find, &data));
    FindClose(find);
  }
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) ++seen;
  CloseHandle(snapshot);
  return seen;
}

std::size_t Floor() {
  namespace cc = repair::computer_check;
  std::size_t seen = 0;
  for (const wchar_t* key : {cc::kRunKey, cc::kRunOnceKey, cc::kPolicyRunKey}) {
    seen += ReadKey(HKEY_CURRENT_USER, key) + ReadKey(HKEY_LOCAL_MACHINE, key);
    seen += ReadKey(HKEY_LOCAL_MACHINE, L"Software\\WOW6432Node\\" + std::wstring(key + 9));
  }
  seen += ReadKey(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
  seen += ReadStartup(Known(FOLDERID_Startup)) + ReadStartup(Known(FOLDERID_CommonStartup));
  return seen + ReadServices() + ReadTasksAndProcesses();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Seed();
  std::vector<double> scans;
  std::vector<double> floors;
  std::size_t findings = 0;
  std::size_t seen = 0;
  Floor();  // warms the caches for both
  for (int run = 0; run < runs; ++run) {
    double start = Now();
    seen = Floor();
    floors.push_back(Now() - start);
    start = Now();
    repair::computer_check::Progress progress;
    findings = repair::computer_check::Scan({}, progress).findings.size();
    scans.push_back(Now() - start);
  }
  const double scan = Median(scans);
  const double floor = Median(floors);
  std::printf("Computer check scan: median %.1f ms (%zu findings) against a bare read of the same places %.1f ms "
              "(%zu targets present): ratio %.2f, target at most 1.5\n",
              scan, findings, floor, seen, scan / floor);
  CoUninitialize();
  return 0;
}
