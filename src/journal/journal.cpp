#include "journal/journal.h"

#include <algorithm>
#include <map>
#include <optional>

#include "journal/journal_format.h"
#include "journal/journal_index.h"
#include "journal/journal_machine.h"
#include "journal/journal_store.h"
#include "system/message_box.h"

namespace platform::journal {

namespace {

// The group of the action open on this thread.
struct OpenGroup {
  std::wstring what;
  ActionOptions options;
  std::wstring time;
  GroupId id = 0;  // 0 until its header reaches the file
  std::size_t nextIndex = 0;
  std::optional<std::size_t> lastAdded;
  bool asked = false;
  bool cancelled = false;
  bool unjournaled = false;  // going on without the journal, as the user chose
  bool flushed = false;  // an item of the group is on disk: later ones need not wait for the disk
  std::optional<std::size_t> counted;
  std::map<std::wstring, std::size_t> awaitingAfter;  // content items whose file is being changed
  // An attribute batch's items already in the file, in the order they are to be made.
  struct Batched {
    std::wstring path;
    std::size_t index = 0;
    bool made = false;
  };
  std::vector<Batched> batch;
  std::size_t batchNext = 0;  // where the next change is looked for first
};

thread_local OpenGroup* current = nullptr;
thread_local int unrecorded = 0;

WithoutJournal AskByMessageBox(std::wstring_view what) {
  std::wstring text = L"Korvane cannot write its change journal, so this change cannot be undone:\n\n";
  text += what;
  text += L"\n\nMake the change anyway?";
  return MsgBox(text, MsgIcon::Exclamation, kAppTitle, MsgButtons::YesNo) == MsgResult::Yes ? WithoutJournal::GoOn
                                                                                             : WithoutJournal::Cancel;
}

JournalFailureHandler& FailureHandler() {
  static JournalFailureHandler handler;
  return handler;
}

std::wstring LocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[32];
  swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
           now.wSecond);
  return text;
}

// The journal failed: asked once per action (never for a silent one). Whether the change may go ahead.
bool Failed(OpenGroup& group) {
  if (group.asked || group.options.silent) {
    group.unjournaled = !group.cancelled;
    return !group.cancelled;
  }
  group.asked = true;
  const JournalFailureHandler& handler = FailureHandler();
  const WithoutJournal answer = handler ? handler(group.what) : AskByMessageBox(group.what);
  group.cancelled = answer == WithoutJournal::Cancel;
  group.unjournaled = !group.cancelled;
  return !group.cancelled;
}

// The group to record into; nullptr when nothing is to be recorded.
OpenGroup* Recording() {
  if (!current || unrecorded > 0 || current->unjournaled || current->cancelled) return nullptr;
  return current;
}

// Whether a change that is not being recorded may go ahead.
bool Unrecording() { return !current || !current->cancelled; }

bool EnsureHeader(OpenGroup& group) {
  if (group.id) return true;
  const auto id = store::AppendGroup(
      [&](GroupId fresh) { return format::HeaderLine(fresh, group.time, group.what, group.options.drives, group.options.undoes); }, false);
  if (!id) return false;
  group.id = *id;
  return true;
}

// Appends an item before its change, with the group's header when it is the first; flushed when
// it is the action's first item for a file.
bool Add(OpenGroup& group, const Item& item) {
  const std::size_t index = group.nextIndex;
  const std::wstring folder = Folder();
  bool written = false;
  // One flush before an action's first change to a file, never one per item: every line still
  // reaches the file before its change, so only a lost power supply can lose one. A registry value
  // reaches the disk lazily itself, seconds later, so its record waits for the action's end flush.
  const bool flush = !group.flushed && item.kind != ItemKind::Registry;
  if (group.id) {
    written = store::Append(format::ItemLine(group.id, index, item, folder), flush);
  } else if (const auto id = store::AppendGroup(
                 [&](GroupId fresh) {
                   return format::HeaderLine(fresh, group.time, group.what, group.options.drives, group.options.undoes) +
                          format::ItemLine(fresh, index, item, folder);
                 },
                 flush)) {
    group.id = *id;
    written = true;
  }
  // A machine-wide value is countersigned where only administrators write, so that undo may trust it.
  if (written && machine::IsMachineWide(item, group.options.drives) &&
      !machine::Vouch(group.id, item, folder, item.kind != ItemKind::Registry)) {
    // Uncountersigned, the line would only make undo refuse the whole group: it is marked not made.
    store::Append(format::NotMadeLine(group.id, index), false);
    ++group.nextIndex;
    written = false;
  }
  if (!written) return Failed(group);
  group.flushed = group.flushed || flush;
  group.lastAdded = index;
  ++group.nextIndex;
  return true;
}

std::wstring PathKey(std::wstring_view path) {
  std::wstring key(path);
  CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  return key;
}


// An action with this many items tidies the journal at its end.
constexpr std::size_t kBulkItems = 1000;

}  // namespace

struct Action::State : OpenGroup {};

