#include "journal/journal_store.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "journal/journal_format.h"
#include "journal/journal_scope.h"
#include "system/handle.h"
#include "system/known_folder.h"

namespace platform::journal::store {

namespace {

constexpr wchar_t kFileName[] = L"journal.jsonl";
constexpr wchar_t kLockName[] = L"journal.lock";
constexpr wchar_t kIndexName[] = L"journal.index";
// A compaction's new journal, whole and flushed, until it has been written over the old one.
constexpr wchar_t kWholeName[] = L"journal.jsonl.whole";
constexpr wchar_t kKeptFolder[] = L"Kept\\";
// The byte locked lies far past the lock file's end: Wine lets a second handle read inside a
// range another one locked, so no data may lie in it.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
// A copy that hangs while holding the lock must not hang the others for ever.
constexpr DWORD kLockWaitMs = 10000;

std::atomic<std::uint64_t> maxGroups{Bounds{}.groups};
std::atomic<std::uint64_t> maxKeptBytes{Bounds{}.keptBytes};
std::atomic<std::uint64_t> maxJournalBytes{Bounds{}.journalBytes};
std::atomic<std::uint64_t> maxQuarantineBytes{Bounds{}.quarantineBytes};

std::wstring LocalAppData() {
  std::wstring folder = KnownFolder(FOLDERID_LocalAppData);
  if (folder.empty()) {
    wchar_t buffer[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH) < MAX_PATH) folder = buffer;
  }
  return folder;
}

std::wstring FilePath() { return Folder() + kFileName; }

bool ReadBytes(HANDLE file, std::uint64_t from, std::uint64_t to, std::string& bytes) {
  bytes.resize(static_cast<std::size_t>(to - from));
  std::size_t done = 0;
  while (done < bytes.size()) {
    OVERLAPPED at{};
    const std::uint64_t offset = from + done;
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
    if (!ReadFile(file, bytes.data() + done, want, &got, &at) || got == 0) return false;
    done += got;
  }
  return true;
}

// What the file holds, learned from its lines: kept from one append to the
// next and brought up to date with what other processes added since.
struct Summary {
  std::uint64_t size = 0;
  GroupId lastGroup = 0;
  std::uint64_t dropped = 0;
  std::uint64_t groups = 0;     // headers present
  std::uint64_t keptBytes = 0;  // the bytes of every kept copy the items name
  std::uint64_t movedBytes = 0;  // and of every file they moved to the quarantine
  bool endsWithNewline = true;
  std::string tail;  // the file's last bytes, to know it again
};

constexpr std::size_t kTail = 64;

void KeepTail(Summary& summary, std::string_view added) {
  summary.tail += added.substr(added.size() - std::min(added.size(), kTail));
  if (summary.tail.size() > kTail) summary.tail.erase(0, summary.tail.size() - kTail);
}

// One per process. The lock file and the journal stay open for the life of the
// process, so that a click opens neither; neither may be deleted or renamed
// meanwhile, so no record is ever written to a file that has left its name.
// A compaction rewrites the journal in place and lengthens the lock file by a
// byte: a lock file of another length tells that the summary is stale, and that
// a compaction's copy may be waiting to be finished.
struct Shared {
  std::mutex threads;  // this process's threads, outside the file lock
  Handle lockFile;     // journal.lock, never replaced
  Handle journal;
  bool held = false;
  ULONGLONG heldSince = 0;
  std::optional<std::uint64_t> generation;  // the lock file's length when this process last took the lock
  bool retake = false;  // the lock was let go since the summary was last checked against the file
  int actions = 0;
  Summary summary;
};

Shared& State() {
  static Shared shared;
  return shared;
}

std::atomic<std::uint64_t> flushes{0};
std::atomic<std::uint64_t> appends{0};
std::atomic<bool> unflushed{false};  // lines written since the last flush

// How long an action may keep the lock between appends: another process waits at most about this
// long plus one change.
constexpr ULONGLONG kHoldMs = 50;

void LetGo(Shared& shared) {
  if (!shared.held) return;
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  UnlockFileEx(shared.lockFile.Get(), 0, 1, 0, &at);
  shared.held = false;
}

bool FinishCompaction();

// Just after the lock is taken: whether another process compacted the journal since this one
// last held it. If so the summary is learnt afresh, and a compaction cut short is finished first.
bool Settle(Shared& shared) {
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(shared.lockFile.Get(), &length)) return false;
  const auto now = static_cast<std::uint64_t>(length.QuadPart);
  shared.retake = true;
  if (shared.generation == now) return true;
  shared.summary = Summary{};
  if (!FinishCompaction()) return false;
  shared.generation = now;
  return true;
}

