// Walks a drive folder by folder without following junctions or links. Paths
// go to the system with the \\?\ prefix, so deep trees and any names work.
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
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsReparsePoint() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// "E:\" for the root, "E:\Folder\Inner" below it: the path a person reads.
std::wstring Join(const std::wstring& folder, const std::wstring& name);
// The same path as the system is given it.
std::wstring LongPath(const std::wstring& path);

enum class WalkEnd {
  Done,
  Cancelled,
  DriveGone,  // the root could not be read, or went away during the walk
};

struct WalkOutcome {
  WalkEnd end = WalkEnd::Done;
  std::uint64_t items = 0;
  std::vector<std::wstring> unreadable;  // folders that could not be listed
};

// Called once per folder with all its entries (so rules can look at an
// item's neighbours); the walk descends into every folder entry that is not
// a reparse point, after the callback.
using FolderVisitor = std::function<void(const std::wstring& folder, std::span<const Entry> entries)>;

// `cancel` is read between folders and between items.
WalkOutcome Walk(const std::wstring& root, const std::atomic<bool>& cancel, const FolderVisitor& visit);

}  // namespace repair::drive_check
