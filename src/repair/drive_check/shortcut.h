// What a shortcut file says it starts, read through the shell's own link
// object and never resolved (resolving would search the disks for a target).
#pragma once

#include <optional>
#include <string>

namespace repair::drive_check {

struct ShortcutTarget {
  std::wstring path;  // as stored, environment variables not expanded; empty for a shell item
  std::wstring arguments;
  std::wstring workingFolder;
};

// Needs COM on the calling thread; nothing when the file is not a readable shortcut.
std::optional<ShortcutTarget> ReadShortcut(const std::wstring& file);

// COM for the lifetime of the object, on this thread.
class ComScope {
 public:
  ComScope();
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope();

 private:
  bool owned_;
};

}  // namespace repair::drive_check
