#include "integration/registration.h"
#include "repair/undo_scope.h"

#include <gtest/gtest.h>

#include "journal/journal.h"
#include "support/registry_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
using integration::Found;
using integration::Place;
namespace journal = platform::journal;

const std::wstring kVerb = L"Software\\Classes\\Drive\\shell\\KorvaneCheck";
const std::wstring kProgId = L"Software\\Classes\\Korvane.DriveCheck";
const std::wstring kAutoPlay = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
const std::wstring kHandler = kAutoPlay + L"\\Handlers\\KorvaneCheck";
const std::wstring kEvents[] = {kAutoPlay + L"\\EventHandlers\\StorageOnArrival",
                                kAutoPlay + L"\\EventHandlers\\MixedContentOnArrival",
                                kAutoPlay + L"\\EventHandlers\\UnknownContentOnArrival"};
const std::wstring kProgram = L"C:\\Tools\\Korvane 2\\korvane.exe";
const std::wstring kCommand = L"\"C:\\Tools\\Korvane 2\\korvane.exe\" --check %1";
const std::wstring kIcon = L"C:\\Tools\\Korvane 2\\korvane.exe,0";

struct Expected {
  std::wstring key;
  std::wstring name;
  std::wstring text;
};

// Written here from what Windows reads, not from the program's own table.
const std::vector<Expected> kMenu = {
    {kVerb, L"", L"Check with Korvane"}, {kVerb, L"Icon", kIcon}, {kVerb + L"\\command", L"", kCommand}};
const std::vector<Expected> kAutoPlayValues = {
    {kProgId + L"\\shell\\check", L"", L"Check with Korvane"},
    {kProgId + L"\\shell\\check\\command", L"", kCommand},
    {kHandler, L"Action", L"Check with Korvane"},
    {kHandler, L"Provider", L"Korvane"},
    {kHandler, L"DefaultIcon", kIcon},
    {kHandler, L"InvokeProgID", L"Korvane.DriveCheck"},
    {kHandler, L"InvokeVerb", L"check"},
    {kEvents[0], L"KorvaneCheck", L""},
    {kEvents[1], L"KorvaneCheck", L""},
    {kEvents[2], L"KorvaneCheck", L""}};

class RegistrationTest : public testing::Test {
 protected:
  void SetUp() override {
    repair::AllowUndoOfKorvanesPlaces();
    Clean();
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    for (const std::wstring& key : {kVerb, kProgId, kHandler}) DeleteKey(kHkcu, key);
    for (const std::wstring& key : kEvents) DeleteValue(kHkcu, key, L"KorvaneCheck");
    DeleteValue(kHkcu, kEvents[0], L"SomeoneElse");
    DeleteValue(kHkcu, L"Software\\Classes\\Drive\\shell", L"Sentinel");
  }
  static void Seed(const std::vector<Expected>& values) {
    for (const Expected& value : values) WriteSz(kHkcu, value.key, value.name, value.text);
  }
  static void ExpectStored(const std::vector<Expected>& values) {
    for (const Expected& value : values) {
      const auto stored = ReadRaw(kHkcu, value.key, value.name);
      EXPECT_TRUE(stored && stored->type == REG_SZ && stored->bytes == SzBytes(value.text))
          << Utf8(value.key) << "\\" << Utf8(value.name) << " holds " << Describe(stored);
    }
  }
  static void UndoNewest() {
    const journal::Listing listing = journal::Read();
    ASSERT_FALSE(listing.groups.empty());
    const journal::GroupId ids[] = {listing.groups.front().id};
    const auto report = journal::Undo(ids, [](const journal::Group&) { return journal::OnConflict::UndoAnyway; });
    EXPECT_TRUE(report.failures.empty()) << Utf8(report.failures.empty() ? L"" : report.failures.front());
  }
};

std::vector<Expected> Pointing(std::vector<Expected> values, const std::wstring& program) {
  for (Expected& value : values) {
    if (const auto at = value.text.find(kProgram); at != std::wstring::npos) value.text.replace(at, kProgram.size(), program);
  }
  return values;
}

integration::Request Asking(Place place, bool on) {
  return place == Place::Menu ? integration::Request{.menu = on} : integration::Request{.autoPlay = on};
}

