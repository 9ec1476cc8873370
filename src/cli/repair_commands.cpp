// The Fix page's repairs and the hidden item restore, told as lines of text
// or, with --json, as one document naming the journal group of the change.
#include <string>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "journal/journal.h"
#include "repair/drive_repair.h"
#include "repair/hidden_restore.h"
#include "repair/restriction_repair.h"
#include "system/system_text.h"

namespace cli {

namespace {

using Json = nlohmann::ordered_json;

// A cancel comes only from the journal; a file it cannot keep a copy of fails with the system's own reason.
std::wstring Reason(DWORD error) {
  if (error == ERROR_CANCELLED) return L"the change journal could not be written";
  return SystemMessage(error);
}

Json Tell(std::span<const repair::Message> messages) {
  Json lines = Json::array();
  for (const repair::Message& message : messages) {
    PrintLine(message.text);
    lines.push_back(ToUtf8(message.text));
  }
  return lines;
}

Json GroupJson(const GroupWatch& watch) {
  const std::optional<platform::journal::GroupId> group = watch.Made();
  return group ? Json(*group) : Json(nullptr);
}

struct RestrictionCommand {
  repair::Restriction restriction;
  const char* id;
};

int RemoveAndTell(const Invocation& invocation, RestrictionCommand command) {
  const GroupWatch watch;
  const repair::RestrictionRepair outcome = repair::RemoveRestriction(command.restriction);
  const std::vector<repair::Message> messages = repair::RestrictionMessages(command.restriction, outcome);
  if (outcome == repair::RestrictionRepair::Cancelled) return NothingChanged(invocation);
  if (outcome == repair::RestrictionRepair::Refused) {
    std::wstring text;
    for (const repair::Message& message : messages) text += (text.empty() ? L"" : L"\r\n") + std::wstring(message.text);
    return Fail(kExitFailed, "refused", text);
  }
  const bool removed = outcome == repair::RestrictionRepair::Removed;
  const Json lines = Tell(messages);
  PrintDocument({{"restriction", command.id},
                 {"outcome", removed ? "removed" : "not-found"},
                 {"group", GroupJson(watch)},
                 {"messages", lines}});
  return kExitDone;
}

}  // namespace

GroupWatch::GroupWatch() {
  const platform::journal::Listing listing = platform::journal::ReadGroups();
  if (!listing.groups.empty()) newestBefore_ = listing.groups.front().id;
}

std::optional<platform::journal::GroupId> GroupWatch::Made() const {
  const platform::journal::Listing listing = platform::journal::ReadGroups();
  if (listing.groups.empty() || listing.groups.front().id <= newestBefore_) return std::nullopt;
  return listing.groups.front().id;
}

int RepairAutorun(const Invocation& invocation) {
  const wchar_t letter = platform::DriveLetterOf(invocation.operands[0]);
  if (!letter) return UsageErrorAt(invocation, 0, L"is not a drive letter");
  const std::wstring drive = std::wstring(1, letter) + L":";
  const GroupWatch watch;
  const repair::AutorunRepair result = repair::EmptyAutorun(std::wstring(1, letter));
  using Outcome = repair::AutorunRepair::Outcome;
  switch (result.outcome) {
    case Outcome::Healed:
    case Outcome::NoAutorun: {
      const bool healed = result.outcome == Outcome::Healed;
      const std::span<const repair::Message> messages =
          repair::DriveRepairMessages(healed ? repair::DriveRepair::Healed : repair::DriveRepair::NothingFound);
      const Json lines = Tell(healed ? messages : messages.first(1));
      PrintDocument({{"drive", ToUtf8(drive)},
                     {"outcome", healed ? "emptied" : "no-autorun"},
                     {"group", GroupJson(watch)},
                     {"messages", lines}});
      return kExitDone;
    }
    case Outcome::NoDrive:
      return Fail(kExitFailed, "drive-missing", L"korvane repair autorun: drive " + drive + L" is not there");
    case Outcome::Cancelled:
      return NothingChanged(invocation);
    case Outcome::NotALetter:
    case Outcome::Failed:
      break;
  }
  return Fail(kExitFailed, "failed",
              L"korvane repair autorun: could not repair " + result.path + L": " + Reason(result.error));
}

int RepairFolderOptions(const Invocation& invocation) {
  return RemoveAndTell(invocation, {repair::Restriction::FolderOptions, "folder-options"});
}
int RepairTaskManager(const Invocation& invocation) {
  return RemoveAndTell(invocation, {repair::Restriction::TaskManager, "task-manager"});
}
int RepairRegistryEditor(const Invocation& invocation) {
  return RemoveAndTell(invocation, {repair::Restriction::RegistryEditor, "registry-editor"});
}

int RestoreItem(const Invocation& invocation) {
  const std::wstring& path = invocation.operands[0];
  const GroupWatch watch;
  const repair::HiddenRestore result = repair::ClearHiddenAttributes(path);
  const std::wstring said = repair::RestoreMessages(result.outcome == repair::HiddenRestore::Outcome::Restored)[0].text;
  switch (result.outcome) {
    case repair::HiddenRestore::Outcome::Restored:
      PrintLine(said + L": " + path);
      PrintDocument({{"path", ToUtf8(path)}, {"outcome", "restored"}, {"group", GroupJson(watch)}});
      return kExitDone;
    case repair::HiddenRestore::Outcome::Invalid:
      return Fail(kExitFailed, "invalid-path", said + L": " + path + L" names a device");
    case repair::HiddenRestore::Outcome::Cancelled:
      return NothingChanged(invocation);
    case repair::HiddenRestore::Outcome::Failed:
      break;
  }
  return Fail(kExitFailed, "failed", said + L": " + path + L": " + Reason(result.error));
}

}  // namespace cli
