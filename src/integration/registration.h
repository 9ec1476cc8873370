// Korvane where the user meets a drive: "Check with Korvane" on every drive's
// menu, and a choice in AutoPlay when a volume arrives. Both are per-user
// registrations under HKCU (no administrator rights), written and removed
// through the registry module, so the journal records every value.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace integration {

enum class Place { Menu, AutoPlay };
inline constexpr Place kPlaces[] = {Place::Menu, Place::AutoPlay};

enum class Found {
  Absent,      // nothing of Korvane's is there
  ThisCopy,    // every value as this korvane.exe writes it
  OtherCopy,   // it runs a korvane.exe somewhere else
  Stale,       // it runs a program that is no longer there
  Incomplete,  // some of its values are missing or altered
};

struct State {
  Found found = Found::Absent;
  std::wstring program;  // what the registration runs, when it names something else
  bool On() const { return found == Found::ThisCopy; }
};

// One value of a registration, under HKCU; REG_SZ.
struct Value {
  std::wstring key;
  std::wstring name;  // "" is the key's default value
  std::wstring text;
};

// korvane.exe beside the running program: the command line registers the window program.
std::wstring ProgramPath();
// "\"C:\...\korvane.exe\" --check %1": Explorer gives a drive as E:\ and a
// quoted "E:\" would arrive as E:", so %1 stays unquoted.
std::wstring CommandFor(std::wstring_view program);

// The values, in the order they are written (the ones that make it visible last).
std::vector<Value> ValuesOf(Place place, std::wstring_view program);
// Lets undo write the values Save writes. Each front end calls it at start.
void AllowUndoOfRegistrations();
// Keys that only Korvane puts there, deepest first; removed once empty.
std::vector<std::wstring> OwnKeysOf(Place place);

State ReadState(Place place, std::wstring_view program);
// "The drive menu runs C:\old\korvane.exe, which is no longer there." or "" when nothing needs saying.
std::wstring Describe(Place place, const State& state);
const wchar_t* NameOf(Place place);  // "drive menu", "AutoPlay"

struct Request {
  std::optional<bool> menu;
  std::optional<bool> autoPlay;
};

struct SaveReport {
  bool cancelled = false;  // the journal could not be written and the user chose not to go on
  bool changed = false;    // something was written or removed
  std::vector<std::wstring> refused;  // each value or key the system refused, "HKCU\...\name"
};

// One journal group: a registration asked on is written where it differs,
// one asked off loses every value of Korvane's and then its own empty keys.
SaveReport Save(const Request& request, std::wstring_view program);

}  // namespace integration
