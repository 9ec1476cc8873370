#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "repair_messages.h"
#include "shell/main_window.h"
#include "support/drive_helpers.h"
#include "support/process_start.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"
#include "tweaks/appearance/appearance_page.h"

namespace {

using namespace testing_support;
using namespace reliability_test;
using platform::Instance;

// Started with this switch the test program only holds the file named after it,
// opened without sharing, until its parent lets go: "--hold-file=<event>*<path>".
constexpr wchar_t kHoldSwitch[] = L"--hold-file=";

// Runs before the tests are set up, so the helper never starts them.
const bool kHelperRan = [] {
  const std::wstring line = GetCommandLineW();
  const auto at = line.find(kHoldSwitch);
  if (at == std::wstring::npos) return false;
  std::wstring rest = line.substr(at + std::wcslen(kHoldSwitch));
  while (!rest.empty() && (rest.back() == L'"' || rest.back() == L' ')) rest.pop_back();
  const auto star = rest.find(L'*');
  if (star == std::wstring::npos) ExitProcess(3);
  const std::wstring event = rest.substr(0, star);
  const std::wstring path = rest.substr(star + 1);
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                  nullptr);
  if (file == INVALID_HANDLE_VALUE) ExitProcess(2);
  const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, (event + L"-ready").c_str());
  const HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, (event + L"-release").c_str());
  if (!ready || !release) ExitProcess(4);
  SetEvent(ready);
  WaitForSingleObject(release, 60000);
  CloseHandle(file);
  ExitProcess(0);
}();

// Holds a file in a child process from construction to destruction.
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& path) {
    static int count = 0;
    const std::wstring event = L"KorvaneHeld-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
    ready_ = CreateEventW(nullptr, TRUE, FALSE, (event + L"-ready").c_str());
    release_ = CreateEventW(nullptr, TRUE, FALSE, (event + L"-release").c_str());
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" " + kHoldSwitch + event + L"*" + path;
    STARTUPINFOW startup{sizeof startup};
    if (!testing_support::StartProcess(exe, command.data(), FALSE, 0, nullptr, &startup, &child_)) return;
    const HANDLE waits[] = {ready_, child_.hProcess};
    holding_ = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
  }
  ~HeldFile() {
    SetEvent(release_);
    if (child_.hProcess) {
      WaitForSingleObject(child_.hProcess, 30000);
      CloseHandle(child_.hProcess);
      CloseHandle(child_.hThread);
    }
    CloseHandle(ready_);
    CloseHandle(release_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool Holding() const { return holding_; }

 private:
  HANDLE ready_ = nullptr;
  HANDLE release_ = nullptr;
  PROCESS_INFORMATION child_{};
  bool holding_ = false;
};

// Takes a test drive's folder away, so that its letter names nothing, and puts
// it back. The run's drive links live in the prefix, two folders below the run.
class MissingDrive {
 public:
  explicit MissingDrive(wchar_t drive) { Find(drive); TakeAway(); }
  void Find(wchar_t drive) {
    const char* devices = std::getenv("KORVANE_TEST_DOSDEVICES");
    if (!devices) return;
    std::wstring run = L"Z:";
    for (const char* c = devices; *c; ++c) run += static_cast<wchar_t>(*c == '/' ? '\\' : *c);
    run += L"\\..\\..\\";
    wchar_t full[MAX_PATH];
    GetFullPathNameW(run.c_str(), MAX_PATH, full, nullptr);
    folder_ = std::wstring(full) + L"drive_" + static_cast<wchar_t>(drive | 0x20);
    away_ = folder_ + L".away";
  }
  ~MissingDrive() { Restore(); }
  MissingDrive(const MissingDrive&) = delete;
  MissingDrive& operator=(const MissingDrive&) = delete;
  bool Gone() const { return gone_; }
  MissingDrive() = default;
  void TakeAway() {
    if (!gone_ && !folder_.empty()) gone_ = MoveFileW(folder_.c_str(), away_.c_str()) != FALSE;
  }
  void Restore() {
    if (gone_) gone_ = MoveFileW(away_.c_str(), folder_.c_str()) == FALSE;
  }

 private:
  std::wstring folder_;
  std::wstring away_;
  bool gone_ = false;
};


const std::string kEmptied = "\"\"\r\n";
constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

class HeldFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    ClearDrive(kDrive);
    auto& main = Instance<shell::FrmMain>();
    main.Show();
    main.TabMain.SetTab(2);
    Pump();
  }
  void TearDown() override {
    EndAllForms();
    ClearDrive(kDrive);
  }
  repair::FixPage& Page() { return Instance<shell::FrmMain>().fix; }
  Shown Repair(wchar_t drive) {
    Page().TxtDriveletter.SetText(std::wstring(1, drive));
    messages.Clear();
    Click(Page().CmdFixAuto);
    return messages.Shown();
  }
  Shown Restore(const std::wstring& path) {
    Page().TxtResPath.Focus();
    Page().TxtResPath.SetText(path);
    messages.Clear();
    Click(Page().CmdRestore);
    return messages.Shown();
  }

  MsgBoxRecorder messages;
};

