// Where the journal tests find the user's journal file, to read or damage it.
#pragma once

#include <string>

#include "journal/journal.h"

namespace journal_tests {

inline std::wstring JournalFile() { return platform::journal::Folder() + L"journal.jsonl"; }

}  // namespace journal_tests
