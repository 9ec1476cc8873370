#include "repair/drive_check_rows.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "repair/drive_check_words.h"

namespace repair {

namespace {

using drive_check::Finding;
using drive_check::FindingKind;
using drive_check::Proposal;

std::wstring Upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// "E:\Music.lnk" -> "E:\Music"; nothing when the name has no extension.
std::optional<std::wstring> WithoutExtension(const std::wstring& path) {
  const auto dot = path.find_last_of(L'.');
  const auto slash = path.find_last_of(L'\\');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash + 2)) return std::nullopt;
  return path.substr(0, dot);
}

// Names compared as the file system compares them.
int Compare(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) -
         CSTR_EQUAL;
}

std::multimap<std::wstring, std::wstring> FailuresByPath(const drive_check::CleanReport& report) {
  std::multimap<std::wstring, std::wstring> failures;
  for (const auto& failure : report.failures) failures.emplace(Upper(failure.path), failure.reason);
  return failures;
}

// What a finding's row looks like on the drive once its change was made.
bool SeenChanged(const Finding& finding) {
  const std::wstring path = L"\\\\?\\" + finding.path;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (finding.proposal == Proposal::MakeVisible) {
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  }
  return attributes == INVALID_FILE_ATTRIBUTES;
}

}  // namespace

void FindingRows::Reset(std::shared_ptr<const drive_check::ScanResult> scan, bool link) {
  scan_ = std::move(scan);
  cleaned_ = false;
  const std::size_t count = scan_ ? scan_->findings.size() : 0;
  checked_.assign(count, 0);
  linked_.assign(count, -1);
  outcome_.assign(count, std::wstring());
  if (!scan_) {
    order_.clear();
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const Finding& finding = scan_->findings[i];
    checked_[i] = finding.checked && finding.proposal != Proposal::LeaveAlone;
  }
  if (link) Link();
  sortColumn_ = RowColumn::Kind;
  ascending_ = true;
  Order();
}

// A shortcut or program named after a hidden item beside it stands in for
// that item. Stand-ins are few and hidden items may be a whole drive, so only
// a hidden item as long as some stand-in's name is upper-cased and looked up.
void FindingRows::Link() {
  const auto& findings = scan_->findings;
  std::unordered_map<std::wstring, std::uint32_t> stems;
  std::unordered_set<std::size_t> lengths;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const Finding& finding = findings[i];
    if (finding.proposal != Proposal::MoveToQuarantine ||
        (finding.kind != FindingKind::Shortcut && finding.kind != FindingKind::WormProgram)) {
      continue;
    }
    const auto stem = WithoutExtension(finding.path);
    if (stem && stems.emplace(Upper(*stem), static_cast<std::uint32_t>(i)).second) lengths.insert(stem->size());
  }
  for (std::size_t i = 0; !stems.empty() && i < findings.size(); ++i) {
    const Finding& finding = findings[i];
    if (finding.proposal != Proposal::MakeVisible || !lengths.contains(finding.path.size())) continue;
    const auto found = stems.find(Upper(finding.path));
    if (found == stems.end() || linked_[found->second] >= 0) continue;
    linked_[i] = static_cast<std::int32_t>(found->second);
    linked_[found->second] = static_cast<std::int32_t>(i);
  }
}

void FindingRows::Order() {
  order_.clear();
  if (!scan_) return;
  const auto& findings = scan_->findings;
  std::vector<std::uint8_t> rank(findings.size());
  for (std::size_t i = 0; i < findings.size(); ++i) {
    rank[i] = static_cast<std::uint8_t>(GroupRank(findings[i]));
    // Rows carried out by a clean leave the list.
    if (!cleaned_ || !outcome_[i].empty()) order_.push_back(static_cast<std::uint32_t>(i));
  }
  const auto key = [&](std::uint32_t i) -> const std::wstring& {
    switch (sortColumn_) {
      case RowColumn::Item:
        return findings[i].path;
      case RowColumn::Details:
        return findings[i].details;
      default:
        return outcome_[i];
    }
  };
  std::stable_sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
    if (rank[a] != rank[b]) return (rank[a] < rank[b]) == (ascending_ || sortColumn_ != RowColumn::Kind);
    if (sortColumn_ == RowColumn::Kind) return false;
    int order = 0;
    if (sortColumn_ == RowColumn::Proposed) {
      order = Compare(std::wstring(drive_check::ProposalCaption(findings[a].proposal)),
                      std::wstring(drive_check::ProposalCaption(findings[b].proposal)));
      if (order == 0) order = Compare(key(a), key(b));
    } else {
      order = Compare(key(a), key(b));
    }
    return ascending_ ? order < 0 : order > 0;
  });
}

