#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "shell/main_window.h"
#include "support/drive_helpers.h"
#include "support/seams.h"
#include "support/text.h"
#include "support/ui_helpers.h"

namespace {

using namespace testing_support;
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
    if (!CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child_)) return;
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
  explicit MissingDrive(wchar_t drive) {
    const char* devices = std::getenv("KORVANE_TEST_DOSDEVICES");
    if (!devices) return;
    std::wstring run = L"Z:";
    for (const char* c = devices; *c; ++c) run += static_cast<wchar_t>(*c == '/' ? '\\' : *c);
    run += L"\\..\\..\\";
    wchar_t full[MAX_PATH];
    GetFullPathNameW(run.c_str(), MAX_PATH, full, nullptr);
    folder_ = std::wstring(full) + L"drive_" + static_cast<wchar_t>(drive | 0x20);
    away_ = folder_ + L".away";
    TakeAway();
  }
  ~MissingDrive() { Restore(); }
  MissingDrive(const MissingDrive&) = delete;
  MissingDrive& operator=(const MissingDrive&) = delete;
  bool Gone() const { return gone_; }
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

using Shown = std::vector<std::string>;

Shown Messages(const MsgBoxRecorder& recorder) {
  Shown shown;
  for (const auto& call : recorder.Calls()) {
    std::ostringstream out;
    out << call;
    shown.push_back(out.str());
  }
  return shown;
}

const Shown kNothingFound = {"[Korvane] \"Korvane did not detect any disk errors\" Exclamation OK",
                             "[Korvane] \"Please make sure that the drive letter was entered correctly\" "
                             "Information OK"};
const std::string kRestored = "[Korvane] \"The File/Folder was successfully restored\" Information OK";
const std::string kInvalidPath = "[Error] \"The path entered was invalid\" Information OK";
const std::string kInfected = "[autorun]\r\nopen=virus.exe\r\n";
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
    platform::Form::EndProgram();
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    ClearDrive(kDrive);
  }
  repair::FixPage& Page() { return Instance<shell::FrmMain>().fix; }
  Shown Repair(wchar_t drive) {
    Page().TxtDriveletter.SetText(std::wstring(1, drive));
    messages.Clear();
    Click(Page().CmdFixAuto);
    return Messages(messages);
  }
  Shown Restore(const std::wstring& path) {
    Page().TxtResPath.Focus();
    Page().TxtResPath.SetText(path);
    messages.Clear();
    Click(Page().CmdRestore);
    return Messages(messages);
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
