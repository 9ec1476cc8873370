#include "repair/computer_check/processes.h"

#include <tlhelp32.h>
#include <winternl.h>

#include "repair/computer_check/launchers.h"
#include "repair/computer_check/rules.h"
#include "repair/launchers.h"
#include "system/file_ops.h"
#include "system/handle.h"
#include "system/late_load.h"
#include "system/system_text.h"

namespace repair::computer_check {

namespace {

constexpr ULONG kCommandLineInformation = 60;  // ProcessCommandLineInformation

using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

// From the process's own parameters block, where the system keeps the line it was started with.
std::wstring CommandLineFromBlock(HANDLE process, QueryProcess query) {
  PROCESS_BASIC_INFORMATION basic{};
  PEB peb{};
  RTL_USER_PROCESS_PARAMETERS parameters{};
  SIZE_T got = 0;
  if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) < 0 || !basic.PebBaseAddress ||
      !ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, &got) || !peb.ProcessParameters ||
      !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, &got)) {
    return {};
  }
  const UNICODE_STRING& line = parameters.CommandLine;
  if (!line.Buffer || line.Length == 0 || line.Length > 64 * 1024 || line.Length % sizeof(wchar_t)) return {};
  std::wstring text(line.Length / sizeof(wchar_t), L'\0');
  if (!ReadProcessMemory(process, line.Buffer, text.data(), line.Length, &got) || got != line.Length) return {};
  return text;
}

std::wstring CommandLineOf(HANDLE process) {
  static const auto query = platform::LateProc<QueryProcess>(L"ntdll.dll", "NtQueryInformationProcess");
  if (!query) return {};
  ULONG size = 0;
  query(process, kCommandLineInformation, nullptr, 0, &size);
  if (size < sizeof(UNICODE_STRING) || size > 64 * 1024) return CommandLineFromBlock(process, query);
  std::vector<BYTE> buffer(size);
  if (query(process, kCommandLineInformation, buffer.data(), size, &size) < 0) return CommandLineFromBlock(process, query);
  const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
  const auto* begin = reinterpret_cast<const BYTE*>(text->Buffer);
  if (!text->Buffer || begin < buffer.data() || begin + text->Length > buffer.data() + buffer.size()) return {};
  return std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
}

std::wstring CommandLineOf(DWORD id) {
  const platform::Handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
  if (!process) return {};
  return CommandLineOf(process.Get());
}

}  // namespace

std::vector<RunningLauncher> RunningLaunchers() {
  std::vector<RunningLauncher> launchers;
  const platform::Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return launchers;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    const std::wstring name = platform::Lowered(entry.szExeFile);
    if (!IsWatchedWhenRunning(ProgramStem(name))) continue;
    launchers.push_back({entry.th32ProcessID, name, CommandLineOf(entry.th32ProcessID)});
  }
  return launchers;
}

std::wstring EndLauncher(DWORD id, const std::wstring& commandLine) {
  const platform::Handle process(
      OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, id));
  if (!process) {
    const DWORD error = GetLastError();
    return error == ERROR_INVALID_PARAMETER ? std::wstring(L"it had already ended") : platform::SystemMessage(error);
  }
  std::wstring failure;
  if (CommandLineOf(process.Get()) != commandLine) {
    failure = L"it had already ended";
  } else if (!TerminateProcess(process.Get(), 1)) {
    failure = platform::SystemMessage(GetLastError());
  } else if (WaitForSingleObject(process.Get(), 5000) != WAIT_OBJECT_0) {
    failure = L"it did not end";
  }
  return failure;
}

void FindProcesses(Context& context) {
  const auto files = context.FilesFound();
  if (files.empty()) return;
  for (const RunningLauncher& launcher : RunningLaunchers()) {
    ++context.read;
    const std::wstring line = platform::Lowered(launcher.commandLine);
    for (const std::wstring& file : files) {
      if (line.find(file) == std::wstring::npos) continue;
      Finding finding{Kind::Process, Proposal::EndProcess, Strength::Worm};
      finding.item = launcher.name + L" (process " + std::to_wstring(launcher.id) + L")";
      finding.evidence = L"runs " + file + L", found above";
      finding.process = launcher.id;
      finding.commandLine = launcher.commandLine;
      context.Add(std::move(finding));
      break;
    }
  }
}

}  // namespace repair::computer_check
