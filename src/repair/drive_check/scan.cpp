#include "repair/drive_check/scan.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <optional>
#include <unordered_map>

#include "repair/drive_check/command_words.h"
#include "repair/drive_check/rules.h"
#include "repair/drive_check/shortcut.h"
#include "repair/drive_check/shortcut_prefetch.h"
#include "system/system_text.h"

namespace repair::drive_check {

using platform::SameName;

namespace {

const Entry* FindEntry(std::span<const Entry> entries, std::wstring_view name) {
  for (const Entry& entry : entries) {
    if (SameName(entry.name, name)) return &entry;
  }
  return nullptr;
}

DriveFacts RootFacts(wchar_t letter, const std::wstring& root, std::span<const Entry> entries) {
  DriveFacts facts{letter, root, {}, false, false};
  const Entry* autorun = FindEntry(entries, L"autorun.inf");
  if (autorun && !autorun->IsFolder() && !autorun->IsReparsePoint()) {
    facts.autorun = ReadHead(Join(root, autorun->name), kAutorunLimit, &facts.autorunCut);
    const Entry* icon = FindEntry(entries, L"icon.ico");
    facts.ownAutorun = IsOwnAutorun(facts.autorun, icon && !icon->IsFolder());
  }
  return facts;
}

bool Below(const std::wstring& path, const std::wstring& folder) {
  return path.size() > folder.size() && path[folder.size()] == L'\\' && path.compare(0, folder.size(), folder) == 0;
}

std::wstring FolderOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  return path.substr(0, slash == 2 && path[1] == L':' ? slash + 1 : slash);
}

// The items the walk reached, asked for by path once it is over. Only folders
// are remembered; a folder is listed again when something names an item in it.
class WalkedLookup : public WalkedItems {
 public:
  void Visited(const std::wstring& folder, std::uint64_t id) { folders_.emplace(platform::NameKey(folder), id); }

  std::optional<Reached> Find(const std::wstring& path) const override {
    const std::wstring folder = FolderOf(path);
    const auto known = folders_.find(platform::NameKey(folder));
    if (known == folders_.end()) return std::nullopt;
    auto listed = listings_.find(known->first);
    if (listed == listings_.end()) {
      std::vector<Entry> entries;
      FolderFacts facts;
      const std::atomic<bool> never{false};
      // A folder gone or swapped since the walk lists as empty: nothing in it is reached.
      if (!ListFolder(folder, entries, facts, never) || facts.id != known->second) entries.clear();
      listed = listings_.emplace(known->first, std::move(entries)).first;
    }
    const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    for (const Entry& entry : listed->second) {
      if (!entry.IsReparsePoint() && SameName(entry.name, name)) return Reached{Join(folder, entry.name), entry};
    }
    return std::nullopt;
  }

 private:
  std::unordered_map<std::wstring, std::uint64_t> folders_;
  mutable std::unordered_map<std::wstring, std::vector<Entry>> listings_;
};

// An item judged once the walk is over, when what it names can be looked up.
// The rules look only at the hidden neighbours of such an item, so only those are kept.
struct Deferred {
  std::wstring folder;
  Entry entry;
  std::vector<Entry> hiddenNeighbours;
  bool atRoot;
  bool inSystem;
};

constexpr ULONGLONG kFirstReportMs = 40;

class Scanner {
 public:
  Scanner(wchar_t letter, std::wstring root, Progress& progress)
      : letter_(letter),
        root_(std::move(root)),
        progress_(progress),
        lastReport_(GetTickCount64()),
        shortcuts_(progress.cancel) {}

