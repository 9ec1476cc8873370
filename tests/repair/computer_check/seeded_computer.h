// A computer seeded with a worm's entries beside legitimate ones, in the test
// prefix's real registry, folders, services and task files. Every planted
// "worm" is inert: its files hold a comment or a few bytes that start nothing.
// The destructor takes everything away again, whatever the test did.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <sddl.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/process_start.h"
#include "repair/computer_check/scan.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/text.h"

namespace computer_tests {

using namespace testing_support;
namespace cc = repair::computer_check;

inline const HKEY kHklm = HKEY_LOCAL_MACHINE;
inline const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::wstring kWowRun = L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::wstring kPolicyRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
inline const std::wstring kWinlogon = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
inline const std::wstring kDebuggers = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
inline const std::wstring kWowDebuggers =
    L"Software\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
inline const std::wstring kShowAll =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL";
inline const std::wstring kCmdPolicy = L"Software\\Policies\\Microsoft\\Windows\\System";
inline const std::wstring kExplorerPolicy = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline const std::string kInertScript = "' does nothing\r\n";
inline const std::string kInertProgram = std::string("MZ", 2) + std::string(200, '\x7F');  // no valid header: never runs

inline std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path)) && path) folder = path;
  CoTaskMemFree(path);
  return folder;
}

inline void Replace(std::wstring& text, const std::wstring& from, const std::wstring& to) {
  for (auto at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// {appdata}: the test's folder in AppData; {hidden}: a hidden folder inside it; {locked}: a ProgramData
// folder only the system may write; {pf}: a folder under Program Files; {windows}; {startup}.
inline std::wstring Place(std::wstring text) {
  Replace(text, L"{appdata}", KnownFolder(FOLDERID_RoamingAppData) + L"\\KvTest");
  Replace(text, L"{hidden}", KnownFolder(FOLDERID_RoamingAppData) + L"\\KvTest\\Hidden");
  Replace(text, L"{locked}", KnownFolder(FOLDERID_ProgramData) + L"\\KvLocked");
  Replace(text, L"{pf}", KnownFolder(FOLDERID_ProgramFilesX64) + L"\\KvTools");
  Replace(text, L"{windows}", KnownFolder(FOLDERID_Windows));
  Replace(text, L"{startup}", KnownFolder(FOLDERID_Startup));
  return text;
}

// Only the system may write it; the user may read. The owner (this user) can still change that back.
inline void LockFolder(const std::wstring& folder, bool locked) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const wchar_t* sddl = locked ? L"D:P(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)" : L"D:P(A;OICI;FA;;;WD)";
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
  const BOOL set = SetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor);
  // Taking a lock away again is done for whatever is still there.
  if (locked) {
    EXPECT_TRUE(set) << Utf8(folder) << " error " << GetLastError();
  }
  LocalFree(descriptor);
}

