// undo list, undo show, undo last, undo ID: the change journal without
// questions. A change altered since by something else is skipped and reported
// unless --force; what an undo will change is printed from its items first.
#include <string>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/console_output.h"
#include "journal/journal.h"
#include "repair/undo_scope.h"
#include "system/app.h"
#include "tweaks/security/password_store.h"
#include "tweaks/tweak_catalog.h"

namespace cli {

namespace {

namespace journal = platform::journal;
using Json = nlohmann::ordered_json;

constexpr std::size_t kPreviewLines = 20;

std::wstring ItemCount(std::size_t count) { return std::to_wstring(count) + (count == 1 ? L" item" : L" items"); }

const wchar_t* StateWords(journal::ItemState state) {
  switch (state) {
    case journal::ItemState::Changed:
      return L"can be undone";
    case journal::ItemState::NotMade:
      return L"never made, nothing to do";
    case journal::ItemState::Conflict:
      return L"changed by something else since";
    case journal::ItemState::Refused:
      return L"refused";
    case journal::ItemState::Nothing:
      break;
  }
  return L"nothing to undo";
}

const char* StateId(journal::ItemState state) {
  switch (state) {
    case journal::ItemState::Changed:
      return "undoable";
    case journal::ItemState::NotMade:
      return "not-made";
    case journal::ItemState::Conflict:
      return "changed-since";
    case journal::ItemState::Refused:
      return "refused";
    case journal::ItemState::Nothing:
      break;
  }
  return "nothing";
}

std::wstring ItemLine(const journal::ItemView& view) {
  std::wstring line = L"  " + view.change;
  if (!view.undo.empty()) line += L"; undo " + view.undo;
  line += std::wstring(L" [") + StateWords(view.state);
  if (!view.refusal.empty()) line += L": " + view.refusal;
  return line + L"]";
}

std::wstring Named(const journal::Group& group) { return std::to_wstring(group.id) + L" (" + group.what + L")"; }

int UndoOne(const Invocation& invocation, const journal::Group& group) {
  repair::AllowUndoOfKorvanesPlaces();
  const std::wstring name = Named(group);
  // The password guards the security page's values whichever way they are changed, undo included.
  if (journal::NeedsPassword(group)) {
    const std::wstring password = tweaks::StoredPassword();
    if (!password.empty() && Password(invocation).value_or(L"") != password) {
      return Fail(kExitFailed, "password",
                  L"korvane undo: change " + name +
                      L" changes security tweaks, which are protected by a password; give the right one with "
                      L"--password or --password-stdin");
    }
  }
  // What will change, from the items themselves; a long list is cut, undo show gives it whole.
  const std::vector<journal::ItemView> views = journal::Describe(group);
  // Putting a worm's files back on a drive is never done by accident.
  if (const std::vector<std::wstring> programs = journal::ProgramsPutBack(group);
      !programs.empty() && !invocation.Has(L"--force")) {
    for (const std::wstring& program : programs) PrintError(L"korvane undo: would put back " + program);
    PrintError(L"korvane undo: change " + name + L" would put programs or scripts back on the drive; --force does it");
    return kExitFailed;
  }
  PrintLine(L"Change " + name + L":");
  for (std::size_t i = 0; i < views.size() && i < kPreviewLines; ++i) PrintLine(ItemLine(views[i]));
  if (views.size() > kPreviewLines) {
    PrintLine(L"  and " + std::to_wstring(views.size() - kPreviewLines) + L" more (korvane undo show " +
              std::to_wstring(group.id) + L")");
  }
  const bool force = invocation.Has(L"--force");
  const journal::GroupId ids[] = {group.id};
  const journal::UndoReport report = journal::Undo(
      ids, [force](const journal::Group&) { return force ? journal::OnConflict::UndoAnyway : journal::OnConflict::Skip; });
  if (!report.refused.empty()) {
    for (const std::wstring& refusal : report.refused) PrintError(L"korvane undo: refused " + refusal);
    PrintError(L"korvane undo: change " + name + L" names what Korvane does not change; nothing of it was written");
    return kExitFailed;
  }
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

std::optional<journal::GroupId> GroupNumber(const std::wstring& text) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of(L"0123456789") != std::wstring::npos) return std::nullopt;
  return std::stoull(text);
}

std::wstring SkippedLines(std::size_t count) {
  return std::to_wstring(count) + (count == 1 ? L" line" : L" lines") + L" of the journal could not be read (damaged or cut short) and " +
         (count == 1 ? L"was" : L"were") + L" skipped.";
}

}  // namespace

