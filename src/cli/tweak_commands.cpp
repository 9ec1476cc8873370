// tweak list and tweak set: the tweak pages' boxes by their stable ids.
#include <algorithm>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "tweaks/tweak_binding.h"
#include "tweaks/security/password_store.h"
#include "tweaks/tweak_catalog.h"

namespace cli {

namespace {

const wchar_t* OnOff(bool on) { return on ? L"on" : L"off"; }

}  // namespace

int ListTweaks(const Invocation& invocation) {
  const auto& catalog = tweaks::TweakCatalog();
  if (invocation.Has(L"--json")) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const tweaks::CatalogTweak& tweak : catalog) {
      list.push_back({{"id", ToUtf8(tweak.id)},
                      {"page", ToUtf8(tweak.page)},
                      {"caption", ToUtf8(tweaks::TrimmedCaption(*tweak.binding))},
                      {"on", tweak.binding->load.Holds()}});
    }
    PrintUtf8(nlohmann::ordered_json{{"tweaks", list}}.dump(2));
    return kExitDone;
  }
  std::size_t width = 0;
  for (const tweaks::CatalogTweak& tweak : catalog) width = std::max(width, tweak.id.size());
  for (const tweaks::CatalogTweak& tweak : catalog) {
    std::wstring line = OnOff(tweak.binding->load.Holds());
    line.resize(5, L' ');
    line += tweak.id;
    line.resize(5 + width + 2, L' ');
    PrintLine(line + tweak.page + L": " + tweaks::TrimmedCaption(*tweak.binding));
  }
  return kExitDone;
}

int SetTweak(const Invocation& invocation) {
  const tweaks::CatalogTweak* tweak = tweaks::FindTweak(invocation.operands[0]);
  if (!tweak) return UsageError(invocation, L"no tweak is called '" + invocation.operands[0] + L"' (see korvane tweak list)");
  const std::wstring& state = invocation.operands[1];
  if (state != L"on" && state != L"off") return UsageError(invocation, L"'" + state + L"' is neither on nor off");
  // The password guards the security page's boxes from the other users of the machine; a script may not go round it.
  if (tweak->passwordLocked) {
    const std::wstring password = tweaks::StoredPassword();
    if (!password.empty() && invocation.Option(L"--password") != password) {
      PrintError(L"korvane tweak set: the " + std::wstring(tweak->page) +
                 L" are protected by a password; give the right one with --password");
      return kExitFailed;
    }
  }
  const platform::TweakOutcome outcome = platform::ApplyTweak(*tweak->binding, state == L"on", tweak->page);
  if (outcome == platform::TweakOutcome::Cancelled) {
    PrintError(L"korvane tweak set: nothing was changed");
    return kExitFailed;
  }
  if (outcome == platform::TweakOutcome::Refused) {
    PrintError(platform::kRefusedChangeMessage);
    PrintError(tweak->id + L" is " + OnOff(tweak->binding->load.Holds()));
    return kExitFailed;
  }
  PrintLine(tweak->id + L" is " + OnOff(tweak->binding->load.Holds()));
  return kExitDone;
}

}  // namespace cli