void FindingRows::SortBy(RowColumn column) {
  ascending_ = column == sortColumn_ ? !ascending_ : true;
  sortColumn_ = column;
  Order();
}

const Finding& FindingRows::At(int row) const { return scan_->findings[FindingIndex(row)]; }

std::wstring FindingRows::Cell(int row, RowColumn column) const {
  if (row < 0 || row >= Count()) return {};
  const Finding& finding = At(row);
  switch (column) {
    case RowColumn::Kind: {
      // The group is named on its first row.
      const bool first = row == 0 || GroupRank(At(row - 1)) != GroupRank(finding);
      return first ? std::wstring(GroupCaption(finding)) : std::wstring();
    }
    case RowColumn::Item:
      return ShownPath(finding.path);
    case RowColumn::Proposed: {
      const std::wstring& outcome = outcome_[FindingIndex(row)];
      return outcome.empty() ? std::wstring(drive_check::ProposalCaption(finding.proposal)) : outcome;
    }
    default:
      return finding.details;
  }
}

std::optional<bool> FindingRows::Check(int row) const {
  if (row < 0 || row >= Count() || cleaned_ || At(row).proposal == Proposal::LeaveAlone) return std::nullopt;
  return checked_[FindingIndex(row)] != 0;
}

void FindingRows::SetChecked(int row, bool checked) {
  if (Check(row)) checked_[FindingIndex(row)] = checked ? 1 : 0;
}

int FindingRows::LinkedRow(int row) const {
  if (row < 0 || row >= Count()) return -1;
  const std::int32_t linked = linked_[FindingIndex(row)];
  if (linked < 0) return -1;
  const auto at = std::find(order_.begin(), order_.end(), static_cast<std::uint32_t>(linked));
  return at == order_.end() ? -1 : static_cast<int>(at - order_.begin());
}

std::wstring FindingRows::Details(int row) const {
  if (row < 0 || row >= Count()) return {};
  const std::size_t index = FindingIndex(row);
  const std::int32_t linked = linked_[index];
  std::wstring text = DetailsText(At(row), linked >= 0 ? scan_->findings[static_cast<std::size_t>(linked)].path : L"");
  if (!outcome_[index].empty()) {
    text += L"\r\n\r\nAfter the clean: " + outcome_[index] + L".";
  } else if (const auto check = Check(row); check && !*check) {
    text += L"\r\nIts row is not checked, so the clean leaves it as it is.";
  }
  return text;
}

std::wstring FindingRows::Tip(int row) const {
  if (row < 0 || row >= Count()) return {};
  return Cell(row, RowColumn::Item) + L"\r\n" + Cell(row, RowColumn::Proposed) + L": " + Cell(row, RowColumn::Details);
}

std::vector<bool> FindingRows::Selection() const {
  std::vector<bool> selection(checked_.size());
  for (std::size_t i = 0; i < checked_.size(); ++i) selection[i] = checked_[i] != 0;
  return selection;
}

std::size_t FindingRows::CheckedCount(Proposal proposal) const {
  std::size_t count = 0;
  for (std::size_t i = 0; i < checked_.size(); ++i) count += checked_[i] && scan_->findings[i].proposal == proposal;
  return count;
}

void FindingRows::ApplyClean(const drive_check::CleanReport& report, const std::vector<bool>& done) {
  if (!scan_) return;
  const auto failures = FailuresByPath(report);
  for (std::size_t i = 0; i < outcome_.size(); ++i) {
    if (i < done.size() && done[i]) continue;
    const auto failure = failures.find(Upper(scan_->findings[i].path));
    outcome_[i] = checked_[i] && failure != failures.end() ? L"Failed: " + failure->second : L"Left as it was";
  }
  cleaned_ = true;
  Order();
}

std::vector<bool> CarriedOut(const drive_check::ScanResult& scan, const std::vector<bool>& selection,
                             const drive_check::CleanReport& report) {
  std::vector<bool> done(scan.findings.size());
  if (report.cancelled || report.madeVisible + report.quarantined + report.renamed == 0) return done;
  const auto failures = FailuresByPath(report);
  for (std::size_t i = 0; i < done.size() && i < selection.size(); ++i) {
    const Finding& finding = scan.findings[i];
    if (!selection[i] || finding.proposal == Proposal::LeaveAlone || failures.count(Upper(finding.path))) continue;
    // Cancel stops between items: only what the drive shows changed was done.
    done[i] = !report.stopped || SeenChanged(finding);
  }
  return done;
}

}  // namespace repair
