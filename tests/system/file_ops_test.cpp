#include "system/file_ops.h"

#include <gtest/gtest.h>

#include "journal/journal.h"
#include "support/drive_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
using platform::FileError;

class FileOpsTest : public testing::Test {
 protected:
  void SetUp() override { ClearDrive(kDrive); }
  void TearDown() override { ClearDrive(kDrive); }
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
};

TEST_F(FileOpsTest, SetsAttributesOnFilesAndFoldersAndFailsWhenNothingIsThere) {
  WriteBytes(autorun, "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  platform::SetAttr(autorun, platform::kAttrHiddenSystem);
  EXPECT_EQ(Attributes(autorun), DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
  platform::SetAttr(autorun, platform::kAttrNormal);
  EXPECT_EQ(Attributes(autorun), 0u);

  const std::wstring folder = OnDrive(kDrive, L"folder");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  platform::SetAttr(folder, platform::kAttrHiddenSystem);
  EXPECT_EQ(Attributes(folder), DWORD{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});

  for (const std::wstring& nothing : {OnDrive(kDrive, L"absent.inf"), OnDrive(kMissingDrive, L"autorun.inf"),
                                      std::wstring(L"")}) {
    EXPECT_THROW(platform::SetAttr(nothing, platform::kAttrNormal), FileError);
  }
  EXPECT_THROW(platform::SetAttr(OnDrive(kReadOnlyDrive, L"autorun.inf"), platform::kAttrNormal), FileError)
      << "a write-protected drive refuses attribute changes";
}

TEST_F(FileOpsTest, WritesAQuotedEmptyFieldAndLinesExactly) {
  WriteBytes(autorun, "[autorun]\r\nopen=virus.exe\r\n");
  {
    platform::OutputFile file(autorun);
    file.WriteQuoted(L"");
    file.Close();
  }
  EXPECT_EQ(ReadBytes(autorun), std::string("\"\"\r\n"));
  {
    platform::OutputFile file(autorun);
    file.PrintLine(L"[Autorun]");
    file.PrintLine(L"icon=icon.ico");
  }  // closed by its destructor
  EXPECT_EQ(ReadBytes(autorun), std::string("[Autorun]\r\nicon=icon.ico\r\n"));
}

TEST_F(FileOpsTest, OpeningForOutputFailsWhereNothingCanBeWritten) {
  const std::wstring folder = OnDrive(kDrive, L"autorun.inf");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_THROW(platform::OutputFile{folder}, FileError) << "a folder where the file should be";
  EXPECT_THROW(platform::OutputFile{OnDrive(kMissingDrive, L"autorun.inf")}, FileError);
  EXPECT_THROW(platform::OutputFile{OnDrive(kReadOnlyDrive, L"autorun.inf")}, FileError);
  EXPECT_EQ(ReadBytes(OnDrive(kReadOnlyDrive, L"autorun.inf")), std::string("[autorun]\r\nopen=virus.exe\r\n"));
}

TEST_F(FileOpsTest, AFileOpenedForWritingIsClosedOnEveryPath) {
  try {
    platform::OutputFile file(autorun);
    file.WriteQuoted(L"");
    throw std::runtime_error("a failure between open and close");
  } catch (const std::runtime_error&) {
  }
  // Opened without sharing, the file could not be opened again had it been left open.
  const HANDLE again = CreateFileW(autorun.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

TEST_F(FileOpsTest, CopiesOverAWritableFileAndDeletes) {
  const std::wstring source = OnDrive(kDrive, L"source.ico");
  const std::wstring target = OnDrive(kDrive, L"icon.ico");
  WriteBytes(source, "new icon");
  WriteBytes(target, "old icon");
  platform::CopyOver(source, target);
  EXPECT_EQ(ReadBytes(target), std::string("new icon"));
  EXPECT_THROW(platform::CopyOver(OnDrive(kDrive, L"absent.ico"), target), FileError);
  EXPECT_THROW(platform::CopyOver(source, OnDrive(kMissingDrive, L"icon.ico")), FileError);
  EXPECT_THROW(platform::CopyOver(source, OnDrive(kReadOnlyDrive, L"icon.ico")), FileError);
  platform::DeleteOne(target);
  EXPECT_FALSE(Exists(target));
  EXPECT_THROW(platform::DeleteOne(target), FileError);
}

// A move or rename the system refuses stays in the journal only as "not made",
// so undo never reports a failure for a change that never happened.
TEST_F(FileOpsTest, MovesAndRenamesThatFailAreMarkedNotMade) {
  namespace journal = platform::journal;
  ClearFolder(journal::Folder());
  const std::wstring moved = OnDrive(kDrive, L"moved.txt");
  const std::wstring held = OnDrive(kReadOnlyDrive, L"autorun.inf");
  const std::wstring taken = OnDrive(kDrive, L"taken.inf");
  WriteBytes(autorun, "payload", FILE_ATTRIBUTE_HIDDEN);
  WriteBytes(moved, "in the way");
  journal::GroupId group = 0;
  {
    journal::Action action(L"file_ops test");
    EXPECT_THROW(platform::Rename(autorun, moved), FileError) << "the new name is taken";
    EXPECT_THROW(platform::Move(held, taken), FileError) << "a read-only drive keeps its file";
    platform::Rename(autorun, OnDrive(kDrive, L"renamed.inf"));
    group = action.Id();
  }
  EXPECT_EQ(ReadBytes(held), std::string("[autorun]\r\nopen=virus.exe\r\n"));
  EXPECT_FALSE(Exists(taken)) << "the copy of a file that stayed is not left behind";
  EXPECT_EQ(ReadBytes(OnDrive(kDrive, L"renamed.inf")), std::string("payload"));

  const journal::GroupId ids[] = {group};
  const journal::Listing listing = journal::ReadItemsOf(ids);
  ASSERT_FALSE(listing.groups.empty());
  std::size_t acted = 0;
  for (const journal::Item& item : listing.groups.front().items) {
    if (item.kind == journal::ItemKind::Note && item.path.empty()) continue;  // not made
    EXPECT_EQ(item.kind, journal::ItemKind::Rename) << Utf8(item.path);
    ++acted;
  }
  EXPECT_EQ(acted, 1u) << "only the rename that happened is left to undo";
  ClearFolder(journal::Folder());
}

TEST(ProgramFolderTest, IsTheFolderOfTheRunningProgram) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring folder = platform::ProgramFolder();
  EXPECT_EQ(std::wstring(path).rfind(folder + L"\\", 0), 0u);
  EXPECT_EQ(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD{FILE_ATTRIBUTE_DIRECTORY});

  // "C:" would name the drive's current folder, which a file dialog opens instead of the root.
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\korvane.exe", L"C:\\"}, {L"E:/korvane.exe", L"E:/"}, {L"C:\\Tools\\korvane.exe", L"C:\\Tools"}};
  for (const auto& [file, expected] : cases) EXPECT_EQ(platform::FolderOf(file), expected) << Utf8(file);
}

}  // namespace
