#include "support/wine_browser_log.h"

#include <windows.h>

#include <fstream>

#include "support/registry_helpers.h"

namespace testing_support {

namespace {

constexpr wchar_t kWineBrowser[] = L"Software\\Wine\\WineBrowser";

}  // namespace

WineBrowserLog::WineBrowserLog() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  folder_ = std::wstring(temp) + L"korvane-links-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder_.c_str(), nullptr);
  const std::wstring script = folder_ + L"\\browser.sh";
  std::ofstream(script.c_str(), std::ios::binary) << "printf '%s\\n' \"$1\" >>\"$(dirname \"$0\")/links.log\"\n";
  using ToUnix = char*(CDECL*)(const wchar_t*);
  const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return;
  char* unixPath = toUnix(script.c_str());
  if (!unixPath) return;
  const std::string command = std::string("/bin/sh ") + unixPath;
  HeapFree(GetProcessHeap(), 0, unixPath);
  const std::wstring wide(command.begin(), command.end());
  WriteSz(HKEY_CURRENT_USER, kWineBrowser, L"Browsers", wide);
  WriteSz(HKEY_CURRENT_USER, kWineBrowser, L"Mailers", wide);
  ready_ = true;
}

WineBrowserLog::~WineBrowserLog() {
  DeleteValue(HKEY_CURRENT_USER, kWineBrowser, L"Browsers");
  DeleteValue(HKEY_CURRENT_USER, kWineBrowser, L"Mailers");
  DeleteFileW((folder_ + L"\\links.log").c_str());
  DeleteFileW((folder_ + L"\\browser.sh").c_str());
  RemoveDirectoryW(folder_.c_str());
}

std::vector<std::string> WineBrowserLog::Lines() const {
  std::ifstream log((folder_ + L"\\links.log").c_str());
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

std::string AsBrowserSeesIt(const std::string& target) {
  if (target.rfind("mailto:", 0) == 0) return target;
  const std::string url = "http://" + target;
  return target.find('/') == std::string::npos ? url + "/" : url;
}

}  // namespace testing_support
