// Starts build/korvane.com as a script would: standard output through a pipe,
// standard error into a file, no console, and on input the bytes given or nothing.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "support/process_start.h"
#include "support/text.h"

namespace cli_tests {

struct CliRun {
  DWORD exitCode = 0xDEAD;  // a sentinel: the program never ran
  std::string out;  // the bytes as written
  std::string err;
};

// korvane.com lies beside the test program in build/.
inline std::wstring CliPath() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"korvane.com";
}

inline std::string ReadWhole(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  std::string bytes;
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

inline CliRun RunCli(const std::wstring& arguments, const std::string& stdinBytes = {}) {
  CliRun run;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE outRead = nullptr;
  HANDLE outWrite = nullptr;
  EXPECT_TRUE(CreatePipe(&outRead, &outWrite, &inherit, 0));
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  wchar_t folder[MAX_PATH];
  wchar_t errPath[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"kvc", 0, errPath);
  const HANDLE errFile = CreateFileW(errPath, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE input = nullptr;
  HANDLE inputWrite = nullptr;
  EXPECT_TRUE(CreatePipe(&input, &inputWrite, &inherit, 0));
  SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0);
  DWORD put = 0;
  // A password is far smaller than the pipe, so it is written whole before the start.
  if (!stdinBytes.empty()) {
    EXPECT_TRUE(WriteFile(inputWrite, stdinBytes.data(), static_cast<DWORD>(stdinBytes.size()), &put, nullptr));
  }
  CloseHandle(inputWrite);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = outWrite;
  startup.hStdError = errFile;
  std::wstring commandLine = L"\"" + CliPath() + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  const BOOL started = testing_support::StartProcess(nullptr, commandLine.data(), TRUE, CREATE_NO_WINDOW, nullptr,
                                                    &startup, &process);
  const DWORD startError = started ? 0 : GetLastError();
  CloseHandle(outWrite);
  CloseHandle(errFile);
  CloseHandle(input);
  EXPECT_TRUE(started) << "cannot start " << testing_support::Utf8(CliPath()) << ": error " << startError;
  if (started) {
    // Read while it runs, so that a full pipe never holds it up; a program that
    // waits for a person would never end, so it gets a minute.
    const DWORD begun = GetTickCount();
    for (bool ended = false; !ended;) {
      ended = WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0;
      DWORD available = 0;
      while (PeekNamedPipe(outRead, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::string chunk(available, '\0');
        DWORD got = 0;
        if (!ReadFile(outRead, chunk.data(), available, &got, nullptr)) break;
        run.out.append(chunk, 0, got);
      }
      if (!ended && GetTickCount() - begun > 60000) {
        ADD_FAILURE() << "korvane " << testing_support::Utf8(arguments) << " did not end within a minute";
        TerminateProcess(process.hProcess, 0xDEAD);
        WaitForSingleObject(process.hProcess, INFINITE);
        ended = true;
      }
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(outRead);
  run.err = ReadWhole(errPath);
  DeleteFileW(errPath);
  return run;
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline std::ostream& operator<<(std::ostream& out, const CliRun& run) {
  return out << "exit " << run.exitCode << "\n--- stdout:\n" << run.out << "--- stderr:\n" << run.err;
}

}  // namespace cli_tests
