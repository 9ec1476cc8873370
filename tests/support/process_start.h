// Starts a child process. Under a busy wineserver CreateProcessW now and then
// fails with ERROR_INTERNAL_ERROR (or no error at all) before the child exists;
// since nothing ran, starting again is safe and keeps a test from failing on it.
#pragma once

#include <windows.h>

namespace testing_support {

inline BOOL StartProcess(const wchar_t* application, wchar_t* commandLine, BOOL inheritHandles, DWORD flags,
                         const wchar_t* directory, STARTUPINFOW* startup, PROCESS_INFORMATION* process) {
  for (int attempt = 1;; ++attempt) {
    if (CreateProcessW(application, commandLine, nullptr, nullptr, inheritHandles, flags, nullptr, directory, startup,
                       process)) {
      return TRUE;
    }
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    if (missing || attempt == 5) {
      SetLastError(error);
      return FALSE;
    }
    Sleep(200 * attempt);
  }
}

}  // namespace testing_support
