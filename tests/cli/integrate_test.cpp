#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "support/registry_helpers.h"
#include "support/text.h"

namespace {

using namespace testing_support;
using cli_tests::CliRun;
using cli_tests::RunCli;

const std::wstring kVerb = L"Software\\Classes\\Drive\\shell\\KorvaneCheck";
const std::wstring kProgIdCommand = L"Software\\Classes\\Korvane.DriveCheck\\shell\\check\\command";

std::wstring WindowProgram() {
  const std::wstring cli = cli_tests::CliPath();
  return cli.substr(0, cli.size() - 3) + L"exe";
}

TEST(IntegrateTest, RegistersShowsAndRemovesWithTheCommandLinesExitCodes) {
  const std::wstring command = L"\"" + WindowProgram() + L"\" --check %1";
  const struct {
    const wchar_t* args;
    std::function<void()> before;
    DWORD exitCode;
    std::string out;  // a part of standard output
    std::string err;  // a part of standard error
    std::function<void()> after;
  } cases[] = {
      {L"integrate", nullptr, 0, "drive menu: off\r\nAutoPlay: off\r\n", "", nullptr},
      {L"integrate --menu on", nullptr, 0, "drive menu: on\r\nAutoPlay: off\r\n", "",
       [&] { EXPECT_SZ(kHkcu, kVerb + L"\\command", L"", command); }},
      {L"integrate --autoplay on --json", nullptr, 0, "\"autoplay\": {\n    \"on\": true,\n    \"state\": \"registered\"", "",
       [&] { EXPECT_SZ(kHkcu, kProgIdCommand, L"", command); }},
      {L"integrate --menu maybe", nullptr, 2, "", "usage: korvane integrate", nullptr},
      {L"integrate", [] { WriteSz(kHkcu, kVerb + L"\\command", L"", L"\"C:\\Gone\\korvane.exe\" --check %1"); }, 0,
       "drive menu: off\r\n  The drive menu's \"Check with Korvane\" runs C:\\Gone\\korvane.exe, which is no longer there.",
       "", nullptr},
      {L"integrate --menu off --autoplay off", nullptr, 0, "drive menu: off\r\nAutoPlay: off\r\n", "",
       [] { EXPECT_FALSE(KeyExists(kHkcu, kVerb)); }},
      {L"integrate --menu on", [] { RefuseWrites(kHkcu, kVerb); }, 3, "drive menu: off",
       "refused: HKCU\\Software\\Classes\\Drive\\shell\\KorvaneCheck\\(Default)",
       [] { AllowWrites(kHkcu, kVerb); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.args));
    if (c.before) c.before();
    const CliRun run = RunCli(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run;
    if (c.after) c.after();
  }
  DeleteKey(kHkcu, kVerb);
}

}  // namespace
