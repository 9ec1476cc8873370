// The system's open-file dialog, shown through one function so that tests
// can answer it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace platform {

struct OpenFileRequest {
  std::wstring title;
  std::wstring filter;  // "Description|pattern", as the dialog control takes it
  std::wstring initialFolder;
  std::wstring fileName;  // in: the last name chosen; out: the new one, unless cancelled
};

// Returns false when the user cancelled; the file name is then left as it was.
bool ShowOpenFileDialog(HWND owner, OpenFileRequest& request);

using OpenFileHandler = std::function<bool(OpenFileRequest& request)>;
void SetOpenFileHandler(OpenFileHandler handler);

}  // namespace platform
