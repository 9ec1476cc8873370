#include "system/system_text.h"

#include <gtest/gtest.h>

#include "support/drive_helpers.h"
#include "support/text.h"
#include "system/handle.h"

namespace {

using testing_support::Utf8;

TEST(SystemTextTest, NumbersAndSizesReadAsTheSystemWritesThem) {
  wchar_t separator[8] = L"?";
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
  const std::wstring sep = separator;
  const struct {
    std::uint64_t number;
    std::wstring grouped;
  } numbers[] = {
      {0, L"0"},
      {999, L"999"},
      {1000, L"1" + sep + L"000"},
      {1234567, L"1" + sep + L"234" + sep + L"567"},
      {18446744073709551615u, L"18" + sep + L"446" + sep + L"744" + sep + L"073" + sep + L"709" + sep + L"551" + sep +
                                  L"615"},
  };
  for (const auto& row : numbers) {
    EXPECT_EQ(platform::GroupDigits(row.number), row.grouped) << row.number;
  }

  const struct {
    std::uint64_t bytes;
    const wchar_t* shown;
  } sizes[] = {
      {0, L"0 bytes"},
      {532, L"532 bytes"},
      {1536, L"1.50 KB"},
      {10 * 1024 * 1024 + 300 * 1024, L"10.2 MB"},
      {std::uint64_t{3} << 40, L"3.00 TB"},
  };
  for (const auto& row : sizes) {
    EXPECT_EQ(platform::ByteSize(row.bytes), row.shown) << row.bytes;
  }
}

TEST(SystemTextTest, TimesHaveAReadableFormAndOneFitForFileNames) {
  const SYSTEMTIME time{2026, 12, 2, 8, 4, 3, 9, 0};
  EXPECT_EQ(platform::TimeText(time, platform::TimeStyle::Readable), L"2026-12-08 04:03:09");
  EXPECT_EQ(platform::TimeText(time, platform::TimeStyle::FileName), L"2026-12-08 040309");
  const std::wstring now = platform::LocalTime();
  EXPECT_EQ(now.size(), 19u) << Utf8(now);
  EXPECT_EQ(now.substr(0, 2), L"20") << Utf8(now);
}

TEST(SystemTextTest, NamesCompareAsTheFileSystemComparesThem) {
  const struct {
    const wchar_t* a;
    const wchar_t* b;
    bool same;
  } names[] = {
      {L"autorun.inf", L"AUTORUN.INF", true},
      {L"Fotos \u00fc\u00ef", L"FOTOS \u00dc\u00cf", true},  // beyond ASCII, as NTFS folds it
      {L"\u0394\u03b5\u03bb\u03c4\u03b1", L"\u0394\u0395\u039b\u03a4\u0391", true},
      {L"autorun.inf", L"autorun.in", false},
      {L"", L"", true},
      {L"a", L"", false},
      {L"stra\u00dfe", L"STRASSE", false},  // ordinal: no linguistic expansion
  };
  for (const auto& row : names) {
    EXPECT_EQ(platform::SameName(row.a, row.b), row.same) << Utf8(row.a) << " / " << Utf8(row.b);
    EXPECT_EQ(platform::NameKey(row.a) == platform::NameKey(row.b), row.same)
        << "keys of " << Utf8(row.a) << " / " << Utf8(row.b);
  }
  EXPECT_TRUE(platform::StartsWithName(L"unc\\server", L"UNC"));
  EXPECT_FALSE(platform::StartsWithName(L"UN", L"UNC"));
  EXPECT_TRUE(platform::EndsWithName(L"x.LNK", L".lnk"));
  EXPECT_FALSE(platform::EndsWithName(L"lnk", L".lnk"));
}

// The one reading of a typed drive letter, which both front ends' repairs and the check use.
TEST(SystemTextTest, OnlyALetterNamesADrive) {
  const struct {
    const wchar_t* text;
    wchar_t letter;
  } cases[] = {
      {L"e", L'E'}, {L"E", L'E'}, {L"z:", L'Z'}, {L"A:", L'A'},  {L"", 0},     {L":", 0},     {L"EF", 0},
      {L"E:\\", 0}, {L"1", 0},    {L"\\:", 0}, {L".", 0}, {L"\u00e9", 0}, {L"@", 0}, {L"[", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::DriveLetterOf(c.text), c.letter) << Utf8(c.text);
  }
}

// The handle owner closes on every path: a file opened without sharing opens
// again only once its owner has let go of it.
TEST(HandleTest, ClosesWhenItsOwnerGoes) {
  const std::wstring path = testing_support::OnDrive(testing_support::kDrive, L"held.bin");
  auto open = [&] {
    return platform::Handle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
  };
  {
    platform::Handle first = open();
    ASSERT_TRUE(first);
    EXPECT_FALSE(open()) << "the first owner still holds the file";
    platform::Handle moved = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_FALSE(open()) << "a move hands the file over without closing it";
    EXPECT_TRUE(moved.Close());
    EXPECT_TRUE(open()) << "closed by Close()";
    moved = open();
    ASSERT_TRUE(moved);
  }
  EXPECT_TRUE(open()) << "closed by the destructor";
  EXPECT_FALSE(platform::Handle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(platform::Handle(nullptr));
  DeleteFileW(path.c_str());
}

}  // namespace

namespace {

// Labels and journal lines are written by others: one line, no turned-round text, bounded.
TEST(SystemTextTest, TextFromOthersIsShownOnOneLine) {
  const struct {
    std::wstring text;
    std::size_t limit;
    std::wstring shown;
  } rows[] = {
      {L"PUPIL-07", 32, L"PUPIL-07"},
      {L"PUPIL\t-07\r\n", 32, L"PUPIL-07"},
      {L"photo\u202Egpj.exe", 32, L"photogpj.exe"},
      {L"a\u2066b\u2069c\u200Fd\u0085e\u007Ff\u2028g", 32, L"abcdefg"},
      {L"\u00C9t\u00E9 \u00E0 l'\u00E9cole", 32, L"\u00C9t\u00E9 \u00E0 l'\u00E9cole"},
      {std::wstring(40, L'x'), 32, std::wstring(32, L'x')},
      {L"\x01\x02" + std::wstring(32, L'y'), 32, std::wstring(32, L'y')},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Utf8(platform::Printable(row.text, row.limit)), Utf8(row.shown)) << Utf8(row.text);
  }
}

}  // namespace
