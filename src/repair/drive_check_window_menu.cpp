// The Check a Drive window's findings list, row by row: its shortcut menu,
// and the details a double-click or Enter shows.
#include <algorithm>

#include "repair/drive_check_window.h"
#include "repair/drive_check_words.h"
#include "system/message_box.h"
#include "system/shell_request.h"

namespace repair {

namespace {

std::wstring FolderOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  return path.substr(0, slash + 1);  // "E:\Docs\", "E:\"
}

}  // namespace

std::vector<platform::PopupEntry> FrmCheckDrive::FindingMenu() {
  const std::vector<int> rows = LstFindings.Selected();
  if (rows.empty()) return {};
  bool mayCheck = false;
  bool mayUncheck = false;
  for (const int row : rows) {
    const auto check = rows_.Check(row);
    mayCheck = mayCheck || (check && !*check);
    mayUncheck = mayUncheck || (check && *check);
  }
  return {
      {L"Show &Details", [this] { ShowFindingDetails(); }, true, true},
      {L"&Check", [this] { SetChecks(true); }, mayCheck && !Busy()},
      {L"&Uncheck", [this] { SetChecks(false); }, mayUncheck && !Busy()},
      {},
      {L"&Open Containing Folder", [this] { OpenContainingFolder(); }, rows.size() == 1},
      {L"Copy &Path", [this] { CopyPaths(); }},
  };
}

// Only the rows that change are toggled, so that a linked row is asked about as on a click.
void FrmCheckDrive::SetChecks(bool checked) {
  if (Busy()) return;
  std::vector<int> change;
  for (const int row : LstFindings.Selected()) {
    if (const auto check = rows_.Check(row); check && *check != checked) change.push_back(row);
  }
  if (!change.empty()) Toggle(change);
}

void FrmCheckDrive::ShowFindingDetails() {
  int row = LstFindings.FocusedRow();
  if (row < 0 || row >= rows_.Count()) {
    const auto selected = LstFindings.Selected();
    if (selected.empty()) return;
    row = selected.front();
  }
  platform::MsgBox(rows_.Details(row), platform::MsgIcon::Information, L"Check a Drive");
}

// The folder is opened only while it is still a folder on the drive, never a
// file or a link put in its place since the scan: "open" would run a file.
void FrmCheckDrive::OpenContainingFolder() {
  const auto rows = LstFindings.Selected();
  if (rows.size() != 1) return;
  const std::wstring folder = FolderOf(rows_.At(rows.front()).path);
  const DWORD attributes = GetFileAttributesW((L"\\\\?\\" + folder).c_str());
  if (folder.empty() || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    platform::MsgBox(L"The folder " + ShownPath(folder) + L" is no longer there, so it was not opened.",
                     platform::MsgIcon::Exclamation);
    return;
  }
  platform::ShellOpen(folder);
}

void FrmCheckDrive::CopyPaths() {
  std::wstring text;
  for (const int row : LstFindings.Selected()) text += (text.empty() ? L"" : L"\r\n") + rows_.At(row).path;
  if (!text.empty() && !platform::CopyText(Hwnd(), text)) {
    platform::MsgBox(L"The path could not be copied: another program is using the clipboard.",
                     platform::MsgIcon::Exclamation);
  }
}

}  // namespace repair
