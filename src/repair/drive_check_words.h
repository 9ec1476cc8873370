// What the Check a Drive window says about a finding, in a person's words:
// the group it is listed under, why it was found, what the clean will do, and
// its path with names that cannot be seen shown by a visible stand-in.
#pragma once

#include <string>
#include <string_view>

#include "repair/drive_check/scan.h"

namespace repair {

// Groups in the order they are listed: worm evidence of a kind before what is only unusual.
int GroupRank(const drive_check::Finding& finding);
std::wstring_view GroupCaption(const drive_check::Finding& finding);

// "E:\[blank name: no-break space]\file.txt": a name made only of invisible
// characters, and any character that turns text around, named in brackets.
std::wstring ShownPath(std::wstring_view path);

// The one line both front ends give once a scan has ended: findings, items
// seen, how many are checked to be cleaned, folders that could not be read.
std::wstring ScanSummary(const drive_check::ScanResult& scan);

// The details pane: the full path, why it was found, what it runs, what the clean will do.
std::wstring DetailsText(const drive_check::Finding& finding, std::wstring_view linkedPath);

}  // namespace repair
