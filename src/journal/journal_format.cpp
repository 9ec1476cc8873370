#include "journal/journal_format.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include "journal/journal_json.h"

namespace platform::journal::format {

using json::Json;
using json::Unsigned;

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

std::string Hex(const std::vector<BYTE>& bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const BYTE b : bytes) {
    text += kHexDigits[b >> 4];
    text += kHexDigits[b & 15];
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::vector<BYTE>> Unhex(const std::string& text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<BYTE> bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<BYTE>(high * 16 + low));
  }
  return bytes;
}

const std::pair<RegRoot, const char*> kRoots[] = {
    {kClassesRoot, "HKCR"}, {kCurrentUser, "HKCU"}, {kLocalMachine, "HKLM"}};

const char* RootName(RegRoot root) {
  for (const auto& [value, name] : kRoots) {
    if (value == root) return name;
  }
  return "HKCU";
}

std::optional<RegRoot> RootValue(const std::string& name) {
  for (const auto& [value, rootName] : kRoots) {
    if (name == rootName) return value;
  }
  return std::nullopt;
}

// The bytes, and for a person the value as text where it is text or a number.
Json StateJson(const RegState& state) {
  if (!state.present) return nullptr;
  Json j;
  j["type"] = state.type;
  j["hex"] = Hex(state.bytes);
  if ((state.type == REG_SZ || state.type == REG_EXPAND_SZ) && state.bytes.size() >= 2) {
    std::wstring text(reinterpret_cast<const wchar_t*>(state.bytes.data()), state.bytes.size() / sizeof(wchar_t));
    text.resize(std::min(text.size(), text.find(L'\0')));
    j["text"] = ToUtf8(text);
  } else if (state.type == REG_DWORD && state.bytes.size() == sizeof(DWORD)) {
    DWORD number = 0;
    std::copy(state.bytes.begin(), state.bytes.end(), reinterpret_cast<BYTE*>(&number));
    j["text"] = std::to_string(number);
  }
  return j;
}

// Registry types run from REG_NONE to REG_QWORD.
constexpr std::uint64_t kLastRegType = 11;

std::optional<std::wstring> String(const Json& j, const char* key) {
  const auto it = j.find(key);
  if (it == j.end() || !it->is_string()) return std::nullopt;
  return FromUtf8(it->get_ref<const std::string&>());
}

std::optional<bool> Bool(const Json& j, const char* key) {
  const auto it = j.find(key);
  if (it == j.end() || !it->is_boolean()) return std::nullopt;
  return it->get<bool>();
}

std::optional<RegState> StateFrom(const Json& j, const char* key) {
  const auto it = j.find(key);
  if (it == j.end()) return std::nullopt;
  if (it->is_null()) return RegState{};
  if (!it->is_object()) return std::nullopt;
  const auto type = Unsigned(*it, "type");
  const auto hex = it->find("hex");
  if (!type || *type > kLastRegType || hex == it->end() || !hex->is_string()) return std::nullopt;
  auto bytes = Unhex(hex->get_ref<const std::string&>());
  if (!bytes) return std::nullopt;
  return RegState{true, static_cast<DWORD>(*type), std::move(*bytes)};
}

const char* KindName(ItemKind kind) {
  switch (kind) {
    case ItemKind::Registry:
      return "registry";
    case ItemKind::Attributes:
      return "attributes";
    case ItemKind::Content:
      return "content";
    case ItemKind::Move:
      return "move";
    case ItemKind::Rename:
      return "rename";
    case ItemKind::Note:
      return "note";
  }
  return "note";
}

std::optional<ItemKind> KindFrom(const std::string& name) {
  for (const ItemKind kind :
       {ItemKind::Registry, ItemKind::Attributes, ItemKind::Content, ItemKind::Move, ItemKind::Rename, ItemKind::Note}) {
    if (name == KindName(kind)) return kind;
  }
  return std::nullopt;
}

std::string Line(const Json& j) {
  // Unreadable text never stops a record; it is kept with replacement characters.
  std::string line = j.dump(-1, ' ', false, Json::error_handler_t::replace);
  line += '\n';
  return line;
}

// Kept copies are named relative to the journal's folder, so the folder can move.
std::wstring Relative(std::wstring_view path, std::wstring_view folder) {
  if (path.size() > folder.size() && path.substr(0, folder.size()) == folder) return std::wstring(path.substr(folder.size()));
  return std::wstring(path);
}

