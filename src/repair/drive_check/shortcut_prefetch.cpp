#include "repair/drive_check/shortcut_prefetch.h"

namespace repair::drive_check {

ShortcutPrefetch::ShortcutPrefetch(const std::atomic<bool>& cancel) : cancel_(cancel) {}

ShortcutPrefetch::~ShortcutPrefetch() { Finish(); }

void ShortcutPrefetch::Add(const std::wstring& file) {
  {
    const std::lock_guard guard(lock_);
    queue_.push_back(file);
  }
  // Started with the first shortcut: most folders have none.
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
  wake_.notify_one();
}

void ShortcutPrefetch::Finish() {
  {
    const std::lock_guard guard(lock_);
    closing_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

std::optional<ShortcutTarget> ShortcutPrefetch::Read(const std::wstring& file) const {
  const auto found = read_.find(file);
  return found == read_.end() ? std::nullopt : found->second;
}

void ShortcutPrefetch::Run() {
  const ComScope com;
  const ShortcutReader reader;
  std::unique_lock guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return closing_ || !queue_.empty(); });
    if (queue_.empty()) return;
    const std::wstring file = std::move(queue_.front());
    queue_.pop_front();
    guard.unlock();
    auto target = cancel_.load(std::memory_order_relaxed) ? std::nullopt : reader.Read(file);
    guard.lock();
    read_.emplace(file, std::move(target));
  }
}

}  // namespace repair::drive_check
