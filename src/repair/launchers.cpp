#include "repair/launchers.h"

#include <algorithm>
#include <iterator>

#include "system/system_text.h"

namespace repair {

namespace {

struct Launcher {
  std::wstring_view stem;
  bool scriptHost;
  bool onDrive;
  bool onComputer;
  bool watchedRunning;
};

// cmd, conhost and explorer start anything at all: a shortcut on a drive that
// hands them a file there is the worm's, but on a computer many of its own
// entries go through them (the Winlogon shell is explorer), so there they prove nothing.
constexpr Launcher kLaunchers[] = {
    // stem          script host  on a drive  on a computer  watched running
    {L"wscript",     true,        true,       true,          true},
    {L"cscript",     true,        true,       true,          true},
    {L"wsh",         true,        false,      true,          false},
    {L"rundll32",    false,       true,       true,          true},
    {L"regsvr32",    false,       true,       true,          false},
    {L"mshta",       false,       true,       true,          false},
    {L"powershell",  false,       true,       true,          false},
    {L"pwsh",        false,       true,       true,          false},
    {L"cmd",         false,       true,       false,         false},
    {L"conhost",     false,       true,       false,         false},
    {L"explorer",    false,       true,       false,         false},
};

const Launcher* Find(std::wstring_view stem) {
  const auto* found = std::find_if(std::begin(kLaunchers), std::end(kLaunchers),
                                   [&](const Launcher& launcher) { return launcher.stem == stem; });
  return found == std::end(kLaunchers) ? nullptr : found;
}

}  // namespace

std::wstring ProgramStem(std::wstring_view path) {
  const auto slash = path.find_last_of(L"\\/");
  std::wstring name = platform::Lowered(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
  if (name.ends_with(L".exe")) name.resize(name.size() - 4);
  return name;
}

bool IsLauncher(std::wstring_view stem, LauncherCheck check) {
  const Launcher* launcher = Find(stem);
  return launcher && (check == LauncherCheck::Drive ? launcher->onDrive : launcher->onComputer);
}

bool IsScriptHost(std::wstring_view stem) {
  const Launcher* launcher = Find(stem);
  return launcher && launcher->scriptHost;
}

bool IsWatchedWhenRunning(std::wstring_view stem) {
  const Launcher* launcher = Find(stem);
  return launcher && launcher->watchedRunning;
}

}  // namespace repair
