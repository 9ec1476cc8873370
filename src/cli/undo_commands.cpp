// undo list, undo last, undo ID: the change journal without questions. A
// change altered since by something else is skipped and reported unless --force.
#include <string>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "journal/journal.h"

namespace cli {

namespace {

namespace journal = platform::journal;
using Json = nlohmann::ordered_json;

std::wstring ItemCount(std::size_t count) { return std::to_wstring(count) + (count == 1 ? L" item" : L" items"); }

int UndoOne(const Invocation& invocation, const journal::Group& group) {
  const bool force = invocation.Has(L"--force");
  const journal::GroupId ids[] = {group.id};
  const journal::UndoReport report = journal::Undo(
      ids, [force](const journal::Group&) { return force ? journal::OnConflict::UndoAnyway : journal::OnConflict::Skip; });
  const std::wstring name = std::to_wstring(group.id) + L" (" + group.what + L")";
  if (!report.skipped.empty()) {
    PrintError(L"korvane undo: skipped change " + name +
               L": something else has changed it since; --force undoes it anyway");
    return kExitFailed;
  }
  if (report.stopped) {
    PrintError(L"korvane undo: change " + name + L" was not undone");
    return kExitFailed;
  }
  for (const std::wstring& failure : report.failures) PrintError(L"korvane undo: could not put back " + failure);
  PrintLine((report.failures.empty() ? L"Undone: change " : L"Partly undone: change ") + name);
  if (report.undoGroup) PrintLine(L"Recorded as change " + std::to_wstring(*report.undoGroup) + L"; undo that to redo it.");
  return report.failures.empty() ? kExitDone : kExitFailed;
}

}  // namespace

int ListUndo(const Invocation& invocation) {
  const journal::Listing listing = journal::Read();
  if (invocation.Has(L"--json")) {
    Json groups = Json::array();
    for (const journal::Group& group : listing.groups) {
      groups.push_back({{"id", group.id},
                        {"time", ToUtf8(group.time)},
                        {"what", ToUtf8(group.what)},
                        {"items", group.items.size()},
                        {"finished", group.finished}});
    }
    const Json document = {{"groups", groups}, {"droppedGroups", listing.droppedGroups}};
    PrintDocument(document);
    return kExitDone;
  }
  if (listing.groups.empty()) PrintLine(L"No changes are recorded.");
  for (const journal::Group& group : listing.groups) {
    PrintLine(std::to_wstring(group.id) + L"  " + group.time + L"  " + group.what + L"  (" +
              ItemCount(group.items.size()) + (group.finished ? L")" : L", cut short)"));
  }
  if (listing.droppedGroups) {
    PrintLine(std::to_wstring(listing.droppedGroups) +
              L" older changes were let go to keep the journal within its bounds.");
  }
  return kExitDone;
}

int UndoLast(const Invocation& invocation) {
  const journal::Listing listing = journal::Read();
  if (listing.groups.empty()) {
    PrintLine(L"No changes are recorded; nothing to undo.");
    return kExitDone;
  }
  return UndoOne(invocation, listing.groups.front());
}

int UndoGroup(const Invocation& invocation) {
  const std::wstring& text = invocation.operands[0];
  if (text.empty() || text.size() > 19 || text.find_first_not_of(L"0123456789") != std::wstring::npos) {
    return UsageErrorAt(invocation, 0, L"is not the number of a change (see korvane undo list)");
  }
  const journal::GroupId id = std::stoull(text);
  for (const journal::Group& group : journal::Read().groups) {
    if (group.id == id) return UndoOne(invocation, group);
  }
  PrintError(L"korvane undo: no recorded change has the number " + text);
  return kExitFailed;
}

}  // namespace cli
