// Where a clean keeps what it takes off a drive: one folder per clean under
// %LOCALAPPDATA%\Korvane\Quarantine\, named by date, time and drive, keeping
// each file's path on the drive. Each file is stored as "name.quarantined"
// (so nothing there starts on a double-click) beside "name.record.txt",
// which says where it came from and when.
#pragma once

#include <optional>
#include <string>

namespace repair::drive_check {

inline constexpr wchar_t kQuarantinedSuffix[] = L".quarantined";
inline constexpr wchar_t kRecordSuffix[] = L".record.txt";

// %LOCALAPPDATA%\Korvane\Quarantine
std::wstring QuarantineRoot();

class Quarantine {
 public:
  // Creates this clean's folder under `root`; nothing when it cannot be written.
  static std::optional<Quarantine> Open(wchar_t drive, const std::wstring& root = QuarantineRoot());
  const std::wstring& Folder() const { return folder_; }

  // Copies the whole file here with the system's own copy call (which keeps
  // alternate data streams on NTFS), records the move in the journal, and only
  // then removes the file from the drive. `path` is the exact listed path.
  // Empty on success, else why the file stays where it is.
  std::wstring Take(const std::wstring& path, const std::wstring& driveRoot) const;

 private:
  explicit Quarantine(std::wstring folder, std::wstring when)
      : folder_(std::move(folder)), when_(std::move(when)) {}
  std::wstring folder_;
  std::wstring when_;
};

// The system's message for an error code, as one line.
std::wstring ErrorText(unsigned long code);

}  // namespace repair::drive_check
