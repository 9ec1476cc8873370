#include "journal/journal_index.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "journal/journal_json.h"
#include "journal/journal_store.h"

namespace platform::journal::index {

namespace {

using json::Json;
using json::Text;
using json::Unsigned;
using format::Reader;

// A list of groups scans at most this much of the journal past the index before it writes the index again.
constexpr std::uint64_t kRefreshBytes = std::uint64_t{128} * 1024;
std::atomic<std::uint64_t> linesRead{0};

// No line Korvane writes is shorter: bounds on what an index may claim of a stretch of the journal.
constexpr std::uint64_t kShortestLine = 16;

// The next line of the index, without its newline; nullopt past its end or at a line left open.
std::optional<std::string_view> NextLine(std::string_view bytes, std::size_t& start) {
  const auto newline = bytes.find('\n', start);
  if (newline == std::string_view::npos || newline - start > format::kMaxLine) return std::nullopt;
  const std::string_view line = bytes.substr(start, newline - start);
  start = newline + 1;
  return line;
}

// The digests of the first and last bytes of the journal's [0, covered), which must end a line.
std::optional<std::pair<std::string, std::string>> EndsOf(HANDLE file, std::uint64_t covered) {
  const std::uint64_t length = std::min(covered, kEnds);
  std::string head;
  std::string tail;
  if (!store::ReadRange(file, 0, length, head) || !store::ReadRange(file, covered - length, covered, tail)) {
    return std::nullopt;
  }
  if (!tail.empty() && tail.back() != '\n') return std::nullopt;
  return std::pair{DigestOf(head), DigestOf(tail)};
}

// Whether each group's header is where the index says, as it says: the journal's
// bytes read in stretches that take in several headers where they lie close.
bool HeadersHold(HANDLE file, Reader& reader) {
  constexpr std::uint64_t kGap = std::uint64_t{64} * 1024;
  constexpr std::uint64_t kStretch = std::uint64_t{1024} * 1024;
  std::vector<const Reader::Open*> groups;
  groups.reserve(reader.Groups().size());
  for (const auto& entry : reader.Groups()) groups.push_back(&entry.second);
  std::sort(groups.begin(), groups.end(), [](const Reader::Open* a, const Reader::Open* b) { return a->at < b->at; });
  std::string bytes;
  for (std::size_t first = 0; first < groups.size();) {
    const std::uint64_t from = groups[first]->at;
    std::uint64_t to = from + groups[first]->header.size() + 1;
    std::size_t last = first + 1;
    for (; last < groups.size(); ++last) {
      const std::uint64_t end = groups[last]->at + groups[last]->header.size() + 1;
      if (groups[last]->at > to + kGap || end - from > kStretch) break;
      to = std::max(to, end);
    }
    if (!store::ReadRange(file, from, to, bytes)) return false;
    for (std::size_t n = first; n < last; ++n) {
      const Reader::Open& open = *groups[n];
      const auto at = static_cast<std::size_t>(open.at - from);
      if (bytes.compare(at, open.header.size(), open.header) != 0 || bytes[at + open.header.size()] != '\n') return false;
    }
    first = last;
  }
  return true;
}

store::Lines Scan(HANDLE file, std::uint64_t from, std::uint64_t to, Reader& reader) {
  const store::Lines lines =
      store::ForEachLine(file, from, to, [&reader](std::string_view line, std::uint64_t at) {
        ++linesRead;
        reader.Line(line, at);
      });
  reader.Skipped(lines.skipped);
  return lines;
}

bool Load(HANDLE file, std::uint64_t size, Reader& reader, std::uint64_t& covered) {
  // An index holds less than the lines it sums up, a few numbers per group aside.
  const auto bytes = store::ReadIndex(4 * size + std::uint64_t{64} * 1024);
  if (!bytes) return false;
  const auto loaded = Deserialize(*bytes, reader);
  if (!loaded || loaded->covered > size) return false;
  const auto ends = EndsOf(file, loaded->covered);
  if (!ends || ends->first != loaded->head || ends->second != loaded->tail || !HeadersHold(file, reader)) return false;
  covered = loaded->covered;
  return true;
}

void Save(HANDLE file, Reader& reader, std::uint64_t covered) {
  if (const auto ends = EndsOf(file, covered)) store::WriteIndex(Serialize(reader, covered, ends->first, ends->second));
}

// Reads the items of the groups wanted from where each starts to where its last
// line ends, and puts them in the reader's place. False when the reader's
// offsets do not hold for the file (a header not where it was said to be, a
// group ending elsewhere): then nothing is changed.
bool ReadWanted(HANDLE file, Reader& reader, std::span<const GroupId> wanted) {
  std::set<GroupId> ids;
  std::map<std::uint64_t, GroupId> starts;
  std::uint64_t from = UINT64_MAX;
  std::uint64_t to = 0;
  for (const GroupId id : wanted) {
    const auto found = reader.Groups().find(id);
    if (found == reader.Groups().end()) continue;
    ids.insert(id);
    starts[found->second.at] = id;
    from = std::min(from, found->second.at);
    to = std::max(to, found->second.to);
  }
  if (ids.empty()) return true;
  Reader sub(Folder(), [&ids](GroupId id) { return ids.contains(id); });
  bool headersHold = true;
  store::ForEachLine(file, from, to, [&](std::string_view line, std::uint64_t at) {
    ++linesRead;
    if (const auto start = starts.find(at); start != starts.end()) {
      headersHold = headersHold && line == reader.Groups().at(start->second).header;
      sub.Line(line, at);
      return;
    }
    // Only a group's first header makes it; the lines of other groups are not looked at.
    const format::LineFacts facts = format::Facts(line);
    if (facts.header || (facts.group && !ids.contains(facts.group))) return;
    sub.Line(line, at);
  });
  if (!headersHold) return false;
  for (const GroupId id : ids) {
    const auto read = sub.Groups().find(id);
    const Reader::Open& open = reader.Groups().at(id);
    if (read == sub.Groups().end() || read->second.to != open.to || read->second.lines != open.lines) return false;
  }
  for (const GroupId id : ids) {
    Reader::Open& open = reader.Groups().at(id);
    Reader::Open& read = sub.Groups().at(id);
    // Read closely, some of its lines may be found unsound that a count let by, or the other way round.
    std::size_t& skipped = reader.Totals().skippedLines;
    skipped = skipped - open.skipped + read.skipped;
    open = std::move(read);
  }
  return true;
}

Listing ReadLocked(HANDLE file, std::uint64_t size, std::span<const GroupId> wanted) {
  const auto none = [](GroupId) { return false; };
  std::optional<Reader> reader;
  reader.emplace(Folder(), none);
  std::uint64_t covered = 0;
  const bool indexed = Load(file, size, *reader, covered);
  if (!indexed) {
    reader.emplace(Folder(), none);
    covered = 0;
  }
  store::Lines lines = Scan(file, covered, size, *reader);
  if (!indexed || lines.end - covered > kRefreshBytes) Save(file, *reader, lines.end);
  if (!wanted.empty() && !ReadWanted(file, *reader, wanted)) {
    reader.emplace(Folder(), none);
    lines = Scan(file, 0, size, *reader);
    Save(file, *reader, lines.end);
    ReadWanted(file, *reader, wanted);
  }
  if (lines.end < size) reader->Skipped();  // the last line, cut short
  return reader->Finish();
}

}  // namespace

std::string DigestOf(std::string_view bytes) {
  const std::uint64_t hash = format::Fnv1a(bytes);
  char text[17];
  snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

std::string Serialize(Reader& reader, std::uint64_t covered, std::string_view head, std::string_view tail) {
  std::vector<const Reader::Open*> groups;
  groups.reserve(reader.Groups().size());
  for (const auto& entry : reader.Groups()) groups.push_back(&entry.second);
  std::sort(groups.begin(), groups.end(), [](const Reader::Open* a, const Reader::Open* b) { return a->at < b->at; });
  const Json summary = {{"index", 1},
                        {"covered", covered},
                        {"head", head},
                        {"tail", tail},
                        {"groups", groups.size()},
                        {"skipped", reader.Totals().skippedLines},
                        {"dropped", reader.Totals().droppedGroups}};
  std::string bytes = summary.dump() + "\n";
  for (const Reader::Open* open : groups) {
    Json j = {{"group", open->group.id},
              {"at", open->at},
              {"to", open->to},
              {"lines", open->lines},
              {"items", open->group.itemCount},
              {"finished", open->group.finished},
              {"skipped", open->skipped}};
    if (open->group.changes) j["changes"] = *open->group.changes;
    bytes += j.dump() + "\n";
    bytes += open->header;  // as read, so that it reads again the same
    bytes += '\n';
  }
  return bytes;
}

std::optional<Loaded> Deserialize(std::string_view bytes, Reader& reader) {
  std::size_t start = 0;
  const auto first = NextLine(bytes, start);
  if (!first) return std::nullopt;
  const Json summary = Json::parse(*first, nullptr, false);
  if (!summary.is_object() || Unsigned(summary, "index") != 1u) return std::nullopt;
  const auto covered = Unsigned(summary, "covered");
  auto head = Text(summary, "head");
  auto tail = Text(summary, "tail");
  const auto groups = Unsigned(summary, "groups");
  const auto skipped = Unsigned(summary, "skipped");
  const auto dropped = Unsigned(summary, "dropped");
  if (!covered || !head || !tail || !groups || !skipped || !dropped || *groups > *covered / kShortestLine ||
      *skipped > *covered / 2) {
    return std::nullopt;
  }
  std::uint64_t lastAt = 0;
  std::uint64_t groupsSkipped = 0;
  for (std::uint64_t n = 0; n < *groups; ++n) {
    const auto numbers = NextLine(bytes, start);
    const auto header = NextLine(bytes, start);
    if (!numbers || !header) return std::nullopt;
    const Json j = Json::parse(*numbers, nullptr, false);
    if (!j.is_object()) return std::nullopt;
    const auto id = Unsigned(j, "group");
    const auto at = Unsigned(j, "at");
    const auto to = Unsigned(j, "to");
    const auto lines = Unsigned(j, "lines");
    const auto items = Unsigned(j, "items");
    const auto groupSkipped = Unsigned(j, "skipped");
    const auto finished = j.find("finished");
    const bool hasChanges = j.contains("changes");
    const auto changes = Unsigned(j, "changes");
    if (!id || !at || !to || !lines || !items || !groupSkipped || finished == j.end() || !finished->is_boolean() ||
        (hasChanges && !changes) || (n > 0 && *at <= lastAt) || *to > *covered || *at >= *to || *to - *at <= header->size() ||
        *lines > (*to - *at) / kShortestLine || *items > *lines || *groupSkipped > (*to - *at) / 2) {
      return std::nullopt;
    }
    // The header is read again as the journal's own line was: it must make that group, anew.
    const std::size_t before = reader.Groups().size();
    reader.Line(*header, *at);
    const auto made = reader.Groups().find(*id);
    if (reader.Groups().size() != before + 1 || made == reader.Groups().end() || made->second.at != *at) {
      return std::nullopt;
    }
    Reader::Open& open = made->second;
    open.to = *to;
    open.lines = *lines;
    open.skipped = static_cast<std::size_t>(*groupSkipped);
    open.group.itemCount = static_cast<std::size_t>(*items);
    open.group.finished = finished->get<bool>();
    if (changes) open.group.changes = static_cast<std::size_t>(*changes);
    lastAt = *at;
    groupsSkipped += *groupSkipped;
  }
  if (start != bytes.size() || groupsSkipped > *skipped || reader.Totals().skippedLines != 0) return std::nullopt;
  reader.Totals().skippedLines = static_cast<std::size_t>(*skipped);
  reader.Totals().droppedGroups = *dropped;
  return Loaded{*covered, std::move(*head), std::move(*tail)};
}

std::uint64_t LinesRead() { return linesRead.load(); }

Listing Read(std::span<const GroupId> wanted) {
  Listing listing;
  store::UnderLock([&](HANDLE file, std::uint64_t size) {
    if (file) listing = ReadLocked(file, size, wanted);
  });
  return listing;
}

}  // namespace platform::journal::index
