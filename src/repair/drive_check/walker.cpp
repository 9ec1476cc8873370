#include "repair/drive_check/walker.h"

namespace repair::drive_check {

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  std::wstring path = folder;
  if (path.empty() || path.back() != L'\\') path += L'\\';
  path += name;
  return path;
}

std::wstring LongPath(const std::wstring& path) {
  if (path.rfind(L"\\\\", 0) == 0) return path;
  return L"\\\\?\\" + path;
}

namespace {

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (Valid()) FindClose(handle_);
  }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Lists one folder; false when it could not be opened.
bool ListFolder(const std::wstring& folder, std::vector<Entry>& entries, const std::atomic<bool>& cancel) {
  entries.clear();
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileExW(LongPath(Join(folder, L"*")).c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find.Valid()) return GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty root has no "." either
  do {
    if (IsDotEntry(data.cFileName)) continue;
    entries.push_back({data.cFileName, data.dwFileAttributes,
                       (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
  } while (!cancel.load(std::memory_order_relaxed) && FindNextFileW(find.Get(), &data));
  return true;
}

bool RootPresent(const std::wstring& root) {
  return GetFileAttributesW(LongPath(root).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

WalkOutcome Walk(const std::wstring& root, const std::atomic<bool>& cancel, const FolderVisitor& visit) {
  WalkOutcome outcome;
  if (!RootPresent(root)) {
    outcome.end = WalkEnd::DriveGone;
    return outcome;
  }
  std::vector<std::wstring> pending{root};
  std::vector<Entry> entries;
  while (!pending.empty()) {
    if (cancel.load(std::memory_order_relaxed)) {
      outcome.end = WalkEnd::Cancelled;
      return outcome;
    }
    const std::wstring folder = std::move(pending.back());
    pending.pop_back();
    if (!ListFolder(folder, entries, cancel)) {
      // A folder that vanished with its drive ends the walk; one we may not read is noted.
      if (!RootPresent(root)) {
        outcome.end = WalkEnd::DriveGone;
        return outcome;
      }
      outcome.unreadable.push_back(folder);
      continue;
    }
    outcome.items += entries.size();
    visit(folder, entries);
    // Pushed in reverse so that folders are read in the order they were listed.
    for (std::size_t i = entries.size(); i-- > 0;) {
      if (entries[i].IsFolder() && !entries[i].IsReparsePoint()) pending.push_back(Join(folder, entries[i].name));
    }
  }
  if (cancel.load(std::memory_order_relaxed)) outcome.end = WalkEnd::Cancelled;
  return outcome;
}

}  // namespace repair::drive_check
