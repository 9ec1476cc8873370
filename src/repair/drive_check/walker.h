// Walks a drive folder by folder without following junctions or links. Paths
// go to the system with the \\?\ prefix, so deep trees and any names work,
// and names ending in dots or spaces stay exactly as listed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace repair::drive_check {

struct Entry {
  std::wstring name;
  DWORD attributes = 0;
  std::uint64_t size = 0;
  std::uint64_t id = 0;       // the file system's id, from the listing itself
  std::uint64_t written = 0;  // last write time
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsReparsePoint() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// "E:\" for the root, "E:\Folder\Inner" below it: the path a person reads.
std::wstring Join(const std::wstring& folder, const std::wstring& name);
// The same path as the system is given it, never tidied (trailing dots and spaces stay).
std::wstring LongPath(const std::wstring& path);

// The folder itself as listed: its id (and, for a walk's root, its volume's serial number).
struct FolderFacts {
  std::uint64_t id = 0;
  DWORD volumeSerial = 0;
};

// The serial number of the volume holding `root`; 0 when it cannot be read.
DWORD VolumeSerial(const std::wstring& root);

// Lists one folder by its handle, ids included; false when it cannot be opened or read.
bool ListFolder(const std::wstring& folder, std::vector<Entry>& entries, FolderFacts& facts,
                const std::atomic<bool>& cancel);

// One number for a folder's entries as listed; any change to a name, id,
// attribute, size or write time changes it.
std::uint64_t Digest(std::span<const Entry> entries);

enum class WalkEnd {
  Done,
  Cancelled,
  DriveGone,  // the root could not be read, or went away during the walk
};

struct WalkOutcome {
  WalkEnd end = WalkEnd::Done;
  std::uint64_t items = 0;
  FolderFacts root;
  std::vector<std::wstring> unreadable;  // folders that could not be listed, or were not the folder listed
};

// Called once per folder with all its entries (so rules can look at an
// item's neighbours); the walk descends into every folder entry that is not
// a reparse point, after the callback, and only when the folder it opens is
// the one its parent listed.
using FolderVisitor =
    std::function<void(const std::wstring& folder, const FolderFacts& facts, std::span<const Entry> entries)>;

// `cancel` is read between folders and between items.
WalkOutcome Walk(const std::wstring& root, const std::atomic<bool>& cancel, const FolderVisitor& visit);

}  // namespace repair::drive_check
