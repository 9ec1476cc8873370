#include "repair/drive_check_words.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "repair/drive_check/rules.h"
#include "system/system_text.h"

namespace repair {

namespace {

using drive_check::Finding;
using drive_check::FindingKind;
using drive_check::Proposal;
using drive_check::Strength;

struct GroupWords {
  FindingKind kind;
  Strength strength;
  std::wstring_view caption;
  std::wstring_view why;
};

// In the order the groups are listed.
constexpr GroupWords kGroups[] = {
    {FindingKind::Shortcut, Strength::Worm, L"Shortcuts that run the worm",
     L"A shortcut that runs the worm. Worms put shortcuts like this in place of the files and folders they hide, "
     L"so that a double-click starts the worm and then opens the real item."},
    {FindingKind::WormProgram, Strength::Worm, L"The worm's files",
     L"A script or program that the worm's shortcuts or its autorun.inf start."},
    {FindingKind::Autorun, Strength::Worm, L"An autorun.inf that runs the worm",
     L"An autorun.inf that tells Windows to start a program from the drive."},
    {FindingKind::BlankFolder, Strength::Worm, L"Folders with a blank name",
     L"A hidden folder whose name cannot be seen. Worms move a drive's files into one, so that the drive looks empty."},
    {FindingKind::Hidden, Strength::Worm, L"Hidden by the worm",
     L"Hidden by its attributes, as worms hide the files and folders they stand in for."},
    {FindingKind::Link, Strength::Worm, L"Links, not followed",
     L"A junction or link to somewhere else. Korvane never follows one: nothing behind it is checked or changed."},
    {FindingKind::Shortcut, Strength::Unusual, L"Unusual shortcuts",
     L"A shortcut that starts something on the drive. Programs on a stick do this too, so it is left for you to judge."},
    {FindingKind::WormProgram, Strength::Unusual, L"Scripts and programs to look at",
     L"A script or program that could be a worm's, but nothing shows that a worm starts it."},
    {FindingKind::Autorun, Strength::Unusual, L"An autorun.inf that starts a program",
     L"An autorun.inf that starts a program. Installer sticks have one too, so it is left for you to judge."},
    {FindingKind::BlankFolder, Strength::Unusual, L"Blank-named folders to rename",
     L"A hidden folder whose name cannot be seen."},
    {FindingKind::Hidden, Strength::Unusual, L"Hidden items",
     L"Hidden by its attributes; nothing shows that a worm hid it."},
    {FindingKind::Link, Strength::Unusual, L"Links, not followed",
     L"A junction or link to somewhere else. Korvane never follows one: nothing behind it is checked or changed."},
};

int GroupIndex(const Finding& finding) {
  // A link is left alone whatever its strength, so it is listed once.
  const Strength strength = finding.kind == FindingKind::Link ? Strength::Worm : finding.strength;
  for (std::size_t i = 0; i < std::size(kGroups); ++i) {
    if (kGroups[i].kind == finding.kind && kGroups[i].strength == strength) return static_cast<int>(i);
  }
  return static_cast<int>(std::size(kGroups)) - 1;
}

struct Proposed {
  Proposal proposal;
  std::wstring_view words;
};

constexpr Proposed kProposals[] = {
    {Proposal::MakeVisible,
     L"Make it visible: its hidden and system attributes are cleared, read-only and archive stay. Undo Changes hides "
     L"it again."},
    {Proposal::MoveToQuarantine,
     L"Move it to the quarantine: it is copied there as name.quarantined beside a note of where it came from, the "
     L"copy is compared with it, and only then is it removed from the drive. Undo Changes puts it back."},
    {Proposal::RenameToRecovered,
     L"Rename the folder to \"Recovered items\", so that it can be seen and opened. Undo Changes names it back."},
    {Proposal::LeaveAlone, L"Nothing: it is listed so that you know it is there."},
};

struct CharName {
  wchar_t c;
  std::wstring_view name;
  bool blank;  // looks like nothing; false: turns the text around
};

constexpr CharName kCharNames[] = {
    {L' ', L"space", true},
    {L'\u00A0', L"no-break space", true},
    {L'\u115F', L"Hangul filler", true},
    {L'\u1160', L"Hangul filler", true},
    {L'\u2000', L"en quad", true},
    {L'\u2001', L"em quad", true},
    {L'\u2002', L"en space", true},
    {L'\u2003', L"em space", true},
    {L'\u2004', L"three-per-em space", true},
    {L'\u2005', L"four-per-em space", true},
    {L'\u2006', L"six-per-em space", true},
    {L'\u2007', L"figure space", true},
    {L'\u2008', L"punctuation space", true},
    {L'\u2009', L"thin space", true},
    {L'\u200A', L"hair space", true},
    {L'\u200B', L"zero-width space", true},
    {L'\u200C', L"zero-width non-joiner", true},
    {L'\u200D', L"zero-width joiner", true},
    {L'\u202F', L"narrow no-break space", true},
    {L'\u205F', L"medium mathematical space", true},
    {L'\u2060', L"word joiner", true},
    {L'\u2800', L"Braille blank", true},
    {L'\u3000', L"ideographic space", true},
    {L'\u3164', L"Hangul filler", true},
    {L'\uFEFF', L"zero-width no-break space", true},
    {L'\uFFA0', L"Hangul filler", true},
    {L'\u200E', L"left-to-right mark", false},
    {L'\u200F', L"right-to-left mark", false},
    {L'\u202A', L"left-to-right embedding", false},
    {L'\u202B', L"right-to-left embedding", false},
    {L'\u202C', L"pop directional formatting", false},
    {L'\u202D', L"left-to-right override", false},
    {L'\u202E', L"right-to-left override", false},
    {L'\u2066', L"left-to-right isolate", false},
    {L'\u2067', L"right-to-left isolate", false},
    {L'\u2068', L"first strong isolate", false},
    {L'\u2069', L"pop directional isolate", false},
};

const CharName* NameOf(wchar_t c) {
  const auto* found = std::find_if(std::begin(kCharNames), std::end(kCharNames), [c](const CharName& n) { return n.c == c; });
  return found == std::end(kCharNames) ? nullptr : found;
}

// One part of a path as a person can read it.
std::wstring ShownName(std::wstring_view name) {
  // Blank by the rules' own test, so that every name the check calls blank is shown as such.
  if (drive_check::LooksBlank(std::wstring(name))) {
    std::wstring words;
    for (std::size_t i = 0; i < name.size();) {
      std::size_t run = 1;
      while (i + run < name.size() && name[i + run] == name[i]) ++run;
      if (!words.empty()) words += L", ";
      const CharName* known = NameOf(name[i]);
      words += known ? std::wstring(known->name) : L"invisible character";
      if (run > 1) words += L" \u00D7" + std::to_wstring(run);
      i += run;
    }
    return L"[blank name: " + words + L"]";
  }
  std::wstring shown;
  for (const wchar_t c : name) {
    const CharName* known = NameOf(c);
    if (known && !known->blank) {
      shown += L"[" + std::wstring(known->name) + L"]";
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace

int GroupRank(const Finding& finding) { return GroupIndex(finding); }

std::wstring_view GroupCaption(const Finding& finding) {
  return kGroups[static_cast<std::size_t>(GroupIndex(finding))].caption;
}

std::wstring ShownPath(std::wstring_view path) {
  std::wstring shown;
  std::size_t start = 0;
  while (start <= path.size()) {
    auto end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    shown += ShownName(path.substr(start, end - start));
    if (end < path.size()) shown += L'\\';
    start = end + 1;
  }
  return shown;
}

std::wstring ScanSummary(const drive_check::ScanResult& scan) {
  const auto counted = [](std::uint64_t number, const wchar_t* one, const wchar_t* many) {
    return platform::GroupDigits(number) + L" " + (number == 1 ? one : many);
  };
  const std::wstring drive = std::wstring(1, scan.drive) + L":";
  const std::wstring seen = counted(scan.items, L"item", L"items");
  std::wstring text;
  if (scan.findings.empty()) {
    text = L"Nothing was found on drive " + drive + L" among " + seen + L".";
  } else {
    const auto checked = std::count_if(scan.findings.begin(), scan.findings.end(), [](const Finding& finding) {
      return finding.checked && finding.proposal != Proposal::LeaveAlone;
    });
    text = counted(scan.findings.size(), L"finding", L"findings") + L" on drive " + drive + L" among " + seen + L"; " +
           platform::GroupDigits(static_cast<std::uint64_t>(checked)) + L" checked to be cleaned.";
  }
  if (!scan.unreadable.empty()) {
    text += L" " + counted(scan.unreadable.size(), L"folder", L"folders") + L" could not be read, first " +
            ShownPath(scan.unreadable.front()) + L".";
  }
  return text;
}

std::wstring DetailsText(const Finding& finding, std::wstring_view linkedPath) {
  const auto& group = kGroups[static_cast<std::size_t>(GroupIndex(finding))];
  std::wstring text = ShownPath(finding.path);
  if (text != finding.path) text += L"\r\n(shown with the invisible characters of its name named in brackets)";
  text += L"\r\n\r\nWhy: " + std::wstring(group.why);
  if (!finding.details.empty()) {
    const bool shortcut = finding.kind == FindingKind::Shortcut && finding.details.rfind(L"starts ", 0) == 0;
    text += shortcut ? L"\r\nIt runs: " + finding.details.substr(7) : L"\r\nFound: " + finding.details;
  }
  if (finding.kind != FindingKind::Link) {
    text += finding.strength == Strength::Worm ? L"\r\nThis is evidence of a worm." : L"\r\nThis alone is not proof of a worm.";
  }
  if (!linkedPath.empty()) {
    text += (finding.proposal == Proposal::MakeVisible ? L"\r\nIts stand-in, which the worm put in its place: "
                                                       : L"\r\nIt stands in for the hidden item ") +
            ShownPath(linkedPath);
  }
  for (const Proposed& proposed : kProposals) {
    if (proposed.proposal == finding.proposal) text += L"\r\n\r\nWhat the clean will do: " + std::wstring(proposed.words);
  }
  return text;
}

}  // namespace repair
