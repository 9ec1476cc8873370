// Reads shortcuts on a thread of its own while the walk goes on: reading one
// through the shell costs more than listing a folder.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "repair/drive_check/shortcut.h"

namespace repair::drive_check {

class ShortcutPrefetch : public ShortcutSource {
 public:
  explicit ShortcutPrefetch(const std::atomic<bool>& cancel);
  ShortcutPrefetch(const ShortcutPrefetch&) = delete;
  ShortcutPrefetch& operator=(const ShortcutPrefetch&) = delete;
  ~ShortcutPrefetch() override;

  void Add(const std::wstring& file);
  // Waits until every shortcut added has been read.
  void Finish();
  // What was read; only after Finish.
  std::optional<ShortcutTarget> Read(const std::wstring& file) const override;

 private:
  void Run();

  const std::atomic<bool>& cancel_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::wstring> queue_;
  bool closing_ = false;
  std::map<std::wstring, std::optional<ShortcutTarget>> read_;
  std::thread thread_;
};

}  // namespace repair::drive_check
