// COM for the lifetime of the object, on this thread: the shell's link
// object and the Task Scheduler need it.
#pragma once

namespace platform {

class ComScope {
 public:
  ComScope();
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope();

 private:
  bool owned_;
};

}  // namespace platform