// A group counts the changes its action told of, as the Undo window does: a hidden file moved to the
// quarantine is one change, though the journal keeps two items for it.
int ListUndo(const Invocation& invocation) {
  const journal::Listing listing = journal::ReadGroups();
  if (invocation.Has(L"--json")) {
    Json groups = Json::array();
    for (const journal::Group& group : listing.groups) {
      groups.push_back({{"id", group.id},
                        {"time", ToUtf8(group.time)},
                        {"what", ToUtf8(group.what)},
                        {"items", group.itemCount},
                        {"changes", group.changes.value_or(group.itemCount)},
                        {"finished", group.finished}});
    }
    const Json document = {
        {"groups", groups}, {"droppedGroups", listing.droppedGroups}, {"skippedLines", listing.skippedLines}};
    PrintDocument(document);
    return kExitDone;
  }
  if (listing.groups.empty()) PrintLine(L"No changes are recorded.");
  for (const journal::Group& group : listing.groups) {
    PrintLine(std::to_wstring(group.id) + L"  " + group.time + L"  " + group.what + L"  (" +
              ItemCount(group.changes.value_or(group.itemCount)) + (group.finished ? L")" : L", cut short)"));
  }
  if (listing.droppedGroups) {
    PrintLine(std::to_wstring(listing.droppedGroups) +
              L" older changes were let go to keep the journal within its bounds.");
  }
  if (listing.skippedLines) PrintLine(SkippedLines(listing.skippedLines));
  return kExitDone;
}

int ShowUndo(const Invocation& invocation) {
  repair::AllowUndoOfKorvanesPlaces();
  const auto id = GroupNumber(invocation.operands[0]);
  if (!id) return UsageError(invocation, L"the first word is not the number of a change (see korvane undo list)");
  const auto group = journal::ReadGroup(*id);
  if (!group) {
    PrintError(L"korvane undo show: no recorded change has the number " + std::to_wstring(*id));
    return kExitFailed;
  }
  const std::vector<journal::ItemView> views = journal::Describe(*group);
  if (invocation.Has(L"--json")) {
    Json items = Json::array();
    for (const journal::ItemView& view : views) {
      Json item = {{"change", ToUtf8(view.change)}, {"undo", ToUtf8(view.undo)}, {"state", StateId(view.state)}};
      if (!view.refusal.empty()) item["refusal"] = ToUtf8(view.refusal);
      items.push_back(std::move(item));
    }
    const Json document = {{"id", group->id},
                           {"time", ToUtf8(group->time)},
                           {"what", ToUtf8(group->what)},
                           {"finished", group->finished},
                           {"passwordNeeded", journal::NeedsPassword(*group)},
                           {"items", items}};
    PrintDocument(document);
    return kExitDone;
  }
  PrintLine(std::to_wstring(group->id) + L"  " + group->time + L"  " + group->what + L"  (" +
            ItemCount(views.size()) + (group->finished ? L")" : L", cut short)"));
  for (const journal::ItemView& view : views) PrintLine(ItemLine(view));
  return kExitDone;
}

int UndoLast(const Invocation& invocation) {
  const journal::Listing listing = journal::ReadGroups();
  if (listing.groups.empty()) {
    PrintLine(L"No changes are recorded; nothing to undo.");
    return kExitDone;
  }
  const auto group = journal::ReadGroup(listing.groups.front().id);
  if (!group) {
    PrintError(L"korvane undo: the newest change could not be read");
    return kExitFailed;
  }
  return UndoOne(invocation, *group);
}

int UndoGroup(const Invocation& invocation) {
  const std::wstring& text = invocation.operands[0];
  const auto id = GroupNumber(text);
  if (!id) return UsageErrorAt(invocation, 0, L"is not the number of a change (see korvane undo list)");
  if (const auto group = journal::ReadGroup(*id)) return UndoOne(invocation, *group);
  PrintError(L"korvane undo: no recorded change has the number " + text);
  return kExitFailed;
}

}  // namespace cli
