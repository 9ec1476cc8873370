// The programs Windows ships that run the file they are given, which a worm
// hands its script or DLL to: one table for the drive check and the computer
// check, each row saying which of them counts it.
#pragma once

#include <string>
#include <string_view>

namespace repair {

enum class LauncherCheck { Drive, Computer };

// "C:\Windows\System32\WScript.exe" -> "wscript": the file name, lower-case, without ".exe".
std::wstring ProgramStem(std::wstring_view path);

// Whether the check counts the program (a stem, as above) as a launcher.
bool IsLauncher(std::wstring_view stem, LauncherCheck check);
// wscript and cscript, which run the script they are given.
bool IsScriptHost(std::wstring_view stem);
// The launchers whose running processes the computer check reads, to end the one that runs what it found.
bool IsWatchedWhenRunning(std::wstring_view stem);

}  // namespace repair