std::wstring Absolute(const std::wstring& path, std::wstring_view folder) {
  if (path.size() > 1 && (path[1] == L':' || path[0] == L'\\')) return path;
  return std::wstring(folder) + path;
}

std::optional<DWORD> Attributes(const Json& j, const char* key) {
  const auto value = Unsigned(j, key);
  if (!value || *value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<DWORD>(*value);
}

// An item as its line gives it; nullopt when a field is missing, of the wrong type or out of range.
std::optional<Item> ItemFrom(const Json& j, ItemKind kind, std::wstring_view folder) {
  Item item;
  item.kind = kind;
  switch (kind) {
    case ItemKind::Registry: {
      const auto root = j.find("root");
      if (root == j.end() || !root->is_string()) return std::nullopt;
      const auto rootValue = RootValue(root->get_ref<const std::string&>());
      auto key = String(j, "key");
      auto name = String(j, "name");
      auto before = StateFrom(j, "before");
      auto after = StateFrom(j, "after");
      if (!rootValue || !key || key->empty() || !name || !before || !after) return std::nullopt;
      item.root = *rootValue;
      item.key = std::move(*key);
      item.name = std::move(*name);
      item.regBefore = std::move(*before);
      item.regAfter = std::move(*after);
      return item;
    }
    case ItemKind::Attributes: {
      auto path = String(j, "path");
      const auto before = Attributes(j, "before");
      const auto after = Attributes(j, "after");
      if (!path || path->empty() || !before || !after) return std::nullopt;
      item.path = std::move(*path);
      item.attrBefore = *before;
      item.attrAfter = *after;
      return item;
    }
    case ItemKind::Content: {
      auto path = String(j, "path");
      const auto existed = Bool(j, "existed");
      if (!path || path->empty() || !existed) return std::nullopt;
      item.path = std::move(*path);
      item.existedBefore = *existed;
      if (item.existedBefore) {
        auto kept = String(j, "kept");
        if (!kept || kept->empty()) return std::nullopt;
        item.kept = Absolute(*kept, folder);
      }
      return item;
    }
    case ItemKind::Move:
    case ItemKind::Rename: {
      auto path = String(j, "path");
      auto to = String(j, "to");
      if (!path || path->empty() || !to || to->empty()) return std::nullopt;
      item.path = std::move(*path);
      item.kept = std::move(*to);
      if (kind == ItemKind::Move) {
        auto after = String(j, "after");
        if (!after) return std::nullopt;
        item.afterDigest = std::move(*after);
      }
      return item;
    }
    case ItemKind::Note: {
      auto text = String(j, "text");
      if (!text) return std::nullopt;
      item.path = std::move(*text);
      return item;
    }
  }
  return std::nullopt;
}

// Items of one group are numbered from 0; a number past this is damage, not a group.
constexpr std::uint64_t kMaxItems = std::uint64_t{1} << 24;

std::optional<std::size_t> Index(const Json& j) {
  const auto n = Unsigned(j, "n");
  if (!n || *n >= kMaxItems) return std::nullopt;
  return static_cast<std::size_t>(*n);
}

constexpr std::size_t kMaxUndoes = 2000;

bool IsDriveLetters(const std::wstring& text) {
  return text.size() <= 26 && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'A' && c <= L'Z'; });
}

std::uint64_t NumberAfter(std::string_view line, std::string_view field) {
  const auto at = line.find(field);
  if (at == std::string_view::npos) return 0;
  std::uint64_t value = 0;
  const char* begin = line.data() + at + field.size();
  std::from_chars(begin, line.data() + line.size(), value);
  return value;
}

}  // namespace

std::string HeaderLine(GroupId id, std::wstring_view time, std::wstring_view what, std::wstring_view drives,
                       std::span<const GroupId> undoes) {
  Json j;
  j["group"] = id;
  j["time"] = ToUtf8(time);
  j["what"] = ToUtf8(what);
  if (!drives.empty()) j["drives"] = ToUtf8(drives);
  // Past this many the header would outgrow a line; the groups then only do not show as undone.
  if (!undoes.empty() && undoes.size() <= kMaxUndoes) j["undoes"] = std::vector<GroupId>(undoes.begin(), undoes.end());
  return Line(j);
}

