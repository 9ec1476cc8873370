// The one line each check gives when its scan ends, the same in the window and
// on the command line: counts in the right number, and no name left invisible.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "repair/computer_check/scan.h"
#include "repair/drive_check_words.h"
#include "support/text.h"

namespace {

namespace dc = repair::drive_check;
namespace cc = repair::computer_check;

dc::Finding DriveFinding(bool checked, dc::Proposal proposal) {
  dc::Finding finding;
  finding.checked = checked;
  finding.proposal = proposal;
  return finding;
}

TEST(ScanSummary, CountsInTheRightNumberOnBothChecks) {
  dc::ScanResult drive;
  drive.drive = L'E';
  drive.items = 1;
  EXPECT_EQ(repair::ScanSummary(drive), L"Nothing was found on drive E: among 1 item.");
  drive.items = 12345;
  drive.findings = {DriveFinding(true, dc::Proposal::MakeVisible)};
  EXPECT_EQ(repair::ScanSummary(drive), L"1 finding on drive E: among 12,345 items; 1 checked to be cleaned.");
  drive.findings.push_back(DriveFinding(false, dc::Proposal::MoveToQuarantine));
  drive.findings.push_back(DriveFinding(true, dc::Proposal::LeaveAlone));
  drive.unreadable = {L"E:\\\u00A0"};
  EXPECT_EQ(repair::ScanSummary(drive), L"3 findings on drive E: among 12,345 items; 1 checked to be cleaned. "
                                        L"1 folder could not be read, first E:\\[blank name: no-break space].");

  cc::ScanResult computer;
  computer.places = 1;
  EXPECT_EQ(cc::ScanSummary(computer), L"Nothing was found on this computer (1 place read).");
  computer.places = 2000;
  computer.findings.resize(1);
  EXPECT_EQ(cc::ScanSummary(computer), L"1 finding on this computer (2,000 places read).");
}

// Every name the rules call blank is shown as blank, named or not; direction marks are named.
TEST(ScanSummary, PathsShowWhatCannotBeSeen) {
  const struct {
    std::wstring path;
    std::wstring shown;
  } cases[] = {
      {L"E:\\\u3164\u3164", L"E:\\[blank name: Hangul filler \u00D72]"},
      {L"E:\\\u180E", L"E:\\[blank name: invisible character]"},
      {L"E:\\photo\u202Egpj.exe", L"E:\\photo[right-to-left override]gpj.exe"},
      {L"E:\\Music\\song.mp3", L"E:\\Music\\song.mp3"},
  };
  for (const auto& c : cases) EXPECT_EQ(repair::ShownPath(c.path), c.shown) << testing_support::Utf8(c.path);
}

}  // namespace
