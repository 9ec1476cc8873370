// The change journal: what Korvane changed, recorded before it changes it, so
// that every action can be undone. One group per user action (a tweak click, a
// Fix button, a Restore, a clean of a drive); one item per value, attribute
// set or file the action touches.
//
// Changes made through the registry module and the file operations while an
// Action is open on the calling thread are recorded into that Action by those
// modules themselves, each before it is made; callers only open the Action.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "system/registry.h"

namespace platform::journal {

// The attributes the journal records and undo puts back.
inline constexpr DWORD kVisibleAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

using GroupId = std::uint64_t;

// A registry value exactly as stored: absent, or its type and bytes.
using RegState = platform::RegState;

enum class ItemKind {
  Registry,    // a value: before and after states
  Attributes,  // a file's or folder's attributes: before and after
  Content,     // a file overwritten, replaced, created or emptied: a kept copy of what was there
  Move,        // a file moved off a drive (to the quarantine): where from, where to
  Rename,      // a file or folder renamed in place: its old path, its new one
  Note,        // something said but never undone (a password set or cleared)
};

struct Item {
  ItemKind kind = ItemKind::Note;
  // Registry
  RegRoot root = 0;
  std::wstring key;
  std::wstring name;
  RegState regBefore;
  RegState regAfter;
  // Attributes, Content, Move: the path on the drive; Note: the text
  std::wstring path;
  DWORD attrBefore = 0;
  DWORD attrAfter = 0;
  bool existedBefore = false;  // Content: false when the action created the file
  std::wstring kept;           // Content: the kept copy in the journal's folder; Move, Rename: where it went
  std::wstring afterDigest;    // Content, Move: what the file held once changed, to see a later change
};

struct Group {
  GroupId id = 0;
  std::wstring time;  // local time, "2026-12-08 14:03:12"
  std::wstring what;  // "Security Tweaks: Disable Task Manager checked"
  std::wstring drives;  // the letters of the drives whose files the action worked on ("E")
  std::vector<GroupId> undoes;  // for an undo: the groups it put back
  GroupId undoneBy = 0;  // the undo, itself not undone since, that put this group back
  std::wstring undoneAt;  // that undo's time
  bool finished = false;  // the action ran to its end (a crash leaves false)
  bool gaps = false;  // an item line of it could not be read
  std::vector<Item> items;  // empty when read with ReadGroups()
  std::size_t itemCount = 0;
  // The changes the person was told of, when the action said (a file's marks
  // cleared to move it is one change with the move); never more than itemCount.
  std::optional<std::size_t> changes;
};

struct Listing {
  std::vector<Group> groups;  // newest first
  std::uint64_t droppedGroups = 0;  // let go to keep the journal within its bounds, since it began
  // Lines that could not be read (cut short by a crash, damaged, too long, or naming
  // what they may not), skipped. Item lines are looked at closely only when their group is read.
  std::size_t skippedLines = 0;
};

struct ActionOptions {
  // Write the group only if an item actually changes something (page-load rewrites).
  bool onlyChanges = false;
  // Never ask when the journal cannot be written (page-load rewrites, command line).
  bool silent = false;
  // The drives whose files the action may change ("E"); undo touches files on no other.
  std::wstring drives;
  // For an undo: the groups it puts back, so that they show as undone.
  std::vector<GroupId> undoes;
};

// What the user said when told that the journal cannot be written.
enum class WithoutJournal { GoOn, Cancel };
// The window program asks through a message box; the command line answers on its own.
using JournalFailureHandler = std::function<WithoutJournal(std::wstring_view what)>;
void SetJournalFailureHandler(JournalFailureHandler handler);

// One user action. Its group header and each item reach the file before the
// change they describe; the journal is flushed before the action's first change
// to a file and with the end line the destructor writes, never once per item.
// Actions do not nest: an inner one joins the outer.
class Action {
 public:
  explicit Action(std::wstring what, ActionOptions options = {});
  Action(const Action&) = delete;
  Action& operator=(const Action&) = delete;
  ~Action();

