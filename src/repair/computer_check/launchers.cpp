#include "repair/computer_check/launchers.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cwctype>

#include "repair/launchers.h"
#include "system/system_text.h"

namespace repair::computer_check {

namespace {

constexpr std::array<std::wstring_view, 11> kScripts = {L".vbs", L".vbe", L".js",  L".jse", L".wsf", L".wsh",
                                                        L".bat", L".cmd", L".hta", L".ps1", L".sct"};

template <std::size_t N>
bool OneOf(std::wstring_view value, const std::array<std::wstring_view, N>& list) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

std::wstring Extension(std::wstring_view path) {
  const std::wstring name = FileName(path);
  const auto dot = name.find_last_of(L'.');
  return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

bool Exists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsAbsolute(std::wstring_view path) {
  return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) || path.starts_with(L"\\\\");
}

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::wstring WindowsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// A bare name as the system finds it; relative paths with folders stay as given.
std::wstring Locate(const std::wstring& name) {
  if (name.empty() || IsAbsolute(name) || name.find_first_of(L"\\/") != std::wstring::npos) return name;
  for (const std::wstring& folder : {SystemFolder(), WindowsFolder()}) {
    if (folder.empty()) continue;
    for (const std::wstring& candidate : {Cat(folder, L"\\", name), Cat(folder, L"\\", name, L".exe")}) {
      if (Exists(candidate)) return candidate;
    }
  }
  return name;
}

bool IsSwitch(const std::wstring& word) { return !word.empty() && (word[0] == L'/' || word[0] == L'-'); }

bool IsAddress(const std::wstring& word) {
  const std::wstring lower = platform::Lowered(word);
  return lower.find(L"://") != std::wstring::npos || lower.starts_with(L"javascript:") ||
         lower.starts_with(L"vbscript:") || lower.starts_with(L"about:");
}

std::optional<std::wstring> PowerShellFile(const std::vector<std::wstring>& words) {
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::wstring lower = platform::Lowered(words[i]);
    if ((lower == L"-file" || lower == L"-f") && i + 1 < words.size()) return words[i + 1];
    if (!IsSwitch(words[i]) && IsScript(words[i])) return words[i];
  }
  return std::nullopt;
}

}  // namespace


std::wstring FileName(std::wstring_view path) {
  const auto slash = path.find_last_of(L"\\/");
  return platform::Lowered(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine) {
  std::vector<std::wstring> words;
  const std::wstring text(commandLine);
  // The system's splitter reads an empty line as the program's own name.
  if (text.find_first_not_of(L" \t") == std::wstring::npos) return words;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(text.c_str(), &count);
  if (!argv) return words;
  for (int i = 0; i < count; ++i) words.emplace_back(argv[i]);
  LocalFree(argv);
  return words;
}

std::wstring Expand(std::wstring_view text) {
  const std::wstring source(text);
  wchar_t buffer[4096];
  const DWORD length = ExpandEnvironmentStringsW(source.c_str(), buffer, static_cast<DWORD>(std::size(buffer)));
  return length > 0 && length <= std::size(buffer) ? std::wstring(buffer) : source;
}

std::wstring CommandProgram(std::wstring_view commandLine) {
  const std::wstring expanded = Expand(commandLine);
  const auto first = expanded.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  if (expanded[first] != L'"') {
    // "C:\Program Files\App\app.exe -x": the system tries each space in turn.
    for (auto space = expanded.find(L' ', first); space != std::wstring::npos; space = expanded.find(L' ', space + 1)) {
      const std::wstring candidate = expanded.substr(first, space - first);
      if (candidate.find(L'\\') != std::wstring::npos && (Exists(candidate) || Exists(candidate + L".exe"))) {
        return Exists(candidate) ? candidate : candidate + L".exe";
      }
    }
  }
  const auto words = SplitCommandLine(expanded);
  return words.empty() ? std::wstring() : Locate(words.front());
}

bool IsScriptHost(std::wstring_view program) { return repair::IsScriptHost(ProgramStem(program)); }

bool IsLauncher(std::wstring_view program) { return repair::IsLauncher(ProgramStem(program), LauncherCheck::Computer); }

bool IsScript(std::wstring_view path) { return OneOf(Extension(path), kScripts); }

std::optional<std::wstring> LauncherPayload(std::wstring_view commandLine) {
  const std::wstring expanded = Expand(commandLine);
  const std::wstring program = CommandProgram(expanded);
  if (!IsLauncher(program)) return std::nullopt;
  const auto words = SplitCommandLine(expanded);
  const std::wstring name = FileName(program);
  std::optional<std::wstring> payload;
  if (name.starts_with(L"powershell") || name.starts_with(L"pwsh")) {
    payload = PowerShellFile(words);
  } else {
    for (std::size_t i = 1; i < words.size() && !payload; ++i) {
      if (!IsSwitch(words[i]) && !words[i].empty()) payload = words[i];
    }
    // rundll32 x.dll,Entry and rundll32 "x.dll",Entry
    if (payload && (name.starts_with(L"rundll32") || name.starts_with(L"regsvr32"))) {
      if (const auto comma = payload->find(L','); comma != std::wstring::npos) payload->resize(comma);
    }
  }
  if (!payload || payload->empty() || IsAddress(*payload)) return std::nullopt;
  return Locate(*payload);
}

}  // namespace repair::computer_check