// Held around every append and rewrite, by every Korvane process of every
// session and elevation: a lock on the lock file, not a named object.
class Lock {
 public:
  Lock() : guard_(State().threads) {
    Shared& shared = State();
    if (shared.held) return;
    if (!shared.lockFile) {
      if (EnsureFolder().empty()) return;
      shared.lockFile.Reset(CreateFileW((Folder() + kLockName).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!shared.lockFile) return;
    }
    for (DWORD waited = 0;; waited += 5) {
      OVERLAPPED at{};
      at.OffsetHigh = kLockOffsetHigh;
      if (LockFileEx(shared.lockFile.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        shared.held = true;
        shared.heldSince = GetTickCount64();
        // A journal left half rewritten is never read or appended to.
        if (!Settle(shared)) LetGo(shared);
        return;
      }
      if (waited >= kLockWaitMs) return;
      Sleep(5);
    }
  }
  ~Lock() {
    Shared& shared = State();
    if (shared.actions == 0 || GetTickCount64() - shared.heldSince > kHoldMs) LetGo(shared);
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  explicit operator bool() const { return State().held; }

 private:
  std::lock_guard<std::mutex> guard_;
};

// Whether the file is one of a single name, not a link: another program may
// leave a second name for one of its files where Korvane writes.
bool PlainFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1 &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Under the lock: the journal's handle; null when it cannot be opened or is not a plain file.
HANDLE Journal() {
  Shared& shared = State();
  if (!shared.journal) {
    Handle opened(CreateFileW(FilePath().c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (opened && PlainFile(opened.Get())) shared.journal = std::move(opened);
  }
  return shared.journal ? shared.journal.Get() : nullptr;
}

bool Refresh(HANDLE file) {
  Summary& summary = State().summary;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return false;
  const auto now = static_cast<std::uint64_t>(size.QuadPart);
  if (now < summary.size) summary = Summary{};  // rewritten by another process
  if (std::exchange(State().retake, false) && !summary.tail.empty()) {
    // Rewritten by another program at the same or a greater length: it no longer ends where it did with the same bytes.
    std::string tail;
    if (!ReadBytes(file, summary.size - summary.tail.size(), summary.size, tail) || tail != summary.tail) {
      summary = Summary{};
    }
  }
  if (now == summary.size) return true;
  // The lines added since, read as a stream: a journal of any length costs flat memory.
  const Lines lines = ForEachLine(file, summary.size, now, [&summary](std::string_view line, std::uint64_t) {
    const format::LineFacts facts = format::Facts(line);
    if (facts.header) ++summary.groups;
    summary.keptBytes += facts.keptBytes;
    summary.movedBytes += facts.movedBytes;
    summary.lastGroup = std::max({summary.lastGroup, facts.group, facts.lastGroup});
    if (facts.dropped) summary.dropped = facts.dropped;
  });
  std::string tail;
  if (!ReadBytes(file, now - std::min<std::uint64_t>(now, kTail), now, tail)) return false;
  summary.size = now;
  summary.endsWithNewline = lines.end == now;
  summary.tail = std::move(tail);
  return true;
}

// A new file to be written whole and then renamed into place. Whatever stood at
// its name (a link another program left there) is removed, never written through.
Handle CreateFresh(const std::wstring& path) {
  DeleteFileW(path.c_str());
  return Handle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool WriteRaw(HANDLE file, std::string_view bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

bool WriteAll(HANDLE file, const std::string& bytes, bool flush) {
  if (!WriteRaw(file, bytes)) return false;
  if (!flush) {
    unflushed = true;
    return true;
  }
  ++flushes;
  unflushed = false;
  return FlushFileBuffers(file) != FALSE;
}

bool AppendLocked(HANDLE file, const std::string& lines, bool flush) {
  Summary& summary = State().summary;
  ++appends;
  // A line cut short by a crash is closed first so that it spoils nothing after it.
  const std::string bytes = summary.endsWithNewline ? lines : "\n" + lines;
  if (!WriteAll(file, bytes, flush)) {
    summary = Summary{};  // a part may have reached the file: learn it afresh
    return false;
  }
  summary.size += bytes.size();
  summary.endsWithNewline = bytes.back() == '\n';
  KeepTail(summary, bytes);
  // Each line weighs what it keeps, a group's first append as much as the others.
  for (std::size_t start = 0; start < lines.size();) {
    const auto newline = std::min(lines.find('\n', start), lines.size());
    const format::LineFacts facts = format::Facts(std::string_view(lines).substr(start, newline - start));
    summary.keptBytes += facts.keptBytes;
    summary.movedBytes += facts.movedBytes;
    start = newline + 1;
  }
  return true;
}

std::wstring WholePath() { return Folder() + kWholeName; }

// What a compaction reads and writes at a time.
constexpr std::size_t kPiece = std::size_t{1} << 20;

// Writes the copy's bytes over the journal's, in place, in pieces, and flushes it.
bool WriteOver(HANDLE copy) {
  const Handle out(CreateFileW(FilePath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!out || !PlainFile(out.Get()) || SetFilePointer(copy, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    return false;
  }
  std::vector<char> buffer(kPiece);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(copy, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
    if (got == 0) break;
    if (!WriteRaw(out.Get(), std::string_view(buffer.data(), got))) return false;
  }
  if (!SetEndOfFile(out.Get())) return false;
  ++flushes;
  return FlushFileBuffers(out.Get()) != FALSE;
}

Handle OpenCopy() {
  return Handle(CreateFileW(WholePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Tells every Korvane process, the next time it takes the lock, that the journal was rewritten.
bool NextGeneration(Shared& shared) {
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(shared.lockFile.Get(), &length)) return false;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(length.QuadPart);
  at.OffsetHigh = static_cast<DWORD>(length.QuadPart >> 32);
  DWORD written = 0;
  if (!WriteFile(shared.lockFile.Get(), "\n", 1, &written, &at) || written != 1) return false;
  shared.generation = static_cast<std::uint64_t>(length.QuadPart) + 1;
  return true;
}

// A compaction that stopped after its copy was whole is finished from the copy. Anyone
// may have left a file at that name: it is taken only when it reads as a compaction's
// journal (a plain file of one name that begins with the line counting the groups let go)
// and is removed otherwise. False when the journal may be half rewritten still, or
// the copy could not be removed.
bool FinishCompaction() {
  bool taken = false;
  {
    const Handle copy = OpenCopy();
    if (!copy) return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    LARGE_INTEGER size{};
    std::string first;
    taken = PlainFile(copy.Get()) && GetFileSizeEx(copy.Get(), &size) &&
            ReadBytes(copy.Get(), 0, std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart), format::kMaxLine), first) &&
            first.find('\n') != std::string::npos && format::IsDroppedLine(first);
    if (taken && !WriteOver(copy.Get())) return false;
  }
  // Finished, the copy must go: taken again later, it would undo the appends made since.
  return DeleteFileW(WholePath().c_str()) || !taken;
}

void DeleteKept(GroupId group) {
  const std::wstring folder = Folder() + kKeptFolder + std::to_wstring(group);
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, 0);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const std::wstring file = folder + L"\\" + found.cFileName;
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

// A file the dropped group moved to the quarantine goes with it, and the record
// beside it; only inside the quarantine folder, whatever the line says, and in
// the machine-wide one only for a move the machine-wide store vouches for.
void DeleteQuarantined(GroupId group, const Item& item, machine::Vouched& vouched) {
  const std::wstring plain = scope::PlainPath(item.kept);
  const auto inside = [&plain](const std::wstring& folder) {
    const std::wstring quarantine = scope::PlainPath(folder + L"Quarantine\\");
    return !quarantine.empty() && plain.size() > quarantine.size() && plain.starts_with(quarantine);
  };
  if (item.kind != ItemKind::Move ||
      !(inside(Folder()) || (inside(machine::FolderPath()) && vouched.Holds(group, item, Folder())))) {
    return;
  }
  const std::wstring path = L"\\\\?\\" + item.kept.substr(item.kept.starts_with(L"\\\\?\\") ? 4 : 0);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
  constexpr std::wstring_view kSuffix = L".quarantined";
  if (path.ends_with(kSuffix)) DeleteFileW((path.substr(0, path.size() - kSuffix.size()) + L".record.txt").c_str());
}

struct Weight {
  std::uint64_t kept = 0;
  std::uint64_t moved = 0;
  std::uint64_t bytes = 0;
  bool finished = false;
};

// Rewrites the file without its oldest finished groups: first whole into a copy,
// then over the journal in place, so that a crash leaves the old journal, or the
// copy to finish from.
// Returns how many groups were let go.
std::uint64_t Compact(HANDLE file) {
  Shared& shared = State();
  Summary& summary = shared.summary;
  if (summary.groups <= maxGroups && summary.keptBytes <= maxKeptBytes && summary.size <= maxJournalBytes &&
      summary.movedBytes <= maxQuarantineBytes) {
    return 0;
  }
  // The groups oldest first, with what they weigh: learnt here, not kept between appends.
  // The journal is read as a stream, twice, so that one of any length costs flat memory.
  std::map<GroupId, Weight> present;
  ForEachLine(file, 0, summary.size, [&present](std::string_view line, std::uint64_t) {
    const format::LineFacts facts = format::Facts(line);
    if (facts.group && (facts.header || present.contains(facts.group))) {
      Weight& weight = present[facts.group];
      weight.kept += facts.keptBytes;
      weight.moved += facts.movedBytes;
      weight.bytes += line.size() + 1;
      weight.finished = weight.finished || facts.end;
    }
  });
  Weight total;
  std::uint64_t groups = present.size();
  for (const auto& entry : present) {
    total.kept += entry.second.kept;
    total.moved += entry.second.moved;
    total.bytes += entry.second.bytes;
  }
  const std::uint64_t grouped = total.bytes;
  // Down to nine tenths, so that not every action rewrites the file.
  const auto past = [](std::uint64_t value, std::uint64_t bound) { return value > bound - bound / 10; };
  std::vector<GroupId> dropping;
  const GroupId newest = present.empty() ? 0 : present.rbegin()->first;
  for (const auto& [id, weight] : present) {
    if (!past(groups, maxGroups) && !past(total.kept, maxKeptBytes) && !past(total.bytes, maxJournalBytes) &&
        !past(total.moved, maxQuarantineBytes)) {
      break;
    }
    if (id == newest) break;             // the newest group always stays
    if (!weight.finished) continue;      // an action still running, or cut short: never let go
    dropping.push_back(id);
    --groups;
    total.kept -= weight.kept;
    total.moved -= weight.moved;
    total.bytes -= weight.bytes;
  }
  // Lines of no group (damaged, or longer than any Korvane writes) go too, and alone
  // when they are what keeps the journal past its bound.
  const std::uint64_t strays = summary.size - std::min(summary.size, grouped);
  if (dropping.empty() && (summary.size <= maxJournalBytes || strays <= maxJournalBytes / 10)) return 0;
  // The dropped groups' moves are read whole, to let their quarantined files go too.
  format::Reader moves(Folder(), [&dropping](GroupId id) { return std::binary_search(dropping.begin(), dropping.end(), id); });
  const std::wstring temporary = FilePath() + L".new";
  {
    const Handle out = CreateFresh(temporary);
    bool written = static_cast<bool>(out);
    std::string piece = format::DroppedLine(summary.dropped + dropping.size(), summary.lastGroup);
    ForEachLine(file, 0, summary.size, [&](std::string_view line, std::uint64_t) {
      const format::LineFacts facts = format::Facts(line);
      if (!facts.group) return;
      if (!std::binary_search(dropping.begin(), dropping.end(), facts.group)) {
        piece += line;
        piece += '\n';
        if (piece.size() >= kPiece) {
          written = written && WriteRaw(out.Get(), piece);
          piece.clear();
        }
      } else if (facts.header || facts.movedBytes) {
        moves.Line(line);
      }
    });
    ++flushes;
    if (!written || !WriteRaw(out.Get(), piece) || !FlushFileBuffers(out.Get())) {
      DeleteFileW(temporary.c_str());
      return 0;
    }
  }
  // The lock file lengthened first: whoever takes the lock next looks for the copy.
  if (!NextGeneration(shared) ||
      !MoveFileExW(temporary.c_str(), WholePath().c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    summary = Summary{};
    return 0;
  }
  // The index no longer tells the new file's lines.
  DeleteFileW((Folder() + kIndexName).c_str());
  summary = Summary{};
  bool written = false;
  {
    const Handle copy = OpenCopy();
    written = copy && WriteOver(copy.Get());
  }
  if (!written || !DeleteFileW(WholePath().c_str())) {
    // The copy stays for the next taking of the lock to finish from, and nothing is appended till then.
    shared.generation.reset();
    LetGo(shared);
    if (!written) return 0;
  }
  for (const GroupId id : dropping) DeleteKept(id);
  machine::Vouched vouched;
  for (const Group& group : moves.Finish().groups) {
    for (const Item& item : group.items) DeleteQuarantined(group.id, item, vouched);
  }
  return dropping.size();
}

}  // namespace

std::wstring EnsureFolder() {
  std::wstring folder = Folder();
  if (folder.empty()) return {};
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

bool Writable() {
  const Lock lock;
  return lock && Journal() != nullptr;
}

std::uint64_t Tidy() {
  const Lock lock;
  if (!lock) return 0;
  const HANDLE file = Journal();
  if (!file || !Refresh(file)) return 0;
  return Compact(file);
}

void Release() {
  const std::lock_guard guard(State().threads);
  LetGo(State());
}

void Close() {
  const std::lock_guard guard(State().threads);
  Shared& shared = State();
  LetGo(shared);
  shared.journal.Close();
  shared.lockFile.Close();
  shared.generation.reset();
}

void ActionOpened() {
  const std::lock_guard guard(State().threads);
  ++State().actions;
}

void ActionClosed() {
  const std::lock_guard guard(State().threads);
  if (--State().actions == 0) LetGo(State());
}

std::optional<GroupId> AppendGroup(const std::function<std::string(GroupId)>& lines, bool flush) {
  const Lock lock;
  if (!lock) return std::nullopt;
  const HANDLE file = Journal();
  if (!file || !Refresh(file)) return std::nullopt;
  Summary& summary = State().summary;
  const GroupId id = summary.lastGroup + 1;
  if (!AppendLocked(file, lines(id), flush)) return std::nullopt;
  summary.lastGroup = id;
  ++summary.groups;
  return id;
}

bool Append(const std::string& lines, bool flush) {
  const Lock lock;
  if (!lock) return false;
  const HANDLE file = Journal();
  if (!file || !Refresh(file)) return false;
  if (!AppendLocked(file, lines, flush)) return false;
  return true;
}

bool Pending() { return unflushed.load(); }

void UnderLock(const std::function<void(HANDLE file, std::uint64_t size)>& read) {
  const Lock lock;
  const Handle file(CreateFileW(FilePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size)) {
    read(nullptr, 0);
    return;
  }
  read(file.Get(), static_cast<std::uint64_t>(size.QuadPart));
}

Lines ForEachLine(HANDLE file, std::uint64_t from, std::uint64_t to,
                  const std::function<void(std::string_view line, std::uint64_t at)>& onLine) {
  Lines lines{0, from};
  std::string pending;   // the start of a line that runs past the buffer
  bool tooLong = false;  // the line being read is past the bound: its bytes are let go
  std::vector<char> buffer(std::size_t{256} * 1024);
  std::uint64_t offset = from;
  while (offset < to) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::uint64_t>(buffer.size(), to - offset));
    if (!ReadFile(file, buffer.data(), want, &got, &at) || got == 0) break;
    const std::string_view chunk(buffer.data(), got);
    std::size_t start = 0;
    for (;;) {
      const auto newline = chunk.find('\n', start);
      const std::string_view piece = chunk.substr(start, newline == std::string_view::npos ? newline : newline - start);
      if (!tooLong && pending.size() + piece.size() > format::kMaxLine) {
        tooLong = true;
        std::string().swap(pending);
      }
      if (newline == std::string_view::npos) {
        if (!tooLong) pending += piece;
        break;
      }
      const std::uint64_t end = offset + newline + 1;
      if (tooLong) {
        ++lines.skipped;
      } else if (pending.empty()) {
        onLine(piece, offset + start);
      } else {
        pending += piece;
        onLine(pending, end - pending.size() - 1);
        pending.clear();
      }
      lines.end = end;
      tooLong = false;
      start = newline + 1;
    }
    offset += got;
  }
  return lines;
}

bool ReadRange(HANDLE file, std::uint64_t from, std::uint64_t to, std::string& bytes) {
  return ReadBytes(file, from, to, bytes);
}

std::optional<std::string> ReadIndex(std::uint64_t limit) {
  const Handle file(CreateFileW((Folder() + kIndexName).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size) || static_cast<std::uint64_t>(size.QuadPart) > limit) return std::nullopt;
  std::string bytes;
  if (!ReadBytes(file.Get(), 0, static_cast<std::uint64_t>(size.QuadPart), bytes)) return std::nullopt;
  return bytes;
}

bool WriteIndex(const std::string& bytes) {
  if (!State().held) return false;  // another process may be writing it
  const std::wstring path = Folder() + kIndexName;
  const std::wstring temporary = path + L".new";
  {
    // Not counted among the journal's flushes: the index is not the record.
    const Handle out = CreateFresh(temporary);
    DWORD written = 0;
    if (!out || !WriteFile(out.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(out.Get())) {
      DeleteFileW(temporary.c_str());
      return false;
    }
  }
  if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  DeleteFileW(temporary.c_str());
  return false;
}

std::wstring Keep(GroupId group, std::size_t index, std::wstring_view path) {
  const std::wstring keptRoot = Folder() + kKeptFolder;
  CreateDirectoryW(keptRoot.c_str(), nullptr);
  const std::wstring groupFolder = keptRoot + std::to_wstring(group);
  CreateDirectoryW(groupFolder.c_str(), nullptr);
  std::wstring name(path.substr(path.find_last_of(L"\\/:") + 1));
  std::wstring kept = groupFolder + L"\\" + std::to_wstring(index) + L"-" + name;
  const std::wstring source(path);
  if (!CopyFileW(source.c_str(), kept.c_str(), FALSE)) return {};
  // A hidden or read-only original would make its copy awkward to replace or let go.
  SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
  const Handle copy(CreateFileW(kept.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!copy || !FlushFileBuffers(copy.Get())) return {};
  return kept;
}

}  // namespace platform::journal::store

namespace platform::journal {

std::uint64_t FlushCount() { return store::flushes.load(); }
std::uint64_t AppendCount() { return store::appends.load(); }

void SetBounds(Bounds bounds) {
  store::maxGroups = bounds.groups;
  store::maxKeptBytes = bounds.keptBytes;
  store::maxJournalBytes = bounds.journalBytes;
  store::maxQuarantineBytes = bounds.quarantineBytes;
}

std::uint64_t Tidy() { return store::Tidy(); }

void Close() {
  store::Close();
  machine::CloseStore();
}

std::wstring Folder() {
  static const std::wstring folder = [] {
    std::wstring base = store::LocalAppData();
    return base.empty() ? base : base + L"\\Korvane\\";
  }();
  return folder;
}

}  // namespace platform::journal