void SetJournalFailureHandler(JournalFailureHandler handler) { FailureHandler() = std::move(handler); }

Action::Action(std::wstring what, ActionOptions options) : state_(nullptr), joined_(current), cancelled_(false) {
  if (current) {  // joins the action already open
    cancelled_ = current->cancelled;
    return;
  }
  state_ = new State();
  state_->what = std::move(what);
  state_->options = std::move(options);
  // Only letters name drives; the header keeps them upper case.
  std::wstring& drives = state_->options.drives;
  std::erase_if(drives, [](wchar_t c) { return !((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')); });
  for (wchar_t& c : drives) c = static_cast<wchar_t>(c & ~0x20);
  state_->time = LocalTime();
  current = state_;
  store::ActionOpened();
  // A refused folder is found before anything changes, so the user can still cancel.
  if (!state_->options.silent && !store::Writable()) cancelled_ = !Failed(*state_);
}

Action::~Action() {
  if (!state_) return;
  current = nullptr;
  // An action that changed nothing left no group behind.
  // A destructor must not throw: memory running out while the group ends leaves
  // it without its end line, which undo reads as an action cut short.
  try {
    // An action of several items ends on disk, and lines that reached the file unflushed with it; a
    // lone file item is on disk already.
    const bool flush = store::Pending() || state_->nextIndex > 1;
    if (state_->id) store::Append(format::EndLine(state_->id, state_->counted), flush);
    // The end of a bulk action is off any click's path, and its records are what fill the journal.
    if (state_->nextIndex >= kBulkItems) store::Tidy();
  } catch (...) {
  }
  store::ActionClosed();
  delete state_;
}

GroupId Action::Id() const {
  const OpenGroup* group = state_ ? state_ : static_cast<const OpenGroup*>(joined_);
  return group ? group->id : 0;
}

void Action::Note(std::wstring_view text) {
  OpenGroup* group = state_ ? state_ : static_cast<OpenGroup*>(joined_);
  if (!group || group->unjournaled || group->cancelled) return;
  Item item;
  item.kind = ItemKind::Note;
  item.path = text;
  Add(*group, item);
}

AttributeBatch::AttributeBatch(std::span<const AttributeChange> changes) {
  OpenGroup* group = Recording();
  // RecordAttributes keeps no item for a change that leaves the visible attributes as they are.
  const auto changing = [](const AttributeChange& change) { return ((change.before ^ change.after) & kVisibleAttributes) != 0; };
  if (!group || std::none_of(changes.begin(), changes.end(), changing)) return;
  // The items name the group by its id: the header goes first when the batch opens the group.
  if (!EnsureHeader(*group)) {
    Failed(*group);
    return;
  }
  const std::wstring folder = Folder();
  std::string lines;
  std::vector<OpenGroup::Batched> batch;
  std::vector<Item> machineWide;
  std::size_t index = group->nextIndex;
  for (const AttributeChange& change : changes) {
    if (!changing(change)) continue;
    Item item;
    item.kind = ItemKind::Attributes;
    item.path = change.path;
    item.attrBefore = change.before;
    item.attrAfter = change.after;
    batch.push_back({change.path, index});
    lines += format::ItemLine(group->id, index++, item, folder);
    if (machine::IsMachineWide(item, group->options.drives)) machineWide.push_back(std::move(item));
  }
  // Undo puts a machine-wide file's marks back this way too, and a redo of it must find the countersign.
  if (!machine::Vouch(group->id, machineWide, folder) || !store::Append(lines, !group->flushed)) {
    Failed(*group);
    return;
  }
  group->flushed = true;
  group->nextIndex = index;
  group->batch = std::move(batch);
  group->batchNext = 0;
  store::Release();
}

AttributeBatch::~AttributeBatch() {
  OpenGroup* group = Recording();
  if (!group || group->batch.empty()) return;
  std::string lines;
  for (const OpenGroup::Batched& batched : group->batch) {
    if (!batched.made) lines += format::NotMadeLine(group->id, batched.index);
  }
  if (!lines.empty()) store::Append(lines, false);
  group->batch.clear();
  group->batchNext = 0;
}

void Action::Counted(std::size_t changes) {
  OpenGroup* group = state_ ? state_ : static_cast<OpenGroup*>(joined_);
  if (group) group->counted = changes;
}

JoinAction::JoinAction(const Action& action) : previous_(current) {
  if (action.state_) current = action.state_;
}

JoinAction::~JoinAction() { current = static_cast<OpenGroup*>(previous_); }

Unrecorded::Unrecorded() { ++unrecorded; }
Unrecorded::~Unrecorded() { --unrecorded; }

bool RecordRegistry(RegRoot root, std::wstring_view key, std::wstring_view name, const RegState& after) {
  if (!Recording()) return Unrecording();
  return RecordRegistry(root, key, name, RegGetRaw(root, key, name), after);
}

bool RecordRegistry(RegRoot root, std::wstring_view key, std::wstring_view name, const RegState& before,
                    const RegState& after) {
  OpenGroup* group = Recording();
  if (!group) return Unrecording();
  group->lastAdded.reset();
  Item item;
  item.kind = ItemKind::Registry;
  item.regBefore = before;
  if (item.regBefore == after) return true;  // nothing changes, nothing to put back
  item.root = root;
  item.key = key;
  item.name = name;
  item.regAfter = after;
  return Add(*group, item);
}

bool RecordAttributes(std::wstring_view path, DWORD before, DWORD after) {
  OpenGroup* group = Recording();
  if (!group) return Unrecording();
  group->lastAdded.reset();
  if (((before ^ after) & kVisibleAttributes) == 0) return true;
  // Written with its batch: the changes come in the batch's order, one left out now and then.
  for (std::size_t i = group->batchNext; i < group->batch.size(); ++i) {
    OpenGroup::Batched& batched = group->batch[i];
    if (batched.made || batched.path != path) continue;
    batched.made = true;
    group->batchNext = i + 1;
    group->lastAdded = batched.index;
    return true;
  }
  Item item;
  item.kind = ItemKind::Attributes;
  item.path = path;
  item.attrBefore = before;
  item.attrAfter = after;
  return Add(*group, item);
}

DWORD RecordContent(std::wstring_view path) {
  OpenGroup* group = Recording();
  if (!group) return Unrecording() ? ERROR_SUCCESS : ERROR_CANCELLED;
  group->lastAdded.reset();
  Item item;
  item.kind = ItemKind::Content;
  item.path = path;
  const DWORD attributes = GetFileAttributesW(item.path.c_str());
  item.existedBefore = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (item.existedBefore) {
    // A file that cannot be read cannot be kept, and is not overwritten: the change fails as it
    // would have (a file held open by another program), without asking about the journal.
    const HANDLE readable = CreateFileW(item.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (readable == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      return code != ERROR_SUCCESS && code != ERROR_CANCELLED ? code : ERROR_READ_FAULT;
    }
    CloseHandle(readable);
    // The copy needs the group's id for its folder, and must be on disk before the item that names it.
    if (!EnsureHeader(*group)) return Failed(*group) ? ERROR_SUCCESS : ERROR_CANCELLED;
    item.kept = store::Keep(group->id, group->nextIndex, path);
    if (item.kept.empty()) return Failed(*group) ? ERROR_SUCCESS : ERROR_CANCELLED;
  }
  const std::size_t index = group->nextIndex;
  if (!Add(*group, item)) return ERROR_CANCELLED;
  if (!group->unjournaled) group->awaitingAfter[PathKey(path)] = index;
  return ERROR_SUCCESS;
}

bool IsRecording() { return Recording() != nullptr; }

void RecordNotMade() {
  OpenGroup* group = Recording();
  if (!group || !group->lastAdded) return;
  store::Append(format::NotMadeLine(group->id, *group->lastAdded), false);
  group->lastAdded.reset();
}

void RecordContentAfter(std::wstring_view path) {
  OpenGroup* group = Recording();
  if (!group) return;
  const auto found = group->awaitingAfter.find(PathKey(path));
  if (found == group->awaitingAfter.end()) return;
  // Not flushed: without it undo only asks before putting the file back.
  store::Append(format::AfterLine(group->id, found->second, format::Digest(path)), false);
  group->awaitingAfter.erase(found);
}

bool RecordMove(std::wstring_view from, std::wstring_view to) {
  OpenGroup* group = Recording();
  if (!group) return Unrecording();
  group->lastAdded.reset();
  Item item;
  item.kind = ItemKind::Move;
  item.path = from;
  item.kept = to;
  item.afterDigest = format::Digest(to);
  return Add(*group, item);
}

bool RecordRename(std::wstring_view from, std::wstring_view to) {
  OpenGroup* group = Recording();
  if (!group) return Unrecording();
  group->lastAdded.reset();
  Item item;
  item.kind = ItemKind::Rename;
  item.path = from;
  item.kept = to;
  return Add(*group, item);
}

Listing Read() {
  format::Reader reader(Folder());
  store::UnderLock([&reader](HANDLE file, std::uint64_t size) {
    if (!file) return;
    const store::Lines lines =
        store::ForEachLine(file, 0, size, [&reader](std::string_view line, std::uint64_t at) { reader.Line(line, at); });
    reader.Skipped(lines.skipped + (lines.end < size ? 1 : 0));  // a last line cut short among them
  });
  return reader.Finish();
}

Listing ReadGroups() { return index::Read({}); }

Listing ReadItemsOf(std::span<const GroupId> ids) { return index::Read(ids); }

std::optional<Group> ReadGroup(GroupId id) {
  const GroupId ids[] = {id};
  Listing listing = ReadItemsOf(ids);
  std::optional<Group> found;
  for (Group& group : listing.groups) {
    if (group.id == id) found.emplace(std::move(group));
  }
  return found;
}

}  // namespace platform::journal
