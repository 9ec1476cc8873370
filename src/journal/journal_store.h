// The journal's file: appends under a lock shared by every Korvane process,
// group ids, and letting the oldest groups go when the journal is full.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "journal/journal.h"

namespace platform::journal::store {

// The folder, created if missing; empty when there is none to be had.
std::wstring EnsureFolder();
// Whether the journal's file can be opened for appending, without changing it.
bool Writable();
// While an action is open in this process the journal's file stays open between appends.
void ActionOpened();
// Lets the lock go now, before a long run of changes (a batch's), so that no other process waits on them.
void Release();
// Lets the oldest finished groups go when past a bound; how many went.
std::uint64_t Tidy();
void ActionClosed();
// Appends a new group's first lines under a fresh id, flushed when asked; nullopt when the file refused.
std::optional<GroupId> AppendGroup(const std::function<std::string(GroupId)>& lines, bool flush);
// Appends lines to the file in one write; false when the file refused.
bool Append(const std::string& lines, bool flush);
// Whether lines reached the file since its last flush.
bool Pending();
// Each complete line of the file in turn, without its newline, read as a
// stream; a line longer than format::kMaxLine is skipped unread. Returns how
// many lines were skipped so (a last line cut short among them).
std::size_t ForEachLine(const std::function<void(std::string_view)>& onLine);
// Copies a file into the journal's folder for a group and flushes the copy; empty on failure.
std::wstring Keep(GroupId group, std::size_t index, std::wstring_view path);

}  // namespace platform::journal::store
