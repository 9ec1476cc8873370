// One running copy: a second start hands its request to the first one's main
// window (WM_COPYDATA) and ends.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace shell {

// What a start asks for: the main window (letter 0), or a check of a drive.
struct StartRequest {
  wchar_t checkLetter = L'\0';
};

// The program's arguments after its own name: the main window, unless they
// start with --check. "--check E:" in any of the forms Explorer and a person
// give it: E, E:, E:\, and E:" (a quoted "E:\" arrives so); nullopt for a
// check of anything else.
std::optional<StartRequest> ParseStartArguments(const std::vector<std::wstring>& args);

// Only the copy that holds the program's name takes requests: one that runs
// because the holder did not answer leaves them to it. Off until said.
void SetTakesHandovers(bool takes);
// Marks the window as the one that takes requests, when this copy does, and
// lets a program that runs with fewer rights than this one send them.
void AcceptHandovers(HWND mainWindow);
// The request a WM_COPYDATA carries, when it is one of ours and well formed.
std::optional<StartRequest> ReadHandover(const COPYDATASTRUCT& data);

// Hands the request to a running copy. False when none takes it in time.
bool HandOver(const StartRequest& request, DWORD waitMs);

}  // namespace shell
