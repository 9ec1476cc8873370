// A mutex shared by every running Korvane, held for one scope. The wait gives
// up after a while: a copy that hangs while holding it must not hang the others.
#pragma once

#include <windows.h>

namespace platform {

class NamedLock {
 public:
  NamedLock(HANDLE mutex, DWORD timeoutMs) {
    if (!mutex) return;
    const DWORD waited = WaitForSingleObject(mutex, timeoutMs);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) held_ = mutex;
  }
  ~NamedLock() {
    if (held_) ReleaseMutex(held_);
  }
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;
  explicit operator bool() const { return held_ != nullptr; }

 private:
  HANDLE held_ = nullptr;
};

}  // namespace platform
