#include <gtest/gtest.h>

#include "journal/journal.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"
#include "tweaks/security/set_password.h"

namespace {

using namespace testing_support;
namespace journal = platform::journal;

// Every byte the journal keeps: its file and every kept copy.
std::string JournalBytes(const std::wstring& folder) {
  std::string all;
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return all;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      all += JournalBytes(folder + name + L"\\");
    } else if (const auto bytes = ReadBytes(folder + name)) {
      all += *bytes;
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return all;
}

TEST(PasswordJournalTest, ThePasswordNeverReachesTheJournalOnlyThatItWasSetOrCleared) {
  DeleteKey(HKEY_CLASSES_ROOT, L".wab");
  ClearFolder(journal::Folder());
  const std::wstring password = L"Zebra-42-Quartz";
  MsgBoxRecorder boxes;
  for (const std::wstring& typed : {password, std::wstring()}) {
    auto& window = platform::Instance<tweaks::FrmSecOpt>();
    window.Show();
    window.TxtPass.SetText(typed);
    Click(window.CmdSavePass);
  }
  EXPECT_SZ(HKEY_CLASSES_ROOT, L".wab", L"RandomID", L"");

  const std::string bytes = JournalBytes(journal::Folder());
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.find(Utf8(password)), std::string::npos) << "the password in UTF-8";
  const std::string utf16(reinterpret_cast<const char*>(password.data()), password.size() * sizeof(wchar_t));
  EXPECT_EQ(bytes.find(utf16), std::string::npos) << "the password in UTF-16";
  std::string hex;
  for (const unsigned char b : utf16) {
    hex += "0123456789abcdef"[b >> 4];
    hex += "0123456789abcdef"[b & 15];
  }
  EXPECT_EQ(bytes.find(hex), std::string::npos) << "the password as the hex of its UTF-16 bytes";

  const journal::Listing listing = journal::Read();
  ASSERT_EQ(listing.groups.size(), 2u);
  EXPECT_EQ(Utf8(listing.groups[0].what), "Password cleared");
  EXPECT_EQ(Utf8(listing.groups[1].what), "Password set");
  ASSERT_EQ(listing.groups[1].items.size(), 1u);
  EXPECT_EQ(listing.groups[1].items[0].kind, journal::ItemKind::Note);

  const journal::GroupId ids[] = {listing.groups[1].id};
  const journal::UndoReport report = journal::Undo(ids, [](const journal::Group&) { return journal::OnConflict::Skip; });
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(Utf8(report.failures[0]), "Password set: not kept in the journal, so it cannot be undone");
  EXPECT_SZ(HKEY_CLASSES_ROOT, L".wab", L"RandomID", L"");
  platform::Form::EndProgram();
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  DeleteKey(HKEY_CLASSES_ROOT, L".wab");
}

}  // namespace
