#include "system/open_file_dialog.h"

#include <commdlg.h>

#include <vector>

#include "system/late_load.h"

namespace platform {

namespace {

OpenFileHandler& InstalledOpenFileHandler() {
  static OpenFileHandler handler;
  return handler;
}

// "Icons|*.ico" becomes the NUL-separated, double-NUL-ended list the dialog wants.
std::vector<wchar_t> FilterList(const std::wstring& filter) {
  std::vector<wchar_t> list(filter.begin(), filter.end());
  for (auto& c : list) {
    if (c == L'|') c = L'\0';
  }
  list.push_back(L'\0');
  list.push_back(L'\0');
  return list;
}

}  // namespace

void SetOpenFileHandler(OpenFileHandler handler) { InstalledOpenFileHandler() = std::move(handler); }

bool ShowOpenFileDialog(HWND owner, OpenFileRequest& request) {
  if (InstalledOpenFileHandler()) return InstalledOpenFileHandler()(request);
  std::vector<wchar_t> file(32768, L'\0');
  const auto filter = FilterList(request.filter);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.data();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = request.initialFolder.c_str();
  ofn.lpstrTitle = request.title.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  const auto getOpenFileName = LateProc<decltype(&GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
  if (!getOpenFileName || !getOpenFileName(&ofn)) return false;
  request.fileName = file.data();
  return true;
}

}  // namespace platform
