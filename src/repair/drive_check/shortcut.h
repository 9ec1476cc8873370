// What a shortcut file says it starts, read through the shell's own link
// object and never resolved (resolving would search the disks for a target).
#pragma once

#include <optional>
#include <string>

#include "system/com_scope.h"
#include "system/handle.h"

struct IClassFactory;

namespace repair::drive_check {

struct ShortcutTarget {
  std::wstring path;  // as stored, environment variables not expanded; empty for a shell item
  std::wstring arguments;
  std::wstring workingFolder;
};

class ShortcutSource {
 public:
  virtual ~ShortcutSource() = default;
  // Nothing when the file is not a readable shortcut.
  virtual std::optional<ShortcutTarget> Read(const std::wstring& file) const = 0;
};

// Reads shortcuts on the thread that made it, which needs COM. The link
// class is looked up once: a lookup per file would cost more than the walk.
class ShortcutReader : public ShortcutSource {
 public:
  ShortcutReader();
  ~ShortcutReader() override;
  std::optional<ShortcutTarget> Read(const std::wstring& file) const override;

 private:
  platform::ComPtr<IClassFactory> factory_;
};

// Reading shortcuts needs COM on the thread.
using platform::ComScope;

}  // namespace repair::drive_check
