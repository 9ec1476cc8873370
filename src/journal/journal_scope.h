// Inside the journal: what undo may write, and where an item stands now.
#pragma once

#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "journal/journal.h"
#include "journal/journal_machine.h"

namespace platform::journal::scope {

// The attributes of whole folders' items, each folder listed once: a bulk undo
// asks after thousands of files, and listing a folder costs about what asking
// after one of its files does. Names are kept upper case in hash tables, and
// the folder last asked after is found without building its name again.
class FolderListing {
 public:
  // INVALID_FILE_ATTRIBUTES when the item is not there.
  DWORD Attributes(const std::wstring& path);
  // After a change made: what the item holds now.
  void Changed(const std::wstring& path, DWORD attributes);

 private:
  using Names = std::unordered_map<std::wstring, DWORD>;
  // The item's folder, listed when first asked after; its upper-case name left in `name_`.
  Names* Folder(const std::wstring& path);
  std::unordered_map<std::wstring, Names> folders_;
  std::wstring lastFolder_;  // upper case, without the long-path prefix
  Names* last_ = nullptr;
  std::wstring key_;  // scratch, kept to spare an allocation per item
  std::wstring name_;
};

// Judges items against what undo may write. Folders already found free of
// links are remembered, so a bulk undo looks at each folder once.
class Checker {
 public:
  Checker();
  // Why undo may not write the item, or empty.
  std::wstring Refusal(const Group& group, const Item& item);
  // The machine-wide store's hash of the copy a machine-wide file item comes back from; empty for any other.
  std::wstring VouchedHash(const Group& group, const Item& item);
  // What the checks listed, for a judgement made before anything changes.
  FolderListing& Listing() { return listing_; }

 private:
  // `vouched`: the machine-wide store vouches for the item, so a machine-wide place is no refusal.
  std::wstring FileRefusal(const Group& group, const std::wstring& path, bool vouched);
  std::wstring MachineRefusal(const Group& group, const Item& item);
  bool ThroughLink(const std::wstring& plain, std::size_t rootLength);
  std::wstring profile_;  // "C:\USERS\NAME\", upper case
  std::wstring journalFolder_;
  std::wstring machineFolder_;  // "C:\PROGRAMDATA\KORVANE\"
  wchar_t windowsDrive_ = 0;
  std::set<std::wstring> linkFree_;
  FolderListing listing_;
  machine::Vouched vouched_;
};

// The path as one canonical, upper-case "X:\..." name; empty when it is not
// plainly a path on a drive ("..", a stream, a device, a share).
std::wstring PlainPath(std::wstring_view path);
// Whether a plain path lies inside a plain folder ending in a backslash.
bool Within(const std::wstring& plain, const std::wstring& folder);
// An environment variable, empty when unset or longer than a path.
std::wstring Environment(const wchar_t* name);
// The user's profile as a plain folder ("C:\\USERS\\NAME\\"), and the Windows drive's letter, upper case.
std::wstring ProfileFolder();
wchar_t WindowsDrive();

// Attributes are read from the listing when one is given.
ItemState Judge(const Item& item, FolderListing* listing = nullptr);
// An attributes item, from the attributes its file has now.
ItemState JudgeAttributes(const Item& item, DWORD now);
// Each item of the group where it stands, a change superseded by a later one judged by that one;
// from `listing` when given (one made since the last change).
std::vector<ItemState> JudgeGroup(const Group& group, FolderListing* listing = nullptr);

// What the item changed, in short: "HKCU\\...\\name: not set → 1".
std::wstring DescribeChange(const Item& item);
// What undo puts back, in short: "not set".
std::wstring DescribeUndo(const Item& item);

}  // namespace platform::journal::scope
