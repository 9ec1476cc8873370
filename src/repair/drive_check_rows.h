// The rows of the Check a Drive window over one scan's findings: their order
// (grouped, sortable within a group), their check boxes, the stand-in linked
// to the hidden item it stands for, and how each row came out of a clean.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "repair/drive_check/clean.h"
#include "repair/drive_check/scan.h"

namespace repair {

enum class RowColumn { Kind, Item, Proposed, Details };

class FindingRows {
 public:
  // The findings of a scan, checked as the scan proposes; nothing when null.
  // Rows listed while the walk goes on are not linked: the result's rows are.
  void Reset(std::shared_ptr<const drive_check::ScanResult> scan, bool link = true);
  const std::shared_ptr<const drive_check::ScanResult>& Scan() const { return scan_; }
  int Count() const { return static_cast<int>(order_.size()); }
  const drive_check::Finding& At(int row) const;
  std::size_t FindingIndex(int row) const { return order_[static_cast<std::size_t>(row)]; }
  std::wstring Cell(int row, RowColumn column) const;
  // Nothing once the row has been through a clean.
  std::optional<bool> Check(int row) const;
  void SetChecked(int row, bool checked);
  // The row that the worm put in this one's place, or that this one stands in for; -1 when none.
  int LinkedRow(int row) const;
  std::wstring Details(int row) const;
  std::wstring Tip(int row) const;

  // Within each group by this column; the same column again turns the order round.
  void SortBy(RowColumn column);
  RowColumn SortColumn() const { return sortColumn_; }
  bool Ascending() const { return ascending_; }

  // One flag per finding of the scan, for the clean; and how many of each proposal are checked.
  std::vector<bool> Selection() const;
  std::size_t CheckedCount(drive_check::Proposal proposal) const;

  // After a clean: rows carried out leave the list; the others stay, said to
  // be left as they were or failed with the reason. `done` has a flag per finding.
  void ApplyClean(const drive_check::CleanReport& report, const std::vector<bool>& done);
  bool Cleaned() const { return cleaned_; }

 private:
  void Order();
  void Link();
  std::shared_ptr<const drive_check::ScanResult> scan_;
  std::vector<std::uint32_t> order_;  // row -> finding
  std::vector<std::uint8_t> checked_;  // per finding
  std::vector<std::int32_t> linked_;   // per finding: the linked finding, or -1
  std::vector<std::wstring> outcome_;  // per finding, after a clean: "Left as it was", "Failed: ..."
  RowColumn sortColumn_ = RowColumn::Kind;
  bool ascending_ = true;
  bool cleaned_ = false;
};

// Which checked findings a clean carried out: not among its failures, and,
// when it was stopped part way, seen changed on the drive.
std::vector<bool> CarriedOut(const drive_check::ScanResult& scan, const std::vector<bool>& selection,
                             const drive_check::CleanReport& report);

}  // namespace repair
