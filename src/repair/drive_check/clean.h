// Carries out the checked findings of a scan as one group of the change
// journal: attributes cleared, files moved to the quarantine, a blank-named
// folder renamed. Nothing is deleted without a checked copy.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal.h"
#include "repair/drive_check/scan.h"

namespace repair::drive_check {

inline constexpr wchar_t kRecoveredName[] = L"Recovered items";

struct CleanFailure {
  std::wstring path;
  std::wstring reason;
};

struct CleanReport {
  bool cancelled = false;  // the journal could not be written and the person chose not to go on
  bool stopped = false;    // Cancel between items: what was done stays done, and is counted
  // The drive or a folder to be changed is no longer what the scan saw (another
  // stick in the same letter, a file added, renamed or swapped for a link):
  // nothing was changed, and a new scan is needed. `refusal` says what differed;
  // every chosen item is also among the failures, as not changed.
  bool rescanNeeded = false;
  std::wstring refusal;
  std::size_t madeVisible = 0;
  std::size_t quarantined = 0;
  std::size_t renamed = 0;
  std::vector<CleanFailure> failures;
  std::wstring quarantineFolder;  // empty when nothing needed it
  std::optional<platform::journal::GroupId> group;
};

// Shared with the thread that started the clean: it sets `cancel`, which the
// clean checks between items (never inside one); onProgress is called from the
// cleaning thread after each item.
struct CleanProgress {
  std::atomic<bool> cancel{false};
  std::function<void(std::size_t done, std::size_t total)> onProgress;
};

// The clean's group in the change journal: "Check a Drive: clean of drive E: (PUPIL-07)".
std::wstring CleanWhat(const ScanResult& scan);

// `selected` holds one flag per finding of `scan`, in order.
CleanReport Clean(const ScanResult& scan, std::span<const bool> selected, CleanProgress* progress = nullptr);

inline constexpr wchar_t kWindowUndoHint[] = L"To undo this clean, use Tools > Undo Changes.";

// The one message a front end shows or prints at the end of a clean. Each
// front end names its own way to undo it; empty leaves that line out.
std::wstring DescribeClean(const CleanReport& report, wchar_t drive, std::wstring_view undoHint = kWindowUndoHint);

}  // namespace repair::drive_check
