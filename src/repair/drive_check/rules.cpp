#include "repair/drive_check/rules.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cwctype>
#include <string_view>

#include "repair/drive_check/command_words.h"
#include "repair/drive_check/shortcut.h"
#include "system/system_text.h"

namespace repair::drive_check {

using platform::AttributeWords;
using platform::SameName;

namespace {

constexpr DWORD kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr std::size_t kPointerFileLimit = std::size_t{64} * 1024;  // a .url, .scf or .pif is a few hundred bytes

constexpr std::array<std::wstring_view, 12> kScripts = {L".vbs", L".vbe", L".js",  L".jse", L".wsf", L".wsh",
                                                        L".bat", L".cmd", L".scr", L".pif", L".hta", L".ps1"};
constexpr std::array<std::wstring_view, 5> kPrograms = {L".exe", L".com", L".dll", L".scr", L".pif"};
// What the shell runs as a program when it is opened.
constexpr std::array<std::wstring_view, 4> kStartedPrograms = {L".exe", L".scr", L".com", L".pif"};
// What a person takes for a document when the program extension after it is hidden.
constexpr std::array<std::wstring_view, 22> kDocuments = {
    L".jpg", L".jpeg", L".png", L".gif", L".bmp", L".doc", L".docx", L".xls", L".xlsx", L".ppt", L".pptx",
    L".pdf", L".txt",  L".rtf", L".mp3", L".mp4", L".avi", L".wmv",  L".zip", L".rar", L".odt",  L".csv"};


template <std::size_t N>
bool OneOf(const std::wstring& value, const std::array<std::wstring_view, N>& list) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

bool IsRunnable(std::wstring_view name) {
  const std::wstring extension = Extension(name);
  return OneOf(extension, kScripts) || OneOf(extension, kPrograms);
}

bool Hidden(const Entry& entry) { return (entry.attributes & kHiddenOrSystem) != 0; }

std::wstring Stem(const std::wstring& name) {
  const auto dot = name.find_last_of(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

// A shortcut or program bearing the name of a hidden item beside it: the worm's stand-in.
const Entry* HiddenNamesake(const ItemContext& item) {
  const std::wstring stem = Stem(item.entry.name);
  for (const Entry& other : item.neighbours) {
    if (&other != &item.entry && Hidden(other) && SameName(other.name, stem)) return &other;
  }
  return nullptr;
}

void AddPayload(Match& match, const Reached& found) {
  for (const Reached& known : match.payloads) {
    if (known.path == found.path) return;
  }
  match.payloads.push_back(found);
}

std::optional<Match> MatchLink(const ItemContext& item) {
  if (!item.entry.IsReparsePoint()) return std::nullopt;
  return Match{L"a junction or link; not followed", Strength::Unusual, {}};
}

// What a command starts on the drive, judged as one: worm when a launcher is
// given a file here or a hidden file is started; unusual for a visible program.
Match JudgeStarts(const CommandJudgement& judged, std::wstring details) {
  Match match{std::move(details), Strength::Unusual, {}};
  for (const Reached& payload : judged.payloads) AddPayload(match, payload);
  if (!judged.givenToLauncher.empty()) {
    match.details += L"; " + judged.givenToLauncher.front().path + L" is given to " + judged.launcher;
  } else if (!judged.hidden.empty()) {
    match.details += L"; it starts " + judged.hidden.front().path + L", which is " +
                     AttributeWords(judged.hidden.front().entry.attributes);
  } else if (!judged.missing.empty()) {
    match.details += L"; " + judged.missing.front() + L" is not on the drive";
  }
  if (!judged.givenToLauncher.empty() || !judged.hidden.empty()) match.strength = Strength::Worm;
  return match;
}

std::optional<Match> MatchShortcut(const ItemContext& item) {
  if (item.entry.IsFolder() || Extension(item.entry.name) != L".lnk") return std::nullopt;
  const auto target = MayBeShortcut(item.entry) ? item.shortcuts.Read(item.Path()) : std::nullopt;
  const Entry* namesake = HiddenNamesake(item);
  std::optional<Match> match;
  if (target && !target->path.empty()) {
    // %cd% is the working folder the shortcut names, else the folder holding it.
    const std::wstring workingFolder = ExpandCommand(target->workingFolder, item.folder);
    const std::wstring base =
        workingFolder.empty() ? item.folder : ResolveOnDrive(workingFolder, item.folder, item.drive).value_or(L"");
    const CommandJudgement judged =
        JudgeCommand(Quoted(target->path) + L" " + target->arguments, base.empty() ? item.folder : base, item.drive,
                     item.walked);
    Match starts = JudgeStarts(judged, L"starts " + target->path +
                                           (target->arguments.empty() ? L"" : L" " + target->arguments));
    if (starts.strength == Strength::Worm || !judged.programs.empty()) match = std::move(starts);
    if (match && namesake) {
      for (const Reached& program : judged.programs) AddPayload(*match, program);
    }
  }
  if (namesake) {
    if (!match) match = Match{L"", Strength::Worm, {}};
    match->details += (match->details.empty() ? L"" : L"; ") + std::wstring(L"bears the name of the hidden ") +
                      (namesake->IsFolder() ? L"folder" : L"item") + L" beside it";
    match->strength = Strength::Worm;
  }
  if (match && match->strength == Strength::Unusual) match->payloads.clear();
  return match;
}

// .url and .scf files are text that names what they open; a .pif holds the
// program's path among its bytes. Each is a stand-in when that is a file here.
std::optional<Match> MatchPointerFile(const ItemContext& item) {
  if (item.entry.IsFolder() || item.entry.IsReparsePoint()) return std::nullopt;
  const std::wstring extension = Extension(item.entry.name);
  if (extension != L".url" && extension != L".scf" && extension != L".pif") return std::nullopt;
  Match match{L"", Strength::Worm, {}};
  for (const std::wstring& named : NamedPaths(ReadHead(item.Path(), kPointerFileLimit), extension == L".pif")) {
    const auto path = ResolveOnDrive(named, item.folder, item.drive);
    const auto found = path ? item.walked.Find(*path) : std::nullopt;
    if (!found || found->entry.IsFolder() || (!IsRunnable(found->path) && !Hidden(found->entry))) continue;
    if (match.details.empty()) match.details = L"points at " + found->path + L" on this drive";
    AddPayload(match, *found);
  }
  if (match.payloads.empty()) return std::nullopt;
  return match;
}

// A line that makes Windows run something: open=, shellexecute= or shell\verb\command=.
bool RunsSomething(const std::wstring& key) {
  if (key == L"open" || key == L"shellexecute") return true;
  return key.rfind(L"shell\\", 0) == 0 && key.size() > 14 && key.substr(key.size() - 8) == L"\\command";
}

std::optional<Match> MatchAutorun(const ItemContext& item) {
  if (!item.atRoot || item.entry.IsFolder() || !SameName(item.entry.name, L"autorun.inf")) return std::nullopt;
  if (item.drive.ownAutorun) return std::nullopt;
  std::wstring lines;
  CommandJudgement judged;
  for (const auto& [key, value] : AutorunCommands(item.drive.autorun)) {
    if (!RunsSomething(platform::Lowered(key)) || value.empty()) continue;
    if (!lines.empty()) lines += L"; ";
    lines += key;
    lines += L'=';
    lines += value;
    // The first word runs even without an extension (open=setup).
    JudgeCommand(value, item.drive.root, item.drive, item.walked, judged, true);
  }
  if (lines.empty()) return std::nullopt;
  Match match = JudgeStarts(judged, L"runs " + lines);
  // A program named here that is not on the drive: what a worm leaves once a scanner took its program.
  if (judged.programs.empty() && !judged.missing.empty()) match.strength = Strength::Worm;
  if (item.drive.autorunCut) match.details += L"; longer than 1 MiB, read only that far";
  if (match.strength == Strength::Unusual) match.payloads.clear();
  return match;
}

bool CarriesBidiControls(const std::wstring& name) {
  return std::any_of(name.begin(), name.end(), [](wchar_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
  });
}

// Programs dressed up as something else: named after a hidden folder beside
// them, a document extension before the program one, or a name turned round.
std::optional<Match> MatchDisguisedProgram(const ItemContext& item) {
  if (item.entry.IsFolder() || item.entry.IsReparsePoint()) return std::nullopt;
  const std::wstring extension = Extension(item.entry.name);
  if (CarriesBidiControls(item.entry.name) && (IsRunnable(item.entry.name) || extension == L".lnk")) {
    return Match{L"its name carries characters that turn the text round, so its real extension " + extension +
                     L" does not show where it ends",
                 Strength::Worm, {}};
  }
  if (!OneOf(extension, kStartedPrograms)) return std::nullopt;
  const Entry* namesake = HiddenNamesake(item);
  if (namesake && namesake->IsFolder()) {
    return Match{L"a program bearing the name of the hidden folder beside it", Strength::Worm, {}};
  }
  const std::wstring inner = Extension(Stem(item.entry.name));
  if (OneOf(inner, kDocuments)) {
    return Match{L"a program named like a " + inner + L" document", Strength::Worm, {}};
  }
  return std::nullopt;
}

bool HiddenHere(const ItemContext& item) {
  if (!Hidden(item.entry) || item.insideSystemFolder) return false;
  const std::wstring name = platform::Lowered(item.entry.name);
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
  return Match{L"name made of " + codes + L"; " + AttributeWords(item.entry.attributes), Strength::Worm, {}};
}

std::optional<Match> MatchBlankFolderRename(const ItemContext& item) {
  auto match = MatchBlankFolder(item);
  if (match) match->strength = Strength::Unusual;
  return match;
}

std::optional<Match> MatchHidden(const ItemContext& item) {
  if (!HiddenHere(item)) return std::nullopt;
  return Match{AttributeWords(item.entry.attributes), Strength::Unusual, {}};
}

constexpr Rule kRules[] = {
    {FindingKind::Link, Proposal::LeaveAlone, MatchLink},
    {FindingKind::Autorun, Proposal::MoveToQuarantine, MatchAutorun},
    {FindingKind::Shortcut, Proposal::MoveToQuarantine, MatchShortcut},
    {FindingKind::Shortcut, Proposal::MoveToQuarantine, MatchPointerFile},
    {FindingKind::WormProgram, Proposal::MoveToQuarantine, MatchDisguisedProgram},
    {FindingKind::BlankFolder, Proposal::MakeVisible, MatchBlankFolder},
    {FindingKind::BlankFolder, Proposal::RenameToRecovered, MatchBlankFolderRename},
    {FindingKind::Hidden, Proposal::MakeVisible, MatchHidden},
};

}  // namespace

std::span<const Rule> Rules() { return kRules; }

bool DefaultChecked(Proposal proposal, Strength strength) {
  if (proposal == Proposal::MakeVisible) return true;
  return proposal == Proposal::MoveToQuarantine && strength == Strength::Worm;
}

bool JudgedAfterWalk(const Entry& entry, bool atRoot) {
  if (entry.IsFolder() || entry.IsReparsePoint() || entry.name.size() < 4) return false;
  if (entry.name[entry.name.size() - 4] != L'.' && !atRoot) return false;
  if (atRoot && SameName(entry.name, L"autorun.inf")) return true;
  const std::wstring extension = Extension(entry.name);
  return extension == L".lnk" || extension == L".url" || extension == L".scf" || extension == L".pif";
}

bool IsSystemFolderName(const std::wstring& name) {
  const std::wstring lower = platform::Lowered(name);
  return lower == L"system volume information" || lower == L"$recycle.bin" || lower == L"recycler";
}

bool MayBeShortcut(const Entry& entry) {
  // Shorter than a shortcut's fixed header: nothing the shell would start.
  constexpr std::uint64_t kHeaderSize = 76;
  return !entry.IsFolder() && !entry.IsReparsePoint() && entry.size >= kHeaderSize && Extension(entry.name) == L".lnk";
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
    if (!SameName(std::wstring_view(token).substr(0, 1), std::wstring_view(&drive.letter, 1))) return std::nullopt;
    path = token;
  } else if (token.rfind(L"\\\\", 0) == 0 || token.rfind(L"//", 0) == 0) {
    return std::nullopt;
  } else if (!token.empty() && (token[0] == L'\\' || token[0] == L'/')) {
    path = drive.root.substr(0, 2) + token;
  } else {
    path = Join(base, token);
  }
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    auto end = path.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring part = path.substr(start, end - start);
    const bool last = end == path.size();
    start = end + 1;
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (parts.size() > 1) parts.pop_back();
      continue;
    }
    if (last) {
      // The name's trailing dots and spaces go, as the system tidies a path it runs.
      while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.pop_back();
      if (part.empty()) continue;
    } else if (part.size() > 1 && part.back() == L'.' && part[part.size() - 2] != L'.') {
      part.pop_back();
    }
    parts.push_back(part);
  }
  std::wstring tidy;
  for (const auto& part : parts) tidy += tidy.empty() ? part : L"\\" + part;
  if (parts.size() == 1) tidy += L'\\';
  const std::wstring root = drive.root.empty() ? std::wstring() : drive.root;
  if (tidy.size() < root.size() || !SameName(std::wstring_view(tidy).substr(0, root.size()), root)) {
    if (!SameName(tidy + L"\\", root)) return std::nullopt;
  }
  return tidy;
}

}  // namespace repair::drive_check
