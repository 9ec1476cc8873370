#include "journal/journal_format.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <nlohmann/json.hpp>

namespace platform::journal::format {

using Json = nlohmann::ordered_json;

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

std::vector<BYTE> Unhex(const std::string& text) {
  std::vector<BYTE> bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    unsigned value = 0;
    std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    bytes.push_back(static_cast<BYTE>(value));
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

RegRoot RootValue(const std::string& name) {
  for (const auto& [value, rootName] : kRoots) {
    if (name == rootName) return value;
  }
  return kCurrentUser;
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

RegState StateFrom(const Json& j) {
  if (!j.is_object()) return {};
  return RegState{true, j.value("type", DWORD{REG_NONE}), Unhex(j.value("hex", std::string()))};
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

std::string Text(const Json& j, const char* key) {
  const auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::wstring WideText(const Json& j, const char* key) { return FromUtf8(Text(j, key)); }

Item ItemFrom(const Json& j, ItemKind kind, std::wstring_view folder) {
  Item item;
  item.kind = kind;
  switch (kind) {
    case ItemKind::Registry:
      item.root = RootValue(Text(j, "root"));
      item.key = WideText(j, "key");
      item.name = WideText(j, "name");
      item.regBefore = StateFrom(j.value("before", Json()));
      item.regAfter = StateFrom(j.value("after", Json()));
      break;
    case ItemKind::Attributes:
      item.path = WideText(j, "path");
      item.attrBefore = j.value("before", DWORD{0});
      item.attrAfter = j.value("after", DWORD{0});
      break;
    case ItemKind::Content:
      item.path = WideText(j, "path");
      item.existedBefore = j.value("existed", false);
      if (item.existedBefore) item.kept = Absolute(WideText(j, "kept"), folder);
      break;
    case ItemKind::Move:
      item.path = WideText(j, "path");
      item.kept = WideText(j, "to");
      item.afterDigest = WideText(j, "after");
      break;
    case ItemKind::Rename:
      item.path = WideText(j, "path");
      item.kept = WideText(j, "to");
      break;
    case ItemKind::Note:
      item.path = WideText(j, "text");
      break;
  }
  return item;
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

std::string HeaderLine(GroupId id, std::wstring_view time, std::wstring_view what) {
  Json j;
  j["group"] = id;
  j["time"] = ToUtf8(time);
  j["what"] = ToUtf8(what);
  return Line(j);
}

std::string ItemLine(GroupId id, std::size_t index, const Item& item, std::wstring_view folder) {
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
    case ItemKind::Move:
      j["path"] = ToUtf8(item.path);
      j["to"] = ToUtf8(item.kept);
      j["after"] = ToUtf8(item.afterDigest);
      break;
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

std::string EndLine(GroupId id) {
  Json j;
  j["group"] = id;
  j["end"] = true;
  return Line(j);
}

std::string DroppedLine(std::uint64_t dropped, GroupId lastGroup) {
  Json j;
  j["dropped"] = dropped;
  j["lastGroup"] = lastGroup;
  return Line(j);
}

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
  } else if (line.substr(0, kDropped.size()) == kDropped) {
    facts.dropped = NumberAfter(line, kDropped);
    facts.lastGroup = NumberAfter(line, "\"lastGroup\":");
  }
  return facts;
}

Listing Parse(std::string_view bytes, std::wstring_view folder, const std::function<bool(GroupId)>& wantItems) {
  Listing listing;
  std::map<GroupId, Group> groups;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const auto newline = bytes.find('\n', start);
    if (newline == std::string_view::npos) {
      ++listing.tornSkipped;  // the last line, cut short
      break;
    }
    const std::string_view line = bytes.substr(start, newline - start);
    start = newline + 1;
    if (line.empty()) continue;
    // Items of groups not wanted are only counted: parsing them is most of the time spent.
    const LineFacts facts = Facts(line);
    if (facts.group && !facts.header && wantItems && !wantItems(facts.group)) {
      const auto found = groups.find(facts.group);
      if (found == groups.end()) continue;
      if (line.find("\"kind\":") != std::string_view::npos) {
        const auto index = static_cast<std::size_t>(NumberAfter(line, "\"n\":"));
        found->second.itemCount = std::max(found->second.itemCount, index + 1);
      } else if (line.find("\"end\":true") != std::string_view::npos) {
        found->second.finished = true;
      }
      continue;
    }
    const Json j = Json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
      ++listing.tornSkipped;
      continue;
    }
    if (j.contains("dropped")) {
      listing.droppedGroups = j.value("dropped", std::uint64_t{0});
      continue;
    }
    const GroupId id = j.value("group", GroupId{0});
    if (id == 0) continue;
    if (j.contains("time")) {
      Group& group = groups[id];
      group.id = id;
      group.time = WideText(j, "time");
      group.what = WideText(j, "what");
      continue;
    }
    const auto found = groups.find(id);
    if (found == groups.end()) continue;  // its header was let go or never reached the disk
    Group& group = found->second;
    if (j.contains("end")) {
      group.finished = true;
    } else if (const auto kind = KindFrom(Text(j, "kind"))) {
      const std::size_t index = j.value("n", std::size_t{0});
      if (group.items.size() <= index) group.items.resize(index + 1);
      group.items[index] = ItemFrom(j, *kind, folder);
      group.itemCount = group.items.size();
    } else if (j.contains("notMade")) {
      // Shown as nothing to put back.
      const std::size_t index = j.value("n", std::size_t{0});
      if (index < group.items.size()) group.items[index] = Item{};
    } else if (j.contains("after")) {
      const std::size_t index = j.value("n", std::size_t{0});
      if (index < group.items.size()) group.items[index].afterDigest = WideText(j, "after");
    }
  }
  listing.groups.reserve(groups.size());
  for (auto& entry : groups) listing.groups.push_back(std::move(entry.second));
  std::reverse(listing.groups.begin(), listing.groups.end());
  return listing;
}

std::wstring Digest(std::wstring_view path) {
  const std::wstring p(path);
  const HANDLE file = CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kAbsent;
  // FNV-1a: enough to see that a file was changed, not a defence against anyone.
  std::uint64_t hash = 14695981039346656037ull;
  std::uint64_t size = 0;
  std::vector<BYTE> buffer(std::size_t{64} * 1024);
  DWORD got = 0;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
    for (DWORD i = 0; i < got; ++i) hash = (hash ^ buffer[i]) * 1099511628211ull;
    size += got;
  }
  CloseHandle(file);
  wchar_t text[48];
  swprintf(text, 48, L"%llu:%016llx", static_cast<unsigned long long>(size), static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace platform::journal::format
