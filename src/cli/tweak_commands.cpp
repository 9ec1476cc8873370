// tweak list and tweak set: the tweak pages' boxes by their stable ids.
#include <algorithm>
#include <cwctype>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "tweaks/tweak_binding.h"
#include "tweaks/security/password_store.h"
#include "tweaks/tweak_catalog.h"
#include "system/system_text.h"

namespace cli {

namespace {

using Json = nlohmann::ordered_json;

const wchar_t* OnOff(bool on) { return on ? L"on" : L"off"; }

// A tweak whose steps write the current user's hive: as LocalSystem that is SYSTEM's own.
bool PerUser(const platform::TweakBinding& binding) {
  for (const auto* steps : {&binding.checked, &binding.unchecked}) {
    for (const platform::RegStep& step : *steps) {
      if (step.root == platform::kCurrentUser) return true;
    }
  }
  return false;
}


}  // namespace

int ListTweaks(const Invocation& invocation) {
  const auto& catalog = tweaks::TweakCatalog();
  if (invocation.Has(L"--json")) {
    Json list = Json::array();
    for (const tweaks::CatalogTweak& tweak : catalog) {
      list.push_back({{"id", ToUtf8(tweak.id)},
                      {"page", ToUtf8(tweak.page)},
                      {"caption", ToUtf8(tweaks::TrimmedCaption(*tweak.binding))},
                      {"on", tweak.binding->load.Holds()},
                      {"perUser", PerUser(*tweak.binding)}});
    }
    PrintDocument({{"tweaks", list}});
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
  const tweaks::CatalogTweak* tweak = tweaks::FindTweak(platform::Lowered(invocation.operands[0]));
  if (!tweak) return UsageErrorAt(invocation, 0, L"names no tweak (see korvane tweak list)");
  const std::wstring state = platform::Lowered(invocation.operands[1]);
  if (state != L"on" && state != L"off") return UsageErrorAt(invocation, 1, L"is neither on nor off");
  if (PerUser(*tweak->binding) && RunsAsLocalSystem()) return RefuseAsLocalSystem(invocation);
  // The password guards the security page's boxes from the other users of the machine; a script may not go round it.
  if (tweak->passwordLocked) {
    const std::wstring password = tweaks::StoredPassword();
    if (!password.empty() && Password(invocation) != password) {
      return Fail(kExitFailed, "password",
                  L"korvane tweak set: the " + std::wstring(tweak->page) +
                      L" are protected by a password; give the right one with --password-stdin or --password");
    }
  }
  const GroupWatch watch;
  const platform::TweakOutcome outcome = platform::ApplyTweak(*tweak->binding, state == L"on", tweak->page);
  if (outcome == platform::TweakOutcome::Cancelled) return NothingChanged(invocation);
  const bool on = tweak->binding->load.Holds();
  if (outcome == platform::TweakOutcome::Refused) {
    return Fail(kExitFailed, "refused",
                std::wstring(platform::kRefusedChangeMessage) + L"\r\n" + tweak->id + L" is " + OnOff(on));
  }
  PrintLine(tweak->id + L" is " + OnOff(on));
  const std::optional<platform::journal::GroupId> group = watch.Made();
  PrintDocument({{"id", ToUtf8(tweak->id)}, {"on", on}, {"group", group ? Json(*group) : Json(nullptr)}});
  return kExitDone;
}

}  // namespace cli
