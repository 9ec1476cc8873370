// The journal's index: what reading its lines up to some length gave, kept in
// journal.index beside it, so that listing the groups reads the index and the
// lines added since, not every item, and a group's items are read from where
// the group starts. The index is as untrusted as the journal: anything in it
// that does not hold is a reason to read the journal whole and write it again.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "journal/journal.h"
#include "journal/journal_format.h"

namespace platform::journal::index {

// The groups, with the items of those named (none for a list of them): always
// what reading every line with the same wish would give.
Listing Read(std::span<const GroupId> wanted);
// How many of the journal's lines reads through the index have looked at, since the process started.
std::uint64_t LinesRead();

// What the index holds: a reader's state once it has read the journal up to
// `covered`, which ends a line; `head` and `tail` are digests of the first and
// last bytes covered, to know the journal again.
std::string Serialize(format::Reader& reader, std::uint64_t covered, std::string_view head, std::string_view tail);
// The reader (fresh, reading no group's items) as the index left it, and the
// length covered; nullopt when the index does not hold together. The journal's
// bytes are not looked at here: the caller compares `head` and `tail`.
struct Loaded {
  std::uint64_t covered = 0;
  std::string head;
  std::string tail;
};
std::optional<Loaded> Deserialize(std::string_view bytes, format::Reader& reader);

// How many bytes at each end of the covered length are compared.
inline constexpr std::uint64_t kEnds = 4096;
std::string DigestOf(std::string_view bytes);

}  // namespace platform::journal::index
