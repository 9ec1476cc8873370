// The journal's lines on disk and back: one JSON object per line, UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "journal/journal.h"
#include "system/utf8.h"

namespace platform::journal::format {

using platform::FromUtf8;
using platform::ToUtf8;

// Each line ends with its newline; a line without one was cut short.
std::string HeaderLine(GroupId id, std::wstring_view time, std::wstring_view what, std::wstring_view drives = {},
                       std::span<const GroupId> undoes = {});
std::string ItemLine(GroupId id, std::size_t index, const Item& item, std::wstring_view folder);
std::string AfterLine(GroupId id, std::size_t index, std::wstring_view digest);
std::string EndLine(GroupId id, std::optional<std::size_t> changes = std::nullopt);
std::string NotMadeLine(GroupId id, std::size_t index);
std::string DroppedLine(std::uint64_t dropped, GroupId lastGroup);
// Whether the line is one DroppedLine wrote, whatever its counts.
bool IsDroppedLine(std::string_view line);

// What a line is, read cheaply without parsing it all (for ids and bounds).
struct LineFacts {
  GroupId group = 0;  // 0 when the line belongs to no group
  bool header = false;
  bool end = false;  // the group's last line: its action ran to its end
  std::uint64_t keptBytes = 0;
  std::uint64_t movedBytes = 0;  // a file moved to the quarantine
  std::uint64_t dropped = 0;  // from the line written when old groups were let go
  GroupId lastGroup = 0;      // likewise
};
LineFacts Facts(std::string_view line);

// The longest line read; a longer one is skipped unread.
inline constexpr std::size_t kMaxLine = std::size_t{64} * 1024;

// Builds a listing from the journal's lines, one at a time, trusting none of
// them: a line with a field of the wrong type or out of range is skipped and
// counted, never the lines around it. Items are read only for the groups the
// filter wants (all when there is none); the others' item lines are only counted.
class Reader {
 public:
  explicit Reader(std::wstring_view folder, std::function<bool(GroupId)> wantItems = nullptr);
  // A complete line, without its newline, and where it starts in the file.
  void Line(std::string_view line, std::uint64_t at = 0);
  // A line that could not be read at all (too long, or cut short).
  void Skipped(std::size_t count = 1) { listing_.skippedLines += count; }
  Listing Finish();

  struct Open {
    Group group;
    std::map<std::size_t, Item> items;
    std::string header;       // its header line, as read
    std::uint64_t at = 0;     // where that line starts in the file
    std::uint64_t to = 0;     // where the last line read of the group ends
    std::uint64_t lines = 0;  // its lines read after the header
    std::size_t skipped = 0;  // its lines skipped (counted in the listing's too)
  };
  // What has been read so far, for the index that keeps it between reads. A
  // line goes to the same group whether its items are wanted or not; only how
  // closely it is looked at differs.
  std::map<GroupId, Open>& Groups() { return groups_; }
  Listing& Totals() { return listing_; }

 private:
  std::wstring folder_;
  std::function<bool(GroupId)> wantItems_;
  std::map<GroupId, Open> groups_;
  Listing listing_;
};

// The same over lines held in memory.
Listing Parse(std::string_view bytes, std::wstring_view folder,
              const std::function<bool(GroupId)>& wantItems = nullptr);

// What a file holds, briefly: "absent", or its size and a hash of its bytes.
std::wstring Digest(std::wstring_view path);
// FNV-1a, carried on from `hash`: tells changed bytes, never forged ones.
inline constexpr std::uint64_t kFnvBasis = 14695981039346656037ull;
std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t hash = kFnvBasis);
inline constexpr wchar_t kAbsent[] = L"absent";

}  // namespace platform::journal::format
