#include "repair/drive_check/scan.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <optional>

#include "repair/drive_check/rules.h"
#include "repair/drive_check/shortcut.h"
#include "repair/drive_check/shortcut_prefetch.h"

namespace repair::drive_check {

namespace {

constexpr std::size_t kAutorunLimit = std::size_t{64} * 1024;  // a real autorun.inf is a few lines

std::optional<std::string> ReadSmallFile(const std::wstring& path) {
  const HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes(kAutorunLimit, '\0');
  DWORD got = 0;
  const BOOL read = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  if (!read) return std::nullopt;
  bytes.resize(got);
  return bytes;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

const Entry* FindEntry(std::span<const Entry> entries, std::wstring_view name) {
  for (const Entry& entry : entries) {
    if (Upper(entry.name) == Upper(std::wstring(name))) return &entry;
  }
  return nullptr;
}

DriveFacts RootFacts(wchar_t letter, const std::wstring& root, std::span<const Entry> entries) {
  DriveFacts facts{letter, root, {}, false};
  const Entry* autorun = FindEntry(entries, L"autorun.inf");
  if (autorun && !autorun->IsFolder()) {
    facts.autorun = ReadSmallFile(Join(root, autorun->name)).value_or(std::string());
    const Entry* icon = FindEntry(entries, L"icon.ico");
    facts.ownAutorun = IsOwnAutorun(facts.autorun, icon && !icon->IsFolder());
  }
  return facts;
}

bool Below(const std::wstring& path, const std::wstring& folder) {
  return path.size() > folder.size() && path[folder.size()] == L'\\' && path.compare(0, folder.size(), folder) == 0;
}

// A shortcut is read on the prefetch thread and judged once the walk is over.
// The rules look only at the hidden neighbours of a shortcut, so only those are kept.
struct Deferred {
  std::wstring folder;
  Entry entry;
  std::vector<Entry> hiddenNeighbours;
  bool atRoot;
  bool inSystem;
};

class Scanner {
 public:
  Scanner(wchar_t letter, std::wstring root, Progress& progress)
      : letter_(letter),
        root_(std::move(root)),
        progress_(progress),
        lastReport_(GetTickCount64()),
        shortcuts_(progress.cancel) {}

  void Visit(const std::wstring& folder, std::span<const Entry> entries) {
    seen_ += entries.size();
    Report(folder);
    const bool atRoot = folder == root_;
    if (atRoot) facts_ = RootFacts(letter_, root_, entries);
    const bool inSystem = std::any_of(systemFolders_.begin(), systemFolders_.end(), [&](const std::wstring& system) {
      return folder == system || Below(folder, system);
    });
    for (const std::size_t index : blankFolders_) {
      const std::wstring& blank = findings_[index].path;
      if (folder == blank || Below(folder, blank)) blankCounts_[blank] += entries.size();
    }
    for (const Entry& entry : entries) {
      if (progress_.cancel.load(std::memory_order_relaxed)) return;
      if (atRoot && entry.IsFolder() && IsSystemFolderName(entry.name)) systemFolders_.push_back(Join(folder, entry.name));
      if (MayBeShortcut(entry)) {
        Defer(folder, entry, entries, atRoot, inSystem);
      } else {
        Classify(ItemContext{facts_, shortcuts_, folder, entry, entries, atRoot, inSystem});
      }
    }
  }

  ScanResult Finish(WalkOutcome outcome) {
    shortcuts_.Finish();
    for (const Deferred& item : deferred_) {
      Classify(ItemContext{facts_, shortcuts_, item.folder, item.entry, item.hiddenNeighbours, item.atRoot,
                           item.inSystem});
    }
    AddStartedPrograms();
    for (const std::size_t index : blankFolders_) {
      Finding& blank = findings_[index];
      const std::uint64_t count = blankCounts_[blank.path];
      blank.details = std::to_wstring(count) + (count == 1 ? L" item inside; " : L" items inside; ") + blank.details;
      if (index + 1 < findings_.size() && findings_[index + 1].proposal == Proposal::RenameToRecovered) {
        findings_[index + 1].details = blank.details;
      }
    }
    // Grouped by kind; within a kind, in the order the walk met them.
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const Finding& a, const Finding& b) { return a.kind < b.kind; });
    ScanResult result;
    result.drive = letter_;
    result.root = root_;
    result.end = outcome.end == WalkEnd::Done        ? ScanEnd::Done
                 : outcome.end == WalkEnd::Cancelled ? ScanEnd::Cancelled
                                                     : ScanEnd::DriveGone;
    result.items = outcome.items;
    result.findings = std::move(findings_);
    result.unreadable = std::move(outcome.unreadable);
    return result;
  }

