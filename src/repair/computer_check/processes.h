// The script hosts and rundll32 processes running now, with their command lines.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace repair::computer_check {

struct RunningLauncher {
  DWORD id = 0;
  std::wstring name;  // "wscript.exe"
  std::wstring commandLine;
};

std::vector<RunningLauncher> RunningLaunchers();

// Ends the process when it still runs that command line (an id may have
// been given to another process since the scan). Empty on success, else why not.
std::wstring EndLauncher(DWORD id, const std::wstring& commandLine);

}  // namespace repair::computer_check
