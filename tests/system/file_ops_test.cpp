#include "system/file_ops.h"

#include <gtest/gtest.h>

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