class Seeded {
 public:
  Seeded() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (const wchar_t* folder : {L"{appdata}", L"{hidden}", L"{locked}", L"{pf}", L"{startup}"}) {
      CreateDirectoryW(Place(folder).c_str(), nullptr);
    }
    SetFileAttributesW(Place(L"{hidden}").c_str(), FILE_ATTRIBUTE_HIDDEN);
  }

  ~Seeded() {
    for (std::size_t i = 0; i < processes_.size(); ++i) {
      TerminateProcess(processes_[i], 0);
      WaitForSingleObject(processes_[i], 5000);
      CloseHandle(processes_[i]);
      CloseHandle(inputs_[i]);
    }
    if (const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
      for (const std::wstring& name : services_) {
        if (const SC_HANDLE service = OpenServiceW(manager, name.c_str(), DELETE)) {
          DeleteService(service);
          CloseServiceHandle(service);
        }
      }
      CloseServiceHandle(manager);
    }
    LockFolder(Place(L"{locked}"), false);
    LockFolder(Place(L"{locked}\\defender.vbs"), false);
    for (const std::wstring& file : files_) {
      SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(file.c_str());
    }
    for (const wchar_t* folder : {L"{hidden}", L"{appdata}", L"{locked}", L"{pf}"}) {
      SetFileAttributesW(Place(folder).c_str(), FILE_ATTRIBUTE_NORMAL);
      ClearFolder(Place(folder) + L"\\");
      RemoveDirectoryW(Place(folder).c_str());
    }
    for (const auto& [root, key] : keys_) DeleteKey(root, key);
    CoUninitialize();
  }
  Seeded(const Seeded&) = delete;
  Seeded& operator=(const Seeded&) = delete;

  void Text(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
    KeepKey(root, key);
    saved_.Keep(root, key, name);
    WriteSz(root, key, name, Place(text));
  }

  void Dword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
    KeepKey(root, key);
    saved_.Keep(root, key, name);
    WriteDword(root, key, name, value);
  }

  void File(const std::wstring& path, const std::string& bytes) {
    files_.push_back(Place(path));
    WriteBytes(Place(path), bytes);
  }

  void Shortcut(const std::wstring& file, const std::wstring& target, const std::wstring& arguments) {
    files_.push_back(Place(file));
    IShellLinkW* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    link->SetPath(Place(target).c_str());
    link->SetArguments(Place(arguments).c_str());
    IPersistFile* persist = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
    const HRESULT saved = persist->Save(Place(file).c_str(), TRUE);
    persist->Release();
    link->Release();
    ASSERT_EQ(saved, S_OK) << Utf8(file);
  }

  void Service(const std::wstring& name, const std::wstring& image) {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr) << GetLastError();
    const SC_HANDLE service = CreateServiceW(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                             Place(image).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(service, nullptr) << GetLastError();
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    services_.push_back(name);
  }

  // A task's file as the Task Scheduler writes it, in UTF-16 with its mark.
  void Task(const std::wstring& name, const std::wstring& command, const std::wstring& arguments) {
    const std::wstring xml = L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                             L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
                             L"<Settings><Enabled>true</Enabled><Hidden>true</Hidden></Settings>"
                             L"<Actions Context=\"Author\"><Exec><Command>" +
                             Place(command) + L"</Command><Arguments>" + Place(arguments) +
                             L"</Arguments></Exec></Actions></Task>\r\n";
    const std::wstring folder = KnownFolder(FOLDERID_System) + L"\\Tasks";
    CreateDirectoryW(folder.c_str(), nullptr);
    files_.push_back(folder + L"\\" + name);
    WriteBytes(files_.back(), std::string(reinterpret_cast<const char*>(xml.data()), xml.size() * sizeof(wchar_t)));
  }

  // A process named wscript.exe whose command line names `file`: this test
  // program under that name, running only its stand-in, which waits on a pipe.
  // (Wine starts its own builtin for a copy of a system program, so that cannot stand in.)
  DWORD Launcher(const std::wstring& file) {
    const std::wstring copy = Place(L"{appdata}\\bin\\wscript.exe");
    CreateDirectoryW(Place(L"{appdata}\\bin").c_str(), nullptr);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!CopyFileW(self, copy.c_str(), FALSE)) {
      ADD_FAILURE() << "cannot copy the test program: " << GetLastError();
      return 0;
    }
    files_.push_back(copy);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    CreatePipe(&read, &write, &inherit, 0);
    SetHandleInformation(write, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read;
    const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    std::wstring line = L"\"" + copy +
                        L"\" --gtest_also_run_disabled_tests --gtest_filter=ComputerStandIn.DISABLED_WaitsForItsInput \"" +
                        Place(file) + L"\"";
    PROCESS_INFORMATION process{};
    const BOOL started = testing_support::StartProcess(copy.c_str(), line.data(), TRUE, CREATE_NO_WINDOW, nullptr, &startup,
                                                      &process);
    CloseHandle(read);
    CloseHandle(nul);
    if (!started) {
      ADD_FAILURE() << "cannot start the stand-in: " << GetLastError();
      CloseHandle(write);
      return 0;
    }
    CloseHandle(process.hThread);
    processes_.push_back(process.hProcess);
    inputs_.push_back(write);
    Sleep(500);  // until it runs
    return process.dwProcessId;
  }

 private:
  void KeepKey(HKEY root, const std::wstring& key) {
    if (!KeyExists(root, key)) keys_.emplace_back(root, key);
  }

  SavedValues saved_;
  std::vector<std::wstring> files_;
  std::vector<std::pair<HKEY, std::wstring>> keys_;
  std::vector<std::wstring> services_;
  std::vector<HANDLE> processes_;
  std::vector<HANDLE> inputs_;
};

// One line per finding ("run worm delete-value [x] HKCU\...\Run\Name"), so a mismatch shows what was found.
inline std::string Line(cc::Kind kind, cc::Strength strength, cc::Proposal proposal, const std::wstring& item) {
  const bool checked = strength == cc::Strength::Worm;
  return std::string(cc::KindId(kind)) + " " + std::string(cc::StrengthId(strength)) + " " +
         std::string(cc::ProposalId(proposal)) + (checked ? " [x] " : " [ ] ") + Utf8(Place(item));
}

inline std::string Line(const cc::Finding& f) {
  std::string line = std::string(cc::KindId(f.kind)) + " " + std::string(cc::StrengthId(f.strength)) + " " +
                     std::string(cc::ProposalId(f.proposal)) + (f.checked ? " [x] " : " [ ] ") + Utf8(f.item);
  return line;
}

inline std::multiset<std::string> Lines(const cc::ScanResult& scan) {
  std::multiset<std::string> lines;
  for (const cc::Finding& finding : scan.findings) lines.insert(Line(finding));
  return lines;
}

inline cc::ScanResult ScanNow(const cc::ScanOptions& options = {}) {
  cc::Progress progress;
  return cc::Scan(options, progress);
}

inline const cc::Finding* FindingFor(const cc::ScanResult& scan, const std::wstring& item) {
  for (const cc::Finding& finding : scan.findings) {
    if (finding.item == Place(item)) return &finding;
  }
  return nullptr;
}

inline std::wstring Hkcu(const std::wstring& key, const std::wstring& name) { return L"HKCU\\" + key + L"\\" + name; }
inline std::wstring Hklm(const std::wstring& key, const std::wstring& name) { return L"HKLM\\" + key + L"\\" + name; }

}  // namespace computer_tests
