// The rules of the drive check: one table, each row a kind of finding, what
// it proposes and how it recognises an item; the scan runs every item through it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "repair/drive_check/scan.h"
#include "repair/drive_check/walker.h"

namespace repair::drive_check {

inline constexpr std::size_t kAutorunLimit = std::size_t{1024} * 1024;  // read whole up to here

// What the scan knows about the drive's root before it looks at single items.
struct DriveFacts {
  wchar_t letter = L'\0';
  std::wstring root;        // "E:\"
  std::string autorun;      // the root's autorun.inf as bytes, empty when there is none
  bool autorunCut = false;  // it was longer than kAutorunLimit; only that much was read
  bool ownAutorun = false;  // the autorun.inf (and its icon.ico) are Korvane's own work
};

// An item the walk reached, by its exact listed path.
struct Reached {
  std::wstring path;
  Entry entry;
};

// Answers whether a path names an item the walk reached (never beyond a link).
class WalkedItems {
 public:
  virtual ~WalkedItems() = default;
  // `path` is already resolved the way Windows resolves a typed path.
  virtual std::optional<Reached> Find(const std::wstring& path) const = 0;
};

class ShortcutSource;

struct ItemContext {
  const DriveFacts& drive;
  const ShortcutSource& shortcuts;
  const WalkedItems& walked;  // complete only for items judged after the walk
  const std::wstring& folder;
  const Entry& entry;
  std::span<const Entry> neighbours;  // the folder's entries (after the walk: its hidden ones)
  bool atRoot = false;
  bool insideSystemFolder = false;  // below System Volume Information, $RECYCLE.BIN or RECYCLER
  std::wstring Path() const { return Join(folder, entry.name); }
};

struct Match {
  std::wstring details;  // the evidence, in plain words
  Strength strength = Strength::Worm;
  std::vector<Reached> payloads;  // files on the drive the item starts, taken with it when it is worm evidence
};

struct Rule {
  FindingKind kind;
  Proposal proposal;
  std::optional<Match> (*match)(const ItemContext& item);
};

std::span<const Rule> Rules();
// Moving to the quarantine needs worm evidence; making visible loses nothing and is always offered.
bool DefaultChecked(Proposal proposal, Strength strength);
// Items whose rules read what they start: judged once the walk is over.
bool JudgedAfterWalk(const Entry& entry, bool atRoot);

bool IsSystemFolderName(const std::wstring& name);  // at the root
// A file the shortcut rule would read: named .lnk and long enough for a shortcut's header.
bool MayBeShortcut(const Entry& entry);
bool IsOwnAutorun(const std::string& bytes, bool iconPresent);
bool LooksBlank(const std::wstring& name);
// A path as a shortcut or autorun.inf gives it (absolute on the drive, from
// its root, or from `base`), resolved as Windows resolves it when it runs:
// "." and ".." taken out, a segment's final dot and the name's trailing dots
// and spaces dropped. Nothing when it lies off the drive.
std::optional<std::wstring> ResolveOnDrive(const std::wstring& token, const std::wstring& base,
                                           const DriveFacts& drive);

}  // namespace repair::drive_check
