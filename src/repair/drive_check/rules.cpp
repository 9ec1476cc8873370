#include "repair/drive_check/rules.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cwctype>
#include <string_view>

#include "repair/drive_check/shortcut.h"

namespace repair::drive_check {

namespace {

constexpr DWORD kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// What a worm's shortcut starts to run its script and then open the real item.
constexpr std::array<std::wstring_view, 9> kInterpreters = {L"cmd",    L"wscript", L"cscript",  L"powershell", L"pwsh",
                                                            L"mshta",  L"rundll32", L"regsvr32", L"conhost"};
constexpr std::array<std::wstring_view, 12> kScripts = {L".vbs", L".vbe", L".js",  L".jse", L".wsf", L".wsh",
                                                        L".bat", L".cmd", L".scr", L".pif", L".hta", L".ps1"};
constexpr std::array<std::wstring_view, 3> kPrograms = {L".exe", L".com", L".dll"};

std::wstring Lower(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  return lower;
}

bool SameText(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && Lower(a) == Lower(b);
}

std::wstring Extension(std::wstring_view name) {
  const auto dot = name.find_last_of(L'.');
  const auto slash = name.find_last_of(L"\\/");
  if (dot == std::wstring_view::npos || (slash != std::wstring_view::npos && dot < slash)) return {};
  return Lower(name.substr(dot));
}

template <std::size_t N>
bool OneOf(const std::wstring& value, const std::array<std::wstring_view, N>& list) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

bool IsScript(std::wstring_view name) { return OneOf(Extension(name), kScripts); }
bool IsRunnable(std::wstring_view name) { return IsScript(name) || OneOf(Extension(name), kPrograms); }

std::wstring BaseName(std::wstring_view path) {
  const auto slash = path.find_last_of(L"\\/");
  std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
  if (SameText(Extension(name), L".exe")) name.remove_suffix(4);
  return Lower(name);
}

std::wstring AttributeWords(DWORD attributes) {
  std::wstring words;
  if (attributes & FILE_ATTRIBUTE_HIDDEN) words = L"hidden";
  if (attributes & FILE_ATTRIBUTE_SYSTEM) words += words.empty() ? L"system" : L", system";
  return words;
}

// The words of a command line that could name a file: quoted runs kept whole;
// switches and shell operators dropped; "x.dll,Entry" cut at the comma.
std::vector<std::wstring> PathWords(std::wstring_view command) {
  std::vector<std::wstring> words;
  std::wstring word;
  bool quoted = false;
  auto flush = [&] {
    if (auto comma = word.find(L','); comma != std::wstring::npos) word.resize(comma);
    if (!word.empty() && word[0] != L'/' && word[0] != L'-') words.push_back(word);
    word.clear();
  };
  for (const wchar_t c : command) {
    if (c == L'"') {
      quoted = !quoted;
      if (!quoted) flush();
    } else if (!quoted && (std::iswspace(c) || c == L'&' || c == L'|' || c == L'(' || c == L')')) {
      flush();
    } else {
      word += c;
    }
  }
  flush();
  return words;
}

void AddStarts(std::vector<std::wstring>& starts, std::wstring_view command, const std::wstring& base,
               const DriveFacts& drive) {
  for (const std::wstring& word : PathWords(command)) {
    if (!IsRunnable(word)) continue;
    if (auto path = ResolveOnDrive(word, base, drive)) starts.push_back(*path);
  }
}

std::wstring ExpandVariables(const std::wstring& text) {
  wchar_t buffer[4096];
  const DWORD length = ExpandEnvironmentStringsW(text.c_str(), buffer, static_cast<DWORD>(std::size(buffer)));
  return length > 0 && length <= std::size(buffer) ? std::wstring(buffer) : text;
}

std::optional<Match> MatchLink(const ItemContext& item) {
  if (!item.entry.IsReparsePoint()) return std::nullopt;
  return Match{L"a junction or link; not followed", {}};
}

bool EndsWith(const std::wstring& name, std::wstring_view lowerSuffix) {
  if (name.size() < lowerSuffix.size()) return false;
  const std::size_t start = name.size() - lowerSuffix.size();
  for (std::size_t i = 0; i < lowerSuffix.size(); ++i) {
    if (std::towlower(name[start + i]) != lowerSuffix[i]) return false;
  }
  return true;
}

std::optional<Match> MatchShortcut(const ItemContext& item) {
  if (item.entry.IsFolder() || !EndsWith(item.entry.name, L".lnk")) return std::nullopt;
  const auto target = MayBeShortcut(item.entry) ? item.shortcuts.Read(item.Path()) : std::nullopt;
  const std::wstring stem = item.entry.name.substr(0, item.entry.name.size() - 4);
  if (target && !target->path.empty()) {
    const std::wstring base = target->workingFolder.empty() ? item.folder : ExpandVariables(target->workingFolder);
    const std::wstring command = L"\"" + target->path + L"\" " + target->arguments;
    Match match{L"starts " + target->path + (target->arguments.empty() ? L"" : L" " + target->arguments), {}};
    if (OneOf(BaseName(target->path), kInterpreters)) {
      AddStarts(match.starts, target->arguments, base, item.drive);
      return match;
    }
    const auto onDrive = ResolveOnDrive(ExpandVariables(target->path), item.folder, item.drive);
    if (onDrive && IsRunnable(*onDrive)) {
      AddStarts(match.starts, command, base, item.drive);
      return match;
    }
  }
  for (const Entry& other : item.neighbours) {
    if ((other.attributes & kHiddenOrSystem) && SameText(other.name, stem)) {
      return Match{L"bears the name of the hidden item beside it", {}};
    }
  }
  return std::nullopt;
}

std::optional<Match> MatchRootScript(const ItemContext& item) {
  if (!item.atRoot || item.entry.IsFolder() || !(item.entry.attributes & kHiddenOrSystem)) return std::nullopt;
  if (!IsScript(item.entry.name)) return std::nullopt;
  return Match{L"a script hidden at the drive's root (" + AttributeWords(item.entry.attributes) + L")", {}};
}

std::wstring Trim(std::wstring_view text) {
  const auto first = text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring_view::npos) return {};
  const auto last = text.find_last_not_of(L" \t\r\n");
  return std::wstring(text.substr(first, last - first + 1));
}

std::wstring AutorunText(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                     (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
    }
    return text;
  }
  const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(std::max(size, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

// A line that makes Windows run something: open=, shellexecute= or shell\verb\command=.
bool RunsSomething(const std::wstring& key) {
  if (key == L"open" || key == L"shellexecute") return true;
  return key.rfind(L"shell\\", 0) == 0 && key.size() > 14 && key.substr(key.size() - 8) == L"\\command";
}

std::optional<Match> MatchAutorun(const ItemContext& item) {
  if (!item.atRoot || item.entry.IsFolder() || !SameText(item.entry.name, L"autorun.inf")) return std::nullopt;
  if (item.drive.ownAutorun) return std::nullopt;
  const std::wstring text = AutorunText(item.drive.autorun);
  Match match;
  bool inAutorun = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = Trim(std::wstring_view(text).substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      inAutorun = Lower(line).rfind(L"[autorun", 0) == 0;
      continue;
    }
    const auto equals = line.find(L'=');
    if (!inAutorun || equals == std::wstring::npos) continue;
    const std::wstring value = Trim(std::wstring_view(line).substr(equals + 1));
    if (!RunsSomething(Lower(Trim(std::wstring_view(line).substr(0, equals)))) || value.empty()) continue;
    if (!match.details.empty()) match.details += L"; ";
    match.details += line;
    AddStarts(match.starts, value, item.drive.root, item.drive);
    // The first word runs even without a known extension (open=setup).
    const auto words = PathWords(value);
    if (!words.empty() && !IsRunnable(words.front())) {
      if (auto path = ResolveOnDrive(words.front(), item.drive.root, item.drive)) match.starts.push_back(*path);
    }
  }
  if (match.details.empty()) return std::nullopt;
  match.details = L"runs " + match.details;
  return match;
}

bool HiddenHere(const ItemContext& item) {
  if (!(item.entry.attributes & kHiddenOrSystem) || item.insideSystemFolder) return false;
  const std::wstring name = Lower(item.entry.name);
  if (name == L"desktop.ini" || name == L"thumbs.db") return false;
  if (item.atRoot && item.entry.IsFolder() && IsSystemFolderName(item.entry.name)) return false;
  if (item.atRoot && item.drive.ownAutorun && (name == L"autorun.inf" || name == L"icon.ico")) return false;
  return true;
}

std::optional<Match> MatchBlankFolder(const ItemContext& item) {
  if (!item.entry.IsFolder() || !HiddenHere(item) || !LooksBlank(item.entry.name)) return std::nullopt;
  std::wstring codes;
  for (const wchar_t c : item.entry.name) {
    wchar_t hex[8];
    swprintf(hex, std::size(hex), L"U+%04X", static_cast<unsigned>(c));
    codes += codes.empty() ? hex : std::wstring(L" ") + hex;
  }
  return Match{L"name made of " + codes + L"; " + AttributeWords(item.entry.attributes), {}};
}

std::optional<Match> MatchHidden(const ItemContext& item) {
  if (!HiddenHere(item)) return std::nullopt;
  return Match{AttributeWords(item.entry.attributes), {}};
}

constexpr Rule kRules[] = {
    {FindingKind::Link, Proposal::LeaveAlone, false, MatchLink},
    {FindingKind::Autorun, Proposal::MoveToQuarantine, true, MatchAutorun},
    {FindingKind::Shortcut, Proposal::MoveToQuarantine, true, MatchShortcut},
    {FindingKind::WormProgram, Proposal::MoveToQuarantine, true, MatchRootScript},
    {FindingKind::BlankFolder, Proposal::MakeVisible, true, MatchBlankFolder},
    {FindingKind::BlankFolder, Proposal::RenameToRecovered, false, MatchBlankFolder},
    {FindingKind::Hidden, Proposal::MakeVisible, true, MatchHidden},
};

}  // namespace

std::span<const Rule> Rules() { return kRules; }

bool IsSystemFolderName(const std::wstring& name) {
  const std::wstring lower = Lower(name);
  return lower == L"system volume information" || lower == L"$recycle.bin" || lower == L"recycler";
}

bool MayBeShortcut(const Entry& entry) {
  // Shorter than a shortcut's fixed header: nothing the shell would start.
  constexpr std::uint64_t kHeaderSize = 76;
  return !entry.IsFolder() && !entry.IsReparsePoint() && entry.size >= kHeaderSize && EndsWith(entry.name, L".lnk");
}

bool IsOwnAutorun(const std::string& bytes, bool iconPresent) {
  return bytes == "\"\"\r\n" || (iconPresent && bytes == "[Autorun]\r\nicon=icon.ico\r\n");
}

bool LooksBlank(const std::wstring& name) {
  if (name.empty()) return false;
  return std::all_of(name.begin(), name.end(), [](wchar_t c) {
    return std::iswspace(c) || c == 0x00A0 || c == 0x00AD || c == 0x034F || c == 0x115F || c == 0x1160 ||
           c == 0x180E || (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
           (c >= 0x205F && c <= 0x206F) || c == 0x2800 || c == 0x3000 || c == 0x3164 || c == 0xFEFF ||
           c == 0xFFA0;
  });
}

std::optional<std::wstring> ResolveOnDrive(const std::wstring& token, const std::wstring& base,
                                           const DriveFacts& drive) {
  std::wstring path;
  if (token.size() >= 2 && token[1] == L':') {
    if (std::towupper(token[0]) != std::towupper(drive.letter)) return std::nullopt;
    path = token;
  } else if (token.rfind(L"\\\\", 0) == 0) {
    return std::nullopt;
  } else if (!token.empty() && (token[0] == L'\\' || token[0] == L'/')) {
    path = std::wstring(1, drive.letter) + L":" + token;
  } else {
    path = Join(base, token);
  }
  // Tidy "." and ".." by hand: the system does not do it for \\?\ paths.
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    auto end = path.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (parts.size() > 1) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::wstring tidy;
  for (const auto& part : parts) tidy += tidy.empty() ? part : L"\\" + part;
  if (parts.size() == 1) tidy += L'\\';
  if (Lower(tidy).rfind(Lower(drive.root), 0) != 0 && !SameText(tidy + L"\\", drive.root)) return std::nullopt;
  return tidy;
}

}  // namespace repair::drive_check
