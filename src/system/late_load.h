// Functions of system DLLs that Korvane loads on first use, not at start-up:
// under Wine, shell32 and comdlg32 cost a good part of the start time.
#pragma once

#include <windows.h>

namespace platform {

// The function, or nullptr when the DLL or the function is not there. Only
// the system folder is searched, so a DLL planted beside Korvane is never loaded.
FARPROC LateProcAddress(const wchar_t* dll, const char* name);

template <typename Fn>
Fn LateProc(const wchar_t* dll, const char* name) {
  // Through a generic function pointer: a direct cast between unrelated function types draws -Wcast-function-type.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(LateProcAddress(dll, name)));
}

}  // namespace platform
