#include "repair/drive_check/walker.h"

#include <cstring>

#include "system/handle.h"

namespace repair::drive_check {

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  std::wstring path = folder;
  if (path.empty() || path.back() != L'\\') path += L'\\';
  path += name;
  return path;
}

std::wstring LongPath(const std::wstring& path) {
  if (path.rfind(L"\\\\", 0) == 0) return path;
  return L"\\\\?\\" + path;
}

namespace {

platform::Handle OpenFolder(const std::wstring& folder) {
  return platform::Handle(CreateFileW(LongPath(folder).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool IsDotEntry(const wchar_t* name, std::size_t length) {
  return name[0] == L'.' && (length == 1 || (length == 2 && name[1] == L'.'));
}

std::uint64_t Quad(LARGE_INTEGER value) { return static_cast<std::uint64_t>(value.QuadPart); }

bool RootPresent(const std::wstring& root) {
  return GetFileAttributesW(LongPath(root).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

DWORD VolumeSerial(const std::wstring& root) {
  DWORD serial = 0;
  const std::wstring volume = root.size() >= 2 && root[1] == L':' ? root.substr(0, 2) + L"\\" : root;
  return GetVolumeInformationW(volume.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) ? serial : 0;
}

bool ListFolder(const std::wstring& folder, std::vector<Entry>& entries, FolderFacts& facts,
                const std::atomic<bool>& cancel) {
  entries.clear();
  facts = {};
  const platform::Handle handle = OpenFolder(folder);
  if (!handle) return false;
  // Sized for many entries a call; the kind of buffer the system's own large fetch uses.
  alignas(8) static thread_local unsigned char buffer[64 * 1024];
  bool first = true;
  bool ownId = false;
  while (!cancel.load(std::memory_order_relaxed)) {
    if (!GetFileInformationByHandleEx(handle.Get(), FileIdBothDirectoryInfo, buffer, sizeof buffer)) {
      // A drive's root has no "." entry, so an empty one has nothing at all.
      const DWORD error = GetLastError();
      if (error != ERROR_NO_MORE_FILES && !(first && error == ERROR_FILE_NOT_FOUND)) return false;
      break;
    }
    first = false;
    for (std::size_t offset = 0;;) {
      FILE_ID_BOTH_DIR_INFO info;
      std::memcpy(&info, buffer + offset, offsetof(FILE_ID_BOTH_DIR_INFO, FileName));
      const auto* name = reinterpret_cast<const wchar_t*>(buffer + offset + offsetof(FILE_ID_BOTH_DIR_INFO, FileName));
      const std::size_t length = info.FileNameLength / sizeof(wchar_t);
      if (length == 1 && name[0] == L'.') {
        // The folder's own entry: its id without another call to the system.
        facts.id = Quad(info.FileId);
        ownId = true;
      } else if (length > 0 && !IsDotEntry(name, length)) {
        entries.push_back({std::wstring(name, length), info.FileAttributes, Quad(info.EndOfFile), Quad(info.FileId),
                           Quad(info.LastWriteTime)});
      }
      if (info.NextEntryOffset == 0) break;
      offset += info.NextEntryOffset;
    }
  }
  if (!ownId) {
    BY_HANDLE_FILE_INFORMATION own{};
    if (!GetFileInformationByHandle(handle.Get(), &own)) return false;
    facts.id = (static_cast<std::uint64_t>(own.nFileIndexHigh) << 32) | own.nFileIndexLow;
  }
  return true;
}

std::uint64_t Digest(std::span<const Entry> entries) {
  // FNV-1a over each field, in listing order.
  std::uint64_t hash = 14695981039346656037ull;
  const auto mix = [&hash](std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i, value >>= 8) hash = (hash ^ (value & 0xFF)) * 1099511628211ull;
  };
  for (const Entry& entry : entries) {
    for (const wchar_t c : entry.name) mix(static_cast<std::uint64_t>(c), 2);
    mix(0, 2);  // the name's end, so that "ab"+"c" and "a"+"bc" differ
    mix(entry.attributes, 4);
    mix(entry.size, 8);
    mix(entry.id, 8);
    mix(entry.written, 8);
  }
  mix(entries.size(), 8);
  return hash;
}

WalkOutcome Walk(const std::wstring& root, const std::atomic<bool>& cancel, const FolderVisitor& visit) {
  WalkOutcome outcome;
  if (!RootPresent(root)) {
    outcome.end = WalkEnd::DriveGone;
    return outcome;
  }
  struct Pending {
    std::wstring folder;
    std::uint64_t id;  // as its parent listed it; 0 for the root
  };
  std::vector<Pending> pending{{root, 0}};
  std::vector<Entry> entries;
  bool atRoot = true;
  while (!pending.empty()) {
    if (cancel.load(std::memory_order_relaxed)) {
      outcome.end = WalkEnd::Cancelled;
      return outcome;
    }
    const Pending next = std::move(pending.back());
    pending.pop_back();
    FolderFacts facts;
    const bool listed = ListFolder(next.folder, entries, facts, cancel);
    if (!listed && atRoot) {
      outcome.end = WalkEnd::DriveGone;
      return outcome;
    }
    if (!listed || (!atRoot && facts.id != next.id)) {
      // A folder that vanished with its drive ends the walk; one we may not read,
      // or one swapped for another since its parent was listed, is noted and not entered.
      if (!RootPresent(root)) {
        outcome.end = WalkEnd::DriveGone;
        return outcome;
      }
      outcome.unreadable.push_back(next.folder);
      continue;
    }
    if (atRoot) {
      outcome.root = facts;
      outcome.root.volumeSerial = VolumeSerial(root);
    }
    atRoot = false;
    outcome.items += entries.size();
    visit(next.folder, facts, entries);
    // Pushed in reverse so that folders are read in the order they were listed.
    for (std::size_t i = entries.size(); i-- > 0;) {
      if (entries[i].IsFolder() && !entries[i].IsReparsePoint()) {
        pending.push_back({Join(next.folder, entries[i].name), entries[i].id});
      }
    }
  }
  if (cancel.load(std::memory_order_relaxed)) outcome.end = WalkEnd::Cancelled;
  return outcome;
}

}  // namespace repair::drive_check
