#include "journal/journal_scope.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "journal/journal_format.h"
#include "journal/journal_machine.h"

namespace platform::journal {

namespace {

struct Place {
  RegRoot root;
  std::wstring key;   // upper case
  std::wstring name;  // upper case
  Guard guard;
  bool anyName = false;
  bool inSubkeys = false;  // the key is a parent: the value in any of its direct subkeys
};

bool KeyMatches(const Place& place, const std::wstring& key) {
  if (!place.inSubkeys) return place.key == key;
  return key.size() > place.key.size() + 1 && key.starts_with(place.key) && key[place.key.size()] == L'\\' &&
         key.find(L'\\', place.key.size() + 1) == std::wstring::npos;
}

std::mutex placesMutex;

std::vector<Place>& Places() {
  static std::vector<Place> places;
  return places;
}

std::wstring Upper(std::wstring_view text) {
  std::wstring upper(text);
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

const Place* FindPlace(const Item& item) {
  const std::wstring key = Upper(item.key);
  const std::wstring name = Upper(item.name);
  const std::lock_guard lock(placesMutex);
  for (const Place& place : Places()) {
    if (place.root == item.root && KeyMatches(place, key) && (place.anyName || place.name == name)) return &place;
  }
  return nullptr;
}

bool IsMachineWide(RegRoot root) { return root != kCurrentUser; }


bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

void AllowValue(RegRoot root, std::wstring_view key, std::wstring_view name, Guard guard) {
  const std::lock_guard lock(placesMutex);
  Places().push_back({root, Upper(key), Upper(name), guard});
}

void AllowKey(RegRoot root, std::wstring_view key) {
  const std::lock_guard lock(placesMutex);
  Places().push_back({root, Upper(key), L"", Guard::None, true});
}

void AllowValueInSubkeys(RegRoot root, std::wstring_view parent, std::wstring_view name) {
  const std::lock_guard lock(placesMutex);
  Places().push_back({root, Upper(parent), Upper(name), Guard::None, false, true});
}

std::wstring OutOfScope(const Group& group, const Item& item) { return scope::Checker().Refusal(group, item); }

bool NeedsPassword(const Group& group) {
  return std::any_of(group.items.begin(), group.items.end(), [](const Item& item) {
    if (item.kind != ItemKind::Registry) return false;
    const Place* place = FindPlace(item);
    return place && place->guard == Guard::Password;
  });
}

namespace scope {

std::wstring PlainPath(std::wstring_view path) {
  std::wstring plain(path);
  std::replace(plain.begin(), plain.end(), L'/', L'\\');
  if (plain.starts_with(L"\\\\?\\")) plain.erase(0, 4);
  const bool onDrive = plain.size() >= 3 && plain[1] == L':' && plain[2] == L'\\' &&
                       ((plain[0] >= L'A' && plain[0] <= L'Z') || (plain[0] >= L'a' && plain[0] <= L'z'));
  if (!onDrive) return {};
  // A stream (":"), a wildcard or a control character has no business in a path Korvane changed.
  for (std::size_t i = 2; i < plain.size(); ++i) {
    const wchar_t c = plain[i];
    if (c < 32 || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|') return {};
  }
  // Components "." and ".." would lead out of the folder the path seems to name.
  std::size_t start = 3;
  while (start <= plain.size()) {
    const std::size_t end = std::min(plain.find(L'\\', start), plain.size());
    const std::wstring_view part = std::wstring_view(plain).substr(start, end - start);
    if (part == L"." || part == L".." || (part.empty() && end < plain.size())) return {};
    start = end + 1;
  }
  return Upper(plain);
}

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

bool Within(const std::wstring& plain, const std::wstring& folder) {
  return !folder.empty() && plain.size() > folder.size() && plain.starts_with(folder);
}

std::wstring ProfileFolder() {
  std::wstring profile = PlainPath(Environment(L"USERPROFILE"));
  if (!profile.empty() && profile.back() != L'\\') profile += L'\\';
  return profile;
}

wchar_t WindowsDrive() {
  wchar_t windows[MAX_PATH] = {};
  return GetWindowsDirectoryW(windows, MAX_PATH) > 0 ? Upper(std::wstring(1, windows[0]))[0] : L'\0';
}

FolderListing::Names* FolderListing::Folder(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash + 1 >= path.size()) return nullptr;
  name_.assign(path, slash + 1);
  CharUpperBuffW(name_.data(), static_cast<DWORD>(name_.size()));
  const std::size_t from = path.starts_with(L"\\\\?\\") ? 4 : 0;
  key_.assign(path, from, slash - from);
  CharUpperBuffW(key_.data(), static_cast<DWORD>(key_.size()));
  if (last_ && key_ == lastFolder_) return last_;
  const auto [found, fresh] = folders_.try_emplace(key_);
  lastFolder_ = key_;
  last_ = &found->second;
  if (!fresh) return last_;
  // Listed by the name as given: on a case-sensitive file system it picks the folder meant.
  const std::wstring pattern = L"\\\\?\\" + path.substr(from, slash - from) + L"\\*";
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                       FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return last_;
  do {
    std::wstring name = data.cFileName;
    CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    last_->emplace(std::move(name), data.dwFileAttributes);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return last_;
}

DWORD FolderListing::Attributes(const std::wstring& path) {
  const Names* items = Folder(path);
  if (!items) return GetFileAttributesW(path.c_str());
  const auto found = items->find(name_);
  return found == items->end() ? INVALID_FILE_ATTRIBUTES : found->second;
}

void FolderListing::Changed(const std::wstring& path, DWORD attributes) {
  if (Names* items = Folder(path)) (*items)[name_] = attributes;
}

Checker::Checker()
    : profile_(ProfileFolder()),
      journalFolder_(PlainPath(Folder())),
      machineFolder_(PlainPath(machine::FolderPath())),
      windowsDrive_(WindowsDrive()) {}

// A folder or file on the way that is a link could lead anywhere: nothing is changed through one.
bool Checker::ThroughLink(const std::wstring& plain, std::size_t rootLength) {
  for (std::size_t at = plain.find(L'\\', rootLength); ; at = plain.find(L'\\', at + 1)) {
    const std::wstring prefix = plain.substr(0, at);
    if (at != std::wstring::npos && linkFree_.contains(prefix)) continue;
    // The item itself is looked up in its folder's listing: a bulk undo names thousands in one folder.
    const DWORD attributes = at == std::wstring::npos
                                 ? listing_.Attributes(prefix)
                                 : GetFileAttributesW((prefix.size() >= MAX_PATH ? L"\\\\?\\" + prefix : prefix).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;  // nothing there yet, so nothing leads away
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    if (at == std::wstring::npos) return false;
    linkFree_.insert(prefix);
  }
}

std::wstring Checker::FileRefusal(const Group& group, const std::wstring& path, bool vouched) {
  const std::wstring plain = PlainPath(path);
  if (plain.empty()) return path + L": not a plain path on a drive";
  std::size_t root = 3;
  if (Within(plain, journalFolder_)) {
    const bool own = Within(plain, journalFolder_ + L"KEPT\\") || Within(plain, journalFolder_ + L"QUARANTINE\\");
    if (!own) return path + L": one of the journal's own files";
    root = journalFolder_.size();
  } else if (Within(plain, machineFolder_)) {
    if (!vouched || !Within(plain, machineFolder_ + L"QUARANTINE\\")) {
      return path + L": one of the machine-wide journal's own files";
    }
    root = machineFolder_.size();
  } else if (Within(plain, profile_)) {
    root = profile_.size();
  } else if (vouched) {
    // A machine-wide place the machine-wide store vouches for, on whichever drive.
  } else if (plain[0] == windowsDrive_) {
    return path + L": a machine-wide file, outside the drives the change worked on";
  } else if (group.drives.find(plain[0]) == std::wstring::npos) {
    return path + L": not on the drive the change worked on";
  }
  if (ThroughLink(plain, root)) return path + L": reached through a link";
  return {};
}

// A machine-wide file item is written only when the machine-wide store vouches
// for it, and the copy it puts back is the one Korvane kept there.
std::wstring Checker::MachineRefusal(const Group& group, const Item& item) {
  const std::optional<std::wstring> hash = vouched_.Find(group.id, item, Folder());
  if (!hash) return item.path + L": a machine-wide file that only your own journal names, never written from it";
  const std::wstring copy = machine::CopyOf(item);
  if (!copy.empty() && (hash->empty() || machine::FileHash(copy) != *hash)) {
    return item.path + L": " + copy + L" is not the copy Korvane kept (it changed since), so it is never put back";
  }
  return {};
}

std::wstring Checker::VouchedHash(const Group& group, const Item& item) {
  if (item.kind == ItemKind::Registry || machine::CopyOf(item).empty() || !machine::IsMachineWide(item, group.drives)) return {};
  return vouched_.Find(group.id, item, Folder()).value_or(L"");
}

std::wstring Checker::Refusal(const Group& group, const Item& item) {
  const bool machineWide = item.kind != ItemKind::Registry && machine::IsMachineWide(item, group.drives);
  if (machineWide) {
    if (std::wstring refusal = MachineRefusal(group, item); !refusal.empty()) return refusal;
  }
  switch (item.kind) {
    case ItemKind::Registry: {
      const std::wstring name = RegDescribe(item.root, item.key, item.name);
      if (IsMachineWide(item.root) && !vouched_.Holds(group.id, item, Folder())) {
        return name + L": a machine-wide value that only your own journal names, never written from it";
      }
      if (!FindPlace(item)) return name + L": a value Korvane does not change";
      return {};
    }
    case ItemKind::Attributes:
      return FileRefusal(group, item.path, machineWide);
    case ItemKind::Content: {
      std::wstring refusal = FileRefusal(group, item.path, machineWide);
      if (!refusal.empty() || !item.existedBefore) return refusal;
      // Only this group's own kept copies are put back.
      const std::wstring kept = PlainPath(item.kept);
      if (!Within(kept, journalFolder_ + L"KEPT\\" + std::to_wstring(group.id) + L"\\")) {
        return item.kept + L": not a copy Korvane kept for this change";
      }
      return FileRefusal(group, item.kept, false);
    }
    case ItemKind::Move: {
      // One end is the drive, the other Korvane's quarantine, whichever way the file went.
      const auto inQuarantine = [&](const std::wstring& path) {
        const std::wstring plain = PlainPath(path);
        return Within(plain, journalFolder_ + L"QUARANTINE\\") ||
               (machineWide && Within(plain, machineFolder_ + L"QUARANTINE\\"));
      };
      if (inQuarantine(item.path) == inQuarantine(item.kept)) return item.kept + L": not in Korvane's quarantine";
      std::wstring refusal = FileRefusal(group, item.path, machineWide);
      return refusal.empty() ? FileRefusal(group, item.kept, machineWide) : refusal;
    }
    case ItemKind::Rename: {
      const std::wstring from = PlainPath(item.path);
      const std::wstring to = PlainPath(item.kept);
      if (from.empty() || to.empty() || from.substr(0, from.rfind(L'\\')) != to.substr(0, to.rfind(L'\\'))) {
        return item.kept + L": not a rename in one folder";
      }
      return FileRefusal(group, item.path, machineWide);
    }
    case ItemKind::Note:
      return {};
  }
  return {};
}

ItemState JudgeAttributes(const Item& item, DWORD now) {
  if (now == INVALID_FILE_ATTRIBUTES) return ItemState::Conflict;
  if (((now ^ item.attrAfter) & kVisibleAttributes) == 0) return ItemState::Changed;
  return ((now ^ item.attrBefore) & kVisibleAttributes) == 0 ? ItemState::NotMade : ItemState::Conflict;
}

ItemState Judge(const Item& item, FolderListing* listing) {
  switch (item.kind) {
    case ItemKind::Registry: {
      const RegState now = RegGetRaw(item.root, item.key, item.name);
      if (now == item.regAfter) return ItemState::Changed;
      return now == item.regBefore ? ItemState::NotMade : ItemState::Conflict;
    }
    case ItemKind::Attributes:
      return JudgeAttributes(item, listing ? listing->Attributes(item.path) : GetFileAttributesW(item.path.c_str()));
    case ItemKind::Content: {
      const std::wstring now = format::Digest(item.path);
      if (!item.afterDigest.empty() && now == item.afterDigest) return ItemState::Changed;
      // Without its kept copy, what was there before is unknown.
      std::wstring before = format::kAbsent;
      if (item.existedBefore) before = Exists(item.kept) ? format::Digest(item.kept) : std::wstring();
      return !before.empty() && now == before ? ItemState::NotMade : ItemState::Conflict;
    }
    case ItemKind::Move: {
      if (!Exists(item.path) && Exists(item.kept) && format::Digest(item.kept) == item.afterDigest) {
        return ItemState::Changed;
      }
      return Exists(item.path) && format::Digest(item.path) == item.afterDigest ? ItemState::NotMade
                                                                                : ItemState::Conflict;
    }
    case ItemKind::Rename:
      if (!Exists(item.path) && Exists(item.kept)) return ItemState::Changed;
      return Exists(item.path) && !Exists(item.kept) ? ItemState::NotMade : ItemState::Conflict;
    case ItemKind::Note:
      return ItemState::Nothing;
  }
  return ItemState::Nothing;
}

}  // namespace scope

}  // namespace platform::journal
