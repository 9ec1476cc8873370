// What every command shares: help anywhere, words in any case, the JSON
// envelope and its error documents, the password on standard input, and a
// change refused when the journal cannot record it.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "journal/journal.h"
#include "support/drive_helpers.h"
#include "support/registry_helpers.h"

namespace {

using namespace testing_support;
using cli_tests::CliRun;
using cli_tests::Contains;
using cli_tests::RunCli;

constexpr wchar_t kTaskManager[] = L"security.disable-task-manager";

class Password {
 public:
  Password() { WriteSz(HKEY_CLASSES_ROOT, L".wab", L"RandomID", L"Sesame"); }
  ~Password() { DeleteValue(HKEY_CLASSES_ROOT, L".wab", L"RandomID"); }
  Password(const Password&) = delete;
  Password& operator=(const Password&) = delete;
};

TEST(CliConventionsTest, HelpAnywhereAfterACommandShowsItsUsageAndRunsNothing) {
  struct Case {
    const wchar_t* arguments;
    const char* usage;
  };
  const Case cases[] = {
      {L"check E: /?", "usage: korvane check E: | --removable"},
      {L"check -h --clean E:", "usage: korvane check E: | --removable"},
      {L"repair autorun E: --HELP", "usage: korvane repair autorun E:"},
      {L"repair task-manager -H", "usage: korvane repair task-manager"},
      {L"repair folder-options /?", "usage: korvane repair folder-options"},
      {L"repair registry-editor --help", "usage: korvane repair registry-editor"},
      {L"repair /?", "usage: korvane repair task-manager"},
      {L"restore E:\\x /?", "usage: korvane restore PATH"},
      {L"tweak list -h", "usage: korvane tweak list"},
      {L"tweak set security.disable-task-manager on /?", "usage: korvane tweak set ID on|off"},
      {L"undo list /?", "usage: korvane undo list"},
      {L"undo last --force -h", "usage: korvane undo last"},
      {L"undo 12 /?", "usage: korvane undo ID"},
  };
  WriteDword(kHkcu, kSystemPolicies, L"DisableTaskMgr", 7);  // a sentinel that no command here may touch
  for (const Case& c : cases) {
    const CliRun run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, 0u) << Utf8(c.arguments) << "\n" << run;
    EXPECT_TRUE(Contains(run.out, c.usage)) << Utf8(c.arguments) << "\n" << run;
    EXPECT_EQ(run.err, "") << Utf8(c.arguments) << "\n" << run;
  }
  EXPECT_DWORD(kHkcu, kSystemPolicies, L"DisableTaskMgr", 7);
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
}

TEST(CliConventionsTest, WordsInAnyCaseAndValuesJoinedOrApart) {
  struct Case {
    const wchar_t* arguments;
    bool taskManagerOff;  // what the command leaves behind
  };
  const Case cases[] = {
      {L"TWEAK Set Security.Disable-Task-Manager ON --PASSWORD=Sesame", false},
      {L"tweak SET security.disable-task-manager Off --Password Sesame", true},
      {L"Tweak set security.disable-task-manager on --password-STDIN", false},
      {L"REPAIR Task-Manager --JSON", true},
  };
  const Password password;
  for (const Case& c : cases) {
    const CliRun run = RunCli(c.arguments, "Sesame\r\n");
    EXPECT_EQ(run.exitCode, 0u) << Utf8(c.arguments) << "\n" << run;
    EXPECT_EQ(ReadRaw(kHkcu, kSystemPolicies, L"DisableTaskMgr").has_value(), !c.taskManagerOff)
        << Utf8(c.arguments) << "\n" << run;
  }
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
}

TEST(CliConventionsTest, EveryJsonIsOneDocumentWithTheFormatAndFailuresAreErrorDocuments) {
  struct Case {
    std::wstring arguments;
    unsigned exitCode;
    const char* field;  // a field of the document (if any is sure), or the error's code
  };
  ClearDrive(kDrive);
  WriteBytes(OnDrive(kDrive, L"x.txt"), "kept", FILE_ATTRIBUTE_READONLY);
  const std::wstring tweak = std::wstring(L"tweak set ") + kTaskManager;
  const Case cases[] = {
      {L"check E: --json", 0, "findings"},
      {L"check --removable --json", 0, "drives"},
      {L"repair autorun E: --json", 0, "outcome"},
      {L"repair task-manager --json", 0, "outcome"},
      {L"tweak list --json", 0, "tweaks"},
      {L"restore E:\\x.txt --json", 0, "group"},
      {L"undo last --json", 0, nullptr},
      {L"undo list --json", 0, "groups"},
      {tweak + L" on --json --password-stdin", 0, "group"},
      {L"--version --json", 0, "version"},
      {L"check C: --json", 2, "windows-drive"},
      {L"frobnicate --json", 2, "usage"},
      {L"--json tweak set nothing.at-all on", 2, "usage"},
      {L"check Q: --json", 3, "drive-missing"},
      {L"repair autorun M: --json", 3, "drive-missing"},
      {L"restore CON --json", 3, "invalid-path"},
      {tweak + L" on --json --password wrong", 3, "password"},
  };
  const Password password;
  for (const Case& c : cases) {
    const CliRun run = RunCli(c.arguments, "Sesame\n");
    EXPECT_EQ(run.exitCode, c.exitCode) << Utf8(c.arguments) << "\n" << run;
    nlohmann::json document;
    ASSERT_NO_THROW(document = nlohmann::json::parse(run.out)) << Utf8(c.arguments) << "\n" << run;
    EXPECT_EQ(document.value("format", 0), 1) << Utf8(c.arguments) << "\n" << run;
    if (c.exitCode >= 2) {
      const nlohmann::json error = document.value("error", nlohmann::json::object());
      EXPECT_EQ(error.value("code", ""), c.field) << Utf8(c.arguments) << "\n" << run;
      EXPECT_NE(error.value("message", ""), "") << run;
    } else if (c.field) {
      EXPECT_TRUE(document.contains(c.field)) << Utf8(c.arguments) << "\n" << run;
    }
  }
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  ClearDrive(kDrive);
}

