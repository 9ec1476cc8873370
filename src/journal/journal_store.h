// The journal's file: appends under a lock shared by every Korvane process,
// group ids, and letting the oldest groups go when the journal is full.
#pragma once

#include <windows.h>

#include <cstdint>
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
// While an action is open in this process the lock may be kept a moment from one append to the next.
void ActionOpened();
// Lets the lock go now, before a long run of changes (a batch's), so that no other process waits on them.
void Release();
// Closes the journal and its lock file, held open from the first change (journal::Close).
void Close();
// Lets the oldest finished groups go when past a bound; how many went.
std::uint64_t Tidy();
void ActionClosed();
// Appends a new group's first lines under a fresh id, flushed when asked; nullopt when the file refused.
std::optional<GroupId> AppendGroup(const std::function<std::string(GroupId)>& lines, bool flush);
// Appends lines to the file in one write; false when the file refused.
bool Append(const std::string& lines, bool flush);
// Whether lines reached the file since its last flush.
bool Pending();
// Runs `read` under the lock with the journal open for reading, given its size
// (nullptr when there is no journal). The calls below that take a file are made inside it.
void UnderLock(const std::function<void(HANDLE file, std::uint64_t size)>& read);
struct Lines {
  std::size_t skipped = 0;  // complete lines over format::kMaxLine, skipped unread
  std::uint64_t end = 0;    // where the last complete line ends: a line cut short lies past it
};
// Each complete line of the file's bytes [from, to) in turn, without its
// newline, with where it starts; read as a stream, in flat memory.
Lines ForEachLine(HANDLE file, std::uint64_t from, std::uint64_t to,
                  const std::function<void(std::string_view line, std::uint64_t at)>& onLine);
bool ReadRange(HANDLE file, std::uint64_t from, std::uint64_t to, std::string& bytes);
// The index beside the journal (journal_index.h): its bytes, nullopt when it is
// missing or longer than `limit`; and its replacement, written whole and flushed
// before it takes the old one's place.
std::optional<std::string> ReadIndex(std::uint64_t limit);
bool WriteIndex(const std::string& bytes);
// Copies a file into the journal's folder for a group and flushes the copy; empty on failure.
std::wstring Keep(GroupId group, std::size_t index, std::wstring_view path);

}  // namespace platform::journal::store