namespace {

// A string as Line's dump writes it: a clean writes an attribute item for each of
// up to 100,000 files, and building a JSON object for each cost more than its change.
void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\\u00";
          out += kHexDigits[(c >> 4) & 15];
          out += kHexDigits[c & 15];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

// The same line as the object below gives, built directly; a path with a
// surrogate takes the long way, which mends one left unpaired.
std::optional<std::string> QuickAttributesLine(GroupId id, std::size_t index, const Item& item) {
  if (std::any_of(item.path.begin(), item.path.end(), [](wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; })) {
    return std::nullopt;
  }
  std::string line = "{\"group\":" + std::to_string(id) + ",\"n\":" + std::to_string(index) + ",\"kind\":\"" +
                     KindName(item.kind) + "\",\"path\":";
  AppendQuoted(line, ToUtf8(item.path));
  line += ",\"before\":" + std::to_string(item.attrBefore) + ",\"after\":" + std::to_string(item.attrAfter) + "}\n";
  return line;
}

}  // namespace

std::string ItemLine(GroupId id, std::size_t index, const Item& item, std::wstring_view folder) {
  if (item.kind == ItemKind::Attributes) {
    if (auto line = QuickAttributesLine(id, index, item)) return std::move(*line);
  }
  Json j;
  j["group"] = id;
  j["n"] = index;
  j["kind"] = KindName(item.kind);
  switch (item.kind) {
    case ItemKind::Registry:
      j["root"] = RootName(item.root);
      j["key"] = ToUtf8(item.key);
      j["name"] = ToUtf8(item.name);
      j["before"] = StateJson(item.regBefore);
      j["after"] = StateJson(item.regAfter);
      break;
    case ItemKind::Attributes:
      j["path"] = ToUtf8(item.path);
      j["before"] = item.attrBefore;
      j["after"] = item.attrAfter;
      break;
    case ItemKind::Content:
      j["path"] = ToUtf8(item.path);
      j["existed"] = item.existedBefore;
      if (item.existedBefore) {
        j["kept"] = ToUtf8(Relative(item.kept, folder));
        WIN32_FILE_ATTRIBUTE_DATA data{};
        const std::wstring kept(item.kept);
        const bool known = GetFileAttributesExW(kept.c_str(), GetFileExInfoStandard, &data);
        j["keptBytes"] = known ? (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow : 0;
      }
      break;
    case ItemKind::Move: {
      j["path"] = ToUtf8(item.path);
      j["to"] = ToUtf8(item.kept);
      j["after"] = ToUtf8(item.afterDigest);
      // What the quarantine holds, counted against its bound.
      WIN32_FILE_ATTRIBUTE_DATA data{};
      if (GetFileAttributesExW(item.kept.c_str(), GetFileExInfoStandard, &data)) {
        j["movedBytes"] = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
      }
      break;
    }
    case ItemKind::Rename:
      j["path"] = ToUtf8(item.path);
      j["to"] = ToUtf8(item.kept);
      break;
    case ItemKind::Note:
      j["text"] = ToUtf8(item.path);
      break;
  }
  return Line(j);
}

std::string AfterLine(GroupId id, std::size_t index, std::wstring_view digest) {
  Json j;
  j["group"] = id;
  j["n"] = index;
  j["after"] = ToUtf8(digest);
  return Line(j);
}

std::string NotMadeLine(GroupId id, std::size_t index) {
  Json j;
  j["group"] = id;
  j["n"] = index;
  j["notMade"] = true;
  return Line(j);
}

std::string EndLine(GroupId id, std::optional<std::size_t> changes) {
  Json j;
  j["group"] = id;
  j["end"] = true;
  if (changes) j["changes"] = *changes;
  return Line(j);
}

std::string DroppedLine(std::uint64_t dropped, GroupId lastGroup) {
  Json j;
  j["dropped"] = dropped;
  j["lastGroup"] = lastGroup;
  return Line(j);
}

bool IsDroppedLine(std::string_view line) { return line.starts_with("{\"dropped\":"); }

LineFacts Facts(std::string_view line) {
  LineFacts facts;
  constexpr std::string_view kGroup = "{\"group\":";
  constexpr std::string_view kDropped = "{\"dropped\":";
  if (line.substr(0, kGroup.size()) == kGroup) {
    const char* begin = line.data() + kGroup.size();
    const auto [end, error] = std::from_chars(begin, line.data() + line.size(), facts.group);
    if (error != std::errc()) return {};
    facts.header = std::string_view(end, static_cast<std::size_t>(line.data() + line.size() - end)).substr(0, 8) ==
                   ",\"time\":";
    facts.keptBytes = NumberAfter(line, "\"keptBytes\":");
    facts.movedBytes = NumberAfter(line, "\"movedBytes\":");
    facts.end = std::string_view(end, static_cast<std::size_t>(line.data() + line.size() - end)).starts_with(",\"end\":true");
  } else if (line.substr(0, kDropped.size()) == kDropped) {
    facts.dropped = NumberAfter(line, kDropped);
    facts.lastGroup = NumberAfter(line, "\"lastGroup\":");
  }
  return facts;
}

namespace {

// Whether the header was read; a second header for one id would let a forged group take over a real one's items.
bool ReadHeader(std::map<GroupId, Reader::Open>& groups, GroupId id, const Json& j, std::string_view line,
                std::uint64_t at) {
  auto time = String(j, "time");
  auto what = String(j, "what");
  std::optional<std::wstring> drives = std::wstring();
  if (j.contains("drives")) drives = String(j, "drives");
  std::vector<GroupId> undoes;
  if (const auto list = j.find("undoes"); list != j.end()) {
    if (!list->is_array() || list->size() > kMaxUndoes) return false;
    for (const Json& undone : *list) {
      if (!undone.is_number_unsigned() || undone.get<GroupId>() >= id) return false;
      undoes.push_back(undone.get<GroupId>());
    }
  }
  if (!time || !what || !drives || !IsDriveLetters(*drives) || groups.contains(id)) return false;
  Reader::Open& open = groups[id];
  open.header = line;
  open.at = at;
  open.to = at + line.size() + 1;
  Group& group = open.group;
  group.undoes = std::move(undoes);
  group.id = id;
  group.time = std::move(*time);
  group.what = std::move(*what);
  group.drives = std::move(*drives);
  return true;
}

// Whether a line of a group already read is sound.
bool ReadGroupLine(Reader::Open& open, const Json& j, std::wstring_view folder, bool wanted) {
  Group& group = open.group;
  if (j.contains("end")) {
    const auto end = Bool(j, "end");
    if (!end || !*end) return false;
    group.finished = true;
    if (j.contains("changes")) {
      const auto changes = Unsigned(j, "changes");
      if (!changes) return false;
      group.changes = static_cast<std::size_t>(*changes);
    }
    return true;
  }
  const auto index = Index(j);
  if (!index) return false;
  if (j.contains("kind")) {
    const auto kindName = j.find("kind");
    const auto kind = kindName->is_string() ? KindFrom(kindName->get_ref<const std::string&>()) : std::nullopt;
    if (!kind) return false;
    auto item = ItemFrom(j, *kind, folder);
    if (!item || open.items.contains(*index)) return false;
    ++group.itemCount;
    if (wanted) open.items.emplace(*index, std::move(*item));
    return true;
  }
  const auto item = open.items.find(*index);
  if (j.contains("notMade")) {
    const auto notMade = Bool(j, "notMade");
    if (!notMade || !*notMade) return false;
    // Shown as nothing to put back.
    if (item != open.items.end()) item->second = Item{};
    return true;
  }
  auto after = String(j, "after");
  if (!after) return false;
  if (item != open.items.end()) item->second.afterDigest = std::move(*after);
  return true;
}

// Whether a line of a group whose items are not wanted is sound, judged without parsing it: only counted.
bool CountGroupLine(Group& group, std::string_view line) {
  if (line.find("\"kind\":") != std::string_view::npos) {
    // A number that is not a plain count cannot be an item's.
    const auto n = line.find("\"n\":");
    if (n == std::string_view::npos || n + 4 >= line.size() || line[n + 4] < '0' || line[n + 4] > '9') return false;
    ++group.itemCount;
  } else if (line.find("\"end\":true") != std::string_view::npos) {
    group.finished = true;
    if (line.find("\"changes\":") != std::string_view::npos) {
      group.changes = static_cast<std::size_t>(NumberAfter(line, "\"changes\":"));
    }
  }
  return true;
}

}  // namespace

Reader::Reader(std::wstring_view folder, std::function<bool(GroupId)> wantItems)
    : folder_(folder), wantItems_(std::move(wantItems)) {}

void Reader::Line(std::string_view line, std::uint64_t at) {
  if (line.empty()) return;
  if (line.size() > kMaxLine) {
    Skipped();
    return;
  }
  const LineFacts facts = Facts(line);
  if (facts.group && !facts.header) {
    // A group's line as Korvane writes it belongs to the group it starts with, read closely or not.
    const bool wanted = !wantItems_ || wantItems_(facts.group);
    Json j;
    if (wanted) {
      j = Json::parse(line, nullptr, false);
      if (j.is_discarded()) {
        Skipped();
        return;
      }
    } else if (!Json::accept(line)) {  // parsing the items of groups not wanted is most of the time spent
      Skipped();
      return;
    }
    const auto found = groups_.find(facts.group);
    if (found == groups_.end()) return;  // its header was let go or never reached the disk
    Open& open = found->second;
    open.to = at + line.size() + 1;
    ++open.lines;
    const bool sound = wanted ? Unsigned(j, "group") == facts.group && ReadGroupLine(open, j, folder_, true)
                              : CountGroupLine(open.group, line);
    if (!sound) {
      Skipped();
      ++open.skipped;
    }
    return;
  }
  const Json j = Json::parse(line, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    Skipped();
    return;
  }
  if (j.contains("dropped")) {
    const auto dropped = Unsigned(j, "dropped");
    if (!dropped) {
      Skipped();
      return;
    }
    listing_.droppedGroups = *dropped;
    return;
  }
  const auto id = Unsigned(j, "group");
  if (!id || *id == 0) {
    Skipped();
    return;
  }
  if (j.contains("time")) {
    if (!ReadHeader(groups_, *id, j, line, at)) Skipped();
    return;
  }
  const auto found = groups_.find(*id);
  if (found == groups_.end()) return;  // its header was let go or never reached the disk
  Open& open = found->second;
  open.to = at + line.size() + 1;
  ++open.lines;
  if (!ReadGroupLine(open, j, folder_, !wantItems_ || wantItems_(*id))) {
    Skipped();
    ++open.skipped;
  }
}

Listing Reader::Finish() {
  listing_.groups.reserve(groups_.size());
  for (auto& [id, open] : groups_) {
    Group& group = open.group;
    // Said by the file: never more changes than items.
    if (group.changes) group.changes = std::min(*group.changes, group.itemCount);
    std::size_t expected = 0;
    for (auto& [index, item] : open.items) {
      group.gaps = group.gaps || index != expected;
      expected = index + 1;
      group.items.push_back(std::move(item));
    }
    listing_.groups.push_back(std::move(group));
  }
  groups_.clear();
  std::reverse(listing_.groups.begin(), listing_.groups.end());
  // Newest first, an undo is settled before the groups it undid: one undone itself no longer counts.
  std::map<GroupId, Group*> byId;
  for (Group& group : listing_.groups) byId[group.id] = &group;
  for (const Group& undo : listing_.groups) {
    if (undo.undoneBy) continue;
    for (const GroupId id : undo.undoes) {
      const auto found = byId.find(id);
      if (found == byId.end() || found->second->undoneBy) continue;
      found->second->undoneBy = undo.id;
      found->second->undoneAt = undo.time;
    }
  }
  return std::move(listing_);
}

Listing Parse(std::string_view bytes, std::wstring_view folder, const std::function<bool(GroupId)>& wantItems) {
  Reader reader(folder, wantItems);
  std::size_t start = 0;
  while (start < bytes.size()) {
    const auto newline = bytes.find('\n', start);
    if (newline == std::string_view::npos) {
      reader.Skipped();  // the last line, cut short
      break;
    }
    reader.Line(bytes.substr(start, newline - start), start);
    start = newline + 1;
  }
  return reader.Finish();
}

std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t hash) {
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

std::wstring Digest(std::wstring_view path) {
  const std::wstring p(path);
  const HANDLE file = CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kAbsent;
  // Enough to see that a file was changed, not a defence against anyone.
  std::uint64_t hash = kFnvBasis;
  std::uint64_t size = 0;
  std::vector<char> buffer(std::size_t{64} * 1024);
  DWORD got = 0;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
    hash = Fnv1a(std::string_view(buffer.data(), got), hash);
    size += got;
  }
  CloseHandle(file);
  wchar_t text[48];
  swprintf(text, 48, L"%llu:%016llx", static_cast<unsigned long long>(size), static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace platform::journal::format