TEST(CliConventionsTest, APasswordComesFromStandardInputAndAWordNotUnderstoodIsNeverRepeated) {
  struct Case {
    std::wstring arguments;
    std::string input;
    unsigned exitCode;
  };
  const std::wstring tweak = std::wstring(L"tweak set ") + kTaskManager;
  const Case cases[] = {
      {tweak + L" on --password-stdin", "Sesame\r\nmore lines\r\n", 0},
      {tweak + L" off --password-stdin", "\xEF\xBB\xBFSesame\n", 0},  // PowerShell's UTF-8 with its byte order mark
      {tweak + L" on --password-stdin", "hunter2\n", 3},
      {tweak + L" on --password hunter2", "", 3},
      {tweak + L" on --password-stdin --password hunter2", "Sesame\n", 2},
      {L"hunter2", "", 2},
      {L"repair hunter2", "", 2},
      {L"repair task-manager hunter2", "", 2},
      {L"tweak set hunter2 on", "", 2},
      {tweak + L" hunter2", "", 2},
      {tweak + L" on hunter2 --json", "", 2},
      {L"check hunter2", "", 2},
      {L"undo hunter2", "", 2},
      {L"tweak list --hunter2", "", 2},
      {L"tweak list --json=hunter2", "", 2},
  };
  const Password password;
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
  for (const Case& c : cases) {
    const CliRun run = RunCli(c.arguments, c.input);
    EXPECT_EQ(run.exitCode, c.exitCode) << Utf8(c.arguments) << "\n" << run;
    EXPECT_FALSE(Contains(run.out + run.err, "hunter2")) << Utf8(c.arguments) << "\n" << run;
    if (c.exitCode != 0) {
      EXPECT_NO_VALUE(kHkcu, kSystemPolicies, L"DisableTaskMgr");
    }
  }
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
}

TEST(CliConventionsTest, AChangeTheJournalCannotRecordIsRefusedUnlessNoJournal) {
  struct Case {
    std::wstring arguments;
    unsigned exitCode;
    bool made;
  };
  const Case cases[] = {
      {std::wstring(L"tweak set ") + kTaskManager + L" on", 3, false},
      {std::wstring(L"tweak set ") + kTaskManager + L" on --json", 3, false},
      {std::wstring(L"tweak set ") + kTaskManager + L" on --no-journal", 0, true},
  };
  WriteDword(kHkcu, kSystemPolicies, L"DisableTaskMgr", 1);
  ASSERT_EQ(RunCli(L"repair task-manager").exitCode, 0u);  // the journal file exists
  // A folder where the journal's file should be: no process can append to it,
  // whatever its rights (the tests run as root, which a read-only file does not stop).
  const std::wstring journal = platform::journal::Folder() + L"journal.jsonl";
  const std::wstring aside = journal + L".aside";
  ASSERT_TRUE(MoveFileW(journal.c_str(), aside.c_str())) << GetLastError();
  ASSERT_TRUE(CreateDirectoryW(journal.c_str(), nullptr)) << GetLastError();
  for (const Case& c : cases) {
    const CliRun run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << Utf8(c.arguments) << "\n" << run;
    EXPECT_EQ(ReadRaw(kHkcu, kSystemPolicies, L"DisableTaskMgr").has_value(), c.made) << Utf8(c.arguments);
    EXPECT_TRUE(Contains(run.out + run.err, c.made ? "cannot be undone" : "--no-journal")) << run;
    if (c.arguments.ends_with(L"--json")) {
      EXPECT_TRUE(Contains(run.out, "\"no-journal\"")) << run;
    }
  }
  RemoveDirectoryW(journal.c_str());
  EXPECT_TRUE(MoveFileW(aside.c_str(), journal.c_str())) << GetLastError();
  DeleteValue(kHkcu, kSystemPolicies, L"DisableTaskMgr");
}

}  // namespace