TEST_F(HeldFilesTest, HelperHoldsTheFileAgainstEveryone) {
  const std::wstring path = OnDrive(kDrive, L"held.txt");
  WriteBytes(path, "data");
  {
    const HeldFile held(path);
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(ReadBytes(path), std::nullopt) << "the helper must hold the file without sharing";
  }
  EXPECT_EQ(ReadBytes(path), std::string("data"));
}

// The repair writes autorun.inf in place: it is either the emptied four bytes
// or what it was; a refusal to open it for writing leaves its content as it was.
TEST_F(HeldFilesTest, DriveRepairThatCannotWriteLeavesAutorunWholeAndSaysSo) {
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
  {
    WriteBytes(autorun, kInfected, kHidden | FILE_ATTRIBUTE_READONLY);
    const HeldFile held(autorun);
    ASSERT_TRUE(held.Holding());
    EXPECT_EQ(Repair(kDrive), kNothingFound) << "autorun.inf held by another process";
  }
  EXPECT_EQ(ReadBytes(autorun), kInfected);

  ClearDrive(kDrive);
  ASSERT_TRUE(CreateDirectoryW(autorun.c_str(), nullptr));
  WriteBytes(autorun + L"\\inside.txt", "keep");
  EXPECT_EQ(Repair(kDrive), kNothingFound) << "autorun.inf is a folder";
  EXPECT_EQ(Attributes(autorun) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(ReadBytes(autorun + L"\\inside.txt"), std::string("keep"));

  const std::wstring protectedFile = OnDrive(kReadOnlyDrive, L"autorun.inf");
  EXPECT_EQ(Repair(kReadOnlyDrive), kNothingFound) << "write-protected drive";
  EXPECT_EQ(ReadBytes(protectedFile), kInfected);

  ClearDrive(kDrive);
  WriteBytes(autorun, kInfected, kHidden);
  {
    MissingDrive missing(kDrive);
    ASSERT_TRUE(missing.Gone());
    EXPECT_FALSE(Exists(RootPath(kDrive)));
    EXPECT_EQ(Repair(kDrive), kNothingFound) << "drive gone";
  }
  EXPECT_EQ(ReadBytes(autorun), kInfected) << "drive back";
  EXPECT_EQ(Repair(kDrive).size(), 3u) << "drive back";
  EXPECT_EQ(ReadBytes(autorun), kEmptied);
}

TEST_F(HeldFilesTest, RestoreOfAHeldOrVanishedItemEndsInItsMessage) {
  const std::wstring file = OnDrive(kDrive, L"hidden.txt");
  WriteBytes(file, "data", kHidden);
  {
    const HeldFile held(file);
    ASSERT_TRUE(held.Holding());
    // Attributes are not the file's data: another program's hold does not keep them.
    EXPECT_EQ(Restore(file), Shown{kRestored});
    EXPECT_EQ(Attributes(file), 0u);
  }
  EXPECT_EQ(ReadBytes(file), std::string("data"));

  SetFileAttributesW(file.c_str(), kHidden);
  {
    MissingDrive missing(kDrive);
    ASSERT_TRUE(missing.Gone());
    EXPECT_EQ(Restore(file), Shown{kInvalidPath});
    EXPECT_EQ(Page().TxtResPath.Text(), L"");
  }
  EXPECT_EQ(Attributes(file), kHidden);
}

}  // namespace

