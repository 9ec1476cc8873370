#include "integration/registration.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "journal/journal.h"
#include "system/file_ops.h"
#include "system/registry.h"

namespace integration {

namespace {

using platform::kCurrentUser;
using platform::RegOutcome;

constexpr wchar_t kDriveVerb[] = L"Software\\Classes\\Drive\\shell\\KorvaneCheck";
constexpr wchar_t kProgId[] = L"Korvane.DriveCheck";
constexpr wchar_t kProgIdKey[] = L"Software\\Classes\\Korvane.DriveCheck";
constexpr wchar_t kProgIdVerb[] = L"check";
constexpr wchar_t kAutoPlay[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
constexpr wchar_t kHandlerName[] = L"KorvaneCheck";
// A volume's arrival, and the content events AutoPlay raises for a drive it reads itself.
constexpr const wchar_t* kEvents[] = {L"StorageOnArrival", L"MixedContentOnArrival", L"UnknownContentOnArrival"};
constexpr wchar_t kCaption[] = L"Check with Korvane";
constexpr std::size_t kLongestPath = 32767;

std::wstring Join(std::wstring_view a, std::wstring_view b) { return std::wstring(a) + L"\\" + std::wstring(b); }

std::wstring HandlerKey() { return Join(Join(kAutoPlay, L"Handlers"), kHandlerName); }
std::wstring ProgIdCommandKey() { return Join(Join(Join(kProgIdKey, L"shell"), kProgIdVerb), L"command"); }

std::vector<BYTE> SzBytes(std::wstring_view text) {
  std::vector<BYTE> bytes((text.size() + 1) * sizeof(wchar_t), 0);
  std::copy_n(reinterpret_cast<const BYTE*>(text.data()), text.size() * sizeof(wchar_t), bytes.begin());
  return bytes;
}

bool Holds(const Value& value) {
  const platform::RegState stored = platform::RegGetRaw(kCurrentUser, value.key, value.name);
  return stored.present && stored.type == REG_SZ && stored.bytes == SzBytes(value.text);
}

bool SamePath(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                      static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The program a command starts: the quoted first word, else the first word.
std::wstring ProgramOf(std::wstring_view command) {
  if (command.starts_with(L'"')) {
    const auto close = command.find(L'"', 1);
    return std::wstring(command.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1));
  }
  return std::wstring(command.substr(0, command.find(L' ')));
}

// Only a local path is looked at: the value may be anyone's, and a \\server
// path would make Korvane reach out to that server just by reading it.
bool LocalFileMissing(const std::wstring& path) {
  const bool local = path.size() >= 3 && path.size() < kLongestPath && std::iswalpha(path[0]) && path[1] == L':' &&
                     path[2] == L'\\';
  if (!local) return false;
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD code = GetLastError();
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

std::wstring CommandKeyOf(Place place) {
  return place == Place::Menu ? Join(kDriveVerb, L"command") : ProgIdCommandKey();
}

}  // namespace

std::wstring ProgramPath() {
  std::wstring folder = platform::ProgramFolder();
  if (!folder.ends_with(L'\\')) folder += L'\\';
  return folder + L"korvane.exe";
}

std::wstring CommandFor(std::wstring_view program) { return L"\"" + std::wstring(program) + L"\" --check %1"; }

std::vector<Value> ValuesOf(Place place, std::wstring_view program) {
  const std::wstring icon = std::wstring(program) + L",0";
  const std::wstring command = CommandFor(program);
  if (place == Place::Menu) {
    return {{kDriveVerb, L"", kCaption}, {kDriveVerb, L"Icon", icon}, {Join(kDriveVerb, L"command"), L"", command}};
  }
  std::vector<Value> values = {
      {Join(Join(kProgIdKey, L"shell"), kProgIdVerb), L"", kCaption},
      {ProgIdCommandKey(), L"", command},
      {HandlerKey(), L"Action", kCaption},
      {HandlerKey(), L"Provider", L"Korvane"},
      {HandlerKey(), L"DefaultIcon", icon},
      {HandlerKey(), L"InvokeProgID", kProgId},
      {HandlerKey(), L"InvokeVerb", kProgIdVerb},
  };
  for (const wchar_t* event : kEvents) values.push_back({Join(Join(kAutoPlay, L"EventHandlers"), event), kHandlerName, L""});
  return values;
}

std::vector<std::wstring> OwnKeysOf(Place place) {
  if (place == Place::Menu) return {Join(kDriveVerb, L"command"), kDriveVerb};
  return {HandlerKey(), ProgIdCommandKey(), Join(Join(kProgIdKey, L"shell"), kProgIdVerb), Join(kProgIdKey, L"shell"),
          kProgIdKey};
}

State ReadState(Place place, std::wstring_view program) {
  const std::vector<Value> values = ValuesOf(place, program);
  if (std::all_of(values.begin(), values.end(), Holds)) return {Found::ThisCopy, {}};
  const platform::RegValue command = platform::RegGetValue(kCurrentUser, CommandKeyOf(place), L"");
  if (command.IsNumber() || command.Text().empty()) {
    const bool any = std::any_of(values.begin(), values.end(), [](const Value& value) {
      return platform::RegGetRaw(kCurrentUser, value.key, value.name).present;
    });
    return {any ? Found::Incomplete : Found::Absent, {}};
  }
  std::wstring runs = ProgramOf(command.Text());
  if (SamePath(runs, program)) return {Found::Incomplete, {}};
  const Found found = LocalFileMissing(runs) ? Found::Stale : Found::OtherCopy;
  // Shown to a person: anyone may have written it, so only so much of it.
  if (runs.size() > MAX_PATH) {
    runs.resize(MAX_PATH);
    runs += L"...";
  }
  return {found, runs};
}

const wchar_t* NameOf(Place place) { return place == Place::Menu ? L"drive menu" : L"AutoPlay"; }

std::wstring Describe(Place place, const State& state) {
  const std::wstring what = place == Place::Menu ? L"The drive menu's \"Check with Korvane\"" : L"Korvane's AutoPlay choice";
  switch (state.found) {
    case Found::Stale:
      return what + L" runs " + state.program + L", which is no longer there.";
    case Found::OtherCopy:
      return what + L" runs another program: " + state.program + L".";
    case Found::Incomplete:
      return what + L" is incomplete.";
    case Found::Absent:
    case Found::ThisCopy:
      break;
  }
  return {};
}

namespace {

void Write(Place place, std::wstring_view program, SaveReport& report) {
  for (const Value& value : ValuesOf(place, program)) {
    if (Holds(value)) continue;
    if (platform::RegSetText(kCurrentUser, value.key, value.name, value.text) != RegOutcome::Done) {
      // Stop here: what makes the registration visible comes last and stays unwritten.
      report.refused.push_back(platform::RegDescribe(kCurrentUser, value.key, value.name));
      return;
    }
    report.changed = true;
  }
}

void Remove(Place place, std::wstring_view program, SaveReport& report) {
  std::vector<Value> values = ValuesOf(place, program);
  // Whatever goes, the parts that make it visible go first.
  std::reverse(values.begin(), values.end());
  for (const Value& value : values) {
    if (!platform::RegKeyExists(kCurrentUser, value.key)) continue;
    const bool was = platform::RegGetRaw(kCurrentUser, value.key, value.name).present;
    if (platform::RegDeleteValue(kCurrentUser, value.key, value.name) != RegOutcome::Done) {
      report.refused.push_back(platform::RegDescribe(kCurrentUser, value.key, value.name));
      continue;
    }
    report.changed = report.changed || was;
  }
  // An empty key holds nothing to put back, and undo makes it again with its
  // first value; so only the values are journal items.
  for (const std::wstring& key : OwnKeysOf(place)) {
    if (platform::RegDeleteEmptyKey(kCurrentUser, key) != RegOutcome::Done) report.refused.push_back(L"HKCU\\" + key);
  }
}

}  // namespace

SaveReport Save(const Request& request, std::wstring_view program) {
  std::wstring what = L"Windows Integration:";
  if (request.menu) what += *request.menu ? L" drive menu on" : L" drive menu off";
  if (request.autoPlay) what += std::wstring(request.menu ? L"," : L"") + (*request.autoPlay ? L" AutoPlay on" : L" AutoPlay off");
  platform::journal::Action action(what, {.onlyChanges = true});
  SaveReport report;
  if (action.Cancelled()) {
    report.cancelled = true;
    return report;
  }
  const std::pair<Place, std::optional<bool>> asked[] = {{Place::Menu, request.menu}, {Place::AutoPlay, request.autoPlay}};
  for (const auto& [place, on] : asked) {
    if (!on) continue;
    if (*on) {
      Write(place, program, report);
    } else {
      Remove(place, program, report);
    }
  }
  return report;
}

void AllowUndoOfRegistrations() {
  for (const Place place : kPlaces) {
    for (const Value& value : ValuesOf(place, ProgramPath())) {
      platform::journal::AllowValue(kCurrentUser, value.key, value.name);
    }
  }
}

}  // namespace integration
