// What a command line starts. Worms rarely run a program of their own at
// first: they hand a script or a DLL to a program Windows ships (a script
// host, rundll32, regsvr32, mshta, powershell), so the file that matters is
// the one given to that launcher.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace repair::computer_check {

// The words of a command line as programs themselves split it (quotes kept
// together, backslashes as the system's rules say).
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// Environment variables expanded; text too long to expand is returned as it is.
std::wstring Expand(std::wstring_view text);

// The program a command line starts, environment variables expanded. A bare
// name ("wscript.exe") is found where the system looks first: System32, then
// the Windows folder. An unquoted path with spaces is taken word by word
// until a file exists, as the system does.
std::wstring CommandProgram(std::wstring_view commandLine);

// Script hosts, rundll32, regsvr32, mshta and powershell, by file name: the
// launchers of the shared table that count on a computer.
bool IsLauncher(std::wstring_view program);
bool IsScriptHost(std::wstring_view program);  // wscript and cscript
bool IsScript(std::wstring_view path);         // .vbs, .js, .bat and the like

// When the command line starts a launcher: the file it hands over (a
// script, "x.dll" of "x.dll,Entry", an .hta), made absolute against the
// launcher's folder when relative. Nothing for other programs, or when the
// launcher is given no file (an inline command, a web address).
std::optional<std::wstring> LauncherPayload(std::wstring_view commandLine);

// The file's name without its folder, lower-case.
std::wstring FileName(std::wstring_view path);

// The parts one after another, in one string.
template <typename... Parts>
std::wstring Cat(const Parts&... parts) {
  std::wstring text;
  ((text += parts), ...);
  return text;
}

}  // namespace repair::computer_check
