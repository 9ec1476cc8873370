// The detection rules: one table, read by one generic loop in the scan. The
// first kind of rule that matches an item claims it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "repair/drive_check/scan.h"
#include "repair/drive_check/walker.h"

namespace repair::drive_check {

// What the scan knows about the drive's root before it looks at single items.
struct DriveFacts {
  wchar_t letter = L'\0';
  std::wstring root;      // "E:\"
  std::string autorun;    // the root's autorun.inf as bytes, empty when there is none
  bool ownAutorun = false;  // the autorun.inf (and its icon.ico) are Korvane's own work
};

class ShortcutSource;

struct ItemContext {
  const DriveFacts& drive;
  const ShortcutSource& shortcuts;
  const std::wstring& folder;
  const Entry& entry;
  std::span<const Entry> neighbours;  // the folder's entries, the item among them
  bool atRoot = false;
  bool insideSystemFolder = false;  // below System Volume Information, $RECYCLE.BIN or RECYCLER
  std::wstring Path() const { return Join(folder, entry.name); }
};

struct Match {
  std::wstring details;
  std::vector<std::wstring> starts;  // programs on the drive the item starts
};

struct Rule {
  FindingKind kind;
  Proposal proposal;
  bool checked;
  std::optional<Match> (*match)(const ItemContext& item);
};

std::span<const Rule> Rules();

bool IsSystemFolderName(const std::wstring& name);  // at the root
// A file the shortcut rule would read: named .lnk and long enough for a shortcut's header.
bool MayBeShortcut(const Entry& entry);
bool IsOwnAutorun(const std::string& bytes, bool iconPresent);
bool LooksBlank(const std::wstring& name);
// A path as a person typed it (absolute on the drive, from its root, or from
// `base`), made absolute and tidied; nothing when it lies off the drive.
std::optional<std::wstring> ResolveOnDrive(const std::wstring& token, const std::wstring& base,
                                           const DriveFacts& drive);

}  // namespace repair::drive_check