  void Visit(const std::wstring& folder, const FolderFacts& folderFacts, std::span<const Entry> entries) {
    seen_ += entries.size();
    Report(folder);
    seals_.push_back({folder, folderFacts.id, Digest(entries)});
    walked_.Visited(folder, folderFacts.id);
    const bool atRoot = folder == root_;
    if (atRoot) facts_ = RootFacts(letter_, root_, entries);
    const bool inSystem = std::any_of(systemFolders_.begin(), systemFolders_.end(), [&](const std::wstring& system) {
      return folder == system || Below(folder, system);
    });
    for (const std::size_t index : blankFolders_) {
      const std::wstring& blank = findings_[index].path;
      if (folder == blank || Below(folder, blank)) blankCounts_[blank] += entries.size();
    }
    // A folder marked only system or read-only that holds a desktop.ini is how
    // Windows keeps a folder's own icon, not how a worm hides one.
    if (const auto custom = customised_.find(folder); custom != customised_.end()) {
      const Entry* ini = FindEntry(entries, L"desktop.ini");
      if (ini && !ini->IsFolder()) dropped_.push_back(custom->second);
      customised_.erase(custom);
    }
    for (const Entry& entry : entries) {
      if (progress_.cancel.load(std::memory_order_relaxed)) return;
      if (atRoot && entry.IsFolder() && IsSystemFolderName(entry.name)) systemFolders_.push_back(Join(folder, entry.name));
      if (JudgedAfterWalk(entry, atRoot)) {
        Defer(folder, entry, entries, atRoot, inSystem);
      } else {
        Classify(ItemContext{facts_, shortcuts_, walked_, folder, entry, entries, atRoot, inSystem});
      }
    }
  }

  ScanResult Finish(WalkOutcome outcome) {
    shortcuts_.Finish();
    for (const Deferred& item : deferred_) {
      Classify(ItemContext{facts_, shortcuts_, walked_, item.folder, item.entry, item.hiddenNeighbours, item.atRoot,
                           item.inSystem});
    }
    AddPayloads();
    for (const std::size_t index : blankFolders_) {
      Finding& blank = findings_[index];
      const std::uint64_t count = blankCounts_[blank.path];
      blank.details = std::to_wstring(count) + (count == 1 ? L" item inside; " : L" items inside; ") + blank.details;
      if (index + 1 < findings_.size() && findings_[index + 1].proposal == Proposal::RenameToRecovered) {
        findings_[index + 1].details = blank.details;
      }
    }
    std::vector<bool> drop(findings_.size(), false);
    for (const std::size_t index : dropped_) drop[index] = true;
    std::vector<Finding> kept;
    kept.reserve(findings_.size() - std::min(findings_.size(), dropped_.size()));
    for (std::size_t i = 0; i < findings_.size(); ++i) {
      if (!drop[i]) kept.push_back(std::move(findings_[i]));
    }
    // Grouped by kind; within a kind, in the order the walk met them.
    std::stable_sort(kept.begin(), kept.end(), [](const Finding& a, const Finding& b) { return a.kind < b.kind; });
    ScanResult result;
    result.drive = letter_;
    result.root = root_;
    result.end = outcome.end == WalkEnd::Done        ? ScanEnd::Done
                 : outcome.end == WalkEnd::Cancelled ? ScanEnd::Cancelled
                                                     : ScanEnd::DriveGone;
    result.items = outcome.items;
    result.findings = std::move(kept);
    result.unreadable = std::move(outcome.unreadable);
    result.volumeSerial = outcome.root.volumeSerial;
    result.rootId = outcome.root.id;
    result.folders = std::move(seals_);
    return result;
  }

 private:
  void Report(const std::wstring& folder) {
    if (!progress_.onProgress && !progress_.onFindings) return;
    const ULONGLONG now = GetTickCount64();
    // The first report comes soon, so that a window shows the first rows while the walk goes on.
    const ULONGLONG wait = reported_ ? progress_.intervalMs : std::min<ULONGLONG>(progress_.intervalMs, kFirstReportMs);
    if (now - lastReport_ < wait) return;
    lastReport_ = now;
    reported_ = true;
    if (progress_.onFindings) SendFindings();
    if (progress_.onProgress) progress_.onProgress(seen_, folder);
  }

