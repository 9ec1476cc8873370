// Finds what a USB worm did to a drive: items it hid, the shortcuts it put in
// their place, the programs those start, an autorun.inf that runs one, and a
// hidden folder with a blank-looking name. Nothing on the drive is changed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace repair::drive_check {

// In the order the findings are grouped for a person.
enum class FindingKind { Shortcut, WormProgram, Autorun, BlankFolder, Hidden, Link };
enum class Proposal { MakeVisible, MoveToQuarantine, RenameToRecovered, LeaveAlone };
// Worm: evidence that a worm did it, checked by default. Unusual: listed for a
// person to judge, unchecked.
enum class Strength { Worm, Unusual };

struct Finding {
  FindingKind kind = FindingKind::Hidden;
  Proposal proposal = Proposal::LeaveAlone;
  bool checked = false;  // carried out by a clean unless the person unchecks it
  std::wstring path;     // "E:\Folder\name"
  std::wstring details;  // why it was found, for a person
  DWORD attributes = 0;  // as found
  Strength strength = Strength::Worm;
  std::uint64_t id = 0;  // the file system's id of the item, as the walk listed it
};

std::wstring_view KindCaption(FindingKind kind);
std::wstring_view ProposalCaption(Proposal proposal);
// Fixed words for scripts, never translated or reworded: "shortcut", "quarantine", "worm".
std::string_view KindId(FindingKind kind);
std::string_view ProposalId(Proposal proposal);
std::string_view StrengthId(Strength strength);

enum class ScanEnd { Done, Cancelled, DriveGone };

// A folder as the walk listed it: the clean lists it again and compares.
struct FolderSeal {
  std::wstring path;
  std::uint64_t id = 0;
  std::uint64_t digest = 0;  // of its entries' names, ids, attributes, sizes and write times
};

struct ScanResult {
  wchar_t drive = L'\0';
  std::wstring root;  // "E:\"
  ScanEnd end = ScanEnd::Done;
  std::uint64_t items = 0;
  std::vector<Finding> findings;  // grouped by kind, in walk order within a kind
  std::vector<std::wstring> unreadable;  // folders that could not be listed
  // What the drive was: Wine gives a letter the same serial whatever folder is
  // behind it, so the root's id tells two drives apart.
  DWORD volumeSerial = 0;
  std::uint64_t rootId = 0;
  std::vector<FolderSeal> folders;  // every folder the walk listed
  // The volume's label as the scan read it, made printable: the change journal
  // names the drive by it, since the stick is gone when the clean is undone.
  std::wstring label;
};

struct ScanOptions {
  std::wstring root;  // a folder to scan as if it were a drive's root; empty: the drive's root
};

// Shared with the thread that started the scan: it sets `cancel`; the scan
// calls onProgress at most every `intervalMs`, from the scanning thread.
struct Progress {
  std::atomic<bool> cancel{false};
  std::function<void(std::uint64_t items, const std::wstring& folder)> onProgress;
  // The findings met since the last call, just before onProgress: what a window
  // lists while the walk goes on. The result's findings replace them: shortcuts
  // and what they start are judged once the walk is over, and a row may change kind.
  std::function<void(std::vector<Finding> batch)> onFindings;
  unsigned intervalMs = 250;
};

ScanResult Scan(wchar_t drive, const ScanOptions& options, Progress& progress);

}  // namespace repair::drive_check
