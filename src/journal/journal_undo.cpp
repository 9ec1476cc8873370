#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "system/file_ops.h"
#include "journal/journal.h"
#include "journal/journal_format.h"
#include "journal/journal_machine.h"
#include "journal/journal_scope.h"

namespace platform::journal {

namespace {

constexpr DWORD kSettableAttributes = kVisibleAttributes | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr wchar_t kUndoSuffix[] = L".korvane-undo";

bool Present(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The same file's name for every spelling of its path, made in one allocation
// (a bulk undo asks for each of thousands), after a tag saying what of it changed.
std::wstring FileKey(const std::wstring& path, std::wstring_view tag = {}) {
  const std::wstring_view plain = std::wstring_view(path).substr(path.starts_with(L"\\\\?\\") ? 4 : 0);
  std::wstring key;
  key.reserve(tag.size() + plain.size());
  key += tag;
  key += plain;
  std::replace(key.begin(), key.end(), L'/', L'\\');
  CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  return key;
}

// What an item changes: later items on the same thing supersede it.
std::wstring Target(const Item& item) {
  switch (item.kind) {
    case ItemKind::Registry:
      return L"R" + Upper(RegDescribe(item.root, item.key, L"")) + L"\n" + item.name;
    case ItemKind::Attributes:
      return FileKey(item.path, L"A");
    case ItemKind::Content:
    case ItemKind::Move:
      return FileKey(item.path, L"C");
    case ItemKind::Rename:
      return FileKey(item.path, L"N");
    case ItemKind::Note:
      break;
  }
  return {};
}

// A path with or without the long-path prefix names the same file.
std::wstring PlainPath(const std::wstring& path) { return Upper(path.starts_with(L"\\\\?\\") ? path.substr(4) : path); }

// Where an older item's path lies now that later renames of the group moved it.
Item Relocated(Item item, const std::vector<std::pair<std::wstring, std::wstring>>& renames) {
  for (const auto& [from, to] : renames) {
    const std::wstring plain = PlainPath(item.path);
    if (plain == from || (plain.starts_with(from) && plain[from.size()] == L'\\')) {
      item.path = to + item.path.substr(item.path.size() - (plain.size() - from.size()));
    }
  }
  return item;
}

}  // namespace

// Only the last change to each thing tells what Korvane left there; the
// attributes of a file the group later moved away went with the file, and
// what a later rename carried along is looked for where it went.
std::vector<ItemState> scope::JudgeGroup(const Group& group, FolderListing* listing) {
  std::vector<ItemState> states(group.items.size(), ItemState::Nothing);
  // Hash tables: a clean of a whole drive makes a group of 100,000 items.
  std::unordered_map<std::wstring, ItemState> latest;
  latest.reserve(group.items.size());
  std::unordered_map<std::wstring, ItemState> movedAway;
  std::vector<std::pair<std::wstring, std::wstring>> renames;
  std::optional<FolderListing> own;
  if (!listing) listing = &own.emplace();
  for (std::size_t i = group.items.size(); i-- > 0;) {
    const Item& item = group.items[i];
    if (item.kind == ItemKind::Note) continue;
    std::wstring target = Target(item);
    std::optional<ItemState> later;
    if (item.kind == ItemKind::Attributes && !movedAway.empty()) {
      if (const auto moved = movedAway.find(PlainPath(item.path)); moved != movedAway.end()) later = moved->second;
    }
    if (!later) {
      if (const auto same = latest.find(target); same != latest.end()) later = same->second;
    }
    // A later change never made says nothing of this one: it is judged itself.
    if (later && *later != ItemState::NotMade) {
      states[i] = *later;
      continue;
    }
    states[i] = renames.empty() ? Judge(item, listing) : Judge(Relocated(item, renames), listing);
    latest.emplace(std::move(target), states[i]);
    if (item.kind == ItemKind::Move) movedAway.emplace(PlainPath(item.path), states[i]);
    if (item.kind == ItemKind::Rename) renames.emplace_back(PlainPath(item.path), item.kept);
  }
  return states;
}

namespace {

void CreateFolders(const std::wstring& path) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
}

enum class Step { Done, Failed, Cancelled, NotKept };

Step FromRecord(DWORD code) { return code == ERROR_CANCELLED ? Step::Cancelled : Step::Failed; }

// A copy beside the destination, on disk, then moved over it: a crash leaves the old file or the new.
// With a vouched hash, the copy made is what is checked against it, so that the
// source swapped after undo's checks (it may lie where the user writes) is never put back.
Step PlaceCopy(const std::wstring& source, const std::wstring& destination, std::wstring_view vouchedHash) {
  CreateFolders(destination);
  const std::wstring temporary = destination + kUndoSuffix;
  if (!CopyFileW(source.c_str(), temporary.c_str(), FALSE)) return Step::Failed;
  SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  const HANDLE copy = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  const bool flushed = copy != INVALID_HANDLE_VALUE && FlushFileBuffers(copy);
  if (copy != INVALID_HANDLE_VALUE) CloseHandle(copy);
  const bool same = vouchedHash.empty() ? format::Digest(temporary) == format::Digest(source)
                                        : machine::FileHash(temporary) == vouchedHash;
  if (!flushed || !same) {
    DeleteFileW(temporary.c_str());
    return flushed && !vouchedHash.empty() ? Step::NotKept : Step::Failed;
  }
  if (const DWORD recorded = RecordContent(destination); recorded != ERROR_SUCCESS) {
    DeleteFileW(temporary.c_str());
    return FromRecord(recorded);
  }
  const bool moved = MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  RecordContentAfter(destination);
  if (!moved) DeleteFileW(temporary.c_str());
  return moved ? Step::Done : Step::Failed;
}

Step PutBackContent(const Item& item, std::wstring_view vouchedHash) {
  if (item.existedBefore) return Present(item.kept) ? PlaceCopy(item.kept, item.path, vouchedHash) : Step::Failed;
  // The action made the file: it goes, its bytes kept by the undo's own record.
  if (!Present(item.path)) return Step::Done;
  if (const DWORD recorded = RecordContent(item.path); recorded != ERROR_SUCCESS) return FromRecord(recorded);
  const bool deleted = DeleteFileW(item.path.c_str());
  RecordContentAfter(item.path);
  return deleted ? Step::Done : Step::Failed;
}

// The file comes back from where it was moved; that copy goes only once the
// returned one is checked and the return is recorded, so redo can move it again.
Step PutBackMove(const Item& item, std::wstring_view vouchedHash) {
  if (!Present(item.kept)) return Step::Failed;
  const Step placed = PlaceCopy(item.kept, item.path, vouchedHash);
  if (placed != Step::Done) return placed;
  if (!RecordMove(item.kept, item.path)) return Step::Cancelled;
  SetFileAttributesW(item.kept.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(item.kept.c_str());
  return Step::Done;
}

// Puts one item back; the failure named for a person, or empty. A journal the
// user chose not to go on without sets `cancelled`. `vouchedHash`: the
// machine-wide store's hash of the copy a machine-wide file comes back from.
std::wstring PutBack(const Item& item, bool& cancelled, std::wstring_view vouchedHash = {}) {
  const auto told = [&](Step step, std::wstring failure) {
    cancelled = step == Step::Cancelled;
    if (step == Step::NotKept) return item.path + L": " + item.kept + L" is not the copy Korvane kept (it changed since), so it is never put back";
    return step == Step::Done ? std::wstring() : cancelled ? item.path + L": the change journal could not be written" : std::move(failure);
  };
  switch (item.kind) {
    case ItemKind::Registry:
      switch (RegSetRaw(item.root, item.key, item.name, item.regBefore)) {
        case RegOutcome::Done:
          return {};
        case RegOutcome::Cancelled:
          cancelled = true;
          return RegDescribe(item.root, item.key, item.name) + L": the change journal could not be written";
        case RegOutcome::Refused:
          break;
      }
      return RegDescribe(item.root, item.key, item.name) + L": the change was refused";
    case ItemKind::Attributes:
      try {
        SetAttr(item.path, item.attrBefore & kSettableAttributes);
        return {};
      } catch (const FileError& e) {
        return told(FromRecord(e.Code()), item.path + L": its attributes could not be put back");
      }
    case ItemKind::Content:
      return told(PutBackContent(item, vouchedHash), item.path + L": its earlier content could not be put back");
    case ItemKind::Move:
      return told(PutBackMove(item, vouchedHash), item.path + L": could not be brought back from " + item.kept);
    case ItemKind::Rename:
      try {
        Rename(item.kept, item.path);
        return {};
      } catch (const FileError& e) {
        return told(FromRecord(e.Code()), item.kept + L": could not be renamed back to " + item.path);
      }
    case ItemKind::Note:
      if (item.path.empty()) return {};
      return item.path + L": not kept in the journal, so it cannot be undone";
  }
  return {};
}

// A run of attribute items of one group, put back newest first: judged from
// listings of their folders, recorded in one append, then made one by one
// with the attributes the listing gave. A run stops at any other kind of item
// (a rename back may move what the next ones name), at an item whose path it
// holds already (the older change is judged after the newer is put back), or
// at its size.
class AttributeRun {
 public:
  // Makes the run that starts at item `i` when `i` is not in the current one.
  void Reach(const Group& group, std::size_t i, bool anyway) {
    if (batch_ && i >= low_) return;
    End();
    constexpr std::size_t kMost = 4096;
    scope::FolderListing listing;
    std::unordered_set<std::wstring> paths;
    paths.reserve(kMost);
    std::vector<AttributeChange> changes;
    high_ = i;
    low_ = i + 1;
    for (std::size_t k = i + 1; k-- > 0 && changes.size() < kMost;) {
      const Item& item = group.items[k];
      if (item.kind != ItemKind::Attributes || !paths.insert(FileKey(item.path)).second) break;
      low_ = k;
      Decision& decision = decisions_.emplace_back();
      decision.item = &item;
      decision.now = listing.Attributes(item.path);
      decision.state = scope::JudgeAttributes(item, decision.now);
      if (decision.state == ItemState::Changed || (decision.state == ItemState::Conflict && anyway)) {
        changes.push_back({item.path, decision.now, item.attrBefore & kSettableAttributes});
      }
    }
    batch_.emplace(changes);
  }
  ItemState State(std::size_t i) const { return decisions_.at(high_ - i).state; }
  std::wstring PutBack(std::size_t i, bool& cancelled) {
    const Decision& decision = decisions_.at(high_ - i);
    const Item& item = *decision.item;
    try {
      SetAttr(item.path, decision.now, item.attrBefore & kSettableAttributes);
      return {};
    } catch (const FileError& e) {
      cancelled = e.Code() == ERROR_CANCELLED;
      return cancelled ? item.path + L": the change journal could not be written"
                       : item.path + L": its attributes could not be put back";
    }
  }
  // Marks what was recorded and not made.
  void End() {
    batch_.reset();
    decisions_.clear();
  }

 private:
  struct Decision {
    const Item* item = nullptr;
    ItemState state = ItemState::Nothing;
    DWORD now = INVALID_FILE_ATTRIBUTES;
  };
  std::optional<AttributeBatch> batch_;
  std::vector<Decision> decisions_;  // items high_, high_ - 1, ... low_
  std::size_t high_ = 0;
  std::size_t low_ = 0;
};

// The undo named as what it does: an undo of an undo makes the change again.
std::wstring ReverseWording(const std::vector<const Group*>& chosen) {
  if (chosen.size() != 1) return L"Undo: " + std::to_wstring(chosen.size()) + L" changes";
  const std::wstring& what = chosen.front()->what;
  constexpr std::wstring_view kUndo = L"Undo: ";
  constexpr std::wstring_view kRedo = L"Redo: ";
  if (what.starts_with(kUndo)) return std::wstring(kRedo) + what.substr(kUndo.size());
  if (what.starts_with(kRedo)) return std::wstring(kUndo) + what.substr(kRedo.size());
  return std::wstring(kUndo) + what;
}

}  // namespace

UndoReport Undo(std::span<const GroupId> ids, const std::function<OnConflict(const Group&)>& onConflict) {
  UndoReport report;
  const Listing listing = ReadItemsOf(ids);
  std::vector<const Group*> chosen;  // newest first, as listed
  std::wstring drives;
  scope::Checker checker;
  for (const Group& group : listing.groups) {
    if (std::find(ids.begin(), ids.end(), group.id) == ids.end()) continue;
    // Nothing of a group that names what undo may not write is written: it was not Korvane's doing.
    bool refused = false;
    for (const Item& item : group.items) {
      std::wstring refusal = checker.Refusal(group, item);
      if (refusal.empty()) continue;
      report.refused.push_back(L"change " + std::to_wstring(group.id) + L": " + refusal);
      refused = true;
    }
    if (refused) continue;
    chosen.push_back(&group);
    for (const wchar_t drive : group.drives) {
      if (drives.find(drive) == std::wstring::npos) drives += drive;
    }
  }
  if (chosen.empty()) return report;
  std::vector<GroupId> undoes;
  undoes.reserve(chosen.size());
  for (const Group* group : chosen) undoes.push_back(group->id);
  Action action(ReverseWording(chosen), ActionOptions{.drives = drives, .undoes = undoes});
  if (action.Cancelled()) {
    report.stopped = true;
    return report;
  }
  for (const Group* group : chosen) {
    bool anyway = false;
    // The checks' listing still shows the drive until the first group changes it.
    const std::vector<ItemState> states = scope::JudgeGroup(*group, group == chosen.front() ? &checker.Listing() : nullptr);
    if (std::find(states.begin(), states.end(), ItemState::Conflict) != states.end()) {
      const OnConflict answer = onConflict(*group);
      if (answer == OnConflict::Stop) {
        report.stopped = true;
        break;
      }
      if (answer == OnConflict::Skip) {
        report.skipped.push_back(group->id);
        continue;
      }
      anyway = true;
    }
    // Each item on its own: one never changed (a crash between its record and its change) is left.
    bool cancelled = false;
    AttributeRun run;
    for (std::size_t i = group->items.size(); i-- > 0 && !cancelled;) {
      const Item& item = group->items[i];
      if (item.kind == ItemKind::Attributes) {
        run.Reach(*group, i, anyway);
        const ItemState state = run.State(i);
        if (state == ItemState::Changed || (state == ItemState::Conflict && anyway)) {
          std::wstring failure = run.PutBack(i, cancelled);
          if (failure.empty()) {
            ++report.putBack;
          } else {
            report.failures.push_back(std::move(failure));
          }
        } else if (state == ItemState::Conflict) {
          report.failures.push_back(scope::DescribeChange(item) + L": changed by something else since, so left as it is");
        }
        continue;
      }
      run.End();
      const ItemState state = scope::Judge(item);
      if (state == ItemState::Nothing && !item.path.empty()) report.failures.push_back(PutBack(item, cancelled));  // a note
      if (state == ItemState::Nothing || state == ItemState::NotMade) continue;
      if (state == ItemState::Conflict && !anyway) {
        report.failures.push_back(scope::DescribeChange(item) + L": changed by something else since, so left as it is");
        continue;
      }
      std::wstring failure = PutBack(item, cancelled, checker.VouchedHash(*group, item));
      if (failure.empty()) {
        ++report.putBack;
      } else {
        report.failures.push_back(std::move(failure));
      }
    }
    run.End();
    if (cancelled) {
      report.stopped = true;
      break;
    }
  }
  if (action.Id()) report.undoGroup = action.Id();
  return report;
}

}  // namespace platform::journal