  void SendFindings() {
    std::vector<Finding> batch;
    for (; sent_ < findings_.size(); ++sent_) {
      // A folder marked only system waits for its own listing: with a desktop.ini it is no finding.
      const auto custom = customised_.find(findings_[sent_].path);
      if (custom == customised_.end() || custom->second != sent_) batch.push_back(findings_[sent_]);
    }
    if (!batch.empty()) progress_.onFindings(std::move(batch));
  }

  void Defer(const std::wstring& folder, const Entry& entry, std::span<const Entry> entries, bool atRoot,
             bool inSystem) {
    if (MayBeShortcut(entry)) shortcuts_.Add(Join(folder, entry.name));
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
      const std::size_t index = findings_.size();
      findings_.push_back({rule.kind, rule.proposal, DefaultChecked(rule.proposal, match->strength), item.Path(),
                           std::move(match->details), item.entry.attributes, match->strength, item.entry.id});
      if (rule.kind == FindingKind::BlankFolder && rule.proposal == Proposal::MakeVisible) blankFolders_.push_back(index);
      if (rule.kind == FindingKind::Hidden && item.entry.IsFolder() && !(item.entry.attributes & FILE_ATTRIBUTE_HIDDEN)) {
        customised_.emplace(findings_.back().path, index);
      }
      if (match->strength != Strength::Worm) continue;
      for (Reached& payload : match->payloads) {
        std::wstring key = platform::NameKey(payload.path);
        payloads_.emplace(std::move(key), std::make_pair(std::move(payload), findings_.back().path));
      }
    }
  }

  // A file a worm's shortcut or autorun.inf starts joins the worm's findings,
  // taking the place of a "hidden" row for the same file.
  void AddPayloads() {
    if (payloads_.empty()) return;
    std::unordered_map<std::wstring, std::size_t> byPath;
    for (std::size_t i = 0; i < findings_.size(); ++i) byPath.emplace(platform::NameKey(findings_[i].path), i);
    for (auto& [key, value] : payloads_) {
      auto& [payload, startedBy] = value;
      const auto known = byPath.find(key);
      if (known != byPath.end()) {
        Finding& finding = findings_[known->second];
        if (finding.proposal == Proposal::MoveToQuarantine) {
          finding.strength = Strength::Worm;
          finding.checked = true;
          continue;
        }
        dropped_.push_back(known->second);
      }
      findings_.push_back({FindingKind::WormProgram, Proposal::MoveToQuarantine, true, payload.path,
                           L"started by " + startedBy, payload.entry.attributes, Strength::Worm, payload.entry.id});
    }
  }

  wchar_t letter_;
  std::wstring root_;
  Progress& progress_;
  ULONGLONG lastReport_;
  bool reported_ = false;
  std::uint64_t seen_ = 0;
  std::size_t sent_ = 0;  // findings handed to onFindings so far
  DriveFacts facts_;
  ShortcutPrefetch shortcuts_;
  WalkedLookup walked_;
  std::vector<FolderSeal> seals_;
  std::vector<Deferred> deferred_;
  std::vector<std::wstring> systemFolders_;
  std::vector<Finding> findings_;
  std::vector<std::size_t> dropped_;
  std::vector<std::size_t> blankFolders_;
  std::map<std::wstring, std::size_t> customised_;
  std::map<std::wstring, std::uint64_t> blankCounts_;
  std::map<std::wstring, std::pair<Reached, std::wstring>> payloads_;  // name key of the path -> (file, starter)
};

// A label is up to 32 characters on NTFS, 11 on FAT; whoever formatted the stick chose it.
std::wstring LabelOf(const std::wstring& root) {
  wchar_t label[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) return {};
  return platform::Printable(label, 32);
}

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
  const WalkOutcome outcome =
      Walk(root, progress.cancel, [&](const std::wstring& folder, const FolderFacts& facts,
                                      std::span<const Entry> entries) { scanner.Visit(folder, facts, entries); });
  if (progress.onProgress) progress.onProgress(outcome.items, root);
  ScanResult result = scanner.Finish(outcome);
  result.label = LabelOf(root);
  return result;
}

}  // namespace repair::drive_check