namespace {

const std::string kQuestion = "[Korvane] \"Are you sure you wish to restore defaults\" Exclamation Yes/No";
const std::string kNoIcon = "[Korvane] \"No icon was found to restore\" Exclamation OK";
const std::string kIconInvalid = "[Korvane] \"Invalid Path\" Exclamation OK";
const std::string kNotWritten =
    "[Error] \"The icon was copied, but autorun.inf could not be written to the drive.\" Exclamation OK";

enum class Hostile { HeldAutorun, HeldIcon, AutorunFolder, IconFolder, WriteProtected, DriveGone };

struct IconCase {
  const char* name;
  Hostile hostile;
  bool restore;  // else assign
  Shown shown;
  std::optional<std::string> autorunAfter;  // on the drive that was worked on
  std::optional<std::string> iconAfter;
};

std::string Name(const testing::TestParamInfo<IconCase>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

class HeldIconFilesTest : public HeldFilesTest, public testing::WithParamInterface<IconCase> {};

// Whatever stands in the way, the tool ends in its message, autorun.inf is
// either its old self or whole in its new form, and icon.ico is not lost.
TEST_P(HeldIconFilesTest, EndsInItsMessageAndLeavesNothingHalfWritten) {
  const IconCase& c = GetParam();
  const std::wstring source = OnDrive(kSecondDrive, L"source.ico");
  ClearDrive(kSecondDrive);
  WriteBytes(source, "new icon");
  const std::wstring autorun = OnDrive(kDrive, L"autorun.inf");
  const std::wstring icon = OnDrive(kDrive, L"icon.ico");
  if (c.hostile == Hostile::AutorunFolder) {
    ASSERT_TRUE(CreateDirectoryW(autorun.c_str(), nullptr));
  } else {
    WriteBytes(autorun, kInfected, kHidden);
  }
  if (c.hostile == Hostile::IconFolder) {
    ASSERT_TRUE(CreateDirectoryW(icon.c_str(), nullptr));
  } else {
    WriteBytes(icon, "old icon");
  }

  auto& page = ShowForm<tweaks::FrmAppTweaks>();
  const wchar_t drive = c.hostile == Hostile::WriteProtected ? kReadOnlyDrive : kDrive;
  page.icon.txticondrive.SetText(std::wstring(1, drive));
  page.icon.TxtIconpath.SetText(source);
  messages.Clear();
  {
    std::unique_ptr<HeldFile> held;
    if (c.hostile == Hostile::HeldAutorun) held = std::make_unique<HeldFile>(autorun);
    if (c.hostile == Hostile::HeldIcon) held = std::make_unique<HeldFile>(icon);
    if (held) {
      ASSERT_TRUE(held->Holding());
    }
    std::unique_ptr<MissingDrive> missing;
    if (c.hostile == Hostile::DriveGone) {
      missing = std::make_unique<MissingDrive>();
      missing->Find(kDrive);
      // Before a restore the drive goes at once; an assignment loses it while its first message is up.
      if (c.restore) missing->TakeAway();
      messages.OnShow([&missing](const platform::MsgBoxCall&) { missing->TakeAway(); });
    }
    Click(c.restore ? page.icon.cmdiconrestore : page.icon.cmdiconok);
    if (missing) {
      EXPECT_TRUE(missing->Gone()) << "the drive must have gone";
    }
  }
  messages.OnShow(nullptr);
  EXPECT_EQ(messages.Shown(), c.shown);
  const wchar_t worked = drive;
  EXPECT_EQ(ReadBytes(OnDrive(worked, L"autorun.inf")), c.autorunAfter);
  if (worked == kDrive) {
    EXPECT_EQ(ReadBytes(icon), c.iconAfter);
  }
  if (c.hostile == Hostile::AutorunFolder) {
    EXPECT_EQ(Attributes(autorun) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  }
  ClearDrive(kSecondDrive);
}

const std::optional<std::string> kFolder;  // a folder reads as nothing

INSTANTIATE_TEST_SUITE_P(
    Drive, HeldIconFilesTest,
    testing::Values(
        IconCase{"assign, icon.ico held", Hostile::HeldIcon, false, {kIconInvalid}, kInfected, "old icon"},
        IconCase{"assign, autorun.inf held", Hostile::HeldAutorun, false, {kNotWritten}, kInfected, "new icon"},
        IconCase{"assign, icon.ico a folder", Hostile::IconFolder, false, {kIconInvalid}, kInfected, kFolder},
        IconCase{"assign, write-protected drive", Hostile::WriteProtected, false, {kIconInvalid}, kInfected, {}},
        IconCase{"assign, drive gone during the messages", Hostile::DriveGone, false, kIconChanged, kIconForm,
                 "new icon"},
        IconCase{"restore, autorun.inf held", Hostile::HeldAutorun, true, {kQuestion, kNoIcon}, kInfected,
                 "old icon"},
        IconCase{"restore, icon.ico held", Hostile::HeldIcon, true, {kQuestion, kNoIcon}, kEmptied, "old icon"},
        IconCase{"restore, autorun.inf a folder", Hostile::AutorunFolder, true, {kQuestion, kNoIcon}, kFolder,
                 "old icon"},
        IconCase{"restore, write-protected drive", Hostile::WriteProtected, true, {kQuestion, kNoIcon}, kInfected,
                 {}},
        IconCase{"restore, drive gone", Hostile::DriveGone, true, {kQuestion, kNoIcon}, kInfected, "old icon"}),
    Name);

}  // namespace