TEST_F(RegistrationTest, EachRegistrationIsWrittenAndRemovedByteForByteAndUndoPutsBackWhatWasThere) {
  const struct {
    Place place;
    const std::vector<Expected>* values;
    std::vector<std::wstring> ownKeys;
  } cases[] = {{Place::Menu, &kMenu, {kVerb}}, {Place::AutoPlay, &kAutoPlayValues, {kProgId, kHandler}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(integration::NameOf(c.place)));
    // Someone else's values beside ours, and another copy's registration in place.
    WriteSz(kHkcu, kEvents[0], L"SomeoneElse", L"kept");
    WriteSz(kHkcu, L"Software\\Classes\\Drive\\shell", L"Sentinel", L"kept");
    const auto other = Pointing(*c.values, L"D:\\Old\\korvane.exe");
    Seed(other);
    EXPECT_EQ(integration::ReadState(c.place, kProgram).found, Found::Stale);
    EXPECT_TRUE(integration::Save(Asking(c.place, true), kProgram).refused.empty());
    ExpectStored(*c.values);
    EXPECT_TRUE(integration::ReadState(c.place, kProgram).On());
    UndoNewest();
    ExpectStored(other);

    integration::Save(Asking(c.place, true), kProgram);
    const integration::SaveReport removed = integration::Save(Asking(c.place, false), kProgram);
    EXPECT_TRUE(removed.changed && removed.refused.empty());
    for (const Expected& value : *c.values) EXPECT_FALSE(ReadRaw(kHkcu, value.key, value.name)) << Utf8(value.key);
    for (const std::wstring& key : c.ownKeys) EXPECT_FALSE(KeyExists(kHkcu, key)) << Utf8(key);
    EXPECT_SZ(kHkcu, kEvents[0], L"SomeoneElse", L"kept");
    EXPECT_SZ(kHkcu, L"Software\\Classes\\Drive\\shell", L"Sentinel", L"kept");
    EXPECT_EQ(integration::ReadState(c.place, kProgram).found, Found::Absent);
    UndoNewest();
    ExpectStored(*c.values);
    Clean();
  }
}

TEST_F(RegistrationTest, StateOnLoadNamesWhatTheRegistrationRuns) {
  const struct {
    const wchar_t* command;  // the drive menu's command, or nullptr for none
    std::size_t seeded;  // how many of the menu's other values are there
    Found found;
    const wchar_t* runs;
  } cases[] = {
      {nullptr, 0, Found::Absent, L""},
      {kCommand.c_str(), 2, Found::ThisCopy, L""},
      {kCommand.c_str(), 1, Found::Incomplete, L""},
      {nullptr, 1, Found::Incomplete, L""},
      {L"\"C:\\windows\\system32\\cmd.exe\" --check %1", 2, Found::OtherCopy, L"C:\\windows\\system32\\cmd.exe"},
      {L"\"C:\\Gone\\korvane.exe\" --check %1", 2, Found::Stale, L"C:\\Gone\\korvane.exe"},
      {L"C:\\Gone\\korvane.exe --check %1", 2, Found::Stale, L"C:\\Gone\\korvane.exe"},
      // A server's path is never looked at, so it cannot read as stale.
      {L"\"\\\\server\\share\\korvane.exe\" --check %1", 2, Found::OtherCopy, L"\\\\server\\share\\korvane.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command ? Utf8(c.command) : "no command");
    Clean();
    Seed({kMenu.begin(), kMenu.begin() + static_cast<std::ptrdiff_t>(c.seeded)});
    if (c.command) WriteSz(kHkcu, kVerb + L"\\command", L"", c.command);
    const integration::State state = integration::ReadState(Place::Menu, kProgram);
    EXPECT_EQ(state.found, c.found);
    EXPECT_EQ(Utf8(state.program), Utf8(c.runs));
    const std::wstring said = integration::Describe(Place::Menu, state);
    EXPECT_EQ(said.empty(), c.found == Found::Absent || c.found == Found::ThisCopy) << Utf8(said);
    EXPECT_NE(said.find(c.runs), std::wstring::npos) << Utf8(said);
  }
}

TEST_F(RegistrationTest, ARefusedKeyIsNamedAndNothingAfterItIsWritten) {
  const ScopedRefusal refusal(kHkcu, kHandler);
  const integration::SaveReport report = integration::Save({.autoPlay = true}, kProgram);
  ASSERT_EQ(report.refused.size(), 1u);
  EXPECT_EQ(Utf8(report.refused[0]), Utf8(L"HKCU\\" + kHandler + L"\\Action"));
  EXPECT_FALSE(integration::ReadState(Place::AutoPlay, kProgram).On());
  for (const std::wstring& key : kEvents) EXPECT_NO_VALUE(kHkcu, key, L"KorvaneCheck");
}

}  // namespace