  // The journal could not be written when the action opened and the user chose
  // not to go on: make no change. Fixed once the action is open; a later refusal
  // comes back from the change itself (RegOutcome::Cancelled, FileError ERROR_CANCELLED).
  bool Cancelled() const { return cancelled_; }
  GroupId Id() const;
  // An item that is shown but never undone (the password's group says only "set" or "cleared").
  void Note(std::wstring_view text);
  // How many changes the action told the person of, kept with the group's end.
  void Counted(std::size_t changes);

 private:
  friend class JoinAction;
  struct State;
  State* state_;    // the action's own group; nullptr when it joined one already open
  void* joined_;    // the group it joined
  bool cancelled_;
};

// While one lives on a worker thread, that thread records into an action
// opened on another one (a window asks its questions before a clean starts,
// then the clean runs on a worker). The opening thread waits for the worker
// or records nothing meanwhile: the action is not shared between threads at once.
class JoinAction {
 public:
  explicit JoinAction(const Action& action);
  JoinAction(const JoinAction&) = delete;
  JoinAction& operator=(const JoinAction&) = delete;
  ~JoinAction();

 private:
  void* previous_;
};

// A run of a bulk action's attribute changes, written to the journal in one
// append before the first of them is made (flushed when it is the action's
// first record); each change then made through SetAttr, in the same order and
// by the same path, finds its item already there. Changes never attempted
// (a Cancel, a failure before them) are marked not made, together, at its end.
struct AttributeChange {
  std::wstring path;
  DWORD before = 0;
  DWORD after = 0;
};
class AttributeBatch {
 public:
  explicit AttributeBatch(std::span<const AttributeChange> changes);
  AttributeBatch(const AttributeBatch&) = delete;
  AttributeBatch& operator=(const AttributeBatch&) = delete;
  ~AttributeBatch();
};

// While one lives on this thread, changes are made without being recorded
// (the password's value; the journal's own files).
class Unrecorded {
 public:
  Unrecorded();
  Unrecorded(const Unrecorded&) = delete;
  Unrecorded& operator=(const Unrecorded&) = delete;
  ~Unrecorded();
};

// Called by the registry module and the file operations before each change.
// Each does nothing when no Action is open on this thread. False means the
// journal could not be written and the user chose not to go on: make no change.
bool RecordRegistry(RegRoot root, std::wstring_view key, std::wstring_view name, const RegState& after);
// The same with the value as it stands, read by the caller through the key it writes with anyway.
bool RecordRegistry(RegRoot root, std::wstring_view key, std::wstring_view name, const RegState& before,
                    const RegState& after);
// Whether a change made now on this thread would be recorded (so its before-state is worth reading).
bool IsRecording();
bool RecordAttributes(std::wstring_view path, DWORD before, DWORD after);
// Before the file is written, emptied, replaced or deleted. ERROR_SUCCESS when the
// change may go ahead; ERROR_CANCELLED when the journal could not be written and
// the user chose not to go on; else the system's error for a file that could not
// be read to keep its copy (one held open by another program), not to be changed.
DWORD RecordContent(std::wstring_view path);
bool RecordMove(std::wstring_view from, std::wstring_view to);  // after the copy at `to` was checked, before `from` goes
bool RecordRename(std::wstring_view from, std::wstring_view to);  // before the rename
// The change just recorded was refused after all: undo leaves it alone.
void RecordNotMade();
// After a recorded content change ended: what the file now holds, so that undo sees a later change.
void RecordContentAfter(std::wstring_view path);

// The journal's folder: %LOCALAPPDATA%\Korvane\.
std::wstring Folder();
Listing Read();
// The groups without their items (itemCount is still given): what a list of them needs, quickly.
Listing ReadGroups();
// Every group, with the items of only the groups named.
Listing ReadItemsOf(std::span<const GroupId> ids);

// How much the journal keeps; past any bound the oldest finished groups are let
// go, with their kept copies and the files they moved to the quarantine. A
// group whose action never ended is kept: it may still be being written.
// 32 MiB of journal holds a clean of 100,000 items and its undo (about 11 MiB
// each) or some 200,000 clicks, and is read in about a second. 1 GiB of
// quarantine holds any worm's files many times over yet leaves a small system
// drive its room.
struct Bounds {
  std::uint64_t groups = 10000;
  std::uint64_t keptBytes = 50ull * 1024 * 1024;
  std::uint64_t journalBytes = 32ull * 1024 * 1024;
  std::uint64_t quarantineBytes = 1024ull * 1024 * 1024;
};
void SetBounds(Bounds bounds);
// Lets the oldest groups go when the journal is past a bound. Never run inside
// a click: at start-up, when a command has run, and at the end of a bulk action.
// Returns how many groups were let go.
std::uint64_t Tidy();
// The journal and its lock file (and the machine-wide store, once written) stay
// open from a process's first change to its end, so that none can be removed or
// replaced meanwhile. Closes them, for a program about to remove or replace them;
// the next change opens them again.
void Close();

// How often this process has flushed the journal to disk, since it started.
std::uint64_t FlushCount();
// How many writes to the journal's file this process made, since it started.
std::uint64_t AppendCount();

// What undo may write. The journal trusts no line of its file: the layers
// above register, at start-up and from their own tables, the registry values
// Korvane changes; files may be changed only on the drives a group names (never
// the Windows drive), in the user's profile, or in Korvane's Kept and
// Quarantine folders. Machine-wide places (HKLM, HKCR, files outside those)
// are never written from the user's journal.
enum class Guard { None, Password };
void AllowValue(RegRoot root, std::wstring_view key, std::wstring_view name, Guard guard = Guard::None);
// Every value of the key: a rule that judges each value it finds there (a Run key's).
void AllowKey(RegRoot root, std::wstring_view key);
// The value in every direct subkey of `parent` (a service's Start under Services).
void AllowValueInSubkeys(RegRoot root, std::wstring_view parent, std::wstring_view name);
// Why undo may not write the item (named for a person), or empty when it may.
std::wstring OutOfScope(const Group& group, const Item& item);
// Whether undoing the group changes a value guarded by the security page's password.
bool NeedsPassword(const Group& group);

// Where an item stands now, judged on its own.
enum class ItemState {
  Changed,    // as Korvane left it: undo puts the earlier state back
  NotMade,    // as it was before: the change never happened, nothing to do
  Conflict,   // something else changed it since
  Refused,    // outside what undo may write
  Nothing,    // a note, or a change marked as not made
};
struct ItemView {
  std::wstring change;  // "HKCU\Control Panel\Desktop\SmoothScroll: not set → 1"
  std::wstring undo;    // what undo does: "puts back: not set"
  ItemState state = ItemState::Nothing;
  std::wstring refusal;  // for Refused: why
};
// What each item of a group changed and what undo would do now, read from the items themselves.
std::vector<ItemView> Describe(const Group& group);
// The programs, scripts and shortcuts undoing the group would put back on a drive out of the quarantine.
std::vector<std::wstring> ProgramsPutBack(const Group& group);
// One group with its items; nullopt when the journal holds no such group.
std::optional<Group> ReadGroup(GroupId id);

enum class OnConflict { UndoAnyway, Skip, Stop };
struct UndoReport {
  std::vector<std::wstring> failures;  // each item that could not be put back, named for a person
  std::vector<std::wstring> refused;   // items outside what undo may write: their groups were left whole
  std::vector<GroupId> skipped;
  bool stopped = false;  // Cancel at a conflict, or the journal could not be written and the user chose not to go on
  std::size_t putBack = 0;  // items put back
  std::optional<GroupId> undoGroup;  // the group recording the undo itself
};
// Puts back the earlier state of every item of the groups, newest first. Each
// item is judged on its own: one still as Korvane left it is put back, one
// never changed is left, one changed by something else since is a conflict,
// asked once per group. A group with an item outside what undo may write is
// refused whole and nothing of it is written.
UndoReport Undo(std::span<const GroupId> ids, const std::function<OnConflict(const Group&)>& onConflict);

}  // namespace platform::journal
