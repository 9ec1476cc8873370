// Carries out the chosen findings of a computer check as one group of the
// change journal, and later takes a second look at what it changed.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal.h"
#include "repair/computer_check/scan.h"

namespace repair::computer_check {

struct CleanFailure {
  std::wstring item;
  std::wstring reason;
};

// Something the clean changed, and what it left there.
struct Changed {
  std::wstring item;  // for a person
  RegStep value;      // a registry value, as the clean left it (no `after`: deleted)
  std::wstring file;  // or a file taken from this path
};

struct CleanReport {
  bool cancelled = false;  // the journal could not be written and the person chose not to go on
  std::size_t valuesChanged = 0;  // deleted or set back
  std::size_t quarantined = 0;
  std::size_t tasksDisabled = 0;
  std::size_t processesEnded = 0;
  std::vector<CleanFailure> failures;  // refused or failed: nothing of the finding is counted as done
  std::wstring quarantineFolder;
  std::optional<platform::journal::GroupId> group;
  std::vector<Changed> changed;
};

// `selected` holds one flag per finding of `scan`, in order.
CleanReport Clean(const ScanResult& scan, std::span<const bool> selected);

// The one message a front end shows or prints at the end of a clean.
// What a drive clean's closing message adds when this computer still runs a
// worm: the next stick plugged in would be infected again. Empty when it does not.
std::wstring StillInfectedNote(std::wstring_view openCheck);

// `undoHint` says how this front end undoes the clean ("use Tools > Undo Changes", "korvane undo 12").
std::wstring DescribeClean(const CleanReport& report, std::wstring_view undoHint);

// After `wait`, what the clean changed that something has put back since.
std::vector<Changed> SecondLook(const CleanReport& report, std::chrono::milliseconds wait);
std::wstring DescribeSecondLook(const std::vector<Changed>& back);

}  // namespace repair::computer_check