 private:
  void Report(const std::wstring& folder) {
    if (!progress_.onProgress) return;
    const ULONGLONG now = GetTickCount64();
    if (now - lastReport_ < progress_.intervalMs) return;
    lastReport_ = now;
    progress_.onProgress(seen_, folder);
  }

  void Defer(const std::wstring& folder, const Entry& entry, std::span<const Entry> entries, bool atRoot,
             bool inSystem) {
    shortcuts_.Add(Join(folder, entry.name));
    Deferred item{folder, entry, {}, atRoot, inSystem};
    for (const Entry& other : entries) {
      if (other.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) item.hiddenNeighbours.push_back(other);
    }
    deferred_.push_back(std::move(item));
  }

  void Classify(const ItemContext& item) {
    std::optional<FindingKind> claimed;
    for (const Rule& rule : Rules()) {
      if (claimed && rule.kind != *claimed) break;
      auto match = rule.match(item);
      if (!match) continue;
      claimed = rule.kind;
      const std::wstring path = item.Path();
      if (rule.kind == FindingKind::BlankFolder && rule.proposal == Proposal::MakeVisible) {
        blankFolders_.push_back(findings_.size());
      }
      findings_.push_back({rule.kind, rule.proposal, rule.checked, path, std::move(match->details),
                           item.entry.attributes});
      for (auto& started : match->starts) starts_.emplace(Upper(started), std::make_pair(started, path));
    }
  }

  // A program that a shortcut or the autorun.inf starts joins the worm's
  // findings, taking the place of a "hidden" row for the same file.
  void AddStartedPrograms() {
    for (const auto& start : starts_) {
      const std::wstring& key = start.first;
      const auto& [program, startedBy] = start.second;
      const auto same = [&](const Finding& f) { return Upper(f.path) == key; };
      auto found = std::find_if(findings_.begin(), findings_.end(), same);
      if (found != findings_.end() && found->proposal == Proposal::MoveToQuarantine) continue;
      const DWORD attributes = GetFileAttributesW(LongPath(program).c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
      if (found != findings_.end()) findings_.erase(found);
      findings_.push_back({FindingKind::WormProgram, Proposal::MoveToQuarantine, true, program,
                           L"started by " + startedBy, attributes});
    }
  }

  wchar_t letter_;
  std::wstring root_;
  Progress& progress_;
  ULONGLONG lastReport_;
  std::uint64_t seen_ = 0;
  DriveFacts facts_;
  ShortcutPrefetch shortcuts_;
  std::vector<Deferred> deferred_;
  std::vector<std::wstring> systemFolders_;
  std::vector<Finding> findings_;
  std::vector<std::size_t> blankFolders_;
  std::map<std::wstring, std::uint64_t> blankCounts_;
  std::map<std::wstring, std::pair<std::wstring, std::wstring>> starts_;  // upper-cased program -> (program, starter)
};

}  // namespace

// In the order of the enumerations.
constexpr std::wstring_view kKindCaptions[] = {L"Stand-in shortcuts",  L"What the worm runs",   L"Running autorun.inf",
                                               L"Blank-named folders", L"Hidden by attributes", L"Links not followed"};
constexpr std::wstring_view kProposalCaptions[] = {L"Make visible", L"Move to quarantine",
                                                   L"Rename to \"Recovered items\"", L"Leave alone"};

std::wstring_view KindCaption(FindingKind kind) { return kKindCaptions[static_cast<std::size_t>(kind)]; }

std::wstring_view ProposalCaption(Proposal proposal) {
  return kProposalCaptions[static_cast<std::size_t>(proposal)];
}

constexpr std::string_view kKindIds[] = {"shortcut", "payload", "autorun", "blank-folder", "hidden", "link"};
constexpr std::string_view kProposalIds[] = {"make-visible", "quarantine", "rename", "leave"};

std::string_view KindId(FindingKind kind) { return kKindIds[static_cast<std::size_t>(kind)]; }
std::string_view ProposalId(Proposal proposal) { return kProposalIds[static_cast<std::size_t>(proposal)]; }
std::string_view StrengthId(Strength strength) { return strength == Strength::Worm ? "worm" : "unusual"; }

ScanResult Scan(wchar_t drive, const ScanOptions& options, Progress& progress) {
  const wchar_t letter = static_cast<wchar_t>(std::towupper(drive));
  const std::wstring root = options.root.empty() ? std::wstring(1, letter) + L":\\" : options.root;
  const ComScope com;
  Scanner scanner(options.root.empty() ? letter : static_cast<wchar_t>(std::towupper(root[0])), root, progress);
  const WalkOutcome outcome = Walk(root, progress.cancel, [&](const std::wstring& folder, std::span<const Entry> entries) {
    scanner.Visit(folder, entries);
  });
  if (progress.onProgress) progress.onProgress(outcome.items, root);
  return scanner.Finish(outcome);
}

}  // namespace repair::drive_check
