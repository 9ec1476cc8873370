// integrate: the Windows Integration window's two boxes for scripts.
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "integration/registration.h"

namespace cli {

namespace {

using integration::Found;
using integration::Place;

const char* FoundWord(Found found) {
  switch (found) {
    case Found::ThisCopy:
      return "registered";
    case Found::OtherCopy:
      return "another program";
    case Found::Stale:
      return "stale";
    case Found::Incomplete:
      return "incomplete";
    case Found::Absent:
      break;
  }
  return "absent";
}

// "on", "off" or nothing: given, or a usage error.
bool ReadSwitch(const Invocation& invocation, const std::wstring& option, std::optional<bool>& out) {
  if (!invocation.Has(option)) return true;
  const std::wstring value = invocation.Option(option);
  if (value != L"on" && value != L"off") return false;
  out = value == L"on";
  return true;
}

}  // namespace

int Integrate(const Invocation& invocation) {
  integration::Request request;
  for (const wchar_t* option : {L"--menu", L"--autoplay"}) {
    if (!ReadSwitch(invocation, option, option == std::wstring(L"--menu") ? request.menu : request.autoPlay)) {
      return UsageError(invocation, std::wstring(L"the word after ") + option + L" is neither on nor off");
    }
  }
  const std::wstring program = integration::ProgramPath();
  integration::SaveReport report;
  const GroupWatch watch;
  if (request.menu || request.autoPlay) report = integration::Save(request, program);
  const bool failed = report.cancelled || !report.refused.empty();
  for (const std::wstring& refused : report.refused) PrintError(L"korvane integrate: refused: " + refused);
  if (report.cancelled) return Fail(kExitFailed, "no-journal", L"korvane integrate: nothing was changed");

  if (invocation.Has(L"--json")) {
    nlohmann::ordered_json document{{"program", ToUtf8(program)}, {"changed", report.changed}, {"group", nullptr}};
    if (const auto group = watch.Made()) document["group"] = *group;
    for (const Place place : integration::kPlaces) {
      const integration::State state = integration::ReadState(place, program);
      nlohmann::ordered_json entry{{"on", state.On()}, {"state", FoundWord(state.found)}};
      if (!state.program.empty()) entry["runs"] = ToUtf8(state.program);
      document[place == Place::Menu ? "menu" : "autoplay"] = entry;
    }
    nlohmann::ordered_json refused = nlohmann::ordered_json::array();
    for (const std::wstring& name : report.refused) refused.push_back(ToUtf8(name));
    document["refused"] = refused;
    PrintDocument(document);
  } else {
    for (const Place place : integration::kPlaces) {
      const integration::State state = integration::ReadState(place, program);
      PrintLine(std::wstring(integration::NameOf(place)) + L": " + (state.On() ? L"on" : L"off"));
      const std::wstring note = integration::Describe(place, state);
      if (!note.empty()) PrintLine(L"  " + note);
    }
  }
  return failed ? kExitFailed : kExitDone;
}

}  // namespace cli
