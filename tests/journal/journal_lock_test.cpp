// Sharing the journal between processes: another Korvane is played by a second
// handle on the lock file (locks belong to handles, so one process can stand
// for two), taking the lock, compacting the journal under it, and letting go.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "journal/journal.h"
#include "journal/journal_format.h"
#include "journal_file.h"
#include "system/registry.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;

const std::wstring kLockKey = L"Software\\Korvane\\JournalLockTest";

// Another process's hold on the journal: its own handle on the lock file, locking the same byte.
class OtherProcessLock {
 public:
  OtherProcessLock()
      : file_(CreateFileW((journal::Folder() + L"journal.lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, 0, nullptr)) {
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    held_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != FALSE;
  }
  ~OtherProcessLock() {
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    if (held_) UnlockFileEx(file_, 0, 1, 0, &at);
    CloseHandle(file_);
  }
  OtherProcessLock(const OtherProcessLock&) = delete;
  OtherProcessLock& operator=(const OtherProcessLock&) = delete;
  bool Held() const { return held_; }

 private:
  HANDLE file_;
  bool held_ = false;
};

using journal_tests::JournalFile;

// Tells every Korvane process that the journal was rewritten, as a compaction does: the lock file grows by a byte.
void LengthenLockFile() {
  const HANDLE lock = CreateFileW((journal::Folder() + L"journal.lock").c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(lock, "\n", 1, &written, nullptr));
  CloseHandle(lock);
}

// What a compaction by another process does, under its lock: the journal written
// over in place. Given a group of its own, it lets every older group go and then
// starts that group, longer than the file was, and stops after its header.
bool CompactAsAnotherProcess(journal::GroupId ownGroup) {
  const auto bytes = ReadBytes(JournalFile());
  if (!bytes) return false;
  std::string rewritten = *bytes;
  if (ownGroup) {
    rewritten = journal::format::DroppedLine(ownGroup - 1, ownGroup - 1) +
                journal::format::HeaderLine(ownGroup, L"2026-12-08 14:03:12", std::wstring(2 * bytes->size(), L'x'));
  }
  LengthenLockFile();
  WriteBytes(JournalFile(), rewritten);
  return ReadBytes(JournalFile()) == rewritten;
}

TEST(JournalLockTest, AWriterWaitsForAnotherProcesssLockAndFollowsItsCompaction) {
  journal::AllowValue(platform::kCurrentUser, kLockKey, L"first");
  journal::AllowValue(platform::kCurrentUser, kLockKey, L"second");
  journal::AllowValue(platform::kCurrentUser, kLockKey, L"waited");
  DeleteKey(HKEY_CURRENT_USER, kLockKey);
  ClearFolder(journal::Folder());
  CreateDirectoryW(journal::Folder().c_str(), nullptr);

  // Between two actions another process compacts and adds a group: the next one is numbered after it.
  {
    const journal::Action action(L"Test: before the compaction");
    platform::RegSetValue(platform::kCurrentUser, kLockKey, L"first", 1);
  }
  {
    const OtherProcessLock other;
    ASSERT_TRUE(other.Held()) << "no action is open, so no lock is held";
    ASSERT_TRUE(CompactAsAnotherProcess(2));
  }
  journal::GroupId id = 0;
  {
    const journal::Action action(L"Test: after the compaction");
    platform::RegSetValue(platform::kCurrentUser, kLockKey, L"second", 2);
    id = action.Id();
  }
  EXPECT_EQ(id, 3u) << "the replaced file was taken for the one summed up before";
  journal::Listing listing = journal::Read();
  EXPECT_EQ(listing.groups.size(), 2u);
  EXPECT_EQ(listing.skippedLines, 0u);

  // While another process holds the lock, a record waits for it, then lands whole.
  std::atomic<bool> recorded{false};
  std::uint64_t sizeWhileHeld = 0;
  std::uint64_t sizeBefore = 0;
  std::thread writer;
  {
    const OtherProcessLock other;
    ASSERT_TRUE(other.Held());
    sizeBefore = ReadBytes(JournalFile())->size();
    writer = std::thread([&] {
      {
        const journal::Action action(L"Test: waited for the lock");
        platform::RegSetValue(platform::kCurrentUser, kLockKey, L"waited", 3);
      }
      recorded = true;
    });
    Sleep(300);
    sizeWhileHeld = ReadBytes(JournalFile())->size();
    const bool finishedWhileHeld = recorded.load();
    // Compacted again under the lock: the waiting writer must append to the new file.
    EXPECT_TRUE(CompactAsAnotherProcess(0));
    EXPECT_FALSE(finishedWhileHeld) << "the record did not wait for the other process's lock";
  }
  writer.join();
  EXPECT_EQ(sizeWhileHeld, sizeBefore) << "a record was written while another process held the lock";
  listing = journal::Read();
  ASSERT_EQ(listing.groups.size(), 3u);
  EXPECT_EQ(Utf8(listing.groups[0].what), "Test: waited for the lock");
  EXPECT_EQ(listing.groups[0].itemCount, 1u);
  EXPECT_TRUE(listing.groups[0].finished);
  EXPECT_EQ(listing.skippedLines, 0u);
  DeleteKey(HKEY_CURRENT_USER, kLockKey);
  ClearFolder(journal::Folder());
}

// A compaction that died while writing its copy over the journal, with the lock file
// lengthened and the copy whole: the next to take the lock finishes it before anything
// is appended. A file left at the copy's name that is no compaction's is let go unread.
TEST(JournalLockTest, ACompactionCutShortIsFinishedFromItsCopyAndNoOtherFileIsTakenForOne) {
  const std::wstring whole = JournalFile() + L".whole";
  const std::wstring elsewhere = journal::Folder() + L"..\\not-a-copy.txt";
  struct Case {
    const char* name;
    bool torn;        // a real compaction's copy, the journal half written over
    bool hardLinked;  // the copy's name a second name of another file
  };
  const Case cases[] = {{"a compaction cut short", true, false},
                        {"another file with a copy's first line", false, true},
                        {"a copy of groups none let go", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    journal::AllowValue(platform::kCurrentUser, kLockKey, L"v");
    ClearFolder(journal::Folder());
    for (int i = 1; i <= 3; ++i) {
      const journal::Action action(L"Test: click " + std::to_wstring(i));
      platform::RegSetValue(platform::kCurrentUser, kLockKey, L"v", i);
    }
    const std::string old = *ReadBytes(JournalFile());
    const std::string kept = old.substr(old.find("{\"group\":3,"));
    const std::string copy = journal::format::DroppedLine(2, 3) + kept;
    if (c.torn) {
      WriteBytes(whole, copy);
      WriteBytes(JournalFile(), copy + old.substr(copy.size()));
    } else if (c.hardLinked) {
      WriteBytes(elsewhere, copy);
      ASSERT_TRUE(CreateHardLinkW(whole.c_str(), elsewhere.c_str(), nullptr));
    } else {
      WriteBytes(whole, kept);
    }
    LengthenLockFile();
    {
      const journal::Action action(L"Test: click 4");
      platform::RegSetValue(platform::kCurrentUser, kLockKey, L"v", 4);
    }
    const std::string now = *ReadBytes(JournalFile());
    EXPECT_EQ(now.substr(0, c.torn ? copy.size() : old.size()), c.torn ? copy : old);
    EXPECT_NE(now.find("Test: click 4"), std::string::npos);
    EXPECT_EQ(GetFileAttributesW(whole.c_str()), INVALID_FILE_ATTRIBUTES) << "the copy was left behind";
    const journal::Listing listing = journal::Read();
    EXPECT_EQ(listing.groups.size(), c.torn ? 2u : 4u);
    EXPECT_EQ(listing.skippedLines, 0u);
    if (c.hardLinked) {
      EXPECT_EQ(ReadBytes(elsewhere), copy);
    }
    DeleteFileW(elsewhere.c_str());
  }
  DeleteKey(HKEY_CURRENT_USER, kLockKey);
  ClearFolder(journal::Folder());
}

}  // namespace
